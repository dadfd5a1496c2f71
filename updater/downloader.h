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

  // The time without data after which a download gives up (the partial file stays).
  static constexpr int kDefaultTimeoutMs = 30000;
  void SetTimeout(int ms) { timer_.setInterval(ms); }

 signals:
  void Finished(Downloader::DownloadState state);

 private slots:
  void OnDataReadyRead();
  void OnDownloadTimeout();
  void OnReplyFinished();

 private:
  // Detaches the current reply (no more slots from it), aborts it and releases it.
  void DropReply();
  // Checks once per reply, before the first byte is written, that the answer fits the
  // file: a range request must be answered 206, or the file starts again.
  bool CheckAnswer();

  QTimer timer_;
  QString save_path_;
  QString temp_path_;
  QNetworkAccessManager manager_;
  QNetworkReply* reply_ = nullptr;
  QFile file_;
  bool resumable_ = false;
  bool range_sent_ = false;
  bool answer_checked_ = false;
  bool answer_usable_ = false;
};
