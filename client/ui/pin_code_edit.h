#pragma once

#include <QFrame>
#include <QList>
#include <QString>
#include <QTimer>

class QLabel;

// The connection-code entry: one label per character in a row of input boxes and a
// blinking cursor in front of the next free box. Only the 32 symbols the receiver
// shows can be typed (2-9 and A-Z without I and O; letters are upper-cased); Backspace
// removes the last one, and Enter on a full code reports InputFinished.
class PinCodeEdit : public QFrame {
  Q_OBJECT

 public:
  explicit PinCodeEdit(QWidget* parent = nullptr);

  // Rebuilds the boxes for n characters and applies the style sheet, which keys its
  // border image on the dynamic property "length". Clears the text.
  void SetLength(int n);
  // Empties every box and reports the empty text.
  void Clear();

  int length() const { return length_; }
  const QString& text() const { return text_; }

 signals:
  void PinCodeChanged(QString pin_code);
  void InputFinished();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void UpdateCursor();

  int length_ = 6;
  QList<QLabel*> letters_;
  QLabel* cursor_ = nullptr;
  QTimer blink_timer_;
  QString text_;
};
