#pragma once

#include <QString>

// The six values the updater keeps between runs, in
// "<generic data location>/CastoraUpdate/Renovix.ini" (ini format, keys at top level).
// One process-wide record, loaded on first use; every setter stores the value and
// then writes the whole record. A file that cannot be written keeps the values in
// memory for this run only, silently. GUI thread only.
class UpdaterSettings {
 public:
  static UpdaterSettings& Instance();

  // A record on another file (tests); loaded at once.
  explicit UpdaterSettings(QString path);

  static QString DefaultPath();
  const QString& path() const { return path_; }

  // A verified installer waits: install at the next start of the updater.
  bool GetUpdateAtNextStartup() const { return update_at_next_startup_; }
  QString GetUpdateDescription() const { return update_description_; }
  // Full path of the client program, restarted after the installation.
  QString GetAppPath() const { return app_path_; }
  QString GetLastDownloadUrl() const { return last_download_url_; }
  QString GetLastDownloadFileMd5() const { return last_download_file_md5_; }
  // "yyyy-MM-dd" of the last successful check; empty before the first.
  QString GetLastCheckUpdateDate() const { return last_check_update_date_; }

  void SetUpdateAtNextStartup(bool value);
  void SetUpdateDescription(const QString& value);
  void SetAppPath(const QString& value);
  void SetLastDownloadUrl(const QString& value);
  void SetLastDownloadFileMd5(const QString& value);
  void SetLastCheckUpdateDate(const QString& value);

  // Reads every key, keeping the current value for a key that is missing.
  void Load();
  // Writes all six keys when the file is writable; otherwise nothing.
  void Save() const;

 private:
  bool update_at_next_startup_ = false;
  QString update_description_;
  QString app_path_;
  QString last_download_url_;
  QString last_download_file_md5_;
  QString last_check_update_date_;
  QString path_;
};
