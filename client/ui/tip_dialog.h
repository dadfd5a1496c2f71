#pragma once

#include <memory>

#include <QString>

#include "client/ui/overlay.h"

// The short-lived notice that confirms an option change. The main window sets its
// title ("notice_label_") and text ("tip_label_"); "close_btn_" hides it.
// Object names: "dialog_", "close_btn_", "icon_label_", "notice_label_", "tip_label_".
// Context "TipDialog".
class TipDialog : public Overlay {
  Q_OBJECT

 public:
  explicit TipDialog(QWidget* parent);
  ~TipDialog() override;

  void SetTexts(const QString& notice, const QString& tip);
  QString notice() const;
  QString tip() const;

 private:
  struct Form;
  std::unique_ptr<Form> form_;
};
