#include "client/settings.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "client/build_info.h"
#include "client/build_version.h"

// Each test gets its own XDG_DATA_HOME and a freshly built instance, as a new run of
// the program would.
class SettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(data_home_.isValid());
    qputenv("XDG_DATA_HOME", data_home_.path().toLocal8Bit());
    QCoreApplication::setApplicationName(QStringLiteral("Castora"));
    folder_ = QDir(data_home_.path()).filePath(QStringLiteral("Castora"));
  }

  static void StartProgram() { Settings::Instance() = Settings(); }

  QString IniPath() const { return QDir(folder_).filePath(QStringLiteral("Castora.ini")); }

  void WriteIni(const QByteArray& text) const {
    ASSERT_TRUE(QDir().mkpath(folder_));
    QFile file(IniPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }

  QByteArray ReadIni() const {
    QFile file(IniPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QTemporaryDir data_home_;
  QString folder_;
};

namespace {

struct Values {
  bool auto_mirror, open_vice_screen, keep_aspect_ratio, capture_mouse, enable_touch,
      enhance_video_quality, enable_hardware_acceleration, weak_network;
  int pin_code_len;
  bool operator==(const Values& o) const {
    return auto_mirror == o.auto_mirror && open_vice_screen == o.open_vice_screen &&
           keep_aspect_ratio == o.keep_aspect_ratio && capture_mouse == o.capture_mouse &&
           enable_touch == o.enable_touch && enhance_video_quality == o.enhance_video_quality &&
           enable_hardware_acceleration == o.enable_hardware_acceleration &&
           weak_network == o.weak_network && pin_code_len == o.pin_code_len;
  }
};

std::ostream& operator<<(std::ostream& os, const Values& v) {
  return os << v.auto_mirror << v.open_vice_screen << v.keep_aspect_ratio << v.capture_mouse
            << v.enable_touch << v.enhance_video_quality << v.enable_hardware_acceleration
            << v.weak_network << " " << v.pin_code_len;
}

Values Current() {
  return {Settings::GetAutoMirror(),       Settings::GetOpenViceScreen(),
          Settings::GetKeepAspectRatio(),  Settings::GetCaptureMouse(),
          Settings::GetEnableTouch(),      Settings::GetEnhanceVideoQuality(),
          Settings::GetEnableHardwareAcceleration(), Settings::GetWeakNetwork(),
          Settings::GetPinCodeLen()};
}

const Values kDefaults{false, false, false, true, true, false, true, true, 6};

}  // namespace

TEST_F(SettingsTest, FirstStartHasDefaultsAndFirstSetterWritesEveryKey) {
  StartProgram();
  EXPECT_EQ(Settings::Instance().file_path(), IniPath());
  EXPECT_EQ(Current(), kDefaults);
  EXPECT_FALSE(QFile::exists(IniPath()));

  Settings::SetEnhanceVideoQuality(true);
  ASSERT_TRUE(QFile::exists(IniPath()));
  QSettings ini(IniPath(), QSettings::IniFormat);
  EXPECT_EQ(ini.allKeys().size(), 9);
  EXPECT_EQ(ini.value("pin_code_len").toString(), "6");
  EXPECT_EQ(ini.value("enhance_video_quality").toString(), "true");
  EXPECT_EQ(ini.value("auto_mirror").toString(), "false");
  EXPECT_TRUE(ReadIni().contains("capture_mouse=true\n")) << ReadIni().toStdString();
}

TEST_F(SettingsTest, ValuesSurviveARestart) {
  StartProgram();
  Settings::SetAutoMirror(true);
  Settings::SetOpenViceScreen(true);
  Settings::SetKeepAspectRatio(true);
  Settings::SetCaptureMouse(false);
  Settings::SetEnableTouch(false);
  Settings::SetEnhanceVideoQuality(true);
  Settings::SetEnableHardwareAcceleration(false);
  Settings::SetWeakNetwork(false);
  Settings::SetPinCodeLen(8);
  const Values changed{true, true, true, false, false, true, false, false, 8};
  EXPECT_EQ(Current(), changed);
  StartProgram();
  EXPECT_EQ(Current(), changed);
}

TEST_F(SettingsTest, PartialFileKeepsDefaultsForMissingKeys) {
  WriteIni("[General]\npin_code_len=8\n");
  StartProgram();
  Values expected = kDefaults;
  expected.pin_code_len = 8;
  EXPECT_EQ(Current(), expected);

  WriteIni("[General]\ncapture_mouse=false\nauto_mirror=true\n");
  StartProgram();
  expected = kDefaults;
  expected.capture_mouse = false;
  expected.auto_mirror = true;
  EXPECT_EQ(Current(), expected);
}

TEST_F(SettingsTest, NonNumberCodeLengthReadsAsZero) {
  WriteIni("[General]\npin_code_len=eight\nweak_network=false\n");
  StartProgram();
  EXPECT_EQ(Settings::GetPinCodeLen(), 0);
  EXPECT_FALSE(Settings::GetWeakNetwork());
}

TEST_F(SettingsTest, GarbageFileKeepsDefaults) {
  WriteIni(QByteArray("\x00\xff\x01garbage\n[[[\n=\n", 17));
  StartProgram();
  EXPECT_EQ(Current(), kDefaults);
}

TEST_F(SettingsTest, UnwritableFolderKeepsTheValueInMemoryOnly) {
  // A plain file where the folder should be: nothing can be created below it.
  QFile blocker(folder_);
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  StartProgram();
  Settings::SetPinCodeLen(8);
  Settings::SetEnableTouch(false);
  EXPECT_EQ(Settings::GetPinCodeLen(), 8);
  EXPECT_FALSE(Settings::GetEnableTouch());
  EXPECT_FALSE(QFile::exists(IniPath()));
  EXPECT_EQ(blocker.size(), 0);
}

TEST_F(SettingsTest, ReadOnlyFileStaysUnchanged) {
  if (::geteuid() == 0) GTEST_SKIP() << "file permissions do not bind root";
  const QByteArray text("[General]\npin_code_len=8\n");
  WriteIni(text);
  ASSERT_TRUE(QFile::setPermissions(IniPath(), QFile::ReadOwner));
  StartProgram();
  Settings::SetPinCodeLen(6);
  EXPECT_EQ(Settings::GetPinCodeLen(), 6);
  EXPECT_EQ(ReadIni(), text);
}

TEST(BuildInfoTest, TextsComeFromTheBuild) {
  EXPECT_EQ(AppVersion(), QStringLiteral(CASTORA_VERSION_TEXT));
  EXPECT_TRUE(AppVersion().startsWith("R.")) << AppVersion().toStdString();
  const QString commit = AppCommitId();
  EXPECT_TRUE(commit == "Unknown" || commit.size() == 6) << commit.toStdString();
  EXPECT_TRUE(QRegularExpression("^[1-9]\\d{3}-[1-9]\\d?-[1-9]\\d? \\d\\d:\\d\\d:\\d\\d$")
                  .match(AppBuildTime())
                  .hasMatch())
      << AppBuildTime().toStdString();
}
