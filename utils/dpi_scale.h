#pragma once

class QWidget;

// Scaling of the frameless windows to the screen's DPI. Sizes, margins and style
// sheets are written for 96 DPI and grow with the factor max(DPI, 96) / 96, so the
// factor is never below 1.0 (144 DPI gives 1.5).
namespace utils {

// The DPI of the screen now: CASTORA_DPI when set to a positive number (for tests
// and screenshots), else the primary screen's logical DPI, else 96 when there is no
// display (no GUI application, or the offscreen and minimal platforms).
int ScreenDpi();

// max(dpi, 96) / 96.
double DpiScaleFactorFor(int dpi);

// The process's factor, fixed at its first use: a later DPI change is not followed.
double DpiScaleFactor();

// 0 stays 0; otherwise value * factor + 0.5, truncated.
int DpiScaled(int value);
int DpiScaled(int value, double factor);

// Scales one widget's minimum and maximum size (each capped at the largest widget
// size) and its style sheet. A widget is scaled once: calling this again, directly
// or through ScaleWidgetTree, leaves sizes and a sheet it already scaled alone, and
// scales only a sheet set since.
void ScaleWidgetSize(QWidget* widget);
void ScaleWidgetSize(QWidget* widget, double factor);

// ScaleWidgetSize on the widget and every descendant widget, then the margins,
// spacing and fixed spacers of every descendant layout that has an object name
// (each layout once), then a repaint.
void ScaleWidgetTree(QWidget* widget);
void ScaleWidgetTree(QWidget* widget, double factor);

}  // namespace utils
