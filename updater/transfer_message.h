#pragma once

#include <memory>

#include <QObject>
#include <QRemoteObjectNode>
#include <QRemoteObjectReplica>
#include <QTimer>
#include <QUrl>

#include "client/updater_link/update_message_type.h"

class QLocalSocket;
class TransferMessageReplica;

// The updater's end of the updater link: a node connected to the client's host and the
// TransferMessage replica acquired from it. Messages from the client come out as
// NewMessage; Valid is emitted each time the replica becomes valid (the client's host
// is up and the two interfaces agree).
//
// The node's connection is a local socket of our own: it is handed to the node only
// when the process that listens on the name runs as this user, so a host of another
// user is never obeyed. Until a host of ours answers, the name is tried again.
class TransferMessage : public QObject {
  Q_OBJECT

 public:
  using UpdateMessageType = updater_link::UpdateMessageType;

  // node_url is "local:<server name>".
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
  // A fresh node and replica: a node keeps what it learnt from a connection that is
  // gone, so a new connection needs a new node.
  void MakeNode();
  void Connect();
  void OnConnected();
  void OnDisconnected();

  QString server_name_;
  QRemoteObjectNode* node_ = nullptr;
  std::shared_ptr<TransferMessageReplica> replica_;
  QLocalSocket* socket_ = nullptr;
  QTimer retry_timer_;
  // socket_ is the node's connection.
  bool handed_to_node_ = false;
  // A refused host is logged once, not at every try.
  bool refusal_logged_ = false;
};
