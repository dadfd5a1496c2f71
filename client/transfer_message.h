#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include "client/updater_link/update_message_type.h"
#include "rep_transfer_message_source.h"

class QRemoteObjectHost;

// The client's end of the updater link: hosts the node and the TransferMessage source
// on it. Messages from the updater arrive as TransferSlot and go on as NewMessage;
// SendMessage sends one to the updater (lost when no updater is connected: the link
// has no acknowledgement).
class TransferMessage : public TransferMessageSimpleSource {
  Q_OBJECT

 public:
  // The values of the link (updater_link::UpdateMessageType) are shared with the
  // updater.
  TransferMessage(const QUrl& node_url, QObject* parent = nullptr);
  ~TransferMessage() override;

  // The key of a value ("kInstallNow"), or "unknown (<value>)" for a value outside
  // UpdateMessageType.
  QString KeyOf(int message) const;

  // Writes whatever the host has queued for its peers, waiting at most timeout_ms per
  // connection. The process is about to end and the updater must still get the last
  // message.
  void Flush(int timeout_ms);

  // The node listens and the source is remoted on it.
  bool IsHosting() const;

 signals:
  void NewMessage(int message);

 public slots:
  void TransferSlot(int message) override;
  void SendMessage(int message);

 private:
  QRemoteObjectHost* host_ = nullptr;
  bool name_in_use_ = false;
};
