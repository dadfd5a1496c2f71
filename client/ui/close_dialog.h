#pragma once

#include <memory>

#include "client/ui/overlay.h"

// The quit confirmation. "confirm_btn_" ends the program (even while sharing);
// "close_btn_" and "cancel_btn_" only hide the overlay.
// Object names: "Widget", "close_btn_", "tips_label_", "cancel_btn_", "confirm_btn_".
// Context "CloseDialog".
class CloseDialog : public Overlay {
  Q_OBJECT

 public:
  explicit CloseDialog(QWidget* parent);
  ~CloseDialog() override;

 private:
  struct Form;
  std::unique_ptr<Form> form_;
};
