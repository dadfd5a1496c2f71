#include "tests/support/qt_test_application.h"

#include <QApplication>
#include <QDir>

#include <vector>

#include "utils/dpi_scale.h"

namespace testing_support {

void QtTestApplication::SetUp() {
  qputenv("CASTORA_DPI", "144");
  if (options_.own_data_folder) {
    const QByteArray appdata = qgetenv("APPDATA");
    const QString root =
        QDir(appdata.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(appdata))
            .filePath(QString::fromStdString(options_.name));
    QDir(root).removeRecursively();
    qputenv("XDG_DATA_HOME", root.toLocal8Bit());
  }
  // QApplication keeps argc and argv for its whole life.
  static int argc = 1;
  static std::vector<char> name;
  name.assign(options_.name.begin(), options_.name.end());
  name.push_back('\0');
  static char* argv[] = {nullptr, nullptr};
  argv[0] = name.data();
  app_ = new QApplication(argc, argv);
  if (options_.own_data_folder) QCoreApplication::setApplicationName(QStringLiteral("Castora"));
  QApplication::setQuitOnLastWindowClosed(options_.quit_on_last_window_closed);
  utils::DpiScaleFactor();  // fixed from here on
  if (options_.after_start) options_.after_start();
}

void QtTestApplication::TearDown() {
  delete app_;
  app_ = nullptr;
}

}  // namespace testing_support
