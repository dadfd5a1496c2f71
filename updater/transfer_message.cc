#include "updater/transfer_message.h"

#include <fmt/format.h>

#include <QLocalSocket>
#include <QMetaEnum>

#include "rep_transfer_message_replica.h"
#include "updater/updater_logger.h"

namespace {
const char* const kLogTag = kTransferMessageLogTag;

std::string StateName(QRemoteObjectReplica::State state) {
  static const QMetaEnum states = QMetaEnum::fromType<QRemoteObjectReplica::State>();
  const char* key = states.valueToKey(state);
  return key ? key : fmt::format("unknown ({})", static_cast<int>(state));
}
}  // namespace

TransferMessage::TransferMessage(const QUrl& node_url, QObject* parent)
    : QObject(parent), node_(new QRemoteObjectNode(this)) {
  node_->connectToNode(node_url);
  replica_.reset(node_->acquire<TransferMessageReplica>());
  connect(replica_.get(), &TransferMessageReplica::TransferSignal, this, &TransferMessage::OnReceiveMessage);
  connect(replica_.get(), &QRemoteObjectReplica::stateChanged, this, &TransferMessage::OnStateChanged);
}

TransferMessage::~TransferMessage() = default;

void TransferMessage::SendMessage(int message) {
  LogInfo(kLogTag, fmt::format("Qtro send message: {}", updater_link::KeyOf(message).toStdString()));
  // The generated remote slot looks its index up once by the signature and sends a
  // remote method invocation with the one integer argument.
  replica_->TransferSlot(message);
}

bool TransferMessage::IsValid() const { return replica_->state() == QRemoteObjectReplica::Valid; }

void TransferMessage::Flush(int timeout_ms) {
  for (QLocalSocket* socket : node_->findChildren<QLocalSocket*>()) {
    if (socket->state() != QLocalSocket::ConnectedState) continue;
    socket->flush();
    if (socket->bytesToWrite() > 0) socket->waitForBytesWritten(timeout_ms);
  }
}

void TransferMessage::OnReceiveMessage(int message) {
  LogInfo(kLogTag, fmt::format("Qtro recv message: {}", updater_link::KeyOf(message).toStdString()));
  emit NewMessage(message);
}

void TransferMessage::OnStateChanged(QRemoteObjectReplica::State new_state, QRemoteObjectReplica::State old_state) {
  LogInfo(kLogTag, fmt::format("Qtro state: {}->{}", StateName(new_state), StateName(old_state)));
  if (new_state == QRemoteObjectReplica::Valid) emit Valid();
}
