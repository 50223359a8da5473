// Recording fakes of the interfaces the workspace rules drive: message boxes,
// the directory list box, the directory picker and the option controls. The
// list box shifts its indices on removal and the controls keep their radio
// groups exclusive, as the real widgets do, so order mistakes show.
#pragma once

#include "DirectoryList.h"
#include "OptionsStore.h"

#include <QFile>
#include <QMap>
#include <QSet>
#include <QStringList>

namespace quorvane {

class TRecordingMessages : public IUserMessages {
  public:
    QStringList Errors;
    QStringList Informations;
    QStringList ApplicationErrors;
    void ShowError(const QString& text) override { Errors.append(text); }
    void ShowInformation(const QString& text) override { Informations.append(text); }
    void ShowApplicationError(const QString& text) override { ApplicationErrors.append(text); }
    bool Silent() const { return Errors.isEmpty() && Informations.isEmpty() && ApplicationErrors.isEmpty(); }
};

// Items are the shown texts; Bytes, parallel to them, the directories.
class TFakeListBox : public IDirectoryListBox {
  public:
    QStringList Items;
    QList<QByteArray> Bytes;
    QList<bool> Selected;  // parallel to Items
    QList<bool> Protected; // parallel to Items
    int Current = -1;

    explicit TFakeListBox(const QStringList& items = {}) : Selected(items.size(), false)
    {
        for (const QString& item : items)
            AppendText(item);
        Selected = QList<bool>(items.size(), false);
    }
    int Count() const override { return static_cast<int>(Items.size()); }
    QString Entry(int index) const override { return Items.at(index); }
    QByteArray EntryBytes(int index) const override { return Bytes.at(index); }
    bool IsSelected(int index) const override { return Selected.at(index); }
    int CurrentIndex() const override { return Current; }
    void Append(const QString& entry) override { AppendText(entry); }
    void AppendBytes(const QByteArray& entry) override
    {
        Items.append(QFile::decodeName(entry));
        Bytes.append(entry);
        Selected.append(false);
        Protected.append(false);
    }
    void Remove(int index) override
    {
        Items.removeAt(index);
        Bytes.removeAt(index);
        Selected.removeAt(index);
        Protected.removeAt(index);
    }
    void Clear() override
    {
        Items.clear();
        Bytes.clear();
        Selected.clear();
        Protected.clear();
    }
    bool IsProtected(int index) const override { return Protected.at(index); }
    void SetProtected(int index, bool isProtected) override { Protected[index] = isProtected; }

  private:
    void AppendText(const QString& entry) { AppendBytes(QFile::encodeName(entry)); }
};

class TFakePicker : public TDirectoryPicker {
  public:
    bool Accept = true;
    QString Chosen;       // the file name the "user" picks
    QString SeenFileName; // what the dialog proposed when it ran
    QString SeenInitialDir;
    int Runs = 0;
    bool Execute() override
    {
        ++Runs;
        SeenFileName = FileName;
        SeenInitialDir = InitialDir;
        if (Accept) FileName = Chosen;
        return Accept;
    }
};

class TFakeControls : public IOptionControls {
  public:
    QMap<QString, bool> Checked;
    QMap<QString, QString> Texts;
    QMap<QString, bool> Enabled;
    QStringList Calls; // "SetChecked ckName 1", "SetText edTime 200", "SetEnabled ckCC 0"

    bool IsChecked(const QString& name) const override { return Checked.value(name); }
    void SetChecked(const QString& name, bool checked) override
    {
        Calls.append(QStringLiteral("SetChecked %1 %2").arg(name).arg(int(checked)));
        if (checked) {
            for (const QString& other : GroupOf(name))
                Checked[other] = false;
        }
        Checked[name] = checked;
    }
    QString Text(const QString& name) const override { return Texts.value(name); }
    void SetText(const QString& name, const QString& text) override
    {
        Calls.append(QStringLiteral("SetText %1 %2").arg(name, text));
        Texts[name] = text;
    }
    void SetEnabled(const QString& name, bool enabled) override
    {
        Calls.append(QStringLiteral("SetEnabled %1 %2").arg(name).arg(int(enabled)));
        Enabled[name] = enabled;
    }

    static QStringList GroupOf(const QString& name)
    {
        static const QList<QStringList> groups = {
            {"raDblClick", "raClick"},
            {"rbFullSize", "rbHalf", "rbQuarter", "rbEighth"},
            {"rbEnglish", "rbChinese"},
        };
        for (const QStringList& group : groups) {
            if (group.contains(name)) return group;
        }
        return {};
    }
};

// Test texts name paths below a fixture root as "@/name"; this puts the
// root in place of "@".
inline QString Expand(QString text, const QString& root)
{
    return text.replace(QStringLiteral("@/"), root + QLatin1Char('/'));
}

inline QStringList Expand(const QStringList& texts, const QString& root)
{
    QStringList expanded;
    for (const QString& text : texts)
        expanded.append(Expand(text, root));
    return expanded;
}

} // namespace quorvane
