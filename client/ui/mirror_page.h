#pragma once

#include <memory>

#include <QWidget>

// Page 4 of the main window, shown (usually behind the tray) while the screen is
// shared. Object names: "mirror_label_", "status_label_", "stop_btn_".
// Translation context "MirrorPage".
class MirrorPage : public QWidget {
  Q_OBJECT

 public:
  explicit MirrorPage(QWidget* parent = nullptr);
  ~MirrorPage() override;

 signals:
  void Stop();

 private:
  struct Form;
  std::unique_ptr<Form> form_;
};
