#pragma once

#include <QString>

// The user's sharing options and preferred code length, kept in "Castora.ini" in the
// writable application-data folder (on Linux $XDG_DATA_HOME/<application name>/).
// One process-wide instance, built and loaded on first use; every setter writes the
// whole file at once. GUI thread only. Nothing is ever reported: a file that cannot
// be read keeps the defaults, one that cannot be written keeps only the in-memory
// value.
class Settings {
 public:
  static Settings& Instance();

  static bool GetAutoMirror();
  static bool GetOpenViceScreen();
  static bool GetKeepAspectRatio();
  static bool GetCaptureMouse();
  static bool GetEnableTouch();
  static bool GetEnhanceVideoQuality();
  static bool GetEnableHardwareAcceleration();
  static bool GetWeakNetwork();
  // 6 or 8 as the user last chose; a stored value that is not a number reads as 0.
  static int GetPinCodeLen();

  static void SetAutoMirror(bool value);
  static void SetOpenViceScreen(bool value);
  static void SetKeepAspectRatio(bool value);
  static void SetCaptureMouse(bool value);
  static void SetEnableTouch(bool value);
  static void SetEnhanceVideoQuality(bool value);
  static void SetEnableHardwareAcceleration(bool value);
  static void SetWeakNetwork(bool value);
  static void SetPinCodeLen(int value);

  // Reads every key, keeping the current value for a key that is missing.
  void Load();
  // Writes every key when the file is writable; otherwise nothing.
  void Save() const;

  const QString& file_path() const { return file_path_; }

 private:
  friend class SettingsTest;

  Settings();

  bool auto_mirror_ = false;
  bool open_vice_screen_ = false;
  bool keep_aspect_ratio_ = false;
  bool capture_mouse_ = true;
  bool enable_touch_ = true;
  bool enhance_video_quality_ = false;
  bool enable_hardware_acceleration_ = true;
  bool weak_network_ = true;
  int pin_code_len_ = 6;
  QString file_path_;
};
