#include "client/transfer_message.h"

#include <QLocalSocket>
#include <QRemoteObjectHost>

#include "utils/logger.h"

namespace {
const char* const kLogTag = "CASTORA::transfer_message";
}  // namespace

TransferMessage::TransferMessage(const QUrl& node_url, QObject* parent)
    : TransferMessageSimpleSource(parent),
      host_(new QRemoteObjectHost(node_url, this)) {
  // A node that cannot listen (the name held by a live process of another user, say)
  // leaves the client without updates, nothing more.
  if (host_->lastError() != QRemoteObjectNode::NoError)
    LOG_ERROR("Fail to host {}: error {}", node_url.toString().toStdString(), static_cast<int>(host_->lastError()));
  if (!host_->enableRemoting(this, QStringLiteral("TransferMessage")))
    LOG_ERROR("Fail to enable remoting: error {}", static_cast<int>(host_->lastError()));
}

TransferMessage::~TransferMessage() = default;

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
  // The host's peer connections are local sockets below the host object.
  for (QLocalSocket* socket : host_->findChildren<QLocalSocket*>()) {
    if (socket->state() != QLocalSocket::ConnectedState) continue;
    socket->flush();
    if (socket->bytesToWrite() > 0) socket->waitForBytesWritten(timeout_ms);
  }
}

bool TransferMessage::IsHosting() const { return host_->lastError() == QRemoteObjectNode::NoError; }
