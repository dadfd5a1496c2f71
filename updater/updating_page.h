#pragma once

#include <QWidget>

class QLabel;
class QPropertyAnimation;
class QSlider;

// Page 1 of the update dialog: the installation's progress. The installer reports
// nothing while it runs, so the owner drives the bar with a timer and finally runs it
// to the end; the bar always moves at the same speed, 0.1 slider units per ms.
class UpdatingPage : public QWidget {
  Q_OBJECT

 public:
  explicit UpdatingPage(QWidget* parent = nullptr);

  QSlider* slider() const { return slider_; }
  QLabel* percent_label() const { return percent_; }

 signals:
  // The bar reached its end.
  void UpdateFinished();

 public slots:
  // Animates the bar from where it stands to 10 * percent.
  void OnProgressChanged(int percent);
  int GetPorgressBarMax();
  void OnValueChanged(int value);

 private:
  QLabel* status_ = nullptr;
  QSlider* slider_ = nullptr;
  QLabel* percent_ = nullptr;
  QPropertyAnimation* animation_ = nullptr;
};
