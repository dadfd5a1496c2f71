// Grabs the update dialog's pages into PNG files:
//   xvfb-run -a -s "-screen 0 1280x1024x24" renovix_screenshots <folder> [dpi] [lang]
// [dpi] is taken as CASTORA_DPI (the window helpers' scale), [lang] loads
// ":/language/<lang>.qm" first. Writes update.png, update_long.png, updating.png,
// finished.png and finished_long.png: the whole (transparent) window, grabbed from
// the screen so that the shadow shows.
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTranslator>

#include "updater/interaction.h"
#include "updater/startup.h"
#include "updater/update_finished_page.h"
#include "updater/updating_page.h"
#include "utils/qt_tool.h"

#include <QSlider>

namespace {

using utils::Settle;

bool Grab(Interaction& window, const QString& folder, const QString& name) {
  Settle(400);
  // The panel with a margin for its shadow, from the screen (white desktop behind).
  const QRect panel = window.panel()->geometry().adjusted(-10, -10, 10, 10).translated(window.pos());
  const QPixmap shot = window.screen()->grabWindow(0, panel.x(), panel.y(), panel.width(), panel.height());
  const QString path = QDir(folder).filePath(name);
  if (!shot.save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <folder> [dpi] [lang]\n", argv[0]);
    return 2;
  }
  if (argc > 2) qputenv("CASTORA_DPI", argv[2]);
  QApplication app(argc, argv);
  QFont font = QApplication::font();
  font.setFamily(QStringLiteral("Microsoft YaHei"));
  QApplication::setFont(font);
  InitUpdaterResources();
  QTranslator translator;
  utils::InstallLanguageArgument(translator, argc, argv, 3);
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(folder);
  bool ok = true;
  {
    Interaction window;
    window.ShowUpdateDialog(QStringLiteral("Faster connection to meeting-room displays."));
    ok = Grab(window, folder, QStringLiteral("update.png")) && ok;
  }
  {
    Interaction window;
    window.ShowUpdateDialog(QStringLiteral(
        "1. Connects faster to meeting-room displays.\n2. Sound keeps in step with the picture.\n"
        "3. Touches on the display reach the computer more precisely.\n4. Fixes a rare crash "
        "when the computer wakes from sleep while sharing."));
    ok = Grab(window, folder, QStringLiteral("update_long.png")) && ok;
  }
  {
    Interaction window;
    window.ShowUpdating();
    Settle(3000);
    ok = Grab(window, folder, QStringLiteral("updating.png")) && ok;
    window.FinishUpdating();
    Settle((1000 - window.updating_page()->slider()->value()) * 10 + 1500);
    ok = Grab(window, folder, QStringLiteral("finished.png")) && ok;
  }
  {
    Interaction window;
    window.update_finished_page()->SetDescription(QStringLiteral(
        "1. Connects faster to meeting-room displays.\n2. Sound keeps in step with the picture."));
    window.stack()->setCurrentIndex(2);
    window.show();
    ok = Grab(window, folder, QStringLiteral("finished_long.png")) && ok;
  }
  return ok ? 0 : 1;
}
