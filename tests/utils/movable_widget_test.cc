#include "utils/movable_widget.h"

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

namespace {

class MovableWidgetTest : public testing::Test {
 protected:
  void SetUp() override {
    window_.setWindowFlags(Qt::FramelessWindowHint);
    window_.resize(200, 100);
    window_.move(100, 100);
    window_.show();
    QApplication::processEvents();
    ASSERT_EQ(window_.pos(), QPoint(100, 100));
  }

  // Events at a global position; the widget position follows from the window's.
  void Send(QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(global - window_.pos()), QPointF(global), button, held, Qt::NoModifier);
    QApplication::sendEvent(&window_, &event);
  }

  utils::MovableWidget window_;
};

TEST_F(MovableWidgetTest, LeftDragKeepsThePressedPointUnderTheCursor) {
  Send(QEvent::MouseButtonPress, {110, 130}, Qt::LeftButton, Qt::LeftButton);
  Send(QEvent::MouseMove, {150, 140}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(window_.pos(), QPoint(140, 110));
  Send(QEvent::MouseMove, {60, 40}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(window_.pos(), QPoint(50, 10));
  Send(QEvent::MouseButtonRelease, {60, 40}, Qt::LeftButton, Qt::NoButton);
  // After the release a move with the button held (pressed elsewhere) does nothing.
  Send(QEvent::MouseMove, {300, 300}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(window_.pos(), QPoint(50, 10));
}

TEST_F(MovableWidgetTest, RightDragMovesOnlyWhileLeftIsHeldToo) {
  Send(QEvent::MouseButtonPress, {120, 120}, Qt::RightButton, Qt::RightButton);
  Send(QEvent::MouseMove, {170, 170}, Qt::NoButton, Qt::RightButton);
  EXPECT_EQ(window_.pos(), QPoint(100, 100));
  Send(QEvent::MouseMove, {170, 170}, Qt::NoButton, Qt::RightButton | Qt::LeftButton);
  EXPECT_EQ(window_.pos(), QPoint(150, 150));
}

TEST_F(MovableWidgetTest, MoveWithoutPressDoesNothing) {
  Send(QEvent::MouseMove, {170, 170}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(window_.pos(), QPoint(100, 100));
}

}  // namespace
