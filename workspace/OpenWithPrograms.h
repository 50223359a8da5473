// The two "Open With" programs: a picture viewer and a text editor. A
// program the user chose wins; otherwise the desktop's default for the MIME
// type (freedesktop mimeapps.list and .desktop files), else the first of a
// short list of common programs found on the PATH, else none.
#pragma once

#include <QString>
#include <QStringList>

namespace quorvane {

// The program of a desktop entry's Exec= line: its first word, quotes
// removed ("eog %U" gives "eog"); empty for an empty line.
QString ExecProgram(const QString& execLine);

// The default application's program for mimeType: the first desktop id
// listed for it under [Default Applications] in mimeAppsFiles (in order)
// whose .desktop file exists in one of applicationDirs and whose program is
// found. Empty when none.
QString MimeDefaultProgram(const QString& mimeType, const QStringList& mimeAppsFiles,
                           const QStringList& applicationDirs);

// The freedesktop search paths of the current user.
QStringList MimeAppsFiles();
QStringList ApplicationDirs();

// True when the program can be started: an executable path, or a name found
// on the PATH.
bool ProgramAvailable(const QString& program);

// The defaults on this machine: the desktop's image viewer ("image/jpeg")
// and text editor ("text/plain"), else the common programs below.
QString DefaultViewerProgram();
QString DefaultEditorProgram();

// The name shown after "Open With ": the program's file name.
QString ProgramDisplayName(const QString& program);

} // namespace quorvane
