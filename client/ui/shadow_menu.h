#pragma once

#include <QMenu>

// The pop-up menus of the main window: frameless and translucent, framed by the soft
// shadow border image of ":/qss/shadow_menu.qss" (scaled for the DPI once).
class ShadowMenu : public QMenu {
  Q_OBJECT

 public:
  explicit ShadowMenu(QWidget* parent = nullptr);
  ShadowMenu(const QString& title, QWidget* parent = nullptr);
  ~ShadowMenu() override;
};
