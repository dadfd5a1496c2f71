#pragma once

#include <QString>

class QWidget;

// Helpers shared by the pages of the main window's stack.

// Loads ":/qss/<name>" and applies it scaled for the screen's DPI, marked as scaled so
// that the main window's scaling of its widget tree leaves it alone.
void ApplyPageStyleSheet(QWidget* widget, const QString& name);

// The drop shadow under the pages' push buttons: blur 16, offset (0, 8), both scaled,
// colour rgba(20, 78, 127, 25).
void AddButtonShadow(QWidget* button);
