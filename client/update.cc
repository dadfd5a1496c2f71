#include "client/update.h"

#include <cstdlib>

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>

#include "client/transfer_message.h"
#include "client/ui/castora.h"
#include "client/updater_link/node_url.h"
#include "utils/logger.h"

namespace {
const char* const kLogTag = "CASTORA::update";
constexpr int kWaitMs = 500;
constexpr int kRetryMs = 3000;
// How long the last message to the updater may take to leave the process. The updater
// waits for it before it installs, so it must not be lost in a buffer at exit.
constexpr int kFlushMs = 1000;
}  // namespace

Update::Update(QObject* parent) : Update(updater_link::NodeUrl(), parent) {}

Update::Update(const QUrl& node_url, QObject* parent)
    : QObject(parent), transfer_message_(new TransferMessage(node_url, this)) {
  timer_.setInterval(kRetryMs);
  connect(transfer_message_, &TransferMessage::NewMessage, this, &Update::ParseMessage);
  connect(&timer_, &QTimer::timeout, this, &Update::OnRetry);
}

Update::~Update() = default;

QString Update::UpdaterProgram() {
  // No quotes: QProcess takes the program as one argument, spaces and all.
  return QStringLiteral("%1/Renovix").arg(QCoreApplication::applicationDirPath());
}

void Update::StartUpdater() {
  const QString program = UpdaterProgram();
  LOG_INFO("Start update program {}", program.toStdString());
  QProcess::startDetached(program, {QStringLiteral("BackgroundRun")});
}

void Update::WaitForMessage() {
  QEventLoop loop;
  QTimer timeout;
  timeout.setSingleShot(true);
  timeout.setInterval(kWaitMs);
  connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
  const auto started = connect(this, &Update::StartNormally, &loop, &QEventLoop::quit);
  timeout.start();
  loop.exec();
  if (!timeout.isActive()) {
    disconnect(started);
    LOG_ERROR("Timeout, updater has no return message");
  }
}

void Update::SetMainWindow(Castora* window) { main_window_ = window; }

bool Update::MayShowDialog() const {
  return main_window_ && main_window_->isActiveWindow() && !main_window_->IsMirrored();
}

void Update::ParseMessage(int message) {
  switch (message) {
    case updater_link::kNoNeedToUpdate:
      LOG_INFO("No need to update, start normally");
      emit StartNormally();
      break;
    case updater_link::kInstallNow:
      LOG_INFO("Ready to install, exit now");
      ExitForInstallation();
    case updater_link::kUpdateReady:
      if (MayShowDialog()) {
        timer_.stop();
        transfer_message_->SendMessage(updater_link::kShowUpdateDialog);
      } else {
        LOG_INFO("Update is ready, showing dialog when the window is active and no screening");
        timer_.start();
      }
      break;
    default:
      LOG_WARN("Unkown message");
      break;
  }
}

void Update::OnRetry() {
  if (!MayShowDialog()) return;
  timer_.stop();
  transfer_message_->SendMessage(updater_link::kShowUpdateDialog);
}

void Update::ExitForInstallation() {
  // A share left running would leave the local sound muted and the receiver waiting:
  // stop video, audio and remote input first (each call returns once it is stopped).
  if (main_window_) main_window_->OnStopMirror();
  transfer_message_->SendMessage(updater_link::kClientExited);
  transfer_message_->Flush(kFlushMs);
  zorvax::utils::logger::Flush();
  // A plain exit: no event loop, no destructors (the window and the protocol threads
  // are stopped above as far as they matter).
  std::_Exit(0);
}
