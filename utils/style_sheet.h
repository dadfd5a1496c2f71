#pragma once

#include <QString>

class QWidget;

namespace utils {

// The dynamic property in which a widget keeps the last sheet scaled for it.
extern const char* const kScaledStyleSheetProperty;

// The style sheet stored under ":/qss/" + name, decoded as Latin-1 and not scaled;
// empty when there is no such resource.
QString LoadStyleSheet(const QString& name);

// Rewrites every "<digits>px" in the sheet with the number scaled by the factor
// (rounded half up; 0px stays 0px; a number too large for an int is left as it is).
// Only the digits right before "px" count, so 1.5px scales its "5" alone.
void ScaleStyleSheet(QString& sheet);
void ScaleStyleSheet(QString& sheet, double factor);

// Sets the sheet scaled by the process's factor and marks it as scaled, so that a
// later ScaleWidgetSize or ScaleWidgetTree does not scale it a second time.
void ApplyScaledStyleSheet(QWidget* widget, const QString& sheet);

}  // namespace utils
