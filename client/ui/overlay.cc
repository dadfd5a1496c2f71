#include "client/ui/overlay.h"

#include <QApplication>
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
  switch (event->type()) {
    case QEvent::Resize:
      if (watched == parentWidget()) setGeometry(parentWidget()->rect());
      break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride: {
      // Installed on the application while shown: a key goes to the focus widget, which
      // an overlay does not move (a page that shows under it takes the focus anyway).
      const auto* widget = qobject_cast<QWidget*>(watched);
      if (widget && widget != this && widget->window() == window() && !isAncestorOf(widget)) return true;
      break;
    }
    default:
      break;
  }
  return QFrame::eventFilter(watched, event);
}

void Overlay::showEvent(QShowEvent* event) {
  qApp->installEventFilter(this);
  QFrame::showEvent(event);
}

void Overlay::hideEvent(QHideEvent* event) {
  qApp->removeEventFilter(this);
  QFrame::hideEvent(event);
}

void Overlay::SetInner(QWidget* inner) {
  auto* layout = new QGridLayout(this);
  layout->setObjectName(QStringLiteral("overlay_layout_"));
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(inner, 0, 0, Qt::AlignCenter);
}
