#include "updater/updater_settings.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class UpdaterSettingsTest : public testing::Test {
 protected:
  QString Path() const { return dir_.path() + QStringLiteral("/CastoraUpdate/Renovix.ini"); }
  QTemporaryDir dir_;
};

TEST_F(UpdaterSettingsTest, FreshProfileGivesDefaultsAndFirstSetterWritesAllSixKeys) {
  UpdaterSettings settings(Path());
  EXPECT_FALSE(QFile::exists(Path()));
  EXPECT_FALSE(settings.GetUpdateAtNextStartup());
  EXPECT_TRUE(settings.GetUpdateDescription().isEmpty());
  EXPECT_TRUE(settings.GetAppPath().isEmpty());
  EXPECT_TRUE(settings.GetLastDownloadUrl().isEmpty());
  EXPECT_TRUE(settings.GetLastDownloadFileMd5().isEmpty());
  EXPECT_TRUE(settings.GetLastCheckUpdateDate().isEmpty());

  settings.SetLastCheckUpdateDate(QStringLiteral("2026-12-10"));
  ASSERT_TRUE(QFile::exists(Path()));
  QSettings file(Path(), QSettings::IniFormat);
  EXPECT_EQ(file.childGroups(), QStringList());
  EXPECT_EQ(file.childKeys().size(), 6);
  EXPECT_EQ(file.value("last_check_update_date_").toString(), QStringLiteral("2026-12-10"));
  EXPECT_FALSE(file.value("update_at_next_startup_").toBool());
  EXPECT_TRUE(file.contains("update_description_"));
  EXPECT_TRUE(file.contains("app_path_"));
  EXPECT_TRUE(file.contains("last_download_url_"));
  EXPECT_TRUE(file.contains("last_download_file_md5_"));
}

TEST_F(UpdaterSettingsTest, EverySetterWritesTheWholeRecordAndItReloads) {
  {
    UpdaterSettings settings(Path());
    settings.SetUpdateAtNextStartup(true);
    settings.SetUpdateDescription(QStringLiteral("Faster, and\nnew lines kept"));
    settings.SetAppPath(QStringLiteral("/opt/castora/Castora"));
    settings.SetLastDownloadUrl(QStringLiteral("http://127.0.0.1:1/p.exe?a=1&b=2"));
    settings.SetLastDownloadFileMd5(QStringLiteral("0123456789abcdef0123456789abcdef"));
  }
  {
    // Someone changes the file behind the record's back: the next setter writes the
    // record's own values again, not only the one it sets.
    QSettings file(Path(), QSettings::IniFormat);
    file.setValue("app_path_", "changed");
  }
  UpdaterSettings settings(Path());
  EXPECT_EQ(settings.GetAppPath(), QStringLiteral("changed"));
  settings.SetAppPath(QStringLiteral("/opt/castora/Castora"));
  {
    QSettings file(Path(), QSettings::IniFormat);
    file.setValue("last_download_url_", "changed");
  }
  settings.SetLastCheckUpdateDate(QStringLiteral("2026-12-10"));

  UpdaterSettings reloaded(Path());
  EXPECT_TRUE(reloaded.GetUpdateAtNextStartup());
  EXPECT_EQ(reloaded.GetUpdateDescription(), QStringLiteral("Faster, and\nnew lines kept"));
  EXPECT_EQ(reloaded.GetAppPath(), QStringLiteral("/opt/castora/Castora"));
  EXPECT_EQ(reloaded.GetLastDownloadUrl(), QStringLiteral("http://127.0.0.1:1/p.exe?a=1&b=2"));
  EXPECT_EQ(reloaded.GetLastDownloadFileMd5(),
            QStringLiteral("0123456789abcdef0123456789abcdef"));
  EXPECT_EQ(reloaded.GetLastCheckUpdateDate(), QStringLiteral("2026-12-10"));
}

TEST_F(UpdaterSettingsTest, UnwritableFileKeepsValuesInMemoryOnly) {
  // The folder of the file is a plain file: nothing can be written there, not even by
  // root.
  QFile blocker(dir_.filePath(QStringLiteral("blocker")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const QString path = blocker.fileName() + QStringLiteral("/Renovix.ini");
  UpdaterSettings settings(path);
  settings.SetAppPath(QStringLiteral("/second"));
  settings.SetUpdateAtNextStartup(true);
  EXPECT_EQ(settings.GetAppPath(), QStringLiteral("/second"));
  EXPECT_TRUE(settings.GetUpdateAtNextStartup());
  EXPECT_EQ(blocker.size(), 0);
  EXPECT_TRUE(UpdaterSettings(path).GetAppPath().isEmpty());
}

TEST(UpdaterSettingsPathTest, LivesInTheGenericDataFolder) {
  EXPECT_EQ(UpdaterSettings::DefaultPath(),
            qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/CastoraUpdate/Renovix.ini"));
}

}  // namespace
