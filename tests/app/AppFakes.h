// Helpers of the window tests: a recording IUserMessages, rows made in
// memory, and small directory trees built in a QTemporaryDir.
#pragma once

#include "TFileRecord.h"
#include "UserMessages.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

namespace quorvane::test {

// Records every message instead of showing a modal box.
class TRecordingMessages : public IUserMessages {
  public:
    void ShowError(const QString& text) override { Errors.append(text); }
    void ShowInformation(const QString& text) override { Informations.append(text); }
    void ShowApplicationError(const QString& text) override { ApplicationErrors.append(text); }

    QStringList Errors;
    QStringList Informations;
    QStringList ApplicationErrors;
};

inline TFileRecord MakeRecord(const std::string& name, std::uint64_t size,
                              std::int64_t timeKey = 202401021530, const std::string& directory = "/data")
{
    TFileRecord record;
    record.Name = name;
    record.Directory = std::make_shared<const std::string>(directory);
    record.Size = size;
    record.TimeKey = timeKey;
    record.ImageIndex = kImageOtherFile;
    return record;
}

// Writes a file of the given bytes, creating its directory.
inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace quorvane::test
