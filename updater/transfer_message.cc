#include "updater/transfer_message.h"

#include <fmt/format.h>

#include <QLocalSocket>
#include <QMetaEnum>

#include "rep_transfer_message_replica.h"
#include "updater/updater_logger.h"
#include "utils/local_peer.h"

namespace {
const char* const kLogTag = kTransferMessageLogTag;

// How often the name is tried while no host of ours answers on it.
constexpr int kRetryMs = 250;

std::string StateName(QRemoteObjectReplica::State state) {
  static const QMetaEnum states = QMetaEnum::fromType<QRemoteObjectReplica::State>();
  const char* key = states.valueToKey(state);
  return key ? key : fmt::format("unknown ({})", static_cast<int>(state));
}
}  // namespace

TransferMessage::TransferMessage(const QUrl& node_url, QObject* parent)
    : QObject(parent), server_name_(node_url.path()) {
  retry_timer_.setSingleShot(true);
  retry_timer_.setInterval(kRetryMs);
  connect(&retry_timer_, &QTimer::timeout, this, &TransferMessage::Connect);
  MakeNode();
  if (node_url.scheme() != QLatin1String("local") || server_name_.isEmpty()) {
    LogError(kLogTag, fmt::format("Qtro node {} is not a local node", node_url.toString().toStdString()));
    return;
  }
  Connect();
}

TransferMessage::~TransferMessage() {
  // The node's connection holds the socket: the node goes first.
  replica_.reset();
  delete node_;
  node_ = nullptr;
}

void TransferMessage::MakeNode() {
  replica_.reset();
  if (node_) node_->deleteLater();
  node_ = new QRemoteObjectNode(this);
  replica_.reset(node_->acquire<TransferMessageReplica>());
  connect(replica_.get(), &TransferMessageReplica::TransferSignal, this, &TransferMessage::OnReceiveMessage);
  connect(replica_.get(), &QRemoteObjectReplica::stateChanged, this, &TransferMessage::OnStateChanged);
}

void TransferMessage::Connect() {
  if (socket_) socket_->deleteLater();
  socket_ = new QLocalSocket(this);
  QLocalSocket* socket = socket_;
  connect(socket, &QLocalSocket::connected, this, &TransferMessage::OnConnected);
  connect(socket, &QLocalSocket::errorOccurred, this, [this, socket] {
    // Nobody listens yet. (A connection of the node's that breaks is OnDisconnected's.)
    if (socket == socket_ && !handed_to_node_) retry_timer_.start();
  });
  socket->connectToServer(server_name_);
}

void TransferMessage::OnConnected() {
  if (!utils::PeerIsSameUser(*socket_)) {
    if (!refusal_logged_) {
      LogError(kLogTag, fmt::format("Qtro host of {} refused on {}", utils::PeerText(*socket_).toStdString(),
                                    server_name_.toStdString()));
      refusal_logged_ = true;
    }
    socket_->abort();
    retry_timer_.start();
    return;
  }
  handed_to_node_ = true;
  connect(socket_, &QLocalSocket::disconnected, this, &TransferMessage::OnDisconnected);
  node_->addClientSideConnection(socket_);
}

void TransferMessage::OnDisconnected() {
  LogInfo(kLogTag, "Qtro link closed");
  handed_to_node_ = false;
  MakeNode();
  retry_timer_.start();
}

void TransferMessage::SendMessage(int message) {
  LogInfo(kLogTag, fmt::format("Qtro send message: {}", updater_link::KeyOf(message).toStdString()));
  // The generated remote slot looks its index up once by the signature and sends a
  // remote method invocation with the one integer argument.
  replica_->TransferSlot(message);
}

bool TransferMessage::IsValid() const { return replica_->state() == QRemoteObjectReplica::Valid; }

void TransferMessage::Flush(int timeout_ms) {
  if (!socket_ || socket_->state() != QLocalSocket::ConnectedState) return;
  socket_->flush();
  if (socket_->bytesToWrite() > 0) socket_->waitForBytesWritten(timeout_ms);
}

void TransferMessage::OnReceiveMessage(int message) {
  LogInfo(kLogTag, fmt::format("Qtro recv message: {}", updater_link::KeyOf(message).toStdString()));
  emit NewMessage(message);
}

void TransferMessage::OnStateChanged(QRemoteObjectReplica::State new_state, QRemoteObjectReplica::State old_state) {
  LogInfo(kLogTag, fmt::format("Qtro state: {}->{}", StateName(new_state), StateName(old_state)));
  if (new_state == QRemoteObjectReplica::Valid) emit Valid();
}
