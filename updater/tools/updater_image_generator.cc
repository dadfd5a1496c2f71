// Draws the updater's pictures. Run at build time:
//   renovix_image_generator <output folder>
// writes icon_succeed.png (the finished page's badge, drawn at twice its 48-pixel
// size so that it stays sharp when scaled) and the program icon's sizes as
// frames/app_<size>.png, which the build joins into icon_app.ico with ImageMagick.
#include <algorithm>

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "utils/qt_tool.h"

namespace {

using utils::SavePicture;

QImage Canvas(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// A green disc with a soft halo and a white tick.
void SucceedIcon() {
  const QColor green(0x3C, 0xC5, 0x5A);
  QImage image = Canvas(96);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QColor halo = green;
  halo.setAlpha(40);
  p.setPen(Qt::NoPen);
  p.setBrush(halo);
  p.drawEllipse(QRectF(2, 2, 92, 92));
  p.setBrush(green);
  p.drawEllipse(QRectF(12, 12, 72, 72));
  p.setPen(QPen(Qt::white, 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  QPainterPath tick;
  tick.moveTo(32, 49);
  tick.lineTo(44, 61);
  tick.lineTo(65, 37);
  p.drawPath(tick);
  p.end();
  SavePicture(image, QStringLiteral("icon_succeed.png"));
}

// The updater's mark: the product's blue rounded square with a circular arrow around
// a downward arrow (a fresh version arriving).
QImage AppIcon(int size) {
  QImage image = Canvas(size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size;
  QLinearGradient g(0, 0, 0, s);
  g.setColorAt(0, QColor(0x52, 0xB6, 0xFF));
  g.setColorAt(1, QColor(0x08, 0x85, 0xE3));
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawRoundedRect(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92), s * 0.22, s * 0.22);
  const double w = std::max(1.0, s * 0.08);
  p.setPen(QPen(Qt::white, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  const QRectF ring(s * 0.24, s * 0.24, s * 0.52, s * 0.52);
  p.drawArc(ring, 120 * 16, 300 * 16);
  // the arrow's head at the open end of the ring
  QPainterPath head;
  head.moveTo(s * 0.30, s * 0.20);
  head.lineTo(s * 0.37, s * 0.29);
  head.lineTo(s * 0.26, s * 0.33);
  p.drawPath(head);
  p.drawLine(QPointF(s * 0.5, s * 0.36), QPointF(s * 0.5, s * 0.60));
  QPainterPath down;
  down.moveTo(s * 0.41, s * 0.52);
  down.lineTo(s * 0.5, s * 0.61);
  down.lineTo(s * 0.59, s * 0.52);
  p.drawPath(down);
  p.end();
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);  // offscreen is enough: nothing is shown
  utils::PictureFolder& pictures = utils::PictureFolder::Instance();
  if (const int code = pictures.Open(argc, argv); code != 0) return code;
  SucceedIcon();
  for (int size : {16, 24, 32, 48, 64, 256})
    SavePicture(AppIcon(size), QStringLiteral("frames/app_%1.png").arg(size));
  return pictures.ExitCode();
}
