#include "utils/single_application.h"

#include <cstdlib>
#include <memory>

#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>
#include <QtGlobal>

#include "utils/local_peer.h"

namespace utils {

namespace {

constexpr int kWaitMs = 500;

}  // namespace

QString SingleApplication::ServerNameFor(const QString& application_name) { return PerUserName(application_name); }

QString SingleApplication::ServerAddressFor(const QString& application_name) {
  return PerUserAddress(application_name);
}

SingleApplication::SingleApplication(int& argc, char** argv, bool exit_if_running)
    : QApplication(argc, argv), server_name_(ServerNameFor(QCoreApplication::applicationName())),
      server_address_(ServerAddressFor(QCoreApplication::applicationName())) {
  if (NotifyRunningInstance()) {
    second_instance_ = true;
    if (exit_if_running) std::exit(-1);
    return;
  }
  Listen();
}

SingleApplication::~SingleApplication() {
  delete server_;
  server_ = nullptr;
  delete second_server_;
  second_server_ = nullptr;
}

void SingleApplication::SetActivationWindow(QWidget* window) { activation_window_ = window; }

bool SingleApplication::NotifyRunningInstance() {
  // The first instance may have started from another environment and found another
  // folder than ours: it is looked for wherever it may listen.
  for (const QString& address : PerUserAddresses(QCoreApplication::applicationName())) {
    if (NotifyRunningInstanceAt(address)) return true;
  }
  return false;
}

bool SingleApplication::NotifyRunningInstanceAt(const QString& address) {
  auto socket = std::make_unique<QLocalSocket>();
  socket->connectToServer(address, QIODevice::ReadWrite);
  if (!socket->waitForConnected(kWaitMs)) return false;
  // A name in the shared temporary folder can be taken by anyone; only our own user's
  // instance may silence a start.
  if (!PeerIsSameUser(*socket)) return false;
  socket->write(server_name_.toLatin1());
  socket->flush();
  socket->waitForBytesWritten(kWaitMs);
  socket->disconnectFromServer();
  return true;
}

bool SingleApplication::ListenOn(QLocalServer& server, const QString& address) {
  // Only this user may connect; Qt sets the mode before the socket gets its name.
  server.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server, &QLocalServer::newConnection, this, &SingleApplication::OnNewConnection);
  if (server.listen(address)) return true;
  if (server.serverError() == QAbstractSocket::AddressInUseError) {
    // Left over by an instance that died: nobody answered on it above.
    QLocalServer::removeServer(address);
    if (server.listen(address)) return true;
  }
  return false;
}

void SingleApplication::Listen() {
  server_ = new QLocalServer(this);
  if (!ListenOn(*server_, server_address_)) {
    // The process logger is not up yet: the text waits for the program to log it, and
    // goes to stderr as well for a start that never gets that far.
    listen_error_ = ListenFailureText(*server_, server_address_);
    qWarning("single instance server %s not listening: %s", qPrintable(server_address_),
             qPrintable(listen_error_));
    return;
  }
  // In a folder that only this environment names, a start from another one would not
  // find us: the temporary folder, where every start looks, has the name as well.
  const QString second_address = PerUserSecondAddress(QCoreApplication::applicationName());
  if (second_address.isEmpty()) return;
  second_server_ = new QLocalServer(this);
  if (!ListenOn(*second_server_, second_address)) {
    qWarning("single instance server %s not listening: %s (only a start from this environment finds this one)",
             qPrintable(second_address), qPrintable(ListenFailureText(*second_server_, second_address)));
  }
}

void SingleApplication::OnNewConnection() {
  for (QLocalServer* server : {server_, second_server_}) {
    if (server != nullptr) Accept(*server);
  }
}

void SingleApplication::Accept(QLocalServer& server) {
  while (QLocalSocket* socket = server.nextPendingConnection()) {
    if (!PeerIsSameUser(*socket)) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket]() {
      // A whole message is the name alone; anything else, or a part, is ignored.
      if (socket->readAll() != server_name_.toLatin1()) return;
      QWidget* window = activation_window_.data();
      if (!window) return;
      window->show();
      window->showNormal();
      window->raise();
      window->activateWindow();
    });
  }
}

}  // namespace utils
