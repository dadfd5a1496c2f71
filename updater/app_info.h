#pragma once

#include <QString>

// The installation's identity, read from "VersionConfig.json" beside the programs
// (which neither program writes): {"appName": ..., "appKey": ..., "version": ...}.
class AppInfo {
 public:
  // The record of this process, loaded from "<application dir>/VersionConfig.json" on
  // first use. A missing or broken file ends the process at once with status -1: no
  // run type works without it.
  static AppInfo& Instance();

  AppInfo() = default;

  // Loads the file at `path`; false (logged) when it cannot be opened, is not JSON,
  // or lacks one of the three string members. Nothing is changed on failure.
  bool Load(const QString& path);

  QString GetAppName() const { return app_name_; }
  QString GetAppKey() const { return app_key_; }
  QString GetVersion() const { return version_; }

 private:
  QString app_name_;
  QString app_key_;
  QString version_;
};
