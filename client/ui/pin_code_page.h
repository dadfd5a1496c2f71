#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include <QString>
#include <QWidget>

class PinCodeEdit;

// Page 0 of the main window: the user types the connection code the receiver shows, in
// the 6- or the 8-character entry. Every change is checked and decoded; "Connect"
// is enabled only while the entry holds a valid code, and a click emits Connect with
// the code, the receiver's address and port and the auto-sharing choice.
//
// Object names: "status_label_", "tips_label_", "stackedWidget" (index 0 "pin_edit_6_",
// index 1 "pin_edit_8_"), "error_info_label_", "switch_edit_btn_", "connect_btn_",
// "auto_mirror_checkbox_". Translation context "PinCodePage".
class PinCodePage : public QWidget {
  Q_OBJECT

 public:
  explicit PinCodePage(QWidget* parent = nullptr);
  ~PinCodePage() override;

  // The code length in use: 6 or 8.
  int length() const { return length_; }

 signals:
  void Connect(QString pin_code, QString ip, ushort port, bool auto_mirror);

 private slots:
  void OnPinCodeChanged(QString pin_code);
  void OnSwitchEdit();

 private:
  struct Form;

  void UpdateSwitch();

  std::map<int, PinCodeEdit*> edits_;
  int length_ = 6;
  std::unique_ptr<Form> form_;
  std::string ip_;
  uint16_t port_ = 0;
  QString pin_code_;
};
