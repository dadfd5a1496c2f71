#include "utils/movable_widget.h"

#include <QMouseEvent>

namespace utils {

MovableWidget::MovableWidget(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {}

void MovableWidget::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  press_offset_ = event->pos();
  dragging_ = true;  // any button starts a drag; only the left one moves the window
}

void MovableWidget::mouseReleaseEvent(QMouseEvent* event) {
  QWidget::mouseReleaseEvent(event);
  dragging_ = false;
}

void MovableWidget::mouseMoveEvent(QMouseEvent* event) {
  QWidget::mouseMoveEvent(event);
  if (dragging_ && (event->buttons() & Qt::LeftButton)) move(event->globalPos() - press_offset_);
}

}  // namespace utils
