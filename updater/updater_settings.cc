#include "updater/updater_settings.h"

#include <QSettings>
#include <QStandardPaths>

namespace {
const QString kUpdateAtNextStartup = QStringLiteral("update_at_next_startup_");
const QString kUpdateDescription = QStringLiteral("update_description_");
const QString kAppPath = QStringLiteral("app_path_");
const QString kLastDownloadUrl = QStringLiteral("last_download_url_");
const QString kLastDownloadFileMd5 = QStringLiteral("last_download_file_md5_");
const QString kLastCheckUpdateDate = QStringLiteral("last_check_update_date_");
}  // namespace

UpdaterSettings& UpdaterSettings::Instance() {
  static UpdaterSettings settings(DefaultPath());
  return settings;
}

UpdaterSettings::UpdaterSettings(QString path) : path_(std::move(path)) { Load(); }

QString UpdaterSettings::DefaultPath() {
  return QStringLiteral("%1/CastoraUpdate/Renovix.ini")
      .arg(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

void UpdaterSettings::Load() {
  QSettings file(path_, QSettings::IniFormat);
  update_at_next_startup_ = file.value(kUpdateAtNextStartup, update_at_next_startup_).toBool();
  update_description_ = file.value(kUpdateDescription, update_description_).toString();
  app_path_ = file.value(kAppPath, app_path_).toString();
  last_download_url_ = file.value(kLastDownloadUrl, last_download_url_).toString();
  last_download_file_md5_ = file.value(kLastDownloadFileMd5, last_download_file_md5_).toString();
  last_check_update_date_ = file.value(kLastCheckUpdateDate, last_check_update_date_).toString();
}

void UpdaterSettings::Save() const {
  QSettings file(path_, QSettings::IniFormat);
  if (!file.isWritable()) return;
  file.setValue(kUpdateAtNextStartup, update_at_next_startup_);
  file.setValue(kUpdateDescription, update_description_);
  file.setValue(kAppPath, app_path_);
  file.setValue(kLastDownloadUrl, last_download_url_);
  file.setValue(kLastDownloadFileMd5, last_download_file_md5_);
  file.setValue(kLastCheckUpdateDate, last_check_update_date_);
  file.sync();
}

void UpdaterSettings::SetUpdateAtNextStartup(bool value) {
  update_at_next_startup_ = value;
  Save();
}
void UpdaterSettings::SetUpdateDescription(const QString& value) {
  update_description_ = value;
  Save();
}
void UpdaterSettings::SetAppPath(const QString& value) {
  app_path_ = value;
  Save();
}
void UpdaterSettings::SetLastDownloadUrl(const QString& value) {
  last_download_url_ = value;
  Save();
}
void UpdaterSettings::SetLastDownloadFileMd5(const QString& value) {
  last_download_file_md5_ = value;
  Save();
}
void UpdaterSettings::SetLastCheckUpdateDate(const QString& value) {
  last_check_update_date_ = value;
  Save();
}
