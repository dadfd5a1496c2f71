#include "client/settings.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace {

const char* const kFileName = "Castora.ini";
const char* const kAutoMirror = "auto_mirror";
const char* const kOpenViceScreen = "open_vice_screen";
const char* const kKeepAspectRatio = "keep_aspect_ratio";
const char* const kCaptureMouse = "capture_mouse";
const char* const kEnableTouch = "enable_touch";
const char* const kEnhanceVideoQuality = "enhance_video_quality";
const char* const kEnableHardwareAcceleration = "enable_hardware_acceleration";
const char* const kWeakNetwork = "weak_network";
const char* const kPinCodeLen = "pin_code_len";

}  // namespace

Settings::Settings()
    : file_path_(QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
                     .filePath(QString::fromLatin1(kFileName))) {
  Load();
}

Settings& Settings::Instance() {
  static Settings instance;
  return instance;
}

void Settings::Load() {
  QSettings file(file_path_, QSettings::IniFormat);
  auto read_flag = [&file](const char* key, bool& field) { field = file.value(key, field).toBool(); };
  read_flag(kAutoMirror, auto_mirror_);
  read_flag(kOpenViceScreen, open_vice_screen_);
  read_flag(kKeepAspectRatio, keep_aspect_ratio_);
  read_flag(kCaptureMouse, capture_mouse_);
  read_flag(kEnableTouch, enable_touch_);
  read_flag(kEnhanceVideoQuality, enhance_video_quality_);
  read_flag(kEnableHardwareAcceleration, enable_hardware_acceleration_);
  read_flag(kWeakNetwork, weak_network_);
  pin_code_len_ = file.value(kPinCodeLen, pin_code_len_).toInt();
}

void Settings::Save() const {
  QSettings file(file_path_, QSettings::IniFormat);
  if (!file.isWritable()) return;
  file.setValue(kAutoMirror, auto_mirror_);
  file.setValue(kOpenViceScreen, open_vice_screen_);
  file.setValue(kKeepAspectRatio, keep_aspect_ratio_);
  file.setValue(kCaptureMouse, capture_mouse_);
  file.setValue(kEnableTouch, enable_touch_);
  file.setValue(kEnhanceVideoQuality, enhance_video_quality_);
  file.setValue(kEnableHardwareAcceleration, enable_hardware_acceleration_);
  file.setValue(kWeakNetwork, weak_network_);
  file.setValue(kPinCodeLen, pin_code_len_);
  file.sync();
}

bool Settings::GetAutoMirror() { return Instance().auto_mirror_; }
bool Settings::GetOpenViceScreen() { return Instance().open_vice_screen_; }
bool Settings::GetKeepAspectRatio() { return Instance().keep_aspect_ratio_; }
bool Settings::GetCaptureMouse() { return Instance().capture_mouse_; }
bool Settings::GetEnableTouch() { return Instance().enable_touch_; }
bool Settings::GetEnhanceVideoQuality() { return Instance().enhance_video_quality_; }
bool Settings::GetEnableHardwareAcceleration() { return Instance().enable_hardware_acceleration_; }
bool Settings::GetWeakNetwork() { return Instance().weak_network_; }
int Settings::GetPinCodeLen() { return Instance().pin_code_len_; }

#define CASTORA_SETTINGS_SETTER(Name, type, field) \
  void Settings::Set##Name(type value) {           \
    Settings& settings = Instance();               \
    settings.field = value;                        \
    settings.Save();                               \
  }

CASTORA_SETTINGS_SETTER(AutoMirror, bool, auto_mirror_)
CASTORA_SETTINGS_SETTER(OpenViceScreen, bool, open_vice_screen_)
CASTORA_SETTINGS_SETTER(KeepAspectRatio, bool, keep_aspect_ratio_)
CASTORA_SETTINGS_SETTER(CaptureMouse, bool, capture_mouse_)
CASTORA_SETTINGS_SETTER(EnableTouch, bool, enable_touch_)
CASTORA_SETTINGS_SETTER(EnhanceVideoQuality, bool, enhance_video_quality_)
CASTORA_SETTINGS_SETTER(EnableHardwareAcceleration, bool, enable_hardware_acceleration_)
CASTORA_SETTINGS_SETTER(WeakNetwork, bool, weak_network_)
CASTORA_SETTINGS_SETTER(PinCodeLen, int, pin_code_len_)

#undef CASTORA_SETTINGS_SETTER
