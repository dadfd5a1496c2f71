#pragma once

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace testing_support {

// One QCoreApplication (no widgets, no DPI set-up) for a whole test program, built
// before the first test and deleted after the last. `name` is argv[0]; it must
// outlive the application (a string literal does).
class QtCoreTestApplication : public testing::Environment {
 public:
  explicit QtCoreTestApplication(char* name) { argv_[0] = name; }

  void SetUp() override { app_ = new QCoreApplication(argc_, argv_); }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  // QCoreApplication keeps argc and argv for its whole life.
  int argc_ = 1;
  char* argv_[2] = {nullptr, nullptr};
  QCoreApplication* app_ = nullptr;
};

}  // namespace testing_support
