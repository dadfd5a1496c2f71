// Poses as the updater on the far end of the updater link, for the link tests.
//
// It connects to the node CASTORA_FAKE_UPDATER_NODE (default: this user's node) with
// Qt's own node, which asks no host who it is, acquires the TransferMessage replica
// and, once it is valid, prints "valid". Then:
// - CASTORA_FAKE_UPDATER_SEND="0,3": values sent at once, in order;
// - CASTORA_FAKE_UPDATER_ON4="1": values sent when the client asks for the dialog (4);
// - stdin lines "send <n>" send n (and print "sent <n>" once it left the process),
//   "quit" ends the program;
// - every value received is printed as "received <n>" and appended as a line to
//   CASTORA_FAKE_UPDATER_LOG when set. kClientExited (2) ends the program, as does a
//   link that drops, and 30 s without end.
// With CASTORA_FAKE_UPDATER_HOLD=<name> it only listens on that local name, open to
// all, and prints "holding": run as another user, a stranger's live node on the name.
#include <cstdio>
#include <memory>
#include <string>

#include <QCoreApplication>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRemoteObjectNode>
#include <QStringList>
#include <QTimer>

#include "client/updater_link/node_url.h"
#include "rep_transfer_message_replica.h"
#include "tests/support/stdin_commands.h"

namespace {

void Say(const QString& line) {
  std::printf("%s\n", qPrintable(line));
  std::fflush(stdout);
}

QList<int> Values(const char* variable) {
  QList<int> values;
  for (const QString& part : QString::fromLocal8Bit(qgetenv(variable)).split(QLatin1Char(','), Qt::SkipEmptyParts))
    values.append(part.trimmed().toInt());
  return values;
}

class FakeUpdater : public QObject {
 public:
  FakeUpdater() {
    const QByteArray node = qgetenv("CASTORA_FAKE_UPDATER_NODE");
    node_.connectToNode(node.isEmpty() ? updater_link::NodeUrl() : QUrl(QString::fromLocal8Bit(node)));
    replica_.reset(node_.acquire<TransferMessageReplica>());
    connect(replica_.get(), &QRemoteObjectReplica::stateChanged, this, [this](QRemoteObjectReplica::State state) {
      if (state == QRemoteObjectReplica::Valid) {
        Say(QStringLiteral("valid"));
        for (int value : Values("CASTORA_FAKE_UPDATER_SEND")) Send(value);
      } else if (state == QRemoteObjectReplica::Suspect) {
        Say(QStringLiteral("dropped"));
        QCoreApplication::exit(3);
      }
    });
    connect(replica_.get(), &TransferMessageReplica::TransferSignal, this, [this](int value) {
      Say(QStringLiteral("received %1").arg(value));
      const QByteArray log = qgetenv("CASTORA_FAKE_UPDATER_LOG");
      if (!log.isEmpty()) {
        QFile file(QString::fromLocal8Bit(log));
        if (file.open(QIODevice::Append)) file.write(QByteArray::number(value) + '\n');
      }
      if (value == 4)
        for (int answer : Values("CASTORA_FAKE_UPDATER_ON4")) Send(answer);
      if (value == 2) QCoreApplication::exit(0);
    });
  }

  void Send(int value) {
    replica_->TransferSlot(value);
    // The node's connection is a local socket below the node: write it out now, so
    // that "sent" means the bytes are with the client.
    for (QLocalSocket* socket : node_.findChildren<QLocalSocket*>()) {
      socket->flush();
      if (socket->bytesToWrite() > 0) socket->waitForBytesWritten(2000);
    }
    Say(QStringLiteral("sent %1").arg(value));
  }

 private:
  QRemoteObjectNode node_;
  std::unique_ptr<TransferMessageReplica> replica_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QByteArray hold = qgetenv("CASTORA_FAKE_UPDATER_HOLD");
  if (!hold.isEmpty()) {
    QLocalServer server;
    server.setSocketOptions(QLocalServer::WorldAccessOption);
    if (!server.listen(QString::fromLocal8Bit(hold))) return 2;
    Say(QStringLiteral("holding"));
    QTimer::singleShot(30000, [] { QCoreApplication::exit(4); });
    testing_support::StdinCommands commands([](int) {});
    return app.exec();
  }
  FakeUpdater updater;
  QTimer::singleShot(30000, [] { QCoreApplication::exit(4); });
  // Commands from stdin (a pipe from the test), read as they come.
  testing_support::StdinCommands commands([&updater](int value) { updater.Send(value); });
  return app.exec();
}
