// Poses as the client for the updater's tests: the client's single-instance server
// (the updater's sign that the client is alive) and the host of the updater link.
//
// It listens on the server RENOVIX_FAKE_CLIENT_SERVER (default: the one named for
// "Castora", this user's), hosts the TransferMessage source on RENOVIX_FAKE_CLIENT_NODE
// (default: this user's node) and prints "ready". Run as another user and given this
// user's names, it is the stranger that squats them: its host is Qt's own and asks
// no peer who it is. Then:
// - every value received from the updater is printed as "received <n>";
// - kInstallNow (1) is answered with kClientExited (2), after which the program ends
//   as the client does (with RENOVIX_FAKE_CLIENT_SILENT=1 it ends without a word);
// - with RENOVIX_FAKE_CLIENT_ASK=1, kUpdateReady (3) is answered with kShowUpdateDialog
//   (4);
// - stdin lines "send <n>" send n; "quit" ends the program (the updater sees the
//   client's server connection drop); 60 s without end also end it.
#include <cstdio>

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRemoteObjectHost>
#include <QTimer>

#include "client/updater_link/node_url.h"
#include "rep_transfer_message_source.h"
#include "tests/support/stdin_commands.h"
#include "utils/single_application.h"

namespace {

void Say(const QString& line) {
  std::printf("%s\n", qPrintable(line));
  std::fflush(stdout);
}

class FakeClient : public TransferMessageSimpleSource {
 public:
  FakeClient() {
    const QByteArray node = qgetenv("RENOVIX_FAKE_CLIENT_NODE");
    host_ = new QRemoteObjectHost(node.isEmpty() ? updater_link::NodeUrl() : QUrl(QString::fromLocal8Bit(node)),
                                  this);
    host_->enableRemoting(this, QStringLiteral("TransferMessage"));
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const QByteArray server = qgetenv("RENOVIX_FAKE_CLIENT_SERVER");
    const QString name = server.isEmpty() ? utils::SingleApplication::ServerAddressFor(QStringLiteral("Castora"))
                                          : QString::fromLocal8Bit(server);
    QLocalServer::removeServer(name);
    if (!server_->listen(name)) Say(QStringLiteral("cannot listen"));
    // Connections are kept open, never read: as the client does with the updater's.
    connect(server_, &QLocalServer::newConnection, this, [this] {
      while (server_->nextPendingConnection() != nullptr) Say(QStringLiteral("watched"));
    });
  }

  void TransferSlot(int message) override {
    Say(QStringLiteral("received %1").arg(message));
    if (message == 1) {
      if (qgetenv("RENOVIX_FAKE_CLIENT_SILENT") != "1") Send(2);
      QCoreApplication::exit(0);
    }
    if (message == 3 && qgetenv("RENOVIX_FAKE_CLIENT_ASK") == "1") Send(4);
  }

  void Send(int value) {
    emit TransferSignal(value);
    for (QLocalSocket* socket : host_->findChildren<QLocalSocket*>()) {
      socket->flush();
      if (socket->bytesToWrite() > 0) socket->waitForBytesWritten(2000);
    }
    Say(QStringLiteral("sent %1").arg(value));
  }

 private:
  QRemoteObjectHost* host_ = nullptr;
  QLocalServer* server_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  FakeClient client;
  Say(QStringLiteral("ready"));
  QTimer::singleShot(60000, [] { QCoreApplication::exit(4); });
  // Commands from stdin (a pipe from the test), read as they come.
  testing_support::StdinCommands commands([&client](int value) { client.Send(value); });
  return app.exec();
}
