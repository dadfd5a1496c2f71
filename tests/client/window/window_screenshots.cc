// Grabs the main window on every page, its menus and its overlays into PNG files,
// with the fake Controller standing in for the session:
//   xvfb-run -a -s "-screen 0 1280x800x24" castora_window_screenshots <folder> [dpi] [lang]
#include <cstdio>

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTranslator>

#include "client/settings.h"
#include "client/ui/about.h"
#include "client/ui/castora.h"
#include "client/ui/close_dialog.h"
#include "client/ui/interrupt_dialog.h"
#include "client/ui/pin_code_page.h"
#include "client/ui/resource_bundle.h"
#include "client/ui/shadow_menu.h"
#include "client/ui/tip_dialog.h"
#include "tests/client/window/fake_controller.h"
#include "utils/qt_tool.h"

namespace {

using utils::Settle;

QString g_folder;
QString g_suffix;
bool g_ok = true;

void Grab(QWidget* widget, const QString& name) {
  const QString path = QDir(g_folder).filePath(name + g_suffix + QStringLiteral(".png"));
  const bool ok = widget->grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  g_ok &= ok;
}

void GrabScreen(const QString& name) {
  const QString path = QDir(g_folder).filePath(name + g_suffix + QStringLiteral(".png"));
  const bool ok = QGuiApplication::primaryScreen()->grabWindow(0).save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  g_ok &= ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <folder> [dpi] [lang]\n", argv[0]);
    return 2;
  }
  if (argc >= 3) qputenv("CASTORA_DPI", argv[2]);
  const QString profile = QDir::temp().filePath(QStringLiteral("castora-window-screenshots"));
  QDir(profile).removeRecursively();
  qputenv("XDG_DATA_HOME", profile.toLocal8Bit());
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Castora"));
  QApplication::setQuitOnLastWindowClosed(false);
  InitUiResources();
  QCursor::setPos(2000, 2000);
  QTranslator translator;
  utils::InstallLanguageArgument(translator, argc, argv, 3);
  g_folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(g_folder);
  g_suffix = QStringLiteral("_") + (argc >= 3 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("96"));
  Settings::SetOpenViceScreen(true);  // shows "Enable touch" greyed out

  Castora window(MakeFakeController);
  window.move(20, 20);
  window.show();
  Settle(500);
  Grab(&window, QStringLiteral("w0_pin_code"));

  emit window.findChild<PinCodePage*>(QStringLiteral("pin_code_page_"))
      ->Connect(QStringLiteral("CEGH2C"), QStringLiteral("192.168.1.20"), 7386, false);
  Settle(300);
  Grab(&window, QStringLiteral("w1_connecting"));
  emit window.controller().Connected(false);
  Settle(200);
  Grab(&window, QStringLiteral("w2_failure"));
  window.OnRetry();
  emit window.findChild<PinCodePage*>(QStringLiteral("pin_code_page_"))
      ->Connect(QStringLiteral("CEGH2C"), QStringLiteral("192.168.1.20"), 7386, false);
  emit window.controller().Connected(true);
  Settle(300);
  Grab(&window, QStringLiteral("w3_function"));

  window.option_menu()->popup(window.OptionMenuPosition());
  Settle(300);
  Grab(window.option_menu(), QStringLiteral("m0_option_menu"));
  window.advanced_menu()->popup(QPoint(0, 0));
  Settle(300);
  Grab(window.advanced_menu(), QStringLiteral("m1_advanced_menu"));
  GrabScreen(QStringLiteral("m2_menus_on_screen"));
  window.advanced_menu()->hide();
  window.option_menu()->hide();
  window.tray_menu()->popup(QPoint(900, 300));
  Settle(300);
  Grab(window.tray_menu(), QStringLiteral("m3_tray_menu"));
  window.tray_menu()->hide();

  window.about()->SetReceiverVersion(QStringLiteral("R.9.8.7.6"));
  window.about()->ShowOver();
  Settle(200);
  Grab(&window, QStringLiteral("o0_about"));
  window.about()->hide();
  window.close_dialog()->ShowOver();
  Settle(200);
  Grab(&window, QStringLiteral("o1_close"));
  window.close_dialog()->hide();
  window.interrupt_dialog()->ShowOver();
  Settle(200);
  Grab(&window, QStringLiteral("o2_interrupt"));
  window.interrupt_dialog()->hide();
  for (QAction* action : window.advanced_menu()->actions())
    if (action->text() == QCoreApplication::translate("Castora", "Hardware Acceleration")) action->trigger();
  Settle(200);
  Grab(&window, QStringLiteral("o3_tip"));
  window.tip_dialog()->hide();

  emit window.controller().MirrorVideoToggled(true);
  window.show();
  Settle(300);
  Grab(&window, QStringLiteral("w4_sharing"));

  // The share lost to a video error: the window back in front on the function page,
  // the notice over it.
  emit window.controller().Error();
  emit window.controller().MirrorVideoToggled(false);
  Settle(300);
  Grab(&window, QStringLiteral("w5_share_lost"));
  GrabScreen(QStringLiteral("w6_share_lost_on_screen"));

  // A receiver whose name is markup: the title row shows it as the text it is.
  window.interrupt_dialog()->hide();
  emit window.controller().Disconnected();
  LastFakeController()->peer.device_name = "<b>Room</b> <img src=\"/usr/share/pixmaps/debian-logo.png\"> &amp; 2";
  emit window.findChild<PinCodePage*>(QStringLiteral("pin_code_page_"))
      ->Connect(QStringLiteral("CEGH2C"), QStringLiteral("192.168.1.20"), 7386, false);
  emit window.controller().Connected(true);
  Settle(300);
  Grab(&window, QStringLiteral("w7_markup_name"));
  return g_ok ? 0 : 1;
}
