#pragma once

#include <memory>

#include <QWidget>

// Page 1 of the main window, shown while the session is being set up: a loading
// animation that runs for the life of the page and a "Cancel" button.
// Object names: "status_label_", "tips_label_", "loading_label_", "cancel_btn_".
// Translation context "ConnectPage".
class ConnectPage : public QWidget {
  Q_OBJECT

 public:
  explicit ConnectPage(QWidget* parent = nullptr);
  ~ConnectPage() override;

 signals:
  void Cancel();

 private:
  struct Form;
  std::unique_ptr<Form> form_;
};
