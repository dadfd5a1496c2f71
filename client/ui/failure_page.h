#pragma once

#include <memory>

#include <QString>
#include <QWidget>

// Page 2 of the main window: the connection failed. The main window sets the reason.
// Object names: "status_label_", "tips_label_", "pc_label_", "retry_btn_".
// Translation context "FailurePage".
class FailurePage : public QWidget {
  Q_OBJECT

 public:
  explicit FailurePage(QWidget* parent = nullptr);
  ~FailurePage() override;

  // The reason shown under the title.
  void SetTips(QString tips);

 signals:
  void Retry();

 private:
  struct Form;
  std::unique_ptr<Form> form_;
};
