#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>

class QNetworkReply;

// The daily question to the update server: is there a newer installer for this
// installation? Identified by "appKey" and "version" of VersionConfig.json and the
// network hardware address. The fields of the last complete answer are kept between
// checks.
class UpdateInfo : public QObject {
  Q_OBJECT

 public:
  explicit UpdateInfo(QObject* parent = nullptr);
  ~UpdateInfo() override;

  // Sends one request and waits for it in a nested event loop. False only when the
  // request fails (network or HTTP error, or no answer within the request time-out):
  // the check then does not count. An answer that is not the expected JSON counts as
  // a check that found no update: true, with "hasUpdate" cleared and nothing else
  // changed.
  bool FetchUpdateInfo();

  // "hasUpdate" is true and "originVersionCode" equals the installed version.
  bool NeedUpdate() const;

  QString GetDownloadUrl() const { return download_url_; }
  QString GetFileMd5() const { return file_md5_; }
  QString GetUpdateDescription() const { return update_desc_; }

  // The full request address for this installation.
  static QString RequestUrl();
  // The hardware address sent as "deviceMac": "AA:BB:CC:DD:EE:FF", or empty.
  static QString GetDeviceMac();

  // How long a request may take before it counts as a network failure.
  static constexpr int kDefaultRequestTimeoutMs = 30000;
  void SetRequestTimeout(int ms) { request_timeout_ms_ = ms; }

 private:
  void ParseUpdateInfo(const QByteArray& body);

  QNetworkAccessManager manager_;
  QNetworkReply* reply_ = nullptr;  // deleted later through the event loop
  QString name_;
  QString origin_version_code_;
  QString download_url_;
  QString file_md5_;
  bool has_update_ = false;
  QString update_desc_;
  int request_timeout_ms_ = kDefaultRequestTimeoutMs;
};
