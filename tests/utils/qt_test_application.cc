// One QApplication for the whole test program, built before the first test. The
// process's DPI factor is pinned to 1.5 (144 DPI) so that scaling shows.
#include <QApplication>

#include <gtest/gtest.h>

#include "utils/dpi_scale.h"

namespace {

class QtApplicationEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    qputenv("CASTORA_DPI", "144");
    static int argc = 1;
    static char name[] = "utils_qt_test";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
    utils::DpiScaleFactor();  // fixed from here on
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  QApplication* app_ = nullptr;
};

testing::Environment* const kEnvironment = testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
