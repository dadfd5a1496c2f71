#pragma once

#include <memory>

#include <QObject>
#include <QRemoteObjectNode>
#include <QRemoteObjectReplica>
#include <QUrl>

#include "client/updater_link/update_message_type.h"

class TransferMessageReplica;

// The updater's end of the updater link: a node connected to the client's host and the
// TransferMessage replica acquired from it. Messages from the client come out as
// NewMessage; Valid is emitted each time the replica becomes valid (the client's host
// is up and the two interfaces agree).
class TransferMessage : public QObject {
  Q_OBJECT

 public:
  using UpdateMessageType = updater_link::UpdateMessageType;

  TransferMessage(const QUrl& node_url, QObject* parent = nullptr);
  ~TransferMessage() override;

  // Calls the client's TransferSlot with the value. Not checked against the replica's
  // state: a message sent while the link is not valid is lost.
  void SendMessage(int message);

  bool IsValid() const;

  // Writes out what the node has queued for the client, waiting at most timeout_ms. The
  // process may be about to end, and the client must still get the message.
  void Flush(int timeout_ms);

 signals:
  void NewMessage(int message);
  void Valid();

 private slots:
  void OnReceiveMessage(int message);
  void OnStateChanged(QRemoteObjectReplica::State new_state, QRemoteObjectReplica::State old_state);

 private:
  QRemoteObjectNode* node_ = nullptr;
  std::shared_ptr<TransferMessageReplica> replica_;
};
