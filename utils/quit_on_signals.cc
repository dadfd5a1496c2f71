#include "utils/quit_on_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace utils {

namespace {

const int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Read end, write end. Made once and never closed: a handler may run on any thread at
// any time until the process is gone, so the descriptor it writes to must never be
// closed or reused.
int g_pipe[2] = {-1, -1};

extern "C" void OnQuitSignal(int signal_number) {
  const int saved_errno = errno;
  const auto byte = static_cast<unsigned char>(signal_number);
  // Non-blocking: with the pipe full a quit is pending anyway.
  ssize_t written = ::write(g_pipe[1], &byte, 1);
  static_cast<void>(written);
  errno = saved_errno;
}

bool InstallHandlers() {
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = &OnQuitSignal;
  // Interrupted calls of other threads resume; the loop learns of the signal through
  // the pipe.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int s : kQuitSignals) sigaddset(&action.sa_mask, s);
  for (int s : kQuitSignals) {
    // A signal the program was started with ignored stays ignored (SIGHUP under nohup,
    // SIGINT of a job a script runs in the background).
    struct sigaction inherited {};
    if (::sigaction(s, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
    ::sigaction(s, &action, nullptr);
  }
  return true;
}

}  // namespace

QuitOnSignals::QuitOnSignals(QObject* parent) : QObject(parent) {
  static std::once_flag once;
  static bool installed = false;
  std::call_once(once, [] { installed = InstallHandlers(); });
  if (!installed) {
    qWarning("quit on signals: no pipe, SIGTERM/SIGINT/SIGHUP end the program at once");
    return;
  }
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { OnReadable(); });
}

QuitOnSignals::~QuitOnSignals() = default;

void QuitOnSignals::OnReadable() {
  unsigned char bytes[16];
  int first = 0;
  for (;;) {
    const ssize_t n = ::read(g_pipe[0], bytes, sizeof(bytes));
    if (n <= 0) break;
    if (first == 0) first = bytes[0];
  }
  if (first == 0 || signal_ != 0) return;
  signal_ = first;
  emit Quitting(signal_);
  QCoreApplication::quit();
}

}  // namespace utils
