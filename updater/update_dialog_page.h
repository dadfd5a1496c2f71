#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// Page 0 of the update dialog: the offer with the update's description, Update and
// Cancel. A long description makes the page taller (by at most max_height - base_height
// logical pixels) and moves the buttons down with it.
class UpdateDialogPage : public QWidget {
  Q_OBJECT

 public:
  UpdateDialogPage(int base_height, int max_height, QWidget* parent = nullptr);

  // An empty text leaves the page as it is.
  void SetDescription(const QString& text);
  // The line above the description: the offer, or that the last Update could not start
  // (wrapped over as many lines as it needs, the rest of the page moving down with it).
  void ShowOffer();
  void ShowStartFailed();

  QLabel* status_label() const { return status_; }
  QLabel* description_label() const { return description_; }
  QPushButton* update_button() const { return update_; }
  QPushButton* cancel_button() const { return cancel_; }

 signals:
  void CancelBtnClicked();
  void UpdateBtnClicked();
  // Logical pixels the page needs beyond its base height.
  void ResizeWindowHeight(int height_added);

 private:
  // Places the description and the buttons below the status and the description, and
  // tells the window the height they add when it changed (or, with `announce`, when
  // there is any).
  void Relayout(bool announce);

  const int base_height_;
  const int max_height_;
  QLabel* status_ = nullptr;
  QLabel* description_ = nullptr;
  QPushButton* update_ = nullptr;
  QPushButton* cancel_ = nullptr;
  // Logical pixels beyond the base height: the status's, the description's, and their
  // sum as last told to the window.
  int status_added_ = 0;
  int description_added_ = 0;
  int announced_added_ = 0;
};
