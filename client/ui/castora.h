#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include <QAbstractNativeEventFilter>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

#include "client/i_controller.h"
#include "client/mirror_type.h"
#include "utils/movable_widget.h"

class About;
class CloseDialog;
class InterruptDialog;
class QAction;
class ShadowMenu;
class TipDialog;

namespace platform::session {
class SessionEventWatcher;
}

// The client's only top-level window: a frameless panel with a title row (status dot
// and text, disconnect, option, minimise and close buttons) over the stack of the five
// pages. It owns its controller (made by the factory it is given, for the desktop's
// size), turns the controller's signals into page changes, pushes the user's options
// to it, keeps the tray icon and its menu, flushes the log every 5 s, and reacts to
// suspend, user switch and lock (as session messages, whatever delivers them: see
// platform/session/session_message.h).
//
// Page indices: 0 pin code, 1 connecting, 2 failure, 3 function, 4 sharing.
// Object names: "MainWindow", "layout_", "window_", "icon_label_", "status_label_",
// "disconnect_btn_", "option_btn_", "minimize_btn_", "close_btn_", "stacked_widget_"
// and the pages "pin_code_page_", "connect_page_", "failure_page_", "function_page_",
// "mirror_page_"; the menus "option_menu_", "advanced_menu_", "trayicon".
class Castora : public utils::MovableWidget, public QAbstractNativeEventFilter {
  Q_OBJECT

 public:
  enum Page { kPinCodePage = 0, kConnectPage = 1, kFailurePage = 2, kFunctionPage = 3, kMirrorPage = 4 };

  explicit Castora(const ControllerFactory& make_controller, QWidget* parent = nullptr);
  ~Castora() override;

  // True while the video of a sharing session plays.
  bool IsMirrored() const { return mirrored_; }
  // Whether a system tray shows the window's icon: only then does sharing hide the
  // window (it is minimised otherwise, so that "Stop sharing" stays in reach). By
  // default QSystemTrayIcon::isSystemTrayAvailable, asked at each share; tests set it.
  void SetTrayCheck(std::function<bool()> check) { tray_check_ = std::move(check); }
  // How long a share's start may wait for the receiver's answer before it ends as a
  // refused start does (15 s by default).
  void SetShareStartTimeout(int ms) { share_start_timer_.setInterval(ms); }
  // True between a successful connect and the end of that session.
  bool IsConnected() const { return connected_; }
  int CurrentPage() const;

  IController& controller() { return *controller_; }
  ShadowMenu* option_menu() const { return option_menu_; }
  ShadowMenu* advanced_menu() const { return advanced_menu_; }
  ShadowMenu* tray_menu() const { return tray_menu_; }
  QSystemTrayIcon* tray_icon() const { return tray_icon_; }
  About* about() const { return about_; }
  CloseDialog* close_dialog() const { return close_dialog_; }
  InterruptDialog* interrupt_dialog() const { return interrupt_dialog_; }
  TipDialog* tip_dialog() const { return tip_dialog_; }

  // Where the option menu opens, in global coordinates: centred under the option
  // button, overlapping it a little.
  QPoint OptionMenuPosition() const;

  // Every session message, whatever delivered it: suspend and user switch end the
  // program; a lock stops sharing, keeps the connection and refuses the receiver's
  // starts until the unlock (or the user's next share).
  void HandleSessionMessage(uint32_t message, uintptr_t wparam);

  bool nativeEventFilter(const QByteArray& event_type, void* message, long* result) override;

 public slots:
  void OnConnect(QString pin_code, QString ip, ushort port, bool auto_mirror);
  void OnConnected(bool result);
  void OnCanceled();
  void OnRetry();
  void OnMirror(MirrorType type);
  void OnStopMirror();
  void OnMirrored(bool mirrored);
  void OnDisconnected();

 private slots:
  void OnOpenViceScreenTriggered(bool checked);
  void OnKeepAspectRatioTriggered(bool checked);
  void OnCaptureMouseTriggered(bool checked);
  void OnEnableTouchTriggered(bool checked);
  void OnEnhanceVideoQualityTriggered(bool checked);
  void OnEnableHardwareAccelerationTriggered(bool checked);
  void OnWeakNetworkTriggered(bool checked);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Form;

  void CreateActions();
  void CreateMenus();
  void CreateTrayIcon();
  void SetPage(Page page);
  void SetConnectedStatus(const QString& device_name);
  void SetUnconnectedStatus();
  void ShowTip(const QString& notice, const QString& tip);
  void ShowOptionMenu();
  void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
  // Shows the window in front, also when it is hidden or minimised.
  void BringBack();
  // The share is over, whoever ended it (its video, audio and remote input are
  // stopped): the function page, connected and not sharing, in front again.
  void LeaveShare();
  // The user's options pushed to the controller, as a share starts.
  void PushShareOptions();
  // The share's start had no answer in time: ended as a refused start is.
  void OnShareStartTimeout();
  // The session's lock as the window and the controller follow it.
  void SetLocked(bool locked);

  ShadowMenu* option_menu_ = nullptr;
  ShadowMenu* advanced_menu_ = nullptr;
  ShadowMenu* tray_menu_ = nullptr;
  QAction* quit_action_ = nullptr;
  QAction* capture_mouse_action_ = nullptr;
  QAction* open_vice_screen_action_ = nullptr;
  QAction* keep_aspect_ratio_action_ = nullptr;
  QAction* enable_touch_action_ = nullptr;
  QAction* enhance_video_quality_action_ = nullptr;
  QAction* enable_hardware_acceleration_action_ = nullptr;
  QAction* weak_network_action_ = nullptr;
  QAction* about_action_ = nullptr;
  QSystemTrayIcon* tray_icon_ = nullptr;
  About* about_ = nullptr;
  CloseDialog* close_dialog_ = nullptr;
  InterruptDialog* interrupt_dialog_ = nullptr;
  TipDialog* tip_dialog_ = nullptr;
  bool mirrored_ = false;
  // A share was asked for (OnMirror) and neither plays nor ended yet: a second ask,
  // such as the second click of a double click, must not start it again.
  bool share_asked_ = false;
  std::function<bool()> tray_check_ = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
  // A connect was asked for and has not completed yet; a completion that arrives
  // when this is clear (the user cancelled) is stale.
  bool connecting_ = false;
  bool connected_ = false;
  // Between the session's lock and its unlock.
  bool locked_ = false;
  QString peer_name_;
  std::unique_ptr<IController> controller_;
  QTimer flush_timer_;
  QTimer tip_timer_;
  QTimer share_start_timer_;
  std::unique_ptr<Form> form_;
  std::unique_ptr<platform::session::SessionEventWatcher> session_events_;
};
