#pragma once

#include <memory>

#include <QMovie>
#include <QPoint>
#include <QPushButton>
#include <QString>

class QPropertyAnimation;

// One choice of the function page: a card with an animated picture, a title and a
// description. Hovering lifts the card by 10 pixels (scaled) in 300 ms and plays the
// picture once, resting on its last frame; leaving brings the card back in 200 ms
// from wherever it is and rewinds the picture.
// The card's form is "Form": "gif_label_", "name_label_", "tips_label_".
class MirrorButton : public QPushButton {
  Q_OBJECT

 public:
  explicit MirrorButton(QWidget* parent = nullptr);
  ~MirrorButton() override;

  void SetContent(QString image_path, QString title, QString description);

  QMovie* movie() { return &movie_; }
  QPropertyAnimation* animation() const { return animation_; }
  QPoint rest_position() const { return rest_position_; }

 signals:
  void MouseEntered();
  void MouseLeaved();

 protected:
  void enterEvent(QEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private slots:
  void OnFrameChanged(int frame);

 private:
  struct Form;

  QMovie movie_;
  QPropertyAnimation* animation_ = nullptr;
  QPoint rest_position_;
  bool has_rest_position_ = false;
  std::unique_ptr<Form> form_;
};
