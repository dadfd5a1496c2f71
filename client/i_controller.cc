#include "client/i_controller.h"

// Defined here so that the class's vtable and meta-object have one home.
IController::~IController() = default;
