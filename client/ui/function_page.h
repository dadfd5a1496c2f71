#pragma once

#include <memory>

#include <QWidget>

#include "client/mirror_type.h"

class MirrorButton;
class QGraphicsDropShadowEffect;

// Page 3 of the main window: the user chooses how the receiver shows this computer.
// "single_mirror_btn_" emits Mirror(kSingleScreenMirror), "join_mirror_btn_"
// Mirror(kJoinScreenMirror); a hovered card gets a soft shadow.
// Object names: "status_label_", "tips_label_", "single_mirror_btn_", "join_mirror_btn_".
// Translation context "FunctionPage".
class FunctionPage : public QWidget {
  Q_OBJECT

 public:
  explicit FunctionPage(QWidget* parent = nullptr);
  ~FunctionPage() override;

 signals:
  void Mirror(MirrorType type);

 private slots:
  void OnMouseEntered(MirrorButton* button);
  void OnMouseLeaved(MirrorButton* button);

 private:
  struct Form;
  std::unique_ptr<Form> form_;
  QGraphicsDropShadowEffect* hover_shadow_ = nullptr;
};
