#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include "client/updater_link/update_message_type.h"
#include "rep_transfer_message_source.h"

class QLocalServer;
class QRemoteObjectHost;

// The client's end of the updater link: hosts the node and the TransferMessage source
// on it. Messages from the updater arrive as TransferSlot and go on as NewMessage;
// SendMessage sends one to the updater (lost when no updater is connected: the link
// has no acknowledgement).
//
// The node is a local server of this user's own (mode 0700), and a connection is
// handed to the node only when the process at its other end runs as this user: an
// updater of another user is never heard and never told anything.
class TransferMessage : public TransferMessageSimpleSource {
  Q_OBJECT

 public:
  // The values of the link (updater_link::UpdateMessageType) are shared with the
  // updater. node_url is "local:<server name>".
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
  // Takes the name (unless a live node of this user answers on it) and listens.
  bool Listen(const QString& name);
  void OnNewConnection();

  // Created before the server, so that it goes first: the node's connections wrap the
  // server's sockets.
  QRemoteObjectHost* host_ = nullptr;
  QLocalServer* server_ = nullptr;
  bool listening_ = false;
  bool remoting_ = false;
};
