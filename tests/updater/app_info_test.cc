#include "updater/app_info.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(AppInfoTest, ProcessRecordComesFromTheFileBesideTheProgram) {
  const AppInfo& info = AppInfo::Instance();
  EXPECT_EQ(info.GetAppName(), QStringLiteral("Castora"));
  EXPECT_EQ(info.GetAppKey(), QStringLiteral("test-key"));
  EXPECT_EQ(info.GetVersion(), QStringLiteral("1.2.3"));
}

TEST(AppInfoTest, BrokenFilesAreRefusedAndChangeNothing) {
  struct Case {
    const char* what;
    const char* text;  // nullptr: no file
  };
  const Case cases[] = {
      {"missing file", nullptr},
      {"not JSON", "appName=Castora"},
      {"truncated", R"({"appName":"Castora","appKey":"k",)"},
      {"not an object", R"(["Castora","k","1"])"},
      {"member missing", R"({"appName":"Castora","appKey":"k"})"},
      {"number instead of string", R"({"appName":"Castora","appKey":"k","version":2})"},
  };
  for (const Case& c : cases) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VersionConfig.json"));
    if (c.text != nullptr) {
      QFile file(path);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(c.text);
    }
    AppInfo info;
    EXPECT_FALSE(info.Load(path)) << c.what;
    EXPECT_TRUE(info.GetAppName().isEmpty()) << c.what;
    EXPECT_TRUE(info.GetVersion().isEmpty()) << c.what;
  }
}

}  // namespace
