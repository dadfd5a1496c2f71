#include "updater/renovix.h"

#include <fmt/format.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMetaEnum>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

#include "client/updater_link/node_url.h"
#include "client/updater_link/update_message_type.h"
#include "platform/updater/private_temp_folder.h"
#include "updater/app_info.h"
#include "updater/installer_file.h"
#include "updater/scheduled_task.h"
#include "updater/transfer_message.h"
#include "updater/update_dialog_page.h"
#include "updater/update_info.h"
#include "updater/updater_logger.h"
#include "updater/updater_settings.h"
#include "utils/local_peer.h"
#include "utils/single_application.h"

namespace {

const char* const kLogTag = kRenovixLogTag;

constexpr int kFlushIntervalMs = 5000;
constexpr int kAppSocketWaitMs = 500;
// The client waits for nothing once it has our kInstallNow; what we write before we
// end must leave the process.
constexpr int kLinkFlushMs = 1000;
// How long the client's kClientExited may trail its exit: the two travel on different
// sockets.
constexpr int kClientExitedGraceMs = 5000;

std::string Text(const QString& text) { return text.toStdString(); }

// Copies `source` over `target`; false with the system's reason in `why`.
bool CopyFileReplacing(const QString& source, const QString& target, QString* why) {
  QFile old(target);
  if ((old.exists() || QFileInfo(target).isSymLink()) && !old.remove()) {
    *why = QStringLiteral("cannot remove the old file: %1").arg(old.errorString());
    return false;
  }
  QFile from(source);
  if (!from.copy(target)) {
    *why = from.errorString();
    return false;
  }
  return true;
}

}  // namespace

QString Renovix::AppServerName() {
  return utils::SingleApplication::ServerAddressFor(QStringLiteral("Castora"));
}

bool Renovix::ShowsWindows(const QString& run_type) {
  return run_type == QLatin1String("BackgroundRun") || run_type == QLatin1String("Install");
}

Renovix::Renovix(const QString& run_type, QObject* parent) : QObject(parent), run_type_(run_type) {
  flush_timer_.setInterval(kFlushIntervalMs);
  connect(&flush_timer_, &QTimer::timeout, this, [] { FlushLogger(); });
  flush_timer_.start();
}

Renovix::~Renovix() = default;

Interaction& Renovix::interaction() {
  if (!interaction_) interaction_ = std::make_unique<Interaction>();
  return *interaction_;
}

void Renovix::Quit() {
  quitting_ = true;
  QCoreApplication::exit(exit_code_);
}

void Renovix::Run() {
  LogInfo(kLogTag, fmt::format("Run Type: {}", Text(run_type_)));
  // The installer has no ".exe" here; it is a program of its own like the client.
  installer_path_ = QStringLiteral("%1/CastoraUpdate/%2Setup")
                        .arg(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                             AppInfo::Instance().GetAppName());
  if (run_type_ == QLatin1String("BackgroundRun")) {
    BackgroundRun();
  } else if (run_type_ == QLatin1String("Install")) {
    Install();
  } else if (run_type_ == QLatin1String("CreateScheduledTask")) {
    // The installer's package script sees the outcome: without the task no later
    // update can be installed.
    if (!CreateScheduledTask()) exit_code_ = 1;
    Quit();
  } else {
    LogError(kLogTag, fmt::format("No such run type: {}", Text(run_type_)));
    Quit();
  }
}

void Renovix::BackgroundRun() {
  if (!ConnectAppSocket()) return;
  if (!WaitTransferMessageValid()) return;

  UpdaterSettings& settings = UpdaterSettings::Instance();
  if (settings.GetUpdateAtNextStartup() && QFile::exists(installer_path_)) {
    // Verified in an earlier run: installed without asking, whether the user pressed
    // Cancel then or never saw the dialog.
    LogInfo(kLogTag, "Update at startup, ready to install");
    if (PrepareInstall()) return;
    // No hand-over: the client starts normally and the package stays pending for the
    // next start.
  }
  transfer_message_->SendMessage(updater_link::kNoNeedToUpdate);
  LogInfo(kLogTag, "No need to update, this program runs in the background");

  update_info_ = new UpdateInfo(this);
  downloader_ = new Downloader(this);
  connect(downloader_, &Downloader::Finished, this, &Renovix::OnDownloadFinshed);
  connect(&interaction(), &Interaction::UpdateNow, this, &Renovix::OnUpdateNow);
  connect(&check_timer_, &QTimer::timeout, this, &Renovix::CheckUpdate);
  check_timer_.setInterval(check_interval_ms_);
  check_timer_.start();
  CheckUpdate();
}

bool Renovix::ConnectAppSocket() {
  app_socket_connection_ = connect(&app_socket_, &QLocalSocket::disconnected, this, &Renovix::OnAppExited);
  app_socket_.connectToServer(AppServerName(), QIODevice::ReadWrite);
  if (!app_socket_.waitForConnected(kAppSocketWaitMs)) {
    LogError(kLogTag, fmt::format("Connect to app socket failed: {}", Text(app_socket_.errorString())));
    Quit();
    return false;
  }
  // Anyone may take the name first in the shared temporary folder: only a client of
  // this user is one whose life the updater follows.
  if (!utils::PeerIsSameUser(app_socket_)) {
    LogError(kLogTag, fmt::format("Connect to app socket failed: the server is run by {}",
                                  Text(utils::PeerText(app_socket_))));
    disconnect(app_socket_connection_);
    app_socket_.abort();
    Quit();
    return false;
  }
  LogInfo(kLogTag, "Connect to app socket: connected");
  return true;
}

bool Renovix::WaitTransferMessageValid() {
  transfer_message_ = new TransferMessage(updater_link::NodeUrl(), this);
  // Connected before the wait: a message that arrived before would be lost.
  connect(transfer_message_, &TransferMessage::NewMessage, this, &Renovix::OnNewMessage);
  LogInfo(kLogTag, "Waiting for Qtro to be valid");
  if (!transfer_message_->IsValid()) {
    QEventLoop loop;
    connect(transfer_message_, &TransferMessage::Valid, &loop, &QEventLoop::quit);
    loop.exec();
  }
  // Quitting (the client went away meanwhile) ends the wait as well.
  return !quitting_ && transfer_message_->IsValid();
}

void Renovix::CheckUpdate() {
  // The request waits in a nested event loop in which this timer keeps firing. The
  // timer also runs through a download, which ends within its deadline; a check that
  // comes meanwhile leaves the download alone.
  if (checking_ || (downloader_ != nullptr && downloader_->IsDownloading())) return;
  const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
  UpdaterSettings& settings = UpdaterSettings::Instance();
  if (today == settings.GetLastCheckUpdateDate()) return;
  checking_ = true;
  const bool fetched = update_info_->FetchUpdateInfo();
  checking_ = false;
  // A failed request does not count: no date, so the next timeout asks again.
  if (quitting_ || !fetched) return;
  settings.SetLastCheckUpdateDate(today);
  if (update_info_->NeedUpdate()) StartDownload();
}

void Renovix::StartDownload() {
  UpdaterSettings& settings = UpdaterSettings::Instance();
  const QString url = update_info_->GetDownloadUrl();
  const QString md5 = update_info_->GetFileMd5();
  // A partial file is continued only for the very package that it belongs to.
  downloader_->SetResumable(url == settings.GetLastDownloadUrl() && md5 == settings.GetLastDownloadFileMd5());
  settings.SetLastDownloadUrl(url);
  settings.SetLastDownloadFileMd5(md5);
  downloader_->Download(QUrl(url, QUrl::TolerantMode), installer_path_);
}

void Renovix::OnDownloadFinshed(Downloader::DownloadState state) {
  // Whatever the outcome: the day is stored, so the next real check is on a later day.
  check_timer_.start();
  if (state != Downloader::kDone) return;
  if (!VerifyInstallerAndMakeExecutable(installer_path_, update_info_->GetFileMd5())) {
    LogError(kLogTag, "Installation package MD5 does not match");
    QFile::remove(installer_path_);
    return;
  }
  UpdaterSettings& settings = UpdaterSettings::Instance();
  settings.SetUpdateAtNextStartup(true);
  settings.SetUpdateDescription(update_info_->GetUpdateDescription());
  if (transfer_message_) transfer_message_->SendMessage(updater_link::kUpdateReady);
}

void Renovix::OnNewMessage(int type) {
  switch (type) {
    case updater_link::kClientExited:
      if (quitting_) return;
      if (!RunScheduledTask()) {
        LogError(kLogTag, "The installation cannot start, restart the application");
        OnHandOverFailed();
        return;
      }
      // Handed over. A package the user chose is no longer pending; one installed at
      // the start stays pending until the installation run has finished with it.
      if (hand_over_by_user_) UpdaterSettings::Instance().SetUpdateAtNextStartup(false);
      Quit();
      return;
    case updater_link::kShowUpdateDialog:
      interaction().ShowUpdateDialog(update_info_ ? update_info_->GetUpdateDescription()
                                                  : UpdaterSettings::Instance().GetUpdateDescription());
      return;
    default:
      LogWarn(kLogTag, fmt::format("Unkown message: {}", Text(updater_link::KeyOf(type))));
      return;
  }
}

void Renovix::OnUpdateNow() {
  // The flag stays set until the hand-over has happened: a client that ends without
  // kClientExited, or a copy that fails, leaves the package for the next start.
  hand_over_by_user_ = PrepareInstall();
  // The dialog hid itself for the hand-over; without one the user would see nothing
  // happen. The offer comes back with the failure said, and stays pending.
  if (!hand_over_by_user_) interaction().ShowUpdateFailed();
}

bool Renovix::PrepareInstall() {
  const QString app_path = QStringLiteral("%1/%2").arg(QCoreApplication::applicationDirPath(),
                                                       AppInfo::Instance().GetAppName());
  UpdaterSettings::Instance().SetAppPath(app_path);
  LogInfo(kLogTag, fmt::format("Set Application path: {}", Text(app_path)));
  const QString copy = CopyRuntimeToTemp();
  if (copy.isEmpty()) {
    // The task would have nothing to start: the client is not asked to end, and the
    // package is handed over at a later start.
    LogError(kLogTag, "Copy runtime to temp failed, the update is kept for a later start");
    return false;
  }
  // The task must start this very copy; asked now, while the client still runs, so
  // that a task that is missing or names another program costs the user nothing.
  QString failure;
  const QString started = QueryScheduledTask(&failure);
  if (started.isEmpty() || QFileInfo(started).canonicalFilePath() != QFileInfo(copy).canonicalFilePath()) {
    LogError(kLogTag, started.isEmpty()
                          ? fmt::format("The scheduled task cannot start the update program: {}", Text(failure))
                          : fmt::format("The scheduled task starts \"{}\", not the update program \"{}\"",
                                        Text(started), Text(copy)));
    LogError(kLogTag, "The installation cannot start, the update is kept for a later start");
    return false;
  }
  // The client's coming exit is expected now and must not end the updater: its
  // kClientExited, which it sends just before, starts the installation. Only a client
  // that ends without that word (it crashed on the way out) leaves the updater waiting
  // for nothing; after a grace time the hand-over has failed (OnHandOverFailed).
  disconnect(app_socket_connection_);
  app_socket_connection_ = connect(&app_socket_, &QLocalSocket::disconnected, this, [this] {
    QTimer::singleShot(kClientExitedGraceMs, this, [this] {
      if (quitting_) return;
      LogError(kLogTag, "App exited without kClientExited, the installation does not start");
      OnHandOverFailed();
    });
  });
  transfer_message_->SendMessage(updater_link::kInstallNow);
  transfer_message_->Flush(kLinkFlushMs);
  return true;
}

QString Renovix::CopyRuntimeToTemp() {
  // Linux needs no runtime libraries beside the copy (the system's Qt serves): the
  // updater's own program and the installation's identity, which it reads from its
  // own folder.
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && utils::UserRuntimeFolder().isEmpty()) {
    LogWarn(kLogTag, fmt::format("XDG_RUNTIME_DIR \"{}\" is not a folder of this user's own with mode 0700, "
                                 "it is not used",
                                 Text(runtime)));
  }
  const QString target_dir = platform::updater::PrivateTempFolder();
  if (target_dir.isEmpty()) {
    LogError(kLogTag, "No private temporary folder for the update program");
    return QString();
  }
  const QString source_dir = QCoreApplication::applicationDirPath();
  const QStringList names = {QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
                             QStringLiteral("VersionConfig.json")};
  bool all = true;
  for (const QString& name : names) {
    const QString source = source_dir + QLatin1Char('/') + name;
    const QString target = target_dir + QLatin1Char('/') + name;
    QString why;
    if (CopyFileReplacing(source, target, &why)) {
      LogInfo(kLogTag, fmt::format("Copy \"{}\" to \"{}\" : true", Text(source), Text(target)));
    } else {
      LogError(kLogTag, fmt::format("Copy \"{}\" to \"{}\" : false ({})", Text(source), Text(target), Text(why)));
      all = false;
    }
  }
  return all ? target_dir + QLatin1Char('/') + names.front() : QString();
}

void Renovix::Install() {
  interaction().ShowUpdating();
  connect(&install_process_, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
          &Renovix::OnInstallFinished);
  connect(&install_process_, &QProcess::errorOccurred, this, &Renovix::OnInstallProcessError);
  const QString install_dir = QFileInfo(UpdaterSettings::Instance().GetAppPath()).absolutePath();
  LogInfo(kLogTag, fmt::format("Installing ... (Install Package Path: \"{}\" Install Dir: \"{}\")",
                               Text(installer_path_), Text(install_dir)));
  install_process_.start(installer_path_,
                         {QStringLiteral("/S"), QStringLiteral("/type"), QStringLiteral("update")},
                         QIODevice::ReadWrite);
}

void Renovix::OnInstallFinished(int exit_code, QProcess::ExitStatus exit_status) {
  if (install_handled_) return;
  install_handled_ = true;
  if (exit_status != QProcess::NormalExit || exit_code != 0) {
    OnInstallFailed(exit_status == QProcess::NormalExit ? fmt::format("exit code {}", exit_code)
                                                        : std::string("crashed"));
    return;
  }
  LogInfo(kLogTag, "Install finished");
  interaction().FinishUpdating();
  LogInfo(kLogTag, "Remove the installation package file");
  QFile::remove(installer_path_);
}

void Renovix::OnInstallProcessError(QProcess::ProcessError error) {
  const char* key = QMetaEnum::fromType<QProcess::ProcessError>().valueToKey(error);
  const std::string name = key ? std::string(key) : std::to_string(static_cast<int>(error));
  LogError(kLogTag, fmt::format("Install preocess error: {}", name));
  // Only these two end the installer's run; a read or write error on its channels
  // leaves it running, and its end still comes as finished.
  if (error != QProcess::FailedToStart && error != QProcess::Crashed) return;
  if (install_handled_) return;
  install_handled_ = true;
  OnInstallFailed(name);
}

void Renovix::OnInstallFailed(const std::string& reason) {
  LogError(kLogTag, fmt::format("Install failed ({}), restart the application", reason));
  // The package stays for a later offer, but is no longer installed unasked at every
  // start: a package that fails would otherwise end the client at each start.
  UpdaterSettings::Instance().SetUpdateAtNextStartup(false);
  RestartClientAfterFailure();
}

void Renovix::OnHandOverFailed() {
  // A package the user chose stays pending: the restarted client's updater tries it
  // again. One handed over unasked at the start is not handed over unasked again, or a
  // task (or a client) that keeps failing would end the client at every start.
  if (!hand_over_by_user_) UpdaterSettings::Instance().SetUpdateAtNextStartup(false);
  RestartClientAfterFailure();
}

void Renovix::RestartClientAfterFailure() {
  // Nothing more to do here: the restarted client starts an updater of its own, which
  // must be the only one that hears it (this one would otherwise obey its
  // kClientExited too).
  quitting_ = true;
  check_timer_.stop();
  disconnect(app_socket_connection_);
  app_socket_.abort();
  if (transfer_message_) {
    transfer_message_->deleteLater();
    transfer_message_ = nullptr;
  }
  interaction().StartClient();
  // The user saw the client end for the update: the dialog says that it did not
  // happen, and this program ends when the user has read it (either button).
  Interaction& dialog = interaction();
  disconnect(&dialog, &Interaction::UpdateNow, this, &Renovix::OnUpdateNow);
  connect(&dialog, &Interaction::UpdateNow, this, &Renovix::Quit);
  connect(dialog.update_dialog_page()->cancel_button(), &QPushButton::clicked, this, &Renovix::Quit);
  dialog.update_dialog_page()->SetDescription(UpdaterSettings::Instance().GetUpdateDescription());
  dialog.ShowUpdateFailed();
  LogInfo(kLogTag, "Update dialog: the update could not start");
  // The program may wait long for the user from here.
  FlushLogger();
}

void Renovix::OnAppExited() {
  LogInfo(kLogTag, "App exited, update program exited");
  Quit();
}
