#pragma once

#include <QObject>

class QSocketNotifier;

namespace utils {

// Turns the signals that ask a program to end (SIGTERM at logout or from `kill`, SIGINT
// from Ctrl-C, SIGHUP when the terminal goes) into a quit of the application's event
// loop, so that the program ends through its normal teardown: a share is stopped, the
// local sound comes back and the workers are joined.
//
// The handler only writes the signal's number into a pipe (the one thing a handler may
// safely do); the event loop reads it through a socket notifier and quits. A signal that
// comes before the main loop runs (during start-up, when a quit would be lost) is kept:
// the program asks Received() before it enters the loop. Signals that come after the
// first, or during the teardown after the loop, change nothing: the handlers and the pipe
// stay for the rest of the process, so that no signal ends it half torn down. A signal
// that the program was started with ignored (nohup) stays ignored.
class QuitOnSignals : public QObject {
  Q_OBJECT

 public:
  explicit QuitOnSignals(QObject* parent = nullptr);
  ~QuitOnSignals() override;

  // True once one of the signals has been taken from the pipe.
  bool Received() const { return signal_ != 0; }
  // The first signal taken, 0 before.
  int signal_number() const { return signal_; }

 signals:
  // Emitted once, for the first signal, before the application is told to quit.
  void Quitting(int signal_number);

 private:
  void OnReadable();

  QSocketNotifier* notifier_ = nullptr;
  int signal_ = 0;
};

}  // namespace utils
