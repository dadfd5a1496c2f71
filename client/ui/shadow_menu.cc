#include "client/ui/shadow_menu.h"

#include "client/ui/page_style.h"

ShadowMenu::ShadowMenu(QWidget* parent) : ShadowMenu(QString(), parent) {}

ShadowMenu::ShadowMenu(const QString& title, QWidget* parent) : QMenu(title, parent) {
  setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
  setAttribute(Qt::WA_TranslucentBackground);
  ApplyPageStyleSheet(this, QStringLiteral("shadow_menu.qss"));
}

ShadowMenu::~ShadowMenu() = default;
