#pragma once

#include <memory>
#include <string>

#include <QLocalSocket>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

#include "updater/downloader.h"
#include "updater/interaction.h"

class TransferMessage;
class UpdateInfo;

// The updater program's one object. The run type (the first program argument) picks
// what it does:
//   "BackgroundRun"        started by the client: watch the client, wait for the link,
//                          install a pending package, or check daily, download, verify
//                          and tell the client; on the user's Update hand over to the
//                          scheduled task;
//   "Install"              started by the scheduled task in the temporary copy: run the
//                          installer with the progress page, then restart the client;
//   "CreateScheduledTask"  register the scheduled task and end.
// Everything runs on the GUI thread. Every step that ends the program returns at once
// after asking the event loop to quit, and every nested wait checks afterwards that
// what it waited for really happened.
class Renovix : public QObject {
  Q_OBJECT

 public:
  // Where the two programs meet: the link's node (updater_link::NodeUrl()) and the
  // client's single-instance server (the updater's sign that the client is alive).
  // Both are this user's: their names carry the user, and a peer of another user is
  // neither obeyed nor believed.
  static QString AppServerName();

  // Whether the run type may show a window ("BackgroundRun", "Install"); the others
  // run without a display, so the program builds no GUI application for them.
  static bool ShowsWindows(const QString& run_type);

  explicit Renovix(const QString& run_type, QObject* parent = nullptr);
  ~Renovix() override;

  // Dispatches by the run type (exact, case-sensitive).
  void Run();

  // The dialog, made on first use (a run type without windows never makes it).
  Interaction& interaction();

  // The time between two checks (ten minutes; tests shorten it).
  static constexpr int kDefaultCheckIntervalMs = 600000;
  void SetCheckInterval(int ms) { check_interval_ms_ = ms; }

 public slots:
  void OnDownloadFinshed(Downloader::DownloadState state);
  void OnInstallFinished(int exit_code, QProcess::ExitStatus exit_status);

 private:
  void BackgroundRun();
  void CheckUpdate();
  void StartDownload();
  // False when the client is not there (the program is then quitting).
  bool ConnectAppSocket();
  // False when the wait ended without a valid link (the program is quitting).
  bool WaitTransferMessageValid();
  // False when the runtime copy failed: no hand-over then, the client goes on.
  bool PrepareInstall();
  // The user pressed Update in the dialog.
  void OnUpdateNow();
  // The path of the program's copy; empty when the copy failed.
  QString CopyRuntimeToTemp();
  void Install();
  void OnNewMessage(int type);
  void OnInstallProcessError(QProcess::ProcessError error);
  void OnAppExited();
  // The installer failed: no finished page; RestartClientAfterFailure.
  void OnInstallFailed(const std::string& reason);
  // The client ended for a hand-over that did not happen (the task could not be
  // started, or the client's kClientExited never came).
  void OnHandOverFailed();
  // After the client ended for an installation that did not happen: the client is
  // started again, the dialog's failure state tells the user, and the program ends
  // when the user closes it.
  void RestartClientAfterFailure();
  void Quit();

  QTimer flush_timer_;
  QTimer check_timer_;
  QString run_type_;
  QString installer_path_;
  std::unique_ptr<Interaction> interaction_;
  QProcess install_process_;
  QLocalSocket app_socket_;
  QMetaObject::Connection app_socket_connection_;
  UpdateInfo* update_info_ = nullptr;
  Downloader* downloader_ = nullptr;
  TransferMessage* transfer_message_ = nullptr;
  // A check is waiting for its answer: a timer that fires meanwhile starts no second.
  bool checking_ = false;
  // The installer's end (finished, or a terminal errorOccurred) was handled.
  bool install_handled_ = false;
  bool quitting_ = false;
  int exit_code_ = 0;  // the program's status at Quit
  // The hand-over under way was asked for with the Update button: the pending flag is
  // cleared once the installation has really been handed over.
  bool hand_over_by_user_ = false;
  int check_interval_ms_ = kDefaultCheckIntervalMs;
};
