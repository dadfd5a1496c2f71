// The updater program: the logger and its banner, the application, the interface
// language, then the run type given as the first argument.
#include <memory>

#include <QApplication>
#include <QCoreApplication>
#include <QFont>
#include <QTimer>

#include "updater/renovix.h"
#include "updater/startup.h"
#include "updater/updater_logger.h"

int main(int argc, char** argv) {
  InitLogger("CastoraUpdate");
  QCoreApplication::setApplicationName(QStringLiteral("Renovix"));
  LogInfo(kMainLogTag, BuildBanner(QCoreApplication::applicationName()).toStdString());
  if (argc < 2) {
    LogError(kMainLogTag, "Usage: " + QCoreApplication::applicationName().toStdString() + " <RunType>");
    FlushLogger();
    return 0;
  }

  const QString run_type = QString::fromLocal8Bit(argv[1]);
  // Only the run types with a window need a display. The others run where there is
  // none: an installer registers the task as root from a package script.
  std::unique_ptr<QCoreApplication> app;
  if (Renovix::ShowsWindows(run_type)) {
    app = std::make_unique<QApplication>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QFont font = QApplication::font();
    font.setFamily(QStringLiteral("Microsoft YaHei"));
    QApplication::setFont(font);
  } else {
    app = std::make_unique<QCoreApplication>(argc, argv);
  }
  LoadUpdaterTranslation();

  int result = 0;
  {
    Renovix renovix(run_type);
    QTimer::singleShot(0, &renovix, &Renovix::Run);
    result = QCoreApplication::exec();
  }
  FlushLogger();
  return result;
}
