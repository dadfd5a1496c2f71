// One QApplication for the whole test program, at 144 DPI (factor 1.5).
#include "tests/support/qt_test_application.h"

namespace {

testing::Environment* const kEnvironment = testing::AddGlobalTestEnvironment(
    new testing_support::QtTestApplication({"utils_qt_test", false, true, nullptr}));

}  // namespace
