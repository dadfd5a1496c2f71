#include "client/transfer_message.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QRemoteObjectHost>

#include "utils/local_peer.h"
#include "utils/log_limit.h"
#include "utils/logger.h"

namespace {
const char* const kLogTag = "CASTORA::transfer_message";

constexpr int kProbeMs = 200;

// The node's own address, for the host alone: the node does not listen itself but is
// given the connections of our server once their peer is known, and such an address
// must not be one that it could listen on.
const QString kCheckedScheme = QStringLiteral("castora-peer-checked");

enum class NameHolder { kNobody, kThisUser, kOtherUser };

// Who listens on a local name. A name left by a client that was killed refuses the
// connection at once.
NameHolder ProbeLocalName(const QString& name, QString* peer) {
  QLocalSocket probe;
  probe.connectToServer(name);
  if (!probe.waitForConnected(kProbeMs)) return NameHolder::kNobody;
  const bool same_user = utils::PeerIsSameUser(probe);
  *peer = utils::PeerText(probe);
  probe.abort();
  return same_user ? NameHolder::kThisUser : NameHolder::kOtherUser;
}

}  // namespace

TransferMessage::TransferMessage(const QUrl& node_url, QObject* parent)
    : TransferMessageSimpleSource(parent), host_(new QRemoteObjectHost(this)), server_(new QLocalServer(this)) {
  const QString name = node_url.path();
  if (node_url.scheme() != QLatin1String("local") || name.isEmpty()) {
    LOG_ERROR("Fail to host {}: not a local node", node_url.toString().toStdString());
    return;
  }
  listening_ = Listen(name);
  if (!listening_) return;
  if (!host_->setHostUrl(QUrl(kCheckedScheme + QLatin1Char(':') + name),
                         QRemoteObjectHostBase::AllowExternalRegistration)) {
    LOG_ERROR("Fail to host {}: error {}", node_url.toString().toStdString(), static_cast<int>(host_->lastError()));
    return;
  }
  remoting_ = host_->enableRemoting(this, QStringLiteral("TransferMessage"));
  if (!remoting_) LOG_ERROR("Fail to enable remoting: error {}", static_cast<int>(host_->lastError()));
}

TransferMessage::~TransferMessage() {
  // The node's connections hold the server's sockets: the node goes first.
  delete host_;
  host_ = nullptr;
}

bool TransferMessage::Listen(const QString& name) {
  // A name on which a live node of this user answers (an earlier instance that lost
  // its single-instance name, say) is left to it. One left by a killed client is taken
  // over, and so is one that another user holds: that node is no updater of ours, and
  // leaving the name to it would leave this user without updates. (Where the folder
  // does not let us replace another user's name, the listen below fails: no updates,
  // but nothing of theirs is obeyed either.)
  QString peer;
  switch (ProbeLocalName(name, &peer)) {
    case NameHolder::kThisUser:
      LOG_ERROR("Fail to host local:{}: a live node answers on it", name.toStdString());
      return false;
    case NameHolder::kOtherUser:
      LOG_WARN("local:{} is held by {}, taking it over", name.toStdString(), peer.toStdString());
      QLocalServer::removeServer(name);
      break;
    case NameHolder::kNobody:
      break;
  }
  // Only this user may connect; the mode is set before the socket gets its name.
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &TransferMessage::OnNewConnection);
  if (server_->listen(name)) return true;
  LOG_ERROR("Fail to host local:{}: {}", name.toStdString(), utils::ListenFailureText(*server_, name).toStdString());
  return false;
}

void TransferMessage::OnNewConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    // The mode keeps other users out, but not one with the rights to pass it.
    if (!utils::PeerIsSameUser(*socket)) {
      // A stranger may knock as often as it likes.
      LOG_ERROR_LIMITED("Refuse a link peer of {}", utils::PeerText(*socket).toStdString());
      socket->abort();
      socket->deleteLater();
      continue;
    }
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    host_->addHostSideConnection(socket);
  }
}

QString TransferMessage::KeyOf(int message) const { return updater_link::KeyOf(message); }

void TransferMessage::TransferSlot(int message) {
  LOG_INFO("Qtro recv message: {}", KeyOf(message).toStdString());
  emit NewMessage(message);
}

void TransferMessage::SendMessage(int message) {
  LOG_INFO("Qtro send message: {}", KeyOf(message).toStdString());
  emit TransferSignal(message);
}

void TransferMessage::Flush(int timeout_ms) {
  for (QLocalSocket* socket : server_->findChildren<QLocalSocket*>()) {
    if (socket->state() != QLocalSocket::ConnectedState) continue;
    socket->flush();
    if (socket->bytesToWrite() > 0) socket->waitForBytesWritten(timeout_ms);
  }
}

bool TransferMessage::IsHosting() const { return listening_ && remoting_; }
