// A program built on utils::SingleApplication for the single-instance tests.
//   single_application_helper <application name> stay     first instance: a minimised
//       window as activation window; prints "address <server address>" and "ready",
//       then "raised" whenever the window comes back from minimised; ends on end of
//       input or after 30 s.
//   single_application_helper <application name> no-exit  built with the exit flag clear:
//       ends with 3 when another instance runs, else 0.
#include <unistd.h>

#include <cstdio>

#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include "utils/single_application.h"

namespace {

class RaiseReporter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::WindowStateChange) {
      auto* window = static_cast<QWidget*>(watched);
      if (!(window->windowState() & Qt::WindowMinimized)) {
        std::printf("raised\n");
        std::fflush(stdout);
      }
    }
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const QString name = QString::fromLocal8Bit(argv[1]);
  const QByteArray mode = argv[2];
  QCoreApplication::setApplicationName(name);
  utils::SingleApplication app(argc, argv, mode != "no-exit");
  if (mode == "no-exit") return app.IsSecondInstance() ? 3 : 0;

  QWidget window;
  RaiseReporter reporter;
  window.installEventFilter(&reporter);
  window.showMinimized();
  app.SetActivationWindow(&window);

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, &app, [&input]() {
    char buffer[64];
    if (::read(STDIN_FILENO, buffer, sizeof(buffer)) <= 0) {
      input.setEnabled(false);
      QCoreApplication::quit();
    }
  });
  QTimer::singleShot(30000, &app, []() { QCoreApplication::exit(4); });
  std::printf("address %s\nready\n", qPrintable(app.server_address()));
  std::fflush(stdout);
  return app.exec();
}
