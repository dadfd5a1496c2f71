#pragma once

#include <memory>

#include "client/ui/overlay.h"

// Shown over any page when the session failed: "close_btn_" and "ok_btn_" hide it.
// Object names: "interrupt_dialog_", "close_btn_", "icon_label_", "tip_label_",
// "ok_btn_". Context "InterruptPage".
class InterruptDialog : public Overlay {
  Q_OBJECT

 public:
  explicit InterruptDialog(QWidget* parent);
  ~InterruptDialog() override;

 private:
  struct Form;
  std::unique_ptr<Form> form_;
};
