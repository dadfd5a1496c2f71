// One QApplication for the whole test program, at 144 DPI (factor 1.5), with a
// settings folder of its own under the test's APPDATA.
#include <QApplication>
#include <QDir>

#include <gtest/gtest.h>

#include "client/ui/resource_bundle.h"
#include "utils/dpi_scale.h"
#include "utils/logger.h"

namespace {

class WindowTestEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    qputenv("CASTORA_DPI", "144");
    const QByteArray appdata = qgetenv("APPDATA");
    const QString root = QDir(appdata.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(appdata))
                             .filePath(QStringLiteral("client_window_test"));
    QDir(root).removeRecursively();
    qputenv("XDG_DATA_HOME", root.toLocal8Bit());
    static int argc = 1;
    static char name[] = "client_window_test";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Castora"));
    QApplication::setQuitOnLastWindowClosed(false);
    zorvax::utils::logger::Init("Castora");
    utils::DpiScaleFactor();  // fixed from here on
    InitUiResources();
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  QApplication* app_ = nullptr;
};

testing::Environment* const kEnvironment = testing::AddGlobalTestEnvironment(new WindowTestEnvironment);

}  // namespace
