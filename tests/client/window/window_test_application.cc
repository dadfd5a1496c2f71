// One QApplication for the whole test program, at 144 DPI (factor 1.5), with a
// settings folder of its own under the test's APPDATA; the windows stay when closed.
#include "client/ui/resource_bundle.h"
#include "tests/support/qt_test_application.h"
#include "utils/logger.h"

namespace {

testing::Environment* const kEnvironment =
    testing::AddGlobalTestEnvironment(new testing_support::QtTestApplication(
        {"client_window_test", /*own_data_folder=*/true, /*quit_on_last_window_closed=*/false,
         [] {
           zorvax::utils::logger::Init("Castora");
           InitUiResources();
         }}));

}  // namespace
