#include "utils/style_sheet.h"

#include <climits>

#include <QFile>
#include <QRegularExpression>
#include <QVariant>
#include <QWidget>

#include "utils/dpi_scale.h"

namespace utils {

const char* const kScaledStyleSheetProperty = "_castora_scaled_style_sheet";

QString LoadStyleSheet(const QString& name) {
  QFile file(QStringLiteral(":/qss/") + name);
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromLatin1(file.readAll());
}

void ScaleStyleSheet(QString& sheet) { ScaleStyleSheet(sheet, DpiScaleFactor()); }

void ScaleStyleSheet(QString& sheet, double factor) {
  static const QRegularExpression kPixels(QStringLiteral("(\\d+)px"));
  int from = 0;
  for (;;) {
    const QRegularExpressionMatch match = kPixels.match(sheet, from);
    if (!match.hasMatch()) break;
    bool ok = false;
    const int number = match.captured(1).toInt(&ok);
    if (!ok) {  // not an int: leave the text alone rather than write 0px
      from = match.capturedEnd(0);
      continue;
    }
    int scaled = number;
    if (number != 0) {
      const double value = factor * number + 0.5;
      scaled = value >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(value);
    }
    const QString replacement = QStringLiteral("%1px").arg(scaled);
    sheet.replace(match.capturedStart(0), match.capturedLength(0), replacement);
    from = match.capturedStart(0) + replacement.size();
  }
}

void ApplyScaledStyleSheet(QWidget* widget, const QString& sheet) {
  QString scaled = sheet;
  ScaleStyleSheet(scaled);
  widget->setStyleSheet(scaled);
  widget->setProperty(kScaledStyleSheetProperty, scaled);
}

}  // namespace utils
