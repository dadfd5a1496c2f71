// The updater program: the logger and its banner, the application, the interface
// language, then the run type given as the first argument.
#include <QApplication>
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

  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  QFont font = QApplication::font();
  font.setFamily(QStringLiteral("Microsoft YaHei"));
  QApplication::setFont(font);
  LoadUpdaterTranslation();

  Renovix renovix(QString::fromLocal8Bit(argv[1]));
  QTimer::singleShot(0, &renovix, &Renovix::Run);
  const int result = QApplication::exec();
  FlushLogger();
  return result;
}
