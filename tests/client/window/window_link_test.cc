// The window library on its own: this test links it whole (every object of it, used or
// not) with only the fake controller, so that a reference from the window to the
// Controller, or to anything else outside the window's declared dependencies, fails
// the link. Run, it builds the window over the fake.
#include <QApplication>
#include <QScreen>

#include <string>

#include <gtest/gtest.h>

#include "client/ui/castora.h"
#include "tests/client/window/fake_controller.h"

namespace {

TEST(WindowLinkTest, WindowRunsOverTheFakeAlone) {
  static int argc = 1;
  static char name[] = "client_window_link_test";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  {
    Castora window(MakeFakeController);
    window.show();
    QApplication::processEvents();
    ASSERT_NE(LastFakeController(), nullptr);
    // Made for the desktop's size.
    const QSize desktop = QGuiApplication::primaryScreen()->virtualSize();
    EXPECT_TRUE(LastFakeController()->Called("Construct " + std::to_string(desktop.width()) + "x" +
                                             std::to_string(desktop.height())));
  }
  EXPECT_EQ(LastFakeController(), nullptr);  // the window owned its controller
}

}  // namespace
