#pragma once

#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QString>

#include "utils/dpi_scale.h"

// The dialog is laid out in logical (96-DPI) pixels; every rectangle is scaled once,
// here, on its way to the widget.
inline QRect ScaledRect(int x, int y, int width, int height) {
  return QRect(utils::DpiScaled(x), utils::DpiScaled(y), utils::DpiScaled(width), utils::DpiScaled(height));
}

// A flat push button of the dialog with the pointing-hand cursor, placed at the
// logical rectangle (x, y, width, height).
inline QPushButton* FlatButton(const QString& text, const QString& name, int x, int y, int width,
                               int height, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setGeometry(ScaledRect(x, y, width, height));
  button->setFlat(true);
  button->setCursor(Qt::PointingHandCursor);
  return button;
}

// Lets a word-wrapped description grow from its base size (logical pixels) by up to
// `room` logical pixels for its text, and returns how many logical pixels it grew by
// (0 or less: it fits in its base size). The owner scales the panel itself, hence the
// way back to logical pixels.
inline int FitDescription(QLabel* description, int width, int height, int room) {
  description->setMinimumSize(utils::DpiScaled(width), utils::DpiScaled(height));
  description->setMaximumSize(utils::DpiScaled(width), utils::DpiScaled(room + height));
  description->adjustSize();
  return static_cast<int>(description->height() / utils::DpiScaleFactor()) - height;
}
