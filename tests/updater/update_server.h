#pragma once

#include <map>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 (ephemeral port) that plays the update service
// and the download mirror for tests and the demo. Each path answers as scripted;
// every request is recorded. One request per connection ("Connection: close"). Runs
// on the thread that owns it, in Qt's event loop.
namespace updater_test {

struct Response {
  int status = 200;
  QByteArray body;
  QList<QPair<QByteArray, QByteArray>> headers;  // added to the standard ones
  // "Range: bytes=N-" (or N-M) is answered 206 with that part; when false the range is
  // ignored and the whole body comes with 200, as some servers do.
  bool honour_range = true;
  // The request is read and never answered (the connection stays open).
  bool hang = false;
  // Only this many body bytes are sent; the connection then stays open in silence,
  // for ever or, with `resume_after_ms` > 0, until the rest follows after that time.
  qint64 stall_after = -1;
  int resume_after_ms = 0;
  // Body sent in pieces of this size, one every `chunk_interval_ms` (0: all at once).
  int chunk_size = 0;
  int chunk_interval_ms = 0;

  static Response Json(const QByteArray& json);
  static Response File(const QByteArray& bytes);
  static Response Redirect(int status, const QString& location);
  static Response Status(int status);
};

struct RecordedRequest {
  QByteArray method;
  QByteArray target;  // as sent: path and query
  std::map<QByteArray, QByteArray> headers;  // names in lower case
  QUrl url() const { return QUrl(QString::fromLatin1(target)); }
  QByteArray header(const QByteArray& name) const;
};

class UpdateServer : public QObject {
  Q_OBJECT

 public:
  explicit UpdateServer(QObject* parent = nullptr);
  ~UpdateServer() override;

  // Listens on 127.0.0.1 on a port the system picks.
  bool Start();
  quint16 port() const;
  // "http://127.0.0.1:<port>"
  QString BaseUrl() const;

  // The answer for a path (without query). Unknown paths get 404.
  void SetResponse(const QString& path, const Response& response);
  // The reply of the update check at "/api/v1/update".
  void SetUpdateReply(const QByteArray& json);
  static QString UpdatePath() { return QStringLiteral("/api/v1/update"); }

  const std::vector<RecordedRequest>& requests() const { return requests_; }
  // The requests for one path.
  std::vector<RecordedRequest> RequestsFor(const QString& path) const;
  void ClearRequests() { requests_.clear(); }

 signals:
  void RequestReceived(const updater_test::RecordedRequest& request);

 private:
  struct Connection;
  void OnNewConnection();
  void OnReadyRead(Connection* connection);
  void Answer(Connection* connection);
  void SendNextChunk(Connection* connection);
  // Deferred to the event loop: a connection may end inside one of its own handlers.
  void Close(QTcpSocket* socket);

  QTcpServer server_;
  std::map<QString, Response> responses_;
  std::vector<RecordedRequest> requests_;
  std::map<QTcpSocket*, std::unique_ptr<Connection>> connections_;
};

}  // namespace updater_test
