#include "client/ui/pin_code_edit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVariant>

#include "client/ui/page_style.h"

namespace {

// Sizes at 96 DPI; the main window scales the whole tree once.
constexpr int kCellWidth = 52;
constexpr int kCellHeight = 64;
constexpr int kCellGap = 12;
constexpr int kCursorWidth = 2;
constexpr int kCursorHeight = 42;
constexpr int kBlinkMs = 500;

// The character a key stands for, or a null QChar when the key types nothing.
QChar AcceptedCharacter(int key) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z && key != Qt::Key_I && key != Qt::Key_O)
    return QChar('A' + (key - Qt::Key_A));
  if (key >= Qt::Key_2 && key <= Qt::Key_9) return QChar('0' + (key - Qt::Key_0));
  return QChar();
}

}  // namespace

PinCodeEdit::PinCodeEdit(QWidget* parent) : QFrame(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  blink_timer_.setInterval(kBlinkMs);
  connect(&blink_timer_, &QTimer::timeout, this, &PinCodeEdit::UpdateCursor);
}

void PinCodeEdit::SetLength(int n) {
  length_ = n;
  setProperty("length", n);
  ApplyPageStyleSheet(this, QStringLiteral("pin_code_edit.qss"));

  // A second call replaces the boxes of the first.
  qDeleteAll(letters_);
  letters_.clear();
  delete layout();
  delete cursor_;
  text_.clear();

  auto* row = new QHBoxLayout(this);
  row->setObjectName(QStringLiteral("letters_layout_"));
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(kCellGap);
  for (int i = 0; i < n; ++i) {
    auto* letter = new QLabel(this);
    letter->setObjectName(QStringLiteral("letter"));
    letter->setAlignment(Qt::AlignCenter);
    letter->setFixedSize(kCellWidth, kCellHeight);
    row->addWidget(letter);
    letters_.append(letter);
  }
  setFixedSize(n * kCellWidth + (n - 1) * kCellGap, kCellHeight);

  cursor_ = new QLabel(this);
  cursor_->setObjectName(QStringLiteral("cursor"));
  cursor_->setFixedSize(kCursorWidth, kCursorHeight);
  cursor_->hide();
}

void PinCodeEdit::Clear() {
  for (QLabel* letter : letters_) letter->setText(QString());
  text_.clear();
  emit PinCodeChanged(text_);
}

void PinCodeEdit::UpdateCursor() {
  if (!cursor_) return;
  if (text_.size() >= length_ || text_.size() >= letters_.size()) {
    cursor_->hide();
    return;
  }
  const QRect next = letters_.at(text_.size())->geometry();
  cursor_->move(next.left() + next.width() / 2, (height() - cursor_->height()) / 2);
  cursor_->setVisible(!cursor_->isVisible());
}

void PinCodeEdit::keyPressEvent(QKeyEvent* event) {
  QFrame::keyPressEvent(event);
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  if (modifiers != Qt::NoModifier && modifiers != Qt::ShiftModifier && modifiers != Qt::KeypadModifier) return;
  if (cursor_) cursor_->hide();

  const int key = event->key();
  if (!text_.isEmpty() && key == Qt::Key_Backspace) {
    text_.chop(1);
    if (text_.size() < letters_.size()) letters_.at(text_.size())->setText(QString());
  } else if (text_.size() >= length_) {
    if (key == Qt::Key_Enter || key == Qt::Key_Return) emit InputFinished();
    return;
  } else {
    const QChar c = AcceptedCharacter(key);
    if (c.isNull()) return;
    if (text_.size() < letters_.size()) letters_.at(text_.size())->setText(QString(c));
    text_.append(c);
  }
  event->accept();
  blink_timer_.start();
  emit PinCodeChanged(text_);
}

void PinCodeEdit::focusInEvent(QFocusEvent* event) {
  QFrame::focusInEvent(event);
  blink_timer_.start();
  UpdateCursor();
}

void PinCodeEdit::focusOutEvent(QFocusEvent* event) {
  QFrame::focusOutEvent(event);
  blink_timer_.stop();
  if (cursor_) cursor_->hide();
}

void PinCodeEdit::showEvent(QShowEvent* event) {
  QFrame::showEvent(event);
  setFocus(Qt::OtherFocusReason);
}
