// Finding the desktop's default programs: mimeapps.list files are read in
// the freedesktop order (user config, system config, user data, system
// data); a listed application counts only when its program is really there.
#include "OpenWithPrograms.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>

namespace quorvane {

namespace {

const char* const kCommonViewers[] = {"eog", "gthumb", "ristretto", "gwenview", "feh", "gpicview", "display"};
const char* const kCommonEditors[] = {
    "gnome-text-editor", "gedit", "kate", "kwrite", "mousepad", "pluma", "xed", "featherpad", "leafpad"};

// The value of key in [section] of an ini-like file, or empty.
QString ReadEntry(const QString& path, const QString& section, const QString& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QTextStream in(&file);
    bool inSection = false;
    const QString header = u'[' + section + u']';
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(u'[')) {
            inSection = line == header;
        } else if (inSection && line.startsWith(key + u'=')) {
            return line.mid(key.size() + 1).trimmed();
        }
    }
    return {};
}

QString EnvironmentPath(const char* name, const QString& fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.startsWith(u'/') ? value : fallback;
}

QStringList EnvironmentList(const char* name, const QString& fallback)
{
    QStringList list = qEnvironmentVariable(name).split(u':', Qt::SkipEmptyParts);
    return list.isEmpty() ? fallback.split(u':') : list;
}

QString FirstAvailable(const char* const* first, const char* const* last)
{
    for (; first != last; ++first) {
        const QString program = QString::fromLatin1(*first);
        if (ProgramAvailable(program)) return program;
    }
    return {};
}

} // namespace

QString ExecProgram(const QString& execLine)
{
    const QString line = execLine.trimmed();
    if (line.startsWith(u'"')) {
        const qsizetype end = line.indexOf(u'"', 1);
        return end < 0 ? line.mid(1) : line.mid(1, end - 1);
    }
    return line.section(u' ', 0, 0);
}

bool ProgramAvailable(const QString& program)
{
    if (program.isEmpty()) return false;
    if (program.contains(u'/')) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable();
    }
    return !QStandardPaths::findExecutable(program).isEmpty();
}

QString MimeDefaultProgram(const QString& mimeType, const QStringList& mimeAppsFiles,
                           const QStringList& applicationDirs)
{
    for (const QString& list : mimeAppsFiles) {
        const QStringList ids =
            ReadEntry(list, QStringLiteral("Default Applications"), mimeType).split(u';', Qt::SkipEmptyParts);
        for (const QString& id : ids) {
            for (const QString& dir : applicationDirs) {
                const QString desktop = QDir(dir).filePath(id);
                if (!QFileInfo::exists(desktop)) continue;
                const QString program =
                    ExecProgram(ReadEntry(desktop, QStringLiteral("Desktop Entry"), QStringLiteral("Exec")));
                if (ProgramAvailable(program)) return program;
            }
        }
    }
    return {};
}

QStringList MimeAppsFiles()
{
    const QString home = QDir::homePath();
    QStringList files;
    files << EnvironmentPath("XDG_CONFIG_HOME", home + QStringLiteral("/.config")) +
                 QStringLiteral("/mimeapps.list");
    for (const QString& dir : EnvironmentList("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg")))
        files << dir + QStringLiteral("/mimeapps.list");
    const QString dataHome = EnvironmentPath("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    files << dataHome + QStringLiteral("/applications/mimeapps.list");
    const QStringList dataDirs =
        EnvironmentList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    for (const QString& dir : dataDirs)
        files << dir + QStringLiteral("/applications/mimeapps.list");
    for (const QString& dir : dataDirs)
        files << dir + QStringLiteral("/applications/defaults.list");
    return files;
}

QStringList ApplicationDirs()
{
    const QString home = QDir::homePath();
    QStringList dirs;
    dirs << EnvironmentPath("XDG_DATA_HOME", home + QStringLiteral("/.local/share")) +
                QStringLiteral("/applications");
    for (const QString& dir : EnvironmentList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share")))
        dirs << dir + QStringLiteral("/applications");
    return dirs;
}

QString DefaultViewerProgram()
{
    const QString program =
        MimeDefaultProgram(QStringLiteral("image/jpeg"), MimeAppsFiles(), ApplicationDirs());
    return program.isEmpty() ? FirstAvailable(std::begin(kCommonViewers), std::end(kCommonViewers)) : program;
}

QString DefaultEditorProgram()
{
    const QString program =
        MimeDefaultProgram(QStringLiteral("text/plain"), MimeAppsFiles(), ApplicationDirs());
    return program.isEmpty() ? FirstAvailable(std::begin(kCommonEditors), std::end(kCommonEditors)) : program;
}

QString ProgramDisplayName(const QString& program)
{
    return QFileInfo(program).fileName();
}

} // namespace quorvane
