#include "client/transfer_message.h"

#include <QLocalSocket>
#include <QRemoteObjectHost>

#include "utils/logger.h"

namespace {
const char* const kLogTag = "CASTORA::transfer_message";

constexpr int kProbeMs = 200;

// Whether a live node listens on a local name: a name left by a client that was killed
// refuses the connection at once.
bool LocalNameAnswers(const QString& name) {
  QLocalSocket probe;
  probe.connectToServer(name);
  const bool answers = probe.waitForConnected(kProbeMs);
  probe.abort();
  return answers;
}

}  // namespace

TransferMessage::TransferMessage(const QUrl& node_url, QObject* parent)
    : TransferMessageSimpleSource(parent),
      host_(new QRemoteObjectHost(this)) {
  // The host takes over a local name it cannot listen on, whoever holds it. A name left
  // by a killed client is taken over so; one on which a live node answers (an earlier
  // instance that lost its single-instance name, say) is left to it.
  if (node_url.scheme() == QLatin1String("local") && LocalNameAnswers(node_url.path())) {
    name_in_use_ = true;
    LOG_ERROR("Fail to host {}: a live node answers on it", node_url.toString().toStdString());
    return;
  }
  host_->setHostUrl(node_url);
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

bool TransferMessage::IsHosting() const {
  return !name_in_use_ && host_->lastError() == QRemoteObjectNode::NoError;
}
