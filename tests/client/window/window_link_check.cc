// The window library on its own: linked whole (every object of it, used or not) with
// only the fake controller, so that a reference from the window to the Controller, or
// to anything else outside the window's declared dependencies, fails this program's
// link. Run, it builds the window over the fake once.
#include <QApplication>

#include "client/ui/castora.h"
#include "tests/client/window/fake_controller.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Castora window(MakeFakeController);
  window.show();
  QApplication::processEvents();
  return LastFakeController() != nullptr ? 0 : 1;
}
