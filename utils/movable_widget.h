#pragma once

#include <QPoint>
#include <QWidget>

namespace utils {

// A frameless window that the user drags by any point of it: a press anywhere
// remembers where the cursor sits in the widget, and a move with the left button
// held puts that point back under the cursor.
class MovableWidget : public QWidget {
  Q_OBJECT

 public:
  explicit MovableWidget(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QPoint press_offset_;
  bool dragging_ = false;
};

}  // namespace utils
