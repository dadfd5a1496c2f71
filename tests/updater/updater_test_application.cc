// One QApplication for a whole updater test program, at 144 DPI (factor 1.5), with a
// private per-user data folder (settings, downloaded installer) and log folder, so
// that nothing of the person's own updater is touched.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "updater/startup.h"
#include "updater/updater_logger.h"
#include "utils/dpi_scale.h"

namespace {

class UpdaterTestEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    qputenv("CASTORA_DPI", "144");
    root_ = std::make_unique<QTemporaryDir>(QStringLiteral(RENOVIX_TEST_WORK_DIR "/app-XXXXXX"));
    qputenv("XDG_DATA_HOME", root_->filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", root_->path().toLocal8Bit());
    // The log folder is made below an existing root, never the root itself.
    QDir(root_->path()).mkpath(QStringLiteral("appdata"));
    qputenv("APPDATA", root_->filePath(QStringLiteral("appdata")).toLocal8Bit());
    qunsetenv("LOGLEVEL");
    static int argc = 1;
    static char name[] = "renovix_test";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Renovix"));
    QApplication::setQuitOnLastWindowClosed(false);
    InitLogger("CastoraUpdate");
    utils::DpiScaleFactor();  // fixed from here on
    InitUpdaterResources();
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
    root_.reset();
  }

 private:
  std::unique_ptr<QTemporaryDir> root_;
  QApplication* app_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new UpdaterTestEnvironment);
  return RUN_ALL_TESTS();
}
