#pragma once

#include <QApplication>
#include <QPointer>
#include <QString>

class QLocalServer;
class QWidget;

namespace utils {

// The client's application object: one instance per user. A second start connects
// to the first one's local server, writes the server name (Latin-1, nothing else)
// and ends; the first instance then brings its activation window to the front. The
// same server tells the updater that the client is alive: the updater connects,
// sends nothing and quits when the connection drops.
//
// The server is per user: its name carries the user id and lives in the user's own
// runtime folder where there is one, its socket is open to this user alone, and a peer
// of another user is neither obeyed nor believed.
class SingleApplication : public QApplication {
  Q_OBJECT

 public:
  // With exit_if_running set, a start that finds another instance ends the process
  // at once with status -1 (255). With it clear, the object is built without a
  // server and IsSecondInstance() is true.
  SingleApplication(int& argc, char** argv, bool exit_if_running);
  ~SingleApplication() override;

  // The window a later start brings to the front (shown, restored, raised,
  // activated). Not owned; a window destroyed first is simply forgotten.
  void SetActivationWindow(QWidget* window);

  bool IsSecondInstance() const { return second_instance_; }
  const QString& server_name() const { return server_name_; }
  const QString& server_address() const { return server_address_; }
  // Why the server could not listen (the system's reason, and who holds the name);
  // empty while it listens. Without the server a later start runs as a second
  // instance and the updater cannot see this one.
  const QString& listen_error() const { return listen_error_; }

  // The local server's name for an application name: "<name>-<user id>", also the
  // message a second start writes.
  static QString ServerNameFor(const QString& application_name);
  // Where that server listens: the name in the user's own runtime folder when there is
  // one, else the bare name in the temporary folder (PerUserAddress). The updater, which
  // the client starts in its own environment, finds the client by it.
  static QString ServerAddressFor(const QString& application_name);

 public slots:
  void OnNewConnection();

 private:
  // True when another instance of this user answered, at any address where it may
  // listen (PerUserAddresses).
  bool NotifyRunningInstance();
  bool NotifyRunningInstanceAt(const QString& address);
  void Listen();
  bool ListenOn(QLocalServer& server, const QString& address);
  void Accept(QLocalServer& server);

  QLocalServer* server_ = nullptr;
  // The same server under its bare name in the temporary folder, while server_ listens
  // in a folder that only this environment names (PerUserSecondAddress); else null.
  QLocalServer* second_server_ = nullptr;
  QString server_name_;
  QString server_address_;
  QString listen_error_;
  QPointer<QWidget> activation_window_;
  bool second_instance_ = false;
};

}  // namespace utils
