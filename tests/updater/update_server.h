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
  // Body sent in pieces of this size, one every `chunk_interval_ms` (0: all at once);
  // a trickle with small pieces.
  int chunk_size = 0;
  int chunk_interval_ms = 0;

  // Misbehaviours of a hostile or broken server.
  // The body never ends: no Content-Length, the body (or filler) sent again and again
  // as fast as the connection takes it.
  bool endless = false;
  // The body ends after this many bytes and the connection closes, whatever the headers
  // promised (a chunked body ends there with its last chunk).
  qint64 close_after = -1;
  // The package size the headers announce instead of the body's: the Content-Length of
  // a 200, the total of a 206's Content-Range.
  qint64 announced_size = -1;
  // The body goes with "Transfer-Encoding: chunked" and no Content-Length, so that only
  // the body decides where it ends.
  bool chunked = false;
  // A range request answered 206 with a Content-Range that does not fit it.
  enum class BadRange {
    kNone,
    kWholeFromZero,  // "bytes 0-<size-1>/<size>" and the whole body
    kWrongTotal,     // the asked part, with a total one larger than the body
  };
  BadRange bad_range = BadRange::kNone;

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
  // Writes body bytes, framed as a chunk when the answer is chunked.
  void SendBody(Connection* connection, const QByteArray& bytes);
  // Ends the body (the last chunk of a chunked one) and closes the connection.
  void EndBody(Connection* connection);
  void SendEndless(Connection* connection);
  // Deferred to the event loop: a connection may end inside one of its own handlers.
  void Close(QTcpSocket* socket);

  QTcpServer server_;
  std::map<QString, Response> responses_;
  std::vector<RecordedRequest> requests_;
  std::map<QTcpSocket*, std::unique_ptr<Connection>> connections_;
};

}  // namespace updater_test
