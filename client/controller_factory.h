#pragma once

#include <memory>

#include <QSize>

#include "client/i_controller.h"

// The controller a client program gives its window: the Controller over the session
// protocol (client_controller), or, in the program the window tests start from outside,
// their fake. The program's link line picks which library defines it; the window
// itself only takes a ControllerFactory.
std::unique_ptr<IController> MakeController(QSize screen_size);
