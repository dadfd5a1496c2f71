#pragma once

#include <QRect>

#include "utils/dpi_scale.h"

// The dialog is laid out in logical (96-DPI) pixels; every rectangle is scaled once,
// here, on its way to the widget.
inline QRect ScaledRect(int x, int y, int width, int height) {
  return QRect(utils::DpiScaled(x), utils::DpiScaled(y), utils::DpiScaled(width), utils::DpiScaled(height));
}
