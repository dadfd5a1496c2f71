#pragma once

#include <QMetaEnum>
#include <QObject>
#include <QString>
#include <QUrl>

#include "rep_transfer_message_source.h"

class QRemoteObjectHost;

// The client's end of the updater link: hosts the node and the TransferMessage source
// on it. Messages from the updater arrive as TransferSlot and go on as NewMessage;
// SendMessage sends one to the updater (lost when no updater is connected: the link
// has no acknowledgement).
class TransferMessage : public TransferMessageSimpleSource {
  Q_OBJECT

 public:
  // The values of the link, shared with the updater.
  enum UpdateMessageType {
    kNoNeedToUpdate = 0,    // updater -> client: start normally
    kInstallNow = 1,        // updater -> client: answer kClientExited and end
    kClientExited = 2,      // client -> updater: run the installation
    kUpdateReady = 3,       // updater -> client: ask for the dialog when allowed
    kShowUpdateDialog = 4,  // client -> updater: show the update dialog
  };
  Q_ENUM(UpdateMessageType)

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
  QMetaEnum message_type_;
  bool name_in_use_ = false;
};
