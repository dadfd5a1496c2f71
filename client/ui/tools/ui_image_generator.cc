// Draws every picture of the client's windows. Run at build time:
//   castora_ui_image_generator <output folder>
// writes the still images as PNG into <output folder>/ and the frames of each
// animation as <output folder>/frames/<name>_NN.png; the build joins the frames into
// GIFs and the logo sizes into the tray's .ico with ImageMagick, because Qt cannot
// write either format in a way QMovie and the tray read well.
//
// Pictures shown in labels are drawn at twice their on-screen size (labels scale them
// down smoothly, so they stay sharp at 144 DPI); border images and small icons used by
// style sheets are drawn at their 96-DPI size.
#include <cmath>

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>

#include "utils/qt_tool.h"

namespace {

const QColor kBlue(0x38, 0xA8, 0xFC);
const QColor kDeepBlue(0x08, 0x85, 0xE3);
const QColor kPaleBlue(0xE6, 0xF4, 0xFF);
const QColor kFrame(0x3D, 0x46, 0x54);
const QColor kGrey(0xC9, 0xCF, 0xD6);
const QColor kStar(0xFF, 0xC1, 0x3B);
const QColor kRed(0xF5, 0x4A, 0x45);
const QColor kGreen(0x3C, 0xC5, 0x5A);

using utils::SavePicture;

QImage Canvas(int w, int h, bool opaque) {
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  image.fill(opaque ? Qt::white : Qt::transparent);
  return image;
}

void Prepare(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
}

// A four-pointed sparkle centred on c with outer radius r.
void Sparkle(QPainter& p, QPointF c, double r, const QColor& color) {
  if (r <= 0.2) return;
  const double k = r * 0.22;
  QPainterPath path;
  path.moveTo(c.x(), c.y() - r);
  path.quadTo(c.x() + k, c.y() - k, c.x() + r, c.y());
  path.quadTo(c.x() + k, c.y() + k, c.x(), c.y() + r);
  path.quadTo(c.x() - k, c.y() + k, c.x() - r, c.y());
  path.quadTo(c.x() - k, c.y() - k, c.x(), c.y() - r);
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  p.drawPath(path);
}

// A display on a stand; returns the screen area inside the bezel.
QRectF Monitor(QPainter& p, const QRectF& r) {
  const double bezel = r.width() * 0.035;
  const double standH = r.height() * 0.16;
  QRectF body(r.left(), r.top(), r.width(), r.height() - standH);
  p.setPen(Qt::NoPen);
  p.setBrush(kFrame);
  p.drawRoundedRect(body, bezel * 1.6, bezel * 1.6);
  // stand
  const double neckW = r.width() * 0.12;
  p.setBrush(QColor(0x9A, 0xA4, 0xB1));
  p.drawRect(QRectF(r.center().x() - neckW / 2, body.bottom(), neckW, standH * 0.7));
  p.setBrush(kGrey);
  p.drawRoundedRect(QRectF(r.center().x() - neckW * 1.6, body.bottom() + standH * 0.62, neckW * 3.2, standH * 0.38),
                    standH * 0.19, standH * 0.19);
  return body.adjusted(bezel, bezel, -bezel, -bezel);
}

// A laptop seen from the front; returns its screen area.
QRectF Laptop(QPainter& p, const QRectF& r) {
  const double baseH = r.height() * 0.12;
  const QRectF lid(r.left() + r.width() * 0.1, r.top(), r.width() * 0.8, r.height() - baseH);
  const double bezel = lid.width() * 0.05;
  p.setPen(Qt::NoPen);
  p.setBrush(kFrame);
  p.drawRoundedRect(lid, bezel * 1.4, bezel * 1.4);
  QPainterPath base;
  base.moveTo(r.left(), lid.bottom());
  base.lineTo(r.right(), lid.bottom());
  base.lineTo(r.right() - r.width() * 0.03, r.bottom());
  base.lineTo(r.left() + r.width() * 0.03, r.bottom());
  base.closeSubpath();
  p.setBrush(kGrey);
  p.drawPath(base);
  p.setBrush(QColor(0x9A, 0xA4, 0xB1));
  p.drawRoundedRect(QRectF(r.center().x() - r.width() * 0.08, lid.bottom(), r.width() * 0.16, baseH * 0.35), 2, 2);
  return lid.adjusted(bezel, bezel, -bezel, -bezel * 1.2);
}

// A simple "desktop" filling a screen: sky gradient, a sun and two hills.
void Desktop(QPainter& p, const QRectF& s, double shade = 1.0) {
  p.save();
  p.setClipRect(s);
  QLinearGradient sky(s.topLeft(), s.bottomLeft());
  sky.setColorAt(0, QColor(0x5C, 0xBC, 0xFF));
  sky.setColorAt(1, QColor(0xB8, 0xE2, 0xFF));
  p.fillRect(s, sky);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xFF, 0xE0, 0x8A));
  const double u = s.height();
  p.drawEllipse(QPointF(s.left() + s.width() * 0.75, s.top() + u * 0.3), u * 0.12, u * 0.12);
  QPainterPath hill1;
  hill1.moveTo(s.left(), s.bottom());
  hill1.quadTo(s.left() + s.width() * 0.3, s.top() + u * 0.35, s.left() + s.width() * 0.65, s.bottom());
  p.setBrush(QColor(0x2E, 0x9E, 0x6A).lighter(static_cast<int>(100 * shade)));
  p.drawPath(hill1);
  QPainterPath hill2;
  hill2.moveTo(s.left() + s.width() * 0.35, s.bottom());
  hill2.quadTo(s.left() + s.width() * 0.75, s.top() + u * 0.5, s.right() + 1, s.bottom());
  p.setBrush(QColor(0x4C, 0xC3, 0x86));
  p.drawPath(hill2);
  p.restore();
}

double Ease(double t) { return t <= 0 ? 0 : t >= 1 ? 1 : 1 - std::pow(1 - t, 3); }

// Sparkle radius over the animation: grows in, twinkles, settles at `rest`.
double Twinkle(double t, double start, double full, double rest) {
  if (t < start) return 0;
  const double local = (t - start) / (1 - start);
  if (local < 0.4) return full * Ease(local / 0.4) * 1.15;
  return rest + (full * 1.15 - rest) * (1 - Ease((local - 0.4) / 0.6)) * std::fabs(std::cos((local - 0.4) * 6));
}

void StatusDots() {
  for (const auto& [name, color] : {std::make_pair("red_POINT.png", kRed), std::make_pair("green_POINT.png", kGreen)}) {
    QImage image = Canvas(10, 10, false);
    QPainter p(&image);
    Prepare(p);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QRectF(1, 1, 8, 8));
    p.end();
    SavePicture(image, name);
  }
}

// The product mark: a blue rounded square with a screen and a cast wave.
QImage Logo(int size) {
  QImage image = Canvas(size, size, false);
  QPainter p(&image);
  Prepare(p);
  const double s = size;
  QLinearGradient g(0, 0, 0, s);
  g.setColorAt(0, QColor(0x52, 0xB6, 0xFF));
  g.setColorAt(1, kDeepBlue);
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawRoundedRect(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92), s * 0.22, s * 0.22);
  QPen pen(Qt::white, std::max(1.0, s * 0.075), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(s * 0.22, s * 0.26, s * 0.56, s * 0.38), s * 0.05, s * 0.05);
  p.drawLine(QPointF(s * 0.38, s * 0.76), QPointF(s * 0.62, s * 0.76));
  // cast waves from the lower left corner of the screen
  p.setPen(QPen(Qt::white, std::max(1.0, s * 0.06), Qt::SolidLine, Qt::RoundCap));
  const QPointF o(s * 0.30, s * 0.56);
  p.drawArc(QRectF(o.x() - s * 0.12, o.y() - s * 0.12, s * 0.24, s * 0.24), 0, 90 * 16);
  p.setBrush(Qt::white);
  p.setPen(Qt::NoPen);
  p.drawEllipse(o, s * 0.045, s * 0.045);
  p.end();
  return image;
}

void Logos() {
  for (int size : {16, 24, 32, 48, 64, 256})
    SavePicture(Logo(size), QStringLiteral("frames/logo_%1.png").arg(size));
  SavePicture(Logo(128), QStringLiteral("icon_logo.png"));
}

// One rounded cell per character, drawn at twice the size of the code entry.
void InputBoxes() {
  constexpr int kCellW = 52, kCellH = 64, kGap = 12, kScale = 2;
  for (int n : {6, 8}) {
    const int w = (n * kCellW + (n - 1) * kGap) * kScale;
    QImage image = Canvas(w, kCellH * kScale, false);
    QPainter p(&image);
    Prepare(p);
    for (int i = 0; i < n; ++i) {
      const QRectF cell((i * (kCellW + kGap)) * kScale + 1.5, 1.5, kCellW * kScale - 3, kCellH * kScale - 3);
      p.setPen(QPen(QColor(0xD4, 0xDF, 0xEA), 3));
      p.setBrush(QColor(0xF7, 0xFA, 0xFD));
      p.drawRoundedRect(cell, 8, 8);
    }
    p.end();
    SavePicture(image, QStringLiteral("input_box_%1.png").arg(n));
  }
}

void LoadingFrames() {
  constexpr int kFrames = 24, kSize = 192;  // 2x of the 96 x 96 label
  for (int f = 0; f < kFrames; ++f) {
    QImage image = Canvas(kSize, kSize, true);
    QPainter p(&image);
    Prepare(p);
    const QRectF ring(24, 24, kSize - 48, kSize - 48);
    p.setPen(QPen(kPaleBlue, 14, Qt::SolidLine, Qt::RoundCap));
    p.drawEllipse(ring);
    // the arc breathes between 40 and 160 degrees while it turns
    const double phase = static_cast<double>(f) / kFrames;
    const double span = 100 + 60 * std::sin(phase * 2 * M_PI);
    const double start = -phase * 360 * 16;
    p.setPen(QPen(kBlue, 14, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(ring, static_cast<int>(start), static_cast<int>(span * 16));
    p.end();
    SavePicture(image, QStringLiteral("frames/pic_loading_%1.png").arg(f, 2, 10, QLatin1Char('0')));
  }
}

// One-screen sharing: a laptop whose desktop fills the big display, stars twinkling.
void SingleStarFrames() {
  constexpr int kFrames = 20, kW = 400, kH = 300;
  for (int f = 0; f < kFrames; ++f) {
    const double t = static_cast<double>(f) / (kFrames - 1);
    QImage image = Canvas(kW, kH, true);
    QPainter p(&image);
    Prepare(p);
    p.setPen(Qt::NoPen);
    p.setBrush(kPaleBlue);
    p.drawEllipse(QPointF(kW / 2.0, kH / 2.0 + 6), 150, 118);
    const QRectF screen = Monitor(p, QRectF(78, 48, 244, 178));
    Desktop(p, screen);
    // a light sweep runs across the display as it takes over the laptop's desktop
    if (t > 0 && t < 0.7) {
      p.save();
      p.setClipRect(screen);
      const double x = screen.left() - 70 + (t / 0.7) * (screen.width() + 140);
      QPainterPath band;
      band.moveTo(x, screen.bottom());
      band.lineTo(x + 40, screen.top());
      band.lineTo(x + 76, screen.top());
      band.lineTo(x + 36, screen.bottom());
      band.closeSubpath();
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(255, 255, 255, 110));
      p.drawPath(band);
      p.restore();
    }
    const QRectF lap = Laptop(p, QRectF(36, 172, 116, 82));
    Desktop(p, lap);
    Sparkle(p, QPointF(332, 58), Twinkle(t, 0.15, 20, 13), kStar);
    Sparkle(p, QPointF(70, 88), Twinkle(t, 0.3, 14, 9), kStar);
    Sparkle(p, QPointF(352, 206), Twinkle(t, 0.45, 11, 7), kBlue);
    Sparkle(p, QPointF(300, 30), Twinkle(t, 0.55, 8, 5), kBlue);
    p.end();
    SavePicture(image, QStringLiteral("frames/single_star_%1.png").arg(f, 2, 10, QLatin1Char('0')));
  }
}

// Join-screen sharing: four devices fill the quarters of one display in turn.
void JoinStarFrames() {
  constexpr int kFrames = 20, kW = 400, kH = 300;
  const QColor tiles[4] = {QColor(0x5C, 0xBC, 0xFF), QColor(0xFF, 0xA9, 0x4D), QColor(0x6C, 0xD6, 0x8F),
                           QColor(0xA5, 0x8B, 0xFF)};
  for (int f = 0; f < kFrames; ++f) {
    const double t = static_cast<double>(f) / (kFrames - 1);
    QImage image = Canvas(kW, kH, true);
    QPainter p(&image);
    Prepare(p);
    p.setPen(Qt::NoPen);
    p.setBrush(kPaleBlue);
    p.drawEllipse(QPointF(kW / 2.0, kH / 2.0 + 6), 150, 118);
    const QRectF screen = Monitor(p, QRectF(78, 48, 244, 178));
    p.fillRect(screen, QColor(0x2A, 0x31, 0x3C));
    const double gap = 4;
    const double tw = (screen.width() - gap * 3) / 2, th = (screen.height() - gap * 3) / 2;
    for (int i = 0; i < 4; ++i) {
      // at rest (frame 0) two quarters are filled; hovering brings in the other two
      const double appear = i < 2 ? 1.0 : Ease((t - 0.15 - (i - 2) * 0.25) / 0.3);
      const QRectF full(screen.left() + gap + (i % 2) * (tw + gap), screen.top() + gap + (i / 2) * (th + gap), tw, th);
      if (appear < 1) {
        // a free place, waiting for one more device
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0x6A, 0x75, 0x84), 2, Qt::DashLine));
        p.drawRoundedRect(full.adjusted(2, 2, -2, -2), 4, 4);
        p.setPen(QPen(QColor(0x6A, 0x75, 0x84), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(full.center() - QPointF(8, 0), full.center() + QPointF(8, 0));
        p.drawLine(full.center() - QPointF(0, 8), full.center() + QPointF(0, 8));
        p.setPen(Qt::NoPen);
      }
      if (appear <= 0) continue;
      QRectF r(0, 0, full.width() * appear, full.height() * appear);
      r.moveCenter(full.center());
      p.setBrush(tiles[i]);
      p.drawRoundedRect(r, 4, 4);
      p.setBrush(QColor(255, 255, 255, 200));
      p.drawRoundedRect(QRectF(r.left() + r.width() * 0.12, r.top() + r.height() * 0.2, r.width() * 0.5,
                               r.height() * 0.14), 2, 2);
      p.drawRoundedRect(QRectF(r.left() + r.width() * 0.12, r.top() + r.height() * 0.45, r.width() * 0.32,
                               r.height() * 0.14), 2, 2);
    }
    // small devices around the display
    const QRectF lap = Laptop(p, QRectF(30, 186, 92, 64));
    p.fillRect(lap, tiles[0]);
    const QRectF lap2 = Laptop(p, QRectF(278, 186, 92, 64));
    p.fillRect(lap2, tiles[1]);
    Sparkle(p, QPointF(336, 52), Twinkle(t, 0.2, 18, 12), kStar);
    Sparkle(p, QPointF(64, 70), Twinkle(t, 0.4, 13, 8), kStar);
    Sparkle(p, QPointF(200, 22), Twinkle(t, 0.6, 10, 6), kBlue);
    p.end();
    SavePicture(image, QStringLiteral("frames/join_star_%1.png").arg(f, 2, 10, QLatin1Char('0')));
  }
}

// Two devices and the link between them: waves while sharing, a broken link on failure.
void LinkPicture(const QString& name, bool failed) {
  constexpr int kW = 480, kH = 320;
  QImage image = Canvas(kW, kH, false);
  QPainter p(&image);
  Prepare(p);
  p.setPen(Qt::NoPen);
  p.setBrush(kPaleBlue);
  p.drawEllipse(QPointF(kW / 2.0, kH / 2.0 + 10), 220, 140);
  const QRectF lap = Laptop(p, QRectF(30, 150, 170, 120));
  const QRectF mon = Monitor(p, QRectF(260, 60, 190, 150));
  if (failed) {
    p.fillRect(lap, QColor(0x58, 0x62, 0x70));
    p.fillRect(mon, QColor(0x58, 0x62, 0x70));
    // dashed, broken link and a red badge
    p.setPen(QPen(QColor(0xB5, 0xC0, 0xCC), 6, Qt::DashLine, Qt::RoundCap));
    p.drawLine(QPointF(200, 190), QPointF(226, 170));
    p.drawLine(QPointF(262, 144), QPointF(270, 138));
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QPointF(240, 150), 26, 26);
    p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(230, 140), QPointF(250, 160));
    p.drawLine(QPointF(250, 140), QPointF(230, 160));
  } else {
    Desktop(p, lap);
    Desktop(p, mon);
    // waves travelling from the laptop to the display
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
      QColor c = kBlue;
      c.setAlpha(255 - i * 70);
      p.setPen(QPen(c, 7, Qt::SolidLine, Qt::RoundCap));
      const double r = 26 + i * 22;
      p.drawArc(QRectF(180 - r, 170 - r, 2 * r, 2 * r), 10 * 16, 70 * 16);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawEllipse(QPointF(180, 170), 8, 8);
    Sparkle(p, QPointF(452, 52), 16, kStar);
    Sparkle(p, QPointF(60, 112), 11, kStar);
  }
  p.end();
  SavePicture(image, name);
}

// The frame of the pop-up menus: a white rounded panel with a soft shadow, cut into
// 20-pixel border slices by the style sheet.
void ShadowMenuBorder() {
  constexpr int kSize = 64, kShadow = 14;
  QImage image = Canvas(kSize, kSize, false);
  QPainter p(&image);
  Prepare(p);
  for (int i = kShadow; i > 0; --i) {
    const double a = 22.0 * std::pow(1.0 - static_cast<double>(i) / kShadow, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(63, 67, 74, static_cast<int>(a)));
    const QRectF r = QRectF(kShadow - i, kShadow - i + 2, kSize - 2 * (kShadow - i), kSize - 2 * (kShadow - i) - 2);
    p.drawRoundedRect(r, 6 + i, 6 + i);
  }
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(kShadow, kShadow, kSize - 2 * kShadow, kSize - 2 * kShadow), 6, 6);
  p.end();
  SavePicture(image, QStringLiteral("shadow_menu.png"));
}

// Title-row and dialog buttons, drawn at 2x for the style sheets' "image".
void ButtonIcons() {
  const QColor ink(0x5C, 0x63, 0x6E);
  auto icon = [&](const QString& name, auto draw) {
    QImage image = Canvas(48, 48, false);
    QPainter p(&image);
    Prepare(p);
    p.setPen(QPen(ink, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    draw(p);
    p.end();
    SavePicture(image, name);
  };
  icon(QStringLiteral("btn_close.png"), [](QPainter& p) {
    p.drawLine(QPointF(15, 15), QPointF(33, 33));
    p.drawLine(QPointF(33, 15), QPointF(15, 33));
  });
  icon(QStringLiteral("btn_minimize.png"), [](QPainter& p) { p.drawLine(QPointF(14, 24), QPointF(34, 24)); });
  icon(QStringLiteral("btn_option.png"), [](QPainter& p) {
    p.drawLine(QPointF(14, 16), QPointF(34, 16));
    p.drawLine(QPointF(14, 24), QPointF(34, 24));
    p.drawLine(QPointF(14, 32), QPointF(34, 32));
  });
  // menu check mark
  icon(QStringLiteral("menu_checked.png"), [](QPainter& p) {
    p.setPen(QPen(kBlue, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath path;
    path.moveTo(12, 25);
    path.lineTo(21, 33);
    path.lineTo(36, 15);
    p.drawPath(path);
  });
  icon(QStringLiteral("menu_arrow.png"), [&](QPainter& p) {
    p.setPen(QPen(ink, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath path;
    path.moveTo(20, 14);
    path.lineTo(30, 24);
    path.lineTo(20, 34);
    p.drawPath(path);
  });
}

// Check box indicator of the auto-sharing option, at 2x.
void CheckBoxes() {
  for (const bool checked : {false, true}) {
    QImage image = Canvas(36, 36, false);
    QPainter p(&image);
    Prepare(p);
    if (checked) {
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      p.drawRoundedRect(QRectF(2, 2, 32, 32), 6, 6);
      p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      QPainterPath path;
      path.moveTo(9, 18);
      path.lineTo(15.5, 24.5);
      path.lineTo(27, 11);
      p.setBrush(Qt::NoBrush);
      p.drawPath(path);
    } else {
      p.setPen(QPen(QColor(0xB8, 0xC2, 0xCC), 2.5));
      p.setBrush(Qt::white);
      p.drawRoundedRect(QRectF(3, 3, 30, 30), 6, 6);
    }
    p.end();
    SavePicture(image, checked ? QStringLiteral("checkbox_checked.png") : QStringLiteral("checkbox_unchecked.png"));
  }
}

// Dialog icons at 2x (shown 48 x 48): warning, notice, success.
void DialogIcons() {
  auto badge = [](const QString& name, const QColor& color, auto draw) {
    QImage image = Canvas(96, 96, false);
    QPainter p(&image);
    Prepare(p);
    QColor halo = color;
    halo.setAlpha(40);
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(QRectF(2, 2, 92, 92));
    p.setBrush(color);
    p.drawEllipse(QRectF(14, 14, 68, 68));
    p.setPen(QPen(Qt::white, 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    draw(p);
    p.end();
    SavePicture(image, name);
  };
  badge(QStringLiteral("icon_warning.png"), QColor(0xFA, 0x8C, 0x16), [](QPainter& p) {
    p.drawLine(QPointF(48, 30), QPointF(48, 52));
    p.drawPoint(QPointF(48, 65));
  });
  badge(QStringLiteral("icon_notice.png"), kBlue, [](QPainter& p) {
    p.drawPoint(QPointF(48, 31));
    p.drawLine(QPointF(48, 44), QPointF(48, 66));
  });
  badge(QStringLiteral("icon_success.png"), kGreen, [](QPainter& p) {
    QPainterPath path;
    path.moveTo(33, 49);
    path.lineTo(44, 60);
    path.lineTo(64, 38);
    p.drawPath(path);
  });
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);  // offscreen is enough: nothing is shown
  utils::PictureFolder& pictures = utils::PictureFolder::Instance();
  if (const int code = pictures.Open(argc, argv); code != 0) return code;
  StatusDots();
  Logos();
  InputBoxes();
  LoadingFrames();
  SingleStarFrames();
  JoinStarFrames();
  LinkPicture(QStringLiteral("pic_screenshare.png"), false);
  LinkPicture(QStringLiteral("pic_failure.png"), true);
  ShadowMenuBorder();
  ButtonIcons();
  CheckBoxes();
  DialogIcons();
  return pictures.ExitCode();
}
