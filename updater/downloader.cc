#include "updater/downloader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <fmt/format.h>

#include "updater/updater_logger.h"

namespace {

const char* const kLogTag = kDownloaderLogTag;

std::string Text(const QString& s) { return s.toStdString(); }

bool IsRedirection(int status) {
  switch (status) {
    case 301:
    case 302:
    case 303:
    case 305:
    case 307:
    case 308:
      return true;
    default:
      return false;
  }
}

}  // namespace

Downloader::Downloader(QObject* parent) : QObject(parent) {
  // Finished may cross to queued connections and signal spies.
  qRegisterMetaType<Downloader::DownloadState>("Downloader::DownloadState");
  timer_.setInterval(kDefaultTimeoutMs);
  connect(&timer_, &QTimer::timeout, this, &Downloader::OnDownloadTimeout);
}

Downloader::~Downloader() {
  timer_.stop();
  DropReply();
  file_.close();
}

void Downloader::DropReply() {
  if (reply_ == nullptr) return;
  // Detach first: abort() emits finished at once, and nothing of this reply may reach
  // the slots again (no write to a closed file, no second Finished, no deletion of
  // the partial file that is kept for a resume).
  QNetworkReply* reply = reply_;
  reply_ = nullptr;
  reply->disconnect(this);
  reply->abort();
  reply->deleteLater();
}

void Downloader::Download(const QUrl& url, const QString& save_path) {
  // One download at a time: a new one abandons what is still under way.
  timer_.stop();
  DropReply();
  file_.close();

  save_path_ = save_path;
  const QString folder = QFileInfo(save_path).absolutePath();
  if (!QDir(folder).exists()) QDir().mkpath(folder);
  temp_path_ = save_path + QStringLiteral(".download");
  file_.setFileName(temp_path_);

  QNetworkRequest request(url);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::ManualRedirectPolicy);
  range_sent_ = false;
  if (resumable_) {
    const qint64 size = QFileInfo(temp_path_).size();
    if (size > 0) {
      request.setRawHeader("Range", QStringLiteral("bytes=%1-").arg(size).toLatin1());
      range_sent_ = true;
      LogInfo(kLogTag, fmt::format("Download in break point way,starting from {} bytes", size));
    }
  } else {
    QFile::remove(temp_path_);
  }

  if (!file_.open(QIODevice::WriteOnly | QIODevice::Append)) {
    LogError(kLogTag, fmt::format("Open file failed \"{}\"", Text(temp_path_)));
    QCoreApplication::quit();
    emit Finished(kFailed);
    return;
  }

  answer_checked_ = false;
  answer_usable_ = false;
  reply_ = manager_.get(request);
  timer_.start();
  LogInfo(kLogTag, fmt::format("Downloading ... (Url: \"{}\" Save Path: \"{}\")",
                               Text(url.toString()), Text(save_path)));
  connect(reply_, &QNetworkReply::readyRead, this, &Downloader::OnDataReadyRead);
  connect(reply_, &QNetworkReply::finished, this, &Downloader::OnReplyFinished);
}

bool Downloader::CheckAnswer() {
  if (answer_checked_) return answer_usable_;
  answer_checked_ = true;
  const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  // Only the body of a successful answer belongs in the file; an error page or a
  // redirection's body is not part of any installer.
  answer_usable_ = status >= 200 && status < 300;
  if (answer_usable_ && range_sent_ && status != 206) {
    // The server ignored the range and sends the whole file: appending it to the part
    // already here would make the file too long, so it starts again.
    LogWarn(kLogTag, fmt::format("Server answered {} to a range request, downloading "
                                 "the whole file again", status));
    file_.resize(0);
    range_sent_ = false;
  }
  return answer_usable_;
}

void Downloader::OnDataReadyRead() {
  if (reply_ == nullptr || sender() != reply_) return;
  const QByteArray data = reply_->readAll();
  timer_.start();
  if (!CheckAnswer() || !file_.isOpen()) return;
  file_.write(data);
}

void Downloader::OnDownloadTimeout() {
  if (reply_ == nullptr) return;
  LogError(kLogTag, "Download timeout");
  timer_.stop();
  file_.close();  // kept for a later resume
  DropReply();
  emit Finished(kFailed);
}

void Downloader::OnReplyFinished() {
  if (reply_ == nullptr || sender() != reply_) return;
  timer_.stop();
  QNetworkReply* reply = reply_;
  // Data that came with the end (no readyRead of its own) belongs in the file too.
  if (reply->bytesAvailable() > 0 && CheckAnswer() && file_.isOpen())
    file_.write(reply->readAll());
  file_.close();
  reply_ = nullptr;
  reply->disconnect(this);
  reply->deleteLater();

  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (reply->error() == QNetworkReply::NoError && !IsRedirection(status)) {
    QFile::remove(save_path_);
    if (!QFile::rename(temp_path_, save_path_)) {
      emit Finished(kFailed);
      return;
    }
    LogInfo(kLogTag,
            fmt::format("Download and Rename successfully. File path: \"{}\"", Text(save_path_)));
    emit Finished(kDone);
    return;
  }
  if (reply->error() != QNetworkReply::NoError) {
    LogError(kLogTag,
             fmt::format("Download failed, reply error: {}", Text(reply->errorString())));
  } else {
    LogError(kLogTag,
             fmt::format("Download failed, request was redirected. Redirect Code: {}", status));
  }
  QFile::remove(temp_path_);
  emit Finished(kFailed);
}
