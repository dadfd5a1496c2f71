#include "client/ui/page_style.h"

#include <QColor>
#include <QGraphicsDropShadowEffect>
#include <QWidget>

#include "client/ui/resource_bundle.h"
#include "utils/dpi_scale.h"
#include "utils/style_sheet.h"

void ApplyPageStyleSheet(QWidget* widget, const QString& name) {
  InitUiResources();
  utils::ApplyScaledStyleSheet(widget, utils::LoadStyleSheet(name));
}

void AddButtonShadow(QWidget* button) {
  auto* shadow = new QGraphicsDropShadowEffect(button);
  shadow->setBlurRadius(utils::DpiScaled(16));
  shadow->setOffset(0, utils::DpiScaled(8));
  shadow->setColor(QColor(20, 78, 127, 25));
  button->setGraphicsEffect(shadow);
}
