#include "updater/update_info.h"

#include <exception>
#include <string>

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "platform/updater/hardware_address.h"
#include "platform/updater/update_service.h"
#include "updater/app_info.h"
#include "updater/updater_logger.h"

namespace {

const char* const kLogTag = kUpdateInfoLogTag;

// An answer is a few hundred bytes of JSON; a server that sends far more is cut off
// (and the check counts as failed) rather than filling memory.
constexpr qint64 kMaxReplyBytes = 1 << 20;

std::string Text(const QString& s) { return s.toStdString(); }

}  // namespace

UpdateInfo::UpdateInfo(QObject* parent) : QObject(parent) {}

UpdateInfo::~UpdateInfo() {
  if (reply_ != nullptr) {
    reply_->disconnect(this);
    reply_->abort();
    reply_->deleteLater();
  }
}

QString UpdateInfo::GetDeviceMac() { return platform::updater::HardwareAddress(); }

QString UpdateInfo::RequestUrl() {
  const AppInfo& info = AppInfo::Instance();
  return platform::updater::UpdateServerAddress() +
         QStringLiteral("/api/v1/update?appKey=%1&versionCode=%2&platform=windows_app&deviceMac=%3")
             .arg(info.GetAppKey(), info.GetVersion(), GetDeviceMac());
}

bool UpdateInfo::FetchUpdateInfo() {
  const QString url = RequestUrl();
  QNetworkRequest request{QUrl(url)};
  // Redirections are not followed: the answer comes from the address asked.
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::ManualRedirectPolicy);
  QNetworkReply* reply = manager_.get(request);
  reply_ = reply;
  LogInfo(kLogTag, fmt::format("Request url: {}", Text(url)));

  // The whole request is bounded: a server that accepts the connection and never
  // answers (or answers without end) must not hold the check for ever, since the
  // periodic timer keeps firing while this loop runs.
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  connect(&deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
  connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
    if (received > kMaxReplyBytes) reply->abort();
  });
  if (!reply->isFinished()) {
    deadline.start(request_timeout_ms_);
    loop.exec();
  }
  deadline.stop();
  reply_ = nullptr;

  if (!reply->isFinished()) {
    // The loop was left for another reason (the application is quitting): the answer
    // never came, which is a failed check, not a finished one.
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
    LogError(kLogTag, "Fetch update info failed, reply error:the request was interrupted");
    return false;
  }
  if (reply->error() != QNetworkReply::NoError) {
    LogError(kLogTag, fmt::format("Fetch update info failed, reply error:{}",
                                  Text(reply->errorString())));
    reply->deleteLater();
    return false;
  }
  const QByteArray body = reply->read(kMaxReplyBytes + 1);
  reply->deleteLater();
  if (body.size() > kMaxReplyBytes) {
    LogError(kLogTag, "Fetch update info failed, reply error:the answer is too large");
    return false;
  }
  ParseUpdateInfo(body);
  return true;
}

void UpdateInfo::ParseUpdateInfo(const QByteArray& body) {
  LogInfo(kLogTag, fmt::format("Request return json: {}", body.toStdString()));
  // Read into a record of its own and take it only when every member was there: a
  // half-read answer must never combine a stale "hasUpdate" with a new address.
  struct Answer {
    QString name, origin_version_code, download_url, file_md5;
    bool has_update = false;
    QString update_desc;
  } answer;
  try {
    const nlohmann::json json = nlohmann::json::parse(body.toStdString());
    const auto str = [&json](const char* key) {
      return QString::fromStdString(json.at(key).get<std::string>());
    };
    answer.name = str("name");
    answer.origin_version_code = str("originVersionCode");
    answer.download_url = str("downloadUrl");
    answer.file_md5 = str("fileMd5");
    answer.has_update = json.at("hasUpdate").get<bool>();
    answer.update_desc = str("updateDesc");
  } catch (const std::exception& e) {
    LogWarn(kLogTag, fmt::format("Parse update info json exception: {}", e.what()));
    LogInfo(kLogTag, "May Not Need to Update or Request Url Error");
    // A broken answer offers nothing, whatever an earlier answer offered.
    has_update_ = false;
    return;
  }
  name_ = answer.name;
  origin_version_code_ = answer.origin_version_code;
  download_url_ = answer.download_url;
  file_md5_ = answer.file_md5;
  has_update_ = answer.has_update;
  update_desc_ = answer.update_desc;
  LogInfo(kLogTag,
          fmt::format("Fetch and parse update info successfully. {}",
                      Text(QStringLiteral("App Name: \"%1\" Origin Version: \"%2\" Download "
                                          "Url: \"%3\" File Md5: \"%4\" Need Update: %5 "
                                          "Update Description: \"%6\"")
                               .arg(name_, origin_version_code_, download_url_, file_md5_,
                                    has_update_ ? QStringLiteral("true")
                                                : QStringLiteral("false"),
                                    update_desc_))));
}

bool UpdateInfo::NeedUpdate() const {
  return has_update_ && origin_version_code_ == AppInfo::Instance().GetVersion();
}
