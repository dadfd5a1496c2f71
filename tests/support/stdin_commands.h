#pragma once

#include <unistd.h>

#include <functional>
#include <utility>

#include <QByteArray>
#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

namespace testing_support {

// The commands a test writes to a helper program's standard input (a pipe), read a
// line at a time as they come: "quit" ends the event loop with 0, "send <n>" calls
// `send(n)`. The end of the input (the test closed its end) stops the reading.
class StdinCommands {
 public:
  explicit StdinCommands(std::function<void(int)> send)
      : input_(0, QSocketNotifier::Read), send_(std::move(send)) {
    QObject::connect(&input_, &QSocketNotifier::activated, [this] { Read(); });
  }
  StdinCommands(const StdinCommands&) = delete;
  StdinCommands& operator=(const StdinCommands&) = delete;

 private:
  void Read() {
    char buffer[256];
    const ssize_t n = ::read(0, buffer, sizeof(buffer));
    if (n <= 0) {
      input_.setEnabled(false);
      return;
    }
    pending_.append(buffer, static_cast<int>(n));
    for (int end = pending_.indexOf('\n'); end >= 0; end = pending_.indexOf('\n')) {
      const QString command = QString::fromLatin1(pending_.left(end)).trimmed();
      pending_.remove(0, end + 1);
      if (command == QLatin1String("quit")) QCoreApplication::exit(0);
      if (command.startsWith(QLatin1String("send "))) send_(command.mid(5).toInt());
    }
  }

  QSocketNotifier input_;
  QByteArray pending_;
  std::function<void(int)> send_;
};

}  // namespace testing_support
