// The client program built from the real main with the fake controller: its
// MakeController is the fake's.
#include "client/controller_factory.h"
#include "tests/client/window/fake_controller.h"

std::unique_ptr<IController> MakeController(QSize screen_size) { return MakeFakeController(screen_size); }
