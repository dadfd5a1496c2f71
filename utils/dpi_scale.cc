#include "utils/dpi_scale.h"

#include <algorithm>
#include <climits>

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QSpacerItem>
#include <QVariant>
#include <QWidget>

#include "utils/style_sheet.h"

namespace utils {

namespace {

constexpr int kBaseDpi = 96;
// Marks a widget's sizes or a layout's margins as scaled, so they are scaled once.
const char* const kScaledProperty = "_castora_dpi_scaled";

int CappedWidgetSize(int value, double factor) {
  return std::min(DpiScaled(value, factor), QWIDGETSIZE_MAX);
}

}  // namespace

int ScreenDpi() {
  bool ok = false;
  const int forced = qEnvironmentVariableIntValue("CASTORA_DPI", &ok);
  if (ok && forced > 0) return forced;
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return kBaseDpi;
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return kBaseDpi;
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return kBaseDpi;
  return qRound(screen->logicalDotsPerInchX());
}

double DpiScaleFactorFor(int dpi) { return std::max(dpi, kBaseDpi) / static_cast<double>(kBaseDpi); }

double DpiScaleFactor() {
  static const double factor = DpiScaleFactorFor(ScreenDpi());
  return factor;
}

int DpiScaled(int value) { return DpiScaled(value, DpiScaleFactor()); }

int DpiScaled(int value, double factor) {
  if (value == 0) return 0;
  const double scaled = value * factor + 0.5;
  if (scaled >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (scaled <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(scaled);
}

void ScaleWidgetSize(QWidget* widget) { ScaleWidgetSize(widget, DpiScaleFactor()); }

void ScaleWidgetSize(QWidget* widget, double factor) {
  if (!widget->property(kScaledProperty).toBool()) {
    const QSize min = widget->minimumSize();
    const QSize max = widget->maximumSize();
    // The factor is at least 1: growing the maximum first never leaves min > max.
    widget->setMaximumSize(CappedWidgetSize(max.width(), factor), CappedWidgetSize(max.height(), factor));
    widget->setMinimumSize(CappedWidgetSize(min.width(), factor), CappedWidgetSize(min.height(), factor));
    widget->setProperty(kScaledProperty, true);
  }
  QString sheet = widget->styleSheet();
  if (!sheet.isEmpty() && sheet != widget->property(kScaledStyleSheetProperty).toString()) {
    ScaleStyleSheet(sheet, factor);
    widget->setStyleSheet(sheet);
    widget->setProperty(kScaledStyleSheetProperty, sheet);
  }
}

void ScaleWidgetTree(QWidget* widget) { ScaleWidgetTree(widget, DpiScaleFactor()); }

void ScaleWidgetTree(QWidget* widget, double factor) {
  ScaleWidgetSize(widget, factor);
  for (QWidget* child : widget->findChildren<QWidget*>()) ScaleWidgetSize(child, factor);
  for (QLayout* layout : widget->findChildren<QLayout*>()) {
    if (layout->objectName().isEmpty() || layout->property(kScaledProperty).toBool()) continue;
    const QMargins m = layout->contentsMargins();
    layout->setContentsMargins(DpiScaled(m.left(), factor), DpiScaled(m.top(), factor),
                               DpiScaled(m.right(), factor), DpiScaled(m.bottom(), factor));
    layout->setSpacing(DpiScaled(layout->spacing(), factor));
    for (int i = 0; i < layout->count(); ++i) {
      QSpacerItem* spacer = layout->itemAt(i)->spacerItem();
      if (!spacer) continue;
      const QSize hint = spacer->sizeHint();
      const QSizePolicy policy = spacer->sizePolicy();
      const int width = policy.horizontalPolicy() == QSizePolicy::Fixed ? DpiScaled(hint.width(), factor)
                                                                         : hint.width();
      const int height = policy.verticalPolicy() == QSizePolicy::Fixed ? DpiScaled(hint.height(), factor)
                                                                        : hint.height();
      spacer->changeSize(width, height, policy.horizontalPolicy(), policy.verticalPolicy());
    }
    layout->invalidate();
    layout->setProperty(kScaledProperty, true);
  }
  widget->repaint();
}

}  // namespace utils
