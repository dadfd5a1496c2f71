#pragma once

#include <functional>
#include <string>

#include <gtest/gtest.h>

class QApplication;

namespace testing_support {

// One QApplication for a whole test program, built before the first test, with the
// process's DPI factor pinned to 1.5 (144 DPI) so that scaling shows. Register it
// from the program's set-up unit:
//   testing::AddGlobalTestEnvironment(new QtTestApplication(options));
class QtTestApplication : public testing::Environment {
 public:
  struct Options {
    // The program name (argv[0]) and, with a data folder, that folder's name.
    std::string name;
    // A per-user data (settings) folder of its own, emptied first, under the test's
    // APPDATA (or the temporary folder), and "Castora" as the application name.
    bool own_data_folder = false;
    bool quit_on_last_window_closed = true;
    // Runs once the application exists and the DPI factor is fixed.
    std::function<void()> after_start;
  };

  explicit QtTestApplication(Options options) : options_(std::move(options)) {}
  void SetUp() override;
  void TearDown() override;

 private:
  Options options_;
  QApplication* app_ = nullptr;
};

}  // namespace testing_support
