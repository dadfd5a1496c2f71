// Grabs every page of the main window's stack into PNG files, for looking at the
// pages without the rest of the client:
//   xvfb-run -a -s "-screen 0 1280x800x24" castora_ui_screenshots <folder> [dpi] [lang]
// Each page sits on a white 800 x 556 panel (the main window's panel below its title
// row) and is scaled for the DPI as the main window scales its tree. [lang] loads
// ":/language/<lang>.qm" first.
#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMovie>
#include <QPixmap>
#include <QPushButton>
#include <QStandardPaths>
#include <QTranslator>
#include <QVBoxLayout>

#include <cstdio>

#include "client/ui/connect_page.h"
#include "client/ui/failure_page.h"
#include "client/ui/function_page.h"
#include "client/ui/mirror_button.h"
#include "client/ui/mirror_page.h"
#include "client/ui/pin_code_edit.h"
#include "client/ui/pin_code_page.h"
#include "client/ui/resource_bundle.h"
#include "utils/dpi_scale.h"
#include "utils/qt_tool.h"
#include "utils/style_sheet.h"

namespace {

using utils::Settle;

// The page on a white panel, as in the main window.
QWidget* Panel(QWidget* page) {
  auto* panel = new QWidget;
  panel->setObjectName(QStringLiteral("window_"));
  panel->setStyleSheet(QStringLiteral("QWidget#window_ { background-color: #FFFFFF; }"));
  panel->setAttribute(Qt::WA_StyledBackground);
  panel->setFixedSize(800, 556);
  auto* layout = new QVBoxLayout(panel);
  layout->setObjectName(QStringLiteral("panel_layout_"));
  layout->setContentsMargins(0, 0, 0, 0);
  page->setParent(panel);
  layout->addWidget(page);
  utils::ScaleWidgetTree(panel);
  panel->show();
  Settle(300);
  return panel;
}

bool Grab(QWidget* widget, const QString& folder, const QString& name) {
  const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
  const bool ok = widget->grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  return ok;
}

void Type(QWidget* edit, const QString& keys) {
  for (const QChar c : keys) {
    const int key = c.isLetter() ? Qt::Key_A + (c.toUpper().unicode() - 'A') : Qt::Key_0 + (c.unicode() - '0');
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(edit, &press);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <folder> [dpi] [lang]\n", argv[0]);
    return 2;
  }
  if (argc >= 3) qputenv("CASTORA_DPI", argv[2]);
  // Settings of a throw-away profile: the pages read the code length and auto-sharing.
  const QString profile = QDir::temp().filePath(QStringLiteral("castora-screenshots"));
  qputenv("XDG_DATA_HOME", profile.toLocal8Bit());
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Castora"));
  InitUiResources();
  // Out of the way, so that no card is hovered by the real pointer of the X server.
  QCursor::setPos(2000, 2000);
  QTranslator translator;
  utils::InstallLanguageArgument(translator, argc, argv, 3);
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(folder);
  const QString dpi = argc >= 3 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("96");
  const QString suffix = QStringLiteral("_") + dpi;
  bool ok = true;

  auto* pin = new PinCodePage;
  QWidget* panel = Panel(pin);
  ok &= Grab(panel, folder, QStringLiteral("0_pin_code_empty") + suffix);
  auto* edit6 = pin->findChild<PinCodeEdit*>(QStringLiteral("pin_edit_6_"));
  Type(edit6, QStringLiteral("CEG"));
  Settle(600);
  ok &= Grab(panel, folder, QStringLiteral("0_pin_code_typing") + suffix);
  Type(edit6, QStringLiteral("H2C"));
  Settle(100);
  ok &= Grab(panel, folder, QStringLiteral("0_pin_code_valid") + suffix);
  QKeyEvent back(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
  QCoreApplication::sendEvent(edit6, &back);
  Type(edit6, QStringLiteral("D"));
  Settle(100);
  ok &= Grab(panel, folder, QStringLiteral("0_pin_code_wrong") + suffix);
  pin->findChild<QPushButton*>(QStringLiteral("switch_edit_btn_"))->click();
  Type(pin->findChild<PinCodeEdit*>(QStringLiteral("pin_edit_8_")), QStringLiteral("AG8G9U"));
  Settle(600);
  ok &= Grab(panel, folder, QStringLiteral("0_pin_code_8") + suffix);
  pin->findChild<QPushButton*>(QStringLiteral("switch_edit_btn_"))->click();  // back to 6 for the next run
  delete panel;

  panel = Panel(new ConnectPage);
  ok &= Grab(panel, folder, QStringLiteral("1_connect") + suffix);
  delete panel;

  auto* failure = new FailurePage;
  failure->SetTips(QCoreApplication::translate("Castora", "No response from ZORVAX, please try again"));
  panel = Panel(failure);
  ok &= Grab(panel, folder, QStringLiteral("2_failure") + suffix);
  delete panel;

  auto* function = new FunctionPage;
  panel = Panel(function);
  ok &= Grab(panel, folder, QStringLiteral("3_function") + suffix);
  auto* single = function->findChild<MirrorButton*>(QStringLiteral("single_mirror_btn_"));
  QEvent enter(QEvent::Enter);
  QCoreApplication::sendEvent(single, &enter);
  Settle(1200);
  ok &= Grab(panel, folder, QStringLiteral("3_function_hover") + suffix);
  auto* join = function->findChild<MirrorButton*>(QStringLiteral("join_mirror_btn_"));
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(single, &leave);
  QCoreApplication::sendEvent(join, &enter);
  Settle(1200);
  ok &= Grab(panel, folder, QStringLiteral("3_function_hover_join") + suffix);
  delete panel;

  panel = Panel(new MirrorPage);
  ok &= Grab(panel, folder, QStringLiteral("4_mirror") + suffix);
  delete panel;

  // Previews of the resources the main window's menus and overlays use (those widgets
  // are not built here): a menu with the shadow-menu sheet, an interruption overlay.
  QMenu menu;
  menu.setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
  menu.setAttribute(Qt::WA_TranslucentBackground);
  utils::ApplyScaledStyleSheet(&menu, utils::LoadStyleSheet(QStringLiteral("shadow_menu.qss")));
  for (const char* text : {"Enable touch", "Enable extented screen"}) {
    QAction* action = menu.addAction(QCoreApplication::translate("Castora", text));
    action->setCheckable(true);
    action->setChecked(true);
  }
  menu.actions().at(0)->setEnabled(false);
  QMenu* advanced = menu.addMenu(QCoreApplication::translate("Castora", "Advanced options"));
  advanced->addAction(QStringLiteral("x"));
  menu.addSeparator();
  menu.addAction(QCoreApplication::translate("Castora", "About Davuvu Veriv"));
  menu.popup(QPoint(100, 100));
  Settle(300);
  ok &= Grab(&menu, folder, QStringLiteral("5_menu") + suffix);
  menu.hide();

  auto* frame = new QFrame;
  frame->setObjectName(QStringLiteral("preview_"));
  frame->setFixedSize(800, 600);
  auto* dialog = new QFrame(frame);
  dialog->setObjectName(QStringLiteral("InterruptDialog"));
  dialog->setGeometry(0, 0, 800, 600);
  // A QFrame subclass named InterruptDialog is what the sheet's first rule selects;
  // the preview stands in with an object-name rule of the same colours.
  QString sheet = utils::LoadStyleSheet(QStringLiteral("interrupt_dialog.qss"));
  sheet.replace(QStringLiteral("InterruptDialog {"), QStringLiteral("QFrame#InterruptDialog {"));
  auto* inner = new QWidget(dialog);
  inner->setObjectName(QStringLiteral("interrupt_dialog_"));
  inner->setAttribute(Qt::WA_StyledBackground);
  inner->setGeometry(220, 200, 360, 200);
  auto* layout = new QVBoxLayout(inner);
  layout->setObjectName(QStringLiteral("dialog_layout_"));
  auto* close = new QPushButton(inner);
  close->setObjectName(QStringLiteral("close_btn_"));
  layout->addWidget(close, 0, Qt::AlignRight);
  auto* icon = new QLabel(inner);
  icon->setObjectName(QStringLiteral("icon_label_"));
  layout->addWidget(icon, 0, Qt::AlignHCenter);
  auto* tip = new QLabel(QCoreApplication::translate("InterruptPage", "InterruptQuitTips"), inner);
  tip->setObjectName(QStringLiteral("tip_label_"));
  layout->addWidget(tip, 0, Qt::AlignHCenter);
  auto* okay = new QPushButton(QCoreApplication::translate("InterruptPage", "OK"), inner);
  okay->setObjectName(QStringLiteral("ok_btn_"));
  layout->addWidget(okay, 0, Qt::AlignHCenter);
  utils::ApplyScaledStyleSheet(dialog, sheet);
  utils::ScaleWidgetTree(frame);
  inner->setGeometry(utils::DpiScaled(220), utils::DpiScaled(200), utils::DpiScaled(360), utils::DpiScaled(200));
  dialog->setGeometry(0, 0, frame->width(), frame->height());
  frame->show();
  Settle(300);
  ok &= Grab(frame, folder, QStringLiteral("6_interrupt_overlay") + suffix);
  delete frame;
  return ok ? 0 : 1;
}
