#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// Page 2 of the update dialog: the installation succeeded. The description below the
// title is the update's own text when one applies, else a fixed wish; a long one makes
// the page taller and moves the OK button down.
class UpdateFinishedPage : public QWidget {
  Q_OBJECT

 public:
  UpdateFinishedPage(int base_height, int max_height, QWidget* parent = nullptr);

  // An empty text keeps the fixed wish, centred.
  void SetDescription(const QString& text);

  QLabel* description_label() const { return description_; }
  QPushButton* ok_button() const { return ok_; }

 signals:
  void OkBtnClicked();
  void ResizeWindowHeight(int height_added);

 private:
  const int base_height_;
  const int max_height_;
  QLabel* icon_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* description_ = nullptr;
  QPushButton* ok_ = nullptr;
};
