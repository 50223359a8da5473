// The workspace tests: the directory list rules and the options store. Every
// fixture directory and every settings file lives in a QTemporaryDir; the
// options store is pointed there before each test, never at the user's own.
#pragma once

#include <QObject>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

namespace quorvane {

class TestWorkspace : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    // Directory list (DirectoryListTests.cpp)
    void trimBlanks_data();
    void trimBlanks();
    void asciiLower();
    void addDirectory_data();
    void addDirectory();
    void addPendingDirectory_data();
    void addPendingDirectory();
    void restoreDirectory_data();
    void restoreDirectory();
    void addPickedDirectory_data();
    void addPickedDirectory();
    void removeSelected_data();
    void removeSelected();
    void removeAllAndCurrentEntry();
    void pathRelations_data();
    void pathRelations();
    void windowsStyleFoldsCase();
    void undecodableDirectoryKeepsItsBytes();
    void ambiguousDisplayedNameRefused();

    // Options store (OptionsStoreTests.cpp)
    void firstStartGivesDefaultsInTableOrder();
    void loadBooleanAndText_data();
    void loadBooleanAndText();
    void ccEnabledRightAfterCcBySize_data();
    void ccEnabledRightAfterCcBySize();
    void radioGroupsRestore_data();
    void radioGroupsRestore();
    void loadDirectories_data();
    void loadDirectories();
    void longGeneratedListRestored();
    void wrongTypeStopsLoading_data();
    void wrongTypeStopsLoading();
    void saveWritesIntegersAndText();
    void saveShorterListKeepsOldValues();
    void saveRoundTrip();
    void saveFailure_data();
    void saveFailure();
    void garbageFileNeverCrashes();
    void truncatedFileGivesSavedOrDefault();
    void unreadableStoreGivesDefaults();
    void saveRepairsGarbageFile();
    void dirProtectedLoad_data();
    void dirProtectedLoad();
    void dirProtectedSaveRoundTrip();

    // Protected folders (ProtectedFoldersTests.cpp)
    void protectedPaths_data();
    void protectedPaths();
    void protectedFoldersFollowLinks();
    void protectedByIdentity_data();
    void protectedByIdentity();
    void protectedQuestionFollowsLanguage_data();
    void protectedQuestionFollowsLanguage();

  private:
    // A fresh fixture directory and settings location for every test.
    std::unique_ptr<QTemporaryDir> FTemp;
    QString FRoot; // fixture directories live under here
    QString MakeDir(const QString& relative);
    QString ConfPath() const;
    void WriteConf(const QByteArray& contents);
    QByteArray ReadConf() const;
};

} // namespace quorvane
