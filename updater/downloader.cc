#include "updater/downloader.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QStorageInfo>

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

struct ContentRange {
  qint64 first = -1;
  qint64 last = -1;
  qint64 total = -1;
};

// "bytes <first>-<last>/<total>"; anything else (an unknown total "*" included) is no
// range this downloader can place.
bool ParseContentRange(const QByteArray& value, ContentRange* range) {
  static const QRegularExpression kPattern(QStringLiteral("^bytes\\s+(\\d{1,18})-(\\d{1,18})/(\\d{1,18})$"));
  const QRegularExpressionMatch match = kPattern.match(QString::fromLatin1(value.trimmed()));
  if (!match.hasMatch()) return false;
  range->first = match.captured(1).toLongLong();
  range->last = match.captured(2).toLongLong();
  range->total = match.captured(3).toLongLong();
  return true;
}

// "bytes */<total>": the answer to a range that starts at or past the end (416).
qint64 UnsatisfiedRangeTotal(const QByteArray& value) {
  static const QRegularExpression kPattern(QStringLiteral("^bytes\\s+\\*/(\\d{1,18})$"));
  const QRegularExpressionMatch match = kPattern.match(QString::fromLatin1(value.trimmed()));
  return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

// The system's reason for the last failed call, as a person reads it.
std::string SystemReason(int error) { return std::system_category().message(error); }

}  // namespace

Downloader::Downloader(QObject* parent) : QObject(parent) {
  // Finished may cross to queued connections and signal spies.
  qRegisterMetaType<Downloader::DownloadState>("Downloader::DownloadState");
  timer_.setInterval(kDefaultTimeoutMs);
  connect(&timer_, &QTimer::timeout, this, &Downloader::OnDownloadTimeout);
  progress_timer_.setInterval(kDefaultProgressWindowMs);
  connect(&progress_timer_, &QTimer::timeout, this, [this] { OnProgressCheck(); });
  deadline_timer_.setInterval(kDefaultDeadlineMs);
  deadline_timer_.setSingleShot(true);
  connect(&deadline_timer_, &QTimer::timeout, this, [this] { OnDeadline(); });
}

Downloader::~Downloader() {
  StopTimers();
  DropReply();
  file_.close();
}

void Downloader::StopTimers() {
  timer_.stop();
  progress_timer_.stop();
  deadline_timer_.stop();
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
  StopTimers();
  DropReply();
  file_.close();
  peak_bytes_held_ = 0;

  // The package comes over HTTP; any other scheme (a file: address would make a local
  // file "the installer") is not fetched at all.
  const QString scheme = url.scheme();
  if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
    LogError(kLogTag, fmt::format("Download refused, the package address is not http or https: \"{}\"",
                                  Text(url.toString())));
    emit Finished(kFailed);
    return;
  }

  url_ = url;
  save_path_ = save_path;
  const QString folder = QFileInfo(save_path).absolutePath();
  if (!QDir(folder).exists()) QDir().mkpath(folder);
  temp_path_ = save_path + QStringLiteral(".download");
  file_.setFileName(temp_path_);

  bool resume = false;
  if (resumable_) {
    const qint64 size = QFileInfo(temp_path_).size();
    // A part that already reaches the bound belongs to no package of ours.
    if (size >= max_package_size_) {
      QFile::remove(temp_path_);
    } else {
      resume = size > 0;
    }
  } else {
    QFile::remove(temp_path_);
  }

  // Unbuffered: every write reaches the file system at once, so that its result is the
  // file's (a full disk shows at the write that meets it, not at a later flush).
  if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
    LogError(kLogTag, fmt::format("Open file failed \"{}\"", Text(temp_path_)));
    QCoreApplication::quit();
    emit Finished(kFailed);
    return;
  }

  window_bytes_ = 0;
  progress_timer_.start();
  deadline_timer_.start();
  StartRequest(resume);
}

void Downloader::StartRequest(bool with_range) {
  QNetworkRequest request(url_);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::ManualRedirectPolicy);
  file_size_ = file_.size();
  range_sent_ = with_range && file_size_ > 0;
  range_start_ = range_sent_ ? file_size_ : 0;
  if (range_sent_) {
    request.setRawHeader("Range", QStringLiteral("bytes=%1-").arg(file_size_).toLatin1());
    LogInfo(kLogTag, fmt::format("Download in break point way,starting from {} bytes", file_size_));
  }

  answer_checked_ = false;
  answer_usable_ = false;
  expected_size_ = -1;
  reply_bytes_ = 0;
  reply_expected_ = -1;
  reply_ = manager_.get(request);
  // Without a bound the reply keeps whatever the network brings faster than it is
  // written, until the process runs out of memory.
  reply_->setReadBufferSize(kReadBufferSize);
  timer_.start();
  LogInfo(kLogTag, fmt::format("Downloading ... (Url: \"{}\" Save Path: \"{}\")",
                               Text(url_.toString()), Text(save_path_)));
  connect(reply_, &QNetworkReply::readyRead, this, &Downloader::OnDataReadyRead);
  connect(reply_, &QNetworkReply::finished, this, &Downloader::OnReplyFinished);
  connect(reply_, &QNetworkReply::metaDataChanged, this, [this, reply = reply_] {
    if (reply == reply_) OnMetaDataChanged();
  });
}

bool Downloader::CheckAnswer() {
  if (answer_checked_) return answer_usable_;
  answer_checked_ = true;
  const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  // Only the body of a successful answer belongs in the file; an error page or a
  // redirection's body is not part of any installer.
  answer_usable_ = status >= 200 && status < 300;
  if (!answer_usable_) return false;
  const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
  reply_expected_ = length.isValid() ? length.toLongLong() : -1;

  if (status == 206) {
    // Appended to the file, this body must start exactly where the file ends and run
    // to the announced end of the package; any other part would shift or repeat bytes.
    const QByteArray value = reply_->rawHeader("Content-Range");
    const qint64 start = range_sent_ ? range_start_ : 0;
    ContentRange range;
    const bool continues = ParseContentRange(value, &range) && range.first == start &&
                           range.last + 1 == range.total &&
                           (reply_expected_ < 0 || reply_expected_ == range.total - range.first);
    if (!continues) {
      if (!range_sent_) {
        Fail(fmt::format("Download failed, Content-Range \"{}\" of an answer to a request without range",
                         value.toStdString()),
             false);
        return false;
      }
      LogWarn(kLogTag, fmt::format("Content-Range \"{}\" does not continue the file at {} bytes, downloading "
                                   "the whole file again",
                                   value.toStdString(), range_start_));
      DropReply();
      file_.resize(0);
      StartRequest(false);
      return false;
    }
    expected_size_ = range.total;
    reply_expected_ = range.total - range.first;
  } else {
    if (range_sent_) {
      // The server ignored the range and sends the whole file: appending it to the
      // part already here would make the file too long, so it starts again.
      LogWarn(kLogTag, fmt::format("Server answered {} to a range request, downloading "
                                   "the whole file again", status));
      file_.resize(0);
      file_size_ = 0;
      range_sent_ = false;
    }
    expected_size_ = reply_expected_;
  }

  if (expected_size_ > max_package_size_) {
    Fail(fmt::format("Download failed, the package of {} bytes is larger than the limit of {} bytes",
                     expected_size_, max_package_size_),
         false);
    return false;
  }
  if (expected_size_ >= 0) {
    const qint64 needed = expected_size_ - file_size_;
    const qint64 free = FreeSpace();
    if (free >= 0 && needed > free) {
      Fail(fmt::format("Download failed, {} more bytes are needed but only {} bytes are free for \"{}\"", needed,
                       free, Text(temp_path_)),
           false);
      return false;
    }
    // A package that fits only just would leave the user's other programs without room.
    if (free >= 0 && free - needed < min_free_space_) {
      Fail(fmt::format("Download failed, not enough space: the {} more bytes of the package would leave under {} "
                       "bytes free for \"{}\"",
                       needed, min_free_space_, Text(temp_path_)),
           false);
      return false;
    }
  }
  return true;
}

bool Downloader::TakeData() {
  QNetworkReply* reply = reply_;
  const bool usable = CheckAnswer();
  if (reply_ != reply) return false;
  peak_bytes_held_ = std::max(peak_bytes_held_, reply->bytesAvailable());
  const QByteArray data = reply->readAll();
  window_bytes_ += data.size();
  if (!usable || data.isEmpty()) return true;
  return Append(data);
}

bool Downloader::Append(const QByteArray& data) {
  reply_bytes_ += data.size();
  const qint64 size = file_size_ + data.size();
  // Checked before the write: a body without an announced length (or one that runs
  // past it) never puts more than the bound on the disk.
  if (size > max_package_size_) {
    Fail(fmt::format("Download failed, the package is larger than the limit of {} bytes", max_package_size_),
         false);
    return false;
  }
  if ((reply_expected_ >= 0 && reply_bytes_ > reply_expected_) || (expected_size_ >= 0 && size > expected_size_)) {
    Fail(fmt::format("Download failed, more than the announced {} bytes arrived", expected_size_), false);
    return false;
  }
  // The disk the user's other programs need keeps a floor of free space: a body of
  // unknown length may run on, and others may fill the disk while a known one comes.
  const qint64 free = FreeSpace();
  if (free >= 0 && free - data.size() < min_free_space_) {
    Fail(fmt::format("Download failed, not enough space: {} bytes of a package of {} would leave under {} bytes "
                     "free for \"{}\"",
                     size, expected_size_ < 0 ? std::string("unknown size") : fmt::format("{} bytes", expected_size_),
                     min_free_space_, Text(temp_path_)),
         false);
    return false;
  }
  errno = 0;
  if (file_.write(data) != data.size()) {
    // QFile names only the kind of error ("Unknown error" for a full disk); errno
    // still holds the system's reason.
    const int error = errno;
    const std::string reason = error != 0 ? SystemReason(error) : Text(file_.errorString());
    Fail(fmt::format("Download failed, writing \"{}\" failed: {}", Text(temp_path_), reason), false);
    return false;
  }
  file_size_ = size;
  return true;
}

qint64 Downloader::FreeSpace() const {
  QStorageInfo storage(QFileInfo(temp_path_).absolutePath());
  return storage.isValid() ? storage.bytesAvailable() : -1;
}

void Downloader::OnMetaDataChanged() {
  // Headers again after body bytes: the reply began anew (Qt sends the request once
  // more on a new connection when the server closed early), and a second body would
  // follow the first in the file. What the file holds so far is one clean part.
  if (reply_bytes_ > 0)
    Fail("Download failed, a second answer arrived in the same reply", true);
}

void Downloader::OnDataReadyRead() {
  if (reply_ == nullptr || sender() != reply_) return;
  timer_.start();
  TakeData();
}

void Downloader::Fail(const std::string& message, bool keep_partial) {
  LogError(kLogTag, message);
  StopTimers();
  file_.close();
  if (!keep_partial) QFile::remove(temp_path_);
  DropReply();
  emit Finished(kFailed);
}

void Downloader::Complete() {
  QFile::remove(save_path_);
  if (!QFile::rename(temp_path_, save_path_)) {
    LogError(kLogTag, fmt::format("Download failed, renaming \"{}\" to \"{}\" failed", Text(temp_path_),
                                  Text(save_path_)));
    emit Finished(kFailed);
    return;
  }
  LogInfo(kLogTag, fmt::format("Download and Rename successfully. File path: \"{}\"", Text(save_path_)));
  emit Finished(kDone);
}

void Downloader::OnDownloadTimeout() {
  if (reply_ == nullptr) return;
  Fail("Download timeout", true);  // kept for a later resume
}

void Downloader::OnProgressCheck() {
  if (reply_ == nullptr) return;
  if (window_bytes_ < min_progress_bytes_) {
    Fail(fmt::format("Download timeout, {} bytes in the last {} ms", window_bytes_, progress_timer_.interval()),
         true);
    return;
  }
  window_bytes_ = 0;
}

void Downloader::OnDeadline() {
  if (reply_ == nullptr) return;
  Fail(fmt::format("Download timeout, not complete after {} ms", deadline_timer_.interval()), true);
}

void Downloader::OnReplyFinished() {
  if (reply_ == nullptr || sender() != reply_) return;
  // Data that came with the end (no readyRead of its own) belongs in the file too; an
  // answer without a body is checked here.
  if (!TakeData()) return;
  QNetworkReply* reply = reply_;
  StopTimers();
  file_.close();
  reply_ = nullptr;
  reply->disconnect(this);
  reply->deleteLater();

  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (status == 416 && range_sent_ && UnsatisfiedRangeTotal(reply->rawHeader("Content-Range")) == range_start_) {
    // The kept part already holds the whole package (a run that ended between the last
    // byte and the rename): the server says so, and the MD5 check decides.
    LogInfo(kLogTag, fmt::format("The kept {} bytes are the whole package", range_start_));
    Complete();
    return;
  }
  if (reply->error() == QNetworkReply::NoError && !IsRedirection(status)) {
    if (expected_size_ >= 0 && file_size_ != expected_size_) {
      // Cut short without an error (the reply may end so when the server closed
      // early): the part stays, like after a dropped connection.
      LogError(kLogTag, fmt::format("Download failed, {} of the announced {} bytes arrived", file_size_,
                                    expected_size_));
      emit Finished(kFailed);
      return;
    }
    Complete();
    return;
  }
  if (reply->error() != QNetworkReply::NoError) {
    LogError(kLogTag,
             fmt::format("Download failed, reply error: {}", Text(reply->errorString())));
  } else {
    LogError(kLogTag,
             fmt::format("Download failed, request was redirected. Redirect Code: {}", status));
  }
  // The server's own answer (an HTTP error, a redirection) says the part is not to be
  // continued. A connection that dropped, before or within a good answer, says nothing
  // about it: the part stays for a resume, as after a time-out, and the MD5 check of
  // the complete file still decides.
  const bool dropped = reply->error() != QNetworkReply::NoError && (status == 0 || (status >= 200 && status < 300));
  if (!dropped) QFile::remove(temp_path_);
  emit Finished(kFailed);
}
