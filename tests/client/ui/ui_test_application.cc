// One QApplication for the whole test program, at 144 DPI (factor 1.5) and with a
// settings folder of its own under the test's APPDATA.
#include "client/ui/resource_bundle.h"
#include "tests/support/qt_test_application.h"

namespace {

testing::Environment* const kEnvironment =
    testing::AddGlobalTestEnvironment(new testing_support::QtTestApplication(
        {"client_ui_test", /*own_data_folder=*/true, /*quit_on_last_window_closed=*/true,
         [] { InitUiResources(); }}));

}  // namespace
