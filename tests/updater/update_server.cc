#include "tests/updater/update_server.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

namespace updater_test {

namespace {
// Requests are a few hundred bytes; a larger head is not ours and is dropped.
constexpr int kMaxRequestHead = 64 * 1024;

QByteArray ReasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}
}  // namespace

Response Response::Json(const QByteArray& json) {
  Response r;
  r.body = json;
  r.headers.push_back({"Content-Type", "application/json"});
  return r;
}

Response Response::File(const QByteArray& bytes) {
  Response r;
  r.body = bytes;
  r.headers.push_back({"Content-Type", "application/octet-stream"});
  return r;
}

Response Response::Redirect(int status, const QString& location) {
  Response r;
  r.status = status;
  r.body = "moved";
  r.headers.push_back({"Location", location.toUtf8()});
  return r;
}

Response Response::Status(int status) {
  Response r;
  r.status = status;
  r.body = ReasonPhrase(status);
  return r;
}

QByteArray RecordedRequest::header(const QByteArray& name) const {
  auto it = headers.find(name.toLower());
  return it == headers.end() ? QByteArray() : it->second;
}

struct UpdateServer::Connection {
  QTcpSocket* socket = nullptr;
  QByteArray head;
  bool answered = false;
  QByteArray pending_body;  // what is left to send in chunks
  int chunk_size = 0;
  QTimer chunk_timer;
  bool chunked = false;
  QByteArray endless_piece;  // sent again and again while the connection takes it
};

UpdateServer::UpdateServer(QObject* parent) : QObject(parent) {
  connect(&server_, &QTcpServer::newConnection, this, &UpdateServer::OnNewConnection);
}

UpdateServer::~UpdateServer() {
  for (auto& entry : connections_) {
    entry.first->disconnect(this);
    entry.first->abort();
    entry.first->deleteLater();
  }
  connections_.clear();
}

bool UpdateServer::Start() { return server_.listen(QHostAddress(QHostAddress::LocalHost), 0); }

quint16 UpdateServer::port() const { return server_.serverPort(); }

QString UpdateServer::BaseUrl() const {
  return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

void UpdateServer::SetResponse(const QString& path, const Response& response) {
  responses_[path] = response;
}

void UpdateServer::SetUpdateReply(const QByteArray& json) {
  SetResponse(UpdatePath(), Response::Json(json));
}

std::vector<RecordedRequest> UpdateServer::RequestsFor(const QString& path) const {
  std::vector<RecordedRequest> result;
  for (const RecordedRequest& r : requests_) {
    if (r.url().path() == path) result.push_back(r);
  }
  return result;
}

void UpdateServer::OnNewConnection() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    auto connection = std::make_unique<Connection>();
    connection->socket = socket;
    Connection* raw = connection.get();
    connections_[socket] = std::move(connection);
    connect(socket, &QTcpSocket::readyRead, this, [this, raw] { OnReadyRead(raw); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { Close(socket); });
    connect(&raw->chunk_timer, &QTimer::timeout, this, [this, raw] { SendNextChunk(raw); });
    if (socket->bytesAvailable() > 0) OnReadyRead(raw);
  }
}

void UpdateServer::OnReadyRead(Connection* connection) {
  if (connection->answered) {
    connection->socket->readAll();
    return;
  }
  connection->head += connection->socket->readAll();
  if (connection->head.size() > kMaxRequestHead) {
    Close(connection->socket);
    return;
  }
  if (connection->head.contains("\r\n\r\n")) Answer(connection);
}

void UpdateServer::Answer(Connection* connection) {
  connection->answered = true;
  const QByteArray head = connection->head.left(connection->head.indexOf("\r\n\r\n"));
  const QList<QByteArray> lines = head.split('\n');
  RecordedRequest request;
  const QList<QByteArray> request_line = lines.value(0).trimmed().split(' ');
  request.method = request_line.value(0);
  request.target = request_line.value(1);
  for (int i = 1; i < lines.size(); ++i) {
    const int colon = lines[i].indexOf(':');
    if (colon <= 0) continue;
    request.headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
  }
  requests_.push_back(request);
  emit RequestReceived(request);

  auto it = responses_.find(request.url().path());
  const Response response = it == responses_.end() ? Response::Status(404) : it->second;
  if (response.hang) return;

  int status = response.status;
  QByteArray body = response.body;
  QList<QPair<QByteArray, QByteArray>> headers = response.headers;
  const qint64 size = body.size();
  const qint64 announced = response.announced_size >= 0 ? response.announced_size : size;
  qint64 length = announced;  // the Content-Length sent
  const QByteArray range = request.header("range");
  if (status == 200 && response.honour_range && !range.isEmpty()) {
    static const QRegularExpression kRange(QStringLiteral("^bytes=(\\d+)-(\\d*)$"));
    const auto match = kRange.match(QString::fromLatin1(range));
    const bool open_ended = match.hasMatch() && match.captured(2).isEmpty();
    const qint64 first = match.hasMatch() ? match.captured(1).toLongLong() : -1;
    qint64 last = match.hasMatch() && !open_ended ? match.captured(2).toLongLong() : size - 1;
    if (first < 0 || first >= size || last < first) {
      status = 416;
      body.clear();
      length = 0;
      headers.push_back({"Content-Range", QByteArray("bytes */") + QByteArray::number(size)});
    } else {
      last = std::min(last, size - 1);
      status = 206;
      // An open range runs to the end of the announced package.
      qint64 shown_last = open_ended ? announced - 1 : last;
      qint64 total = announced;
      qint64 shown_first = first;
      body = body.mid(first, last - first + 1);
      if (response.bad_range == Response::BadRange::kWholeFromZero) {
        shown_first = 0;
        shown_last = size - 1;
        body = response.body;
      } else if (response.bad_range == Response::BadRange::kWrongTotal) {
        total = size + 1;
      }
      length = shown_last - shown_first + 1;
      headers.push_back({"Content-Range", QByteArray("bytes ") + QByteArray::number(shown_first) + "-" +
                                              QByteArray::number(shown_last) + "/" + QByteArray::number(total)});
    }
  }
  if (response.close_after >= 0) body = body.left(response.close_after);

  QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + " " + ReasonPhrase(status) +
                   "\r\n";
  connection->chunked = response.chunked;
  if (response.chunked) {
    out += "Transfer-Encoding: chunked\r\n";
  } else if (!response.endless) {
    out += "Content-Length: " + QByteArray::number(length) + "\r\n";
  }
  out += "Connection: close\r\n";
  if (response.honour_range) out += "Accept-Ranges: bytes\r\n";
  for (const auto& header : headers) out += header.first + ": " + header.second + "\r\n";
  out += "\r\n";
  connection->socket->write(out);

  if (response.endless) {
    // Filled again whenever the socket has sent most of what it holds, so that the
    // server's own memory stays small however long the client reads.
    QByteArray piece = body.isEmpty() ? QByteArray(64 * 1024, 'x') : body;
    while (piece.size() < 64 * 1024) piece += piece;
    connection->endless_piece = piece;
    connect(connection->socket, &QTcpSocket::bytesWritten, this, [this, connection] { SendEndless(connection); });
    SendEndless(connection);
    return;
  }
  if (response.stall_after >= 0) {
    SendBody(connection, body.left(response.stall_after));
    if (response.resume_after_ms <= 0) return;  // silence; the connection stays open
    connection->pending_body = body.mid(response.stall_after);
    connection->chunk_size = static_cast<int>(connection->pending_body.size());
    connection->chunk_timer.setSingleShot(true);
    connection->chunk_timer.start(response.resume_after_ms);
    return;
  }
  if (response.chunk_size > 0) {
    connection->pending_body = body;
    connection->chunk_size = response.chunk_size;
    connection->chunk_timer.start(response.chunk_interval_ms);
    SendNextChunk(connection);
    return;
  }
  SendBody(connection, body);
  EndBody(connection);
}

void UpdateServer::SendBody(Connection* connection, const QByteArray& bytes) {
  if (bytes.isEmpty()) return;
  if (!connection->chunked) {
    connection->socket->write(bytes);
    return;
  }
  connection->socket->write(QByteArray::number(bytes.size(), 16) + "\r\n" + bytes + "\r\n");
}

void UpdateServer::EndBody(Connection* connection) {
  if (connection->chunked) connection->socket->write("0\r\n\r\n");
  connection->socket->disconnectFromHost();
}

void UpdateServer::SendEndless(Connection* connection) {
  constexpr qint64 kKeepQueued = 256 * 1024;
  while (connection->socket->state() == QAbstractSocket::ConnectedState &&
         connection->socket->bytesToWrite() < kKeepQueued)
    SendBody(connection, connection->endless_piece);
}

void UpdateServer::SendNextChunk(Connection* connection) {
  SendBody(connection, connection->pending_body.left(connection->chunk_size));
  connection->pending_body.remove(0, connection->chunk_size);
  if (connection->pending_body.isEmpty()) {
    connection->chunk_timer.stop();
    EndBody(connection);
  }
}

void UpdateServer::Close(QTcpSocket* socket) {
  QTimer::singleShot(0, this, [this, socket] {
    auto it = connections_.find(socket);
    if (it == connections_.end()) return;
    std::unique_ptr<Connection> owned = std::move(it->second);
    connections_.erase(it);
    owned->chunk_timer.stop();
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
  });
}

}  // namespace updater_test
