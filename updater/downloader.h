#pragma once

#include <QFile>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkReply;

// Fetches the installer into "<save path>.download" and renames it to the save path
// when complete. With the resume flag set, an existing partial file is continued with
// an HTTP range request ("Range: bytes=<size>-"); a server that answers the whole file
// instead (200, not 206) makes the file start again. Redirections are not followed.
// Exactly one Finished per Download. GUI thread.
//
// The server is not trusted, since the package travels over plain HTTP:
// - only http and https addresses are fetched;
// - the package is bounded: an announced size above the maximum, or less free space
//   than the rest of it needs with the free-space floor kept, ends the download before
//   the first byte is written, a body that grows past the maximum or would pass the
//   floor ends it there, and so does the first write that fails; the partial file is
//   removed in each of these cases. The reply holds at most kReadBufferSize bytes in
//   memory, however fast the data comes;
// - a 206 is taken only when its Content-Range continues the partial file exactly up
//   to its announced total; any other 206 makes the file start again from 0;
// - the file must end with exactly the announced size before it counts as complete;
// - a download ends as a time-out after kDefaultTimeoutMs without data, when less
//   than the minimum progress came in one window, or at the overall deadline.
// A time-out or a dropped connection keeps the partial file for a later resume; the
// caller's MD5 check of the complete file has the last word.
class Downloader : public QObject {
  Q_OBJECT

 public:
  enum DownloadState { kFailed = 0, kDone = 1 };
  Q_ENUM(DownloadState)

  explicit Downloader(QObject* parent = nullptr);
  ~Downloader() override;

  // Whether the next download may continue an existing partial file.
  void SetResumable(bool resumable) { resumable_ = resumable; }
  void Download(const QUrl& url, const QString& save_path);
  // A download is under way (between Download and its Finished).
  bool IsDownloading() const { return reply_ != nullptr; }

  // The time without data after which a download gives up (the partial file stays).
  static constexpr int kDefaultTimeoutMs = 30000;
  void SetTimeout(int ms) { timer_.setInterval(ms); }

  // No installer of ours comes near this; anything larger is not one.
  static constexpr qint64 kMaxPackageSize = qint64(1) << 30;
  void SetMaxPackageSize(qint64 bytes) { max_package_size_ = bytes; }

  // The free space beside the partial file stays above this floor: a package whose
  // announced rest would pass it fails before its first byte, and any download stops
  // ("not enough space") at the write that would pass it.
  static constexpr qint64 kDefaultMinFreeSpace = qint64(64) << 20;
  void SetMinimumFreeSpace(qint64 bytes) { min_free_space_ = bytes; }

  // Less than this many bytes in one window ends the download as a time-out
  // (1 KiB/s over a minute): a trickle must not hold the updater for days.
  static constexpr int kDefaultProgressWindowMs = 60000;
  static constexpr qint64 kDefaultMinProgressBytes = 60 * 1024;
  void SetMinimumProgress(int window_ms, qint64 bytes) {
    progress_timer_.setInterval(window_ms);
    min_progress_bytes_ = bytes;
  }

  // A download that is not complete after this time ends as a time-out; the next one
  // resumes from what it got.
  static constexpr int kDefaultDeadlineMs = 2 * 60 * 60 * 1000;
  void SetDeadline(int ms) { deadline_timer_.setInterval(ms); }

  // What the reply may hold in memory before it stops reading from the network.
  static constexpr qint64 kReadBufferSize = 256 * 1024;
  // The most bytes the reply held for this object at once since the last Download.
  qint64 PeakBytesHeld() const { return peak_bytes_held_; }

 signals:
  void Finished(Downloader::DownloadState state);

 private slots:
  void OnDataReadyRead();
  void OnDownloadTimeout();
  void OnReplyFinished();

 private:
  // Sends the GET for the current address, with a range from the file's end or not.
  void StartRequest(bool with_range);
  // Detaches the current reply (no more slots from it), aborts it and releases it.
  void DropReply();
  // Checks once per reply, before the first byte is written, that the answer fits the
  // file and the bounds. False when its body is not to be written; the download may
  // have ended or started again meanwhile (reply_ then differs).
  bool CheckAnswer();
  // Takes what the reply holds into the file. False when the download ended or started
  // again.
  bool TakeData();
  bool Append(const QByteArray& data);
  void OnMetaDataChanged();
  void OnProgressCheck();
  void OnDeadline();
  // Ends the download as failed with the error logged; the partial file is removed
  // unless it is kept for a resume.
  void Fail(const std::string& message, bool keep_partial);
  void StopTimers();
  // The part is the package: it takes the package's name, and Finished reports it.
  void Complete();
  // Free bytes on the partial file's filesystem, -1 unknown.
  qint64 FreeSpace() const;

  QTimer timer_;
  QString save_path_;
  QString temp_path_;
  QNetworkAccessManager manager_;
  QNetworkReply* reply_ = nullptr;
  QFile file_;
  bool resumable_ = false;
  QUrl url_;
  bool range_sent_ = false;
  qint64 range_start_ = 0;  // the file's size when the range request went out
  bool answer_checked_ = false;
  bool answer_usable_ = false;
  qint64 file_size_ = 0;       // bytes in the partial file
  qint64 expected_size_ = -1;  // the complete file's announced size, -1 unknown
  qint64 reply_bytes_ = 0;     // body bytes taken from the current reply
  qint64 reply_expected_ = -1;  // the current reply's announced body length
  qint64 max_package_size_ = kMaxPackageSize;
  qint64 min_free_space_ = kDefaultMinFreeSpace;
  QTimer progress_timer_;
  qint64 min_progress_bytes_ = kDefaultMinProgressBytes;
  qint64 window_bytes_ = 0;
  QTimer deadline_timer_;
  qint64 peak_bytes_held_ = 0;
};
