#include "client/ui/overlay.h"

#include <QEvent>
#include <QGridLayout>

Overlay::Overlay(QWidget* parent) : QFrame(parent) {
  setAttribute(Qt::WA_StyledBackground);
  if (parent) {
    parent->installEventFilter(this);
    setGeometry(parent->rect());
  }
  hide();
}

Overlay::~Overlay() = default;

void Overlay::ShowOver() {
  if (parentWidget()) setGeometry(parentWidget()->rect());
  show();
  raise();
}

bool Overlay::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
  return QFrame::eventFilter(watched, event);
}

void Overlay::SetInner(QWidget* inner) {
  auto* layout = new QGridLayout(this);
  layout->setObjectName(QStringLiteral("overlay_layout_"));
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(inner, 0, 0, Qt::AlignCenter);
}
