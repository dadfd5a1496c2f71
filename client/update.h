#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class Castora;
class TransferMessage;

// The client's side of the updater link. Starts the updater in the background, waits
// briefly for its first word, and then follows its messages: start normally, install
// now (the client ends), or an update is ready (the client asks for the update dialog
// once its window is active and nothing is shared, retrying every 3 s).
class Update : public QObject {
  Q_OBJECT

 public:
  // Hosts the link on updater_link::NodeUrl(), this user's node.
  explicit Update(QObject* parent = nullptr);
  Update(const QUrl& node_url, QObject* parent);
  ~Update() override;

  // The updater beside this program: "<application dir>/Renovix".
  static QString UpdaterProgram();

  // Starts the updater detached with the run type "BackgroundRun". A missing updater
  // is not reported; the wait below then simply times out.
  void StartUpdater();

  // Runs a local event loop until the updater says kNoNeedToUpdate, at most 500 ms.
  void WaitForMessage();

  // The window that decides when the update dialog may be asked for, and that stops a
  // running share before the client ends for an installation. Not owned.
  void SetMainWindow(Castora* window);

  TransferMessage* transfer_message() const { return transfer_message_; }

 signals:
  void StartNormally();

 public slots:
  void ParseMessage(int message);

 private slots:
  void OnRetry();

 private:
  // The window is set, active and not sharing: the dialog may be shown.
  bool MayShowDialog() const;
  // Stops sharing, tells the updater the client is gone, makes sure it was written,
  // and ends the process with status 0.
  [[noreturn]] void ExitForInstallation();

  TransferMessage* transfer_message_ = nullptr;
  QPointer<Castora> main_window_;
  QTimer timer_;
};
