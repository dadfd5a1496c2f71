#include "client/ui/castora.h"

#include <QAction>
#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "client/settings.h"
#include "client/ui/about.h"
#include "client/ui/close_dialog.h"
#include "client/ui/connect_page.h"
#include "client/ui/failure_page.h"
#include "client/ui/function_page.h"
#include "client/ui/interrupt_dialog.h"
#include "client/ui/mirror_page.h"
#include "client/ui/page_style.h"
#include "client/ui/pin_code_page.h"
#include "client/ui/resource_bundle.h"
#include "client/ui/shadow_menu.h"
#include "client/ui/tip_dialog.h"
#include "platform/session/session_events.h"
#include "platform/session/session_message.h"
#include "utils/dpi_scale.h"
#include "utils/logger.h"

namespace {

const char* const kLogTag = "CASTORA::Castora";
constexpr int kFlushMs = 5000;
constexpr int kTipMs = 3000;
constexpr int kWeakNetworkTimeoutMs = 30000;
constexpr int kNormalTimeoutMs = 15000;
constexpr int kShareStartTimeoutMs = 15000;

QSize DesktopSize() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->virtualSize() : QSize();
}

QString FormTr(const char* text) { return QCoreApplication::translate("MainWindow", text); }

int HeartBeatTimeout(bool weak_network) { return weak_network ? kWeakNetworkTimeoutMs : kNormalTimeoutMs; }

}  // namespace

struct Castora::Form {
  QVBoxLayout* layout = nullptr;
  QWidget* window = nullptr;
  QLabel* icon_label = nullptr;
  QLabel* status_label = nullptr;
  QPushButton* disconnect_btn = nullptr;
  QPushButton* option_btn = nullptr;
  QPushButton* minimize_btn = nullptr;
  QPushButton* close_btn = nullptr;
  QStackedWidget* stacked_widget = nullptr;
  PinCodePage* pin_code_page = nullptr;
  ConnectPage* connect_page = nullptr;
  FailurePage* failure_page = nullptr;
  FunctionPage* function_page = nullptr;
  MirrorPage* mirror_page = nullptr;

  void Setup(QWidget* main) {
    main->setObjectName(QStringLiteral("MainWindow"));
    main->setMinimumSize(820, 620);
    main->setMaximumSize(820, 620);
    layout = new QVBoxLayout(main);
    layout->setObjectName(QStringLiteral("layout_"));
    // The margin is the room of the panel's shadow.
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(0);

    window = new QWidget(main);
    window->setObjectName(QStringLiteral("window_"));
    window->setAttribute(Qt::WA_StyledBackground);
    window->setMinimumWidth(800);
    window->setMaximumSize(800, 600);
    layout->addWidget(window);

    auto* window_layout = new QVBoxLayout(window);
    window_layout->setObjectName(QStringLiteral("window_layout_"));
    window_layout->setContentsMargins(0, 0, 0, 0);
    window_layout->setSpacing(0);

    auto* title = new QHBoxLayout();
    title->setObjectName(QStringLiteral("title_layout_"));
    title->setContentsMargins(20, 8, 12, 8);
    title->setSpacing(8);
    icon_label = new QLabel(window);
    icon_label->setObjectName(QStringLiteral("icon_label_"));
    icon_label->setFixedSize(10, 10);
    icon_label->setScaledContents(true);
    status_label = new QLabel(window);
    status_label->setObjectName(QStringLiteral("status_label_"));
    // It shows the receiver's device name, which is the receiver's to choose: markup in
    // it is text, never a picture to load or a link.
    status_label->setTextFormat(Qt::PlainText);
    disconnect_btn = new QPushButton(window);
    disconnect_btn->setObjectName(QStringLiteral("disconnect_btn_"));
    disconnect_btn->setFocusPolicy(Qt::NoFocus);
    option_btn = new QPushButton(window);
    option_btn->setObjectName(QStringLiteral("option_btn_"));
    minimize_btn = new QPushButton(window);
    minimize_btn->setObjectName(QStringLiteral("minimize_btn_"));
    close_btn = new QPushButton(window);
    close_btn->setObjectName(QStringLiteral("close_btn_"));
    title->addWidget(icon_label);
    title->addWidget(status_label);
    title->addSpacing(8);
    title->addWidget(disconnect_btn);
    title->addStretch(1);
    title->addWidget(option_btn);
    title->addWidget(minimize_btn);
    title->addWidget(close_btn);
    window_layout->addLayout(title);

    stacked_widget = new QStackedWidget(window);
    stacked_widget->setObjectName(QStringLiteral("stacked_widget_"));
    pin_code_page = new PinCodePage(stacked_widget);
    pin_code_page->setObjectName(QStringLiteral("pin_code_page_"));
    connect_page = new ConnectPage(stacked_widget);
    connect_page->setObjectName(QStringLiteral("connect_page_"));
    failure_page = new FailurePage(stacked_widget);
    failure_page->setObjectName(QStringLiteral("failure_page_"));
    function_page = new FunctionPage(stacked_widget);
    function_page->setObjectName(QStringLiteral("function_page_"));
    mirror_page = new MirrorPage(stacked_widget);
    mirror_page->setObjectName(QStringLiteral("mirror_page_"));
    stacked_widget->addWidget(pin_code_page);
    stacked_widget->addWidget(connect_page);
    stacked_widget->addWidget(failure_page);
    stacked_widget->addWidget(function_page);
    stacked_widget->addWidget(mirror_page);
    window_layout->addWidget(stacked_widget, 1);

    disconnect_btn->setText(FormTr("Disconnect"));
  }
};

Castora::Castora(const ControllerFactory& make_controller, QWidget* parent)
    : utils::MovableWidget(parent), controller_(make_controller(DesktopSize())), form_(std::make_unique<Form>()) {
  InitUiResources();
  form_->Setup(this);
  ApplyPageStyleSheet(this, QStringLiteral("main_window.qss"));

  setWindowTitle(tr("Davuvu Veriv"));
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  setAttribute(Qt::WA_TranslucentBackground);
  setWindowIcon(QIcon(QStringLiteral(":/image/ZorvaxAir.ico")));

  // The panel's shadow: its blur fills the layout margin.
  auto* shadow = new QGraphicsDropShadowEffect(form_->window);
  double blur = form_->layout->contentsMargins().left() * 1.5;
  if (blur != 0) blur = blur * utils::DpiScaleFactor() + 0.5;
  shadow->setBlurRadius(blur);
  shadow->setOffset(0, static_cast<int>(2 * utils::DpiScaleFactor() + 0.5));
  shadow->setColor(QColor(63, 67, 74, 48));
  form_->window->setGraphicsEffect(shadow);

  about_ = new About(form_->window);
  close_dialog_ = new CloseDialog(form_->window);
  interrupt_dialog_ = new InterruptDialog(form_->window);
  connect(controller_.get(), &IController::Error, this, [this] { interrupt_dialog_->ShowOver(); });

  auto* button_shadow = new QGraphicsDropShadowEffect(form_->disconnect_btn);
  button_shadow->setBlurRadius(11);
  button_shadow->setOffset(0, -60);
  button_shadow->setColor(QColor(20, 78, 127, 41));
  form_->disconnect_btn->setGraphicsEffect(button_shadow);
  form_->disconnect_btn->hide();
  connect(form_->disconnect_btn, &QPushButton::clicked, this, [this] { controller_->Disconnect(); });

  tip_dialog_ = new TipDialog(form_->window);
  tip_timer_.setSingleShot(true);
  tip_timer_.setInterval(kTipMs);
  connect(&tip_timer_, &QTimer::timeout, tip_dialog_, &TipDialog::hide);
  share_start_timer_.setSingleShot(true);
  share_start_timer_.setInterval(kShareStartTimeoutMs);
  connect(&share_start_timer_, &QTimer::timeout, this, &Castora::OnShareStartTimeout);

  CreateActions();
  CreateMenus();
  SetPage(kPinCodePage);
  SetUnconnectedStatus();
  connect(form_->pin_code_page, &PinCodePage::Connect, this, &Castora::OnConnect);
  connect(form_->connect_page, &ConnectPage::Cancel, this, &Castora::OnCanceled);
  connect(form_->failure_page, &FailurePage::Retry, this, &Castora::OnRetry);
  connect(form_->function_page, &FunctionPage::Mirror, this, &Castora::OnMirror);
  connect(form_->mirror_page, &MirrorPage::Stop, this, &Castora::OnStopMirror);

  CreateTrayIcon();

  connect(form_->option_btn, &QPushButton::clicked, this, &Castora::ShowOptionMenu);
  connect(form_->minimize_btn, &QPushButton::clicked, this, &Castora::showMinimized);
  connect(form_->close_btn, &QPushButton::clicked, this, [this] { close_dialog_->ShowOver(); });
  form_->option_btn->setFocusPolicy(Qt::NoFocus);
  form_->minimize_btn->setFocusPolicy(Qt::NoFocus);
  form_->close_btn->setFocusPolicy(Qt::NoFocus);

  connect(controller_.get(), &IController::Connected, this, &Castora::OnConnected);
  connect(controller_.get(), &IController::Disconnected, this, &Castora::OnDisconnected);
  connect(controller_.get(), &IController::MirrorVideoToggled, this, &Castora::OnMirrored);

  utils::ScaleWidgetTree(this);

  flush_timer_.setInterval(kFlushMs);
  connect(&flush_timer_, &QTimer::timeout, [] { zorvax::utils::logger::Flush(); });
  flush_timer_.start();

  session_events_ = platform::session::CreateSessionEventWatcher();
  if (!session_events_->IsWatching()) LOG_INFO("No session manager to watch: suspend and lock go unnoticed");
  if (session_events_->IsLocked()) HandleSessionMessage(platform::session::kWmWtsSessionChange,
                                                        platform::session::kWtsSessionLock);
}

Castora::~Castora() {
  flush_timer_.stop();
  // The controller, a member, goes next: the Controller stops the protocol's threads.
}

int Castora::CurrentPage() const { return form_->stacked_widget->currentIndex(); }

void Castora::CreateActions() {
  quit_action_ = new QAction(tr("Quit"), this);
  connect(quit_action_, &QAction::triggered, [] { QCoreApplication::quit(); });

  auto checkable = [this](const char* text, bool checked, void (Castora::*slot)(bool)) {
    auto* action = new QAction(tr(text), this);
    action->setCheckable(true);
    action->setChecked(checked);
    connect(action, &QAction::triggered, this, slot);
    return action;
  };
  capture_mouse_action_ = checkable("Show cursor", Settings::GetCaptureMouse(), &Castora::OnCaptureMouseTriggered);
  open_vice_screen_action_ =
      checkable("Enable extented screen", Settings::GetOpenViceScreen(), &Castora::OnOpenViceScreenTriggered);
  keep_aspect_ratio_action_ =
      checkable("Keep aspect ratio", Settings::GetKeepAspectRatio(), &Castora::OnKeepAspectRatioTriggered);
  enable_touch_action_ = checkable("Enable touch", Settings::GetEnableTouch(), &Castora::OnEnableTouchTriggered);
  // Touches land on the main screen's coordinates: meaningless on an extended screen.
  enable_touch_action_->setEnabled(!open_vice_screen_action_->isChecked());
  enhance_video_quality_action_ = checkable("High Image Quality", Settings::GetEnhanceVideoQuality(),
                                            &Castora::OnEnhanceVideoQualityTriggered);
  enable_hardware_acceleration_action_ =
      checkable("Hardware Acceleration", Settings::GetEnableHardwareAcceleration(),
                &Castora::OnEnableHardwareAccelerationTriggered);
  weak_network_action_ = checkable("Weak Network", Settings::GetWeakNetwork(), &Castora::OnWeakNetworkTriggered);

  about_action_ = new QAction(tr("About Davuvu Veriv"), this);
  connect(about_action_, &QAction::triggered, this, [this] { about_->ShowOver(); });
}

void Castora::CreateMenus() {
  option_menu_ = new ShadowMenu(this);
  option_menu_->setObjectName(QStringLiteral("option_menu_"));
  advanced_menu_ = new ShadowMenu(tr("Advanced options"), this);
  advanced_menu_->setObjectName(QStringLiteral("advanced_menu_"));
  tray_menu_ = new ShadowMenu(this);
  tray_menu_->setObjectName(QStringLiteral("trayicon"));

  advanced_menu_->addAction(keep_aspect_ratio_action_);
  advanced_menu_->addAction(capture_mouse_action_);
  advanced_menu_->addAction(enhance_video_quality_action_);
  advanced_menu_->addAction(enable_hardware_acceleration_action_);
  advanced_menu_->addAction(weak_network_action_);
  advanced_menu_->installEventFilter(this);

  option_menu_->addAction(enable_touch_action_);
  option_menu_->addAction(open_vice_screen_action_);
  option_menu_->addMenu(advanced_menu_);
  option_menu_->addSeparator();
  option_menu_->addAction(about_action_);

  tray_menu_->addAction(keep_aspect_ratio_action_);
  tray_menu_->addAction(open_vice_screen_action_);
  tray_menu_->addAction(enable_touch_action_);
  tray_menu_->addAction(capture_mouse_action_);
  tray_menu_->addSeparator();
  tray_menu_->addAction(quit_action_);
}

void Castora::CreateTrayIcon() {
  tray_icon_ = new QSystemTrayIcon(QIcon(QStringLiteral(":/image/ZorvaxAir.ico")), this);
  tray_icon_->setContextMenu(tray_menu_);
  tray_icon_->setToolTip(windowTitle());
  connect(tray_icon_, &QSystemTrayIcon::activated, this, &Castora::OnTrayActivated);
  tray_icon_->setVisible(true);
}

void Castora::OnTrayActivated(QSystemTrayIcon::ActivationReason reason) {
  if (reason != QSystemTrayIcon::Trigger) return;
  BringBack();
}

void Castora::BringBack() {
  show();
  showNormal();
  raise();
  activateWindow();
}

QPoint Castora::OptionMenuPosition() const {
  const QPushButton* button = form_->option_btn;
  const QPoint local(button->x() + button->width() / 2 - option_menu_->sizeHint().width() / 2,
                     button->y() + button->sizeHint().height() - utils::DpiScaled(10));
  return form_->window->mapToGlobal(local);
}

void Castora::ShowOptionMenu() { option_menu_->exec(OptionMenuPosition()); }

bool Castora::eventFilter(QObject* watched, QEvent* event) {
  if (watched == advanced_menu_ && event->type() == QEvent::Show) {
    // The submenu opens beside the option menu's lower part, over its shadow border.
    advanced_menu_->move(option_menu_->x() + option_menu_->width() - utils::DpiScaled(38),
                         option_menu_->y() + utils::DpiScaled(80));
    return true;
  }
  return utils::MovableWidget::eventFilter(watched, event);
}

void Castora::SetPage(Page page) { form_->stacked_widget->setCurrentIndex(page); }

void Castora::SetConnectedStatus(const QString& device_name) {
  form_->icon_label->setPixmap(QPixmap(QStringLiteral(":/image/green_POINT.png")));
  form_->status_label->setText(device_name);
  form_->disconnect_btn->show();
}

void Castora::SetUnconnectedStatus() {
  form_->icon_label->setPixmap(QPixmap(QStringLiteral(":/image/red_POINT.png")));
  form_->status_label->setText(tr("Unconnected tip"));
  form_->disconnect_btn->hide();
}

void Castora::OnConnect(QString pin_code, QString ip, ushort port, bool auto_mirror) {
  Settings::SetAutoMirror(auto_mirror);
  connecting_ = true;
  // The option's time-out holds from the session's first heart beat on, not only once
  // a share starts: on the function page a short silence must not end the session.
  controller_->SetTimeout(HeartBeatTimeout(Settings::GetWeakNetwork()));
  controller_->Connect(pin_code, ip.toStdString(), port);
  SetPage(kConnectPage);
  SetUnconnectedStatus();
}

void Castora::OnConnected(bool result) {
  if (!connecting_) {
    // The user cancelled before the connect completed: a session it opened anyway
    // must not stay open behind the "unconnected" title.
    if (result) {
      LOG_INFO("Connect completed after cancel, disconnecting");
      controller_->Disconnect();
    }
    return;
  }
  connecting_ = false;
  if (!result) {
    form_->failure_page->SetTips(tr("No response from ZORVAX, please try again"));
    SetPage(kFailurePage);
    SetUnconnectedStatus();
    return;
  }
  connected_ = true;
  const crcp::info::DeviceInfo peer = controller_->GetPeerInfo();
  peer_name_ = QString::fromStdString(peer.device_name);
  SetConnectedStatus(peer_name_);
  if (!controller_->HasRemoteInput()) enable_touch_action_->setVisible(false);
  // Not behind a lock that came while connecting: the user shares after the unlock.
  if (Settings::GetAutoMirror() && !locked_) {
    OnMirror(kJoinScreenMirror);
  } else {
    SetPage(kFunctionPage);
    SetConnectedStatus(peer_name_);
  }
  about_->SetReceiverVersion(QString::fromStdString(peer.version));
}

void Castora::OnCanceled() {
  share_start_timer_.stop();
  controller_->Cancel();
  // Connected already (the completion was on its way): close that session as well.
  if (connected_) controller_->Disconnect();
  connecting_ = false;
  connected_ = false;
  mirrored_ = false;
  share_asked_ = false;
  SetPage(kPinCodePage);
  SetUnconnectedStatus();
}

void Castora::OnRetry() {
  SetPage(kPinCodePage);
  SetUnconnectedStatus();
}

void Castora::OnDisconnected() {
  share_start_timer_.stop();
  connecting_ = false;
  connected_ = false;
  mirrored_ = false;
  share_asked_ = false;
  SetPage(kPinCodePage);
  SetUnconnectedStatus();
  // Hidden or minimised while sharing.
  BringBack();
}

void Castora::OnMirror(MirrorType type) {
  if (share_asked_ || mirrored_) {
    LOG_INFO("Share already asked for, mode {} ignored", static_cast<int>(type));
    return;
  }
  if (locked_) {
    // A click on the window comes from the user at an unlocked desk: the unlock was
    // not told (a lock request that no screen locker carried out sends none).
    LOG_INFO("Share asked for while the session reads as locked: taken as unlocked");
    SetLocked(false);
  }
  share_asked_ = true;
  PushShareOptions();
  controller_->PlayVideo(type);
  controller_->PlayAudio();
  // Without an answer the share would wait for ever, and every later click with it.
  share_start_timer_.start();
}

void Castora::PushShareOptions() {
  controller_->OnToggleKeepRatio(Settings::GetKeepAspectRatio());
  controller_->OnToggleViceScreen(Settings::GetOpenViceScreen());
  controller_->OnToggleCaptureMouse(Settings::GetCaptureMouse());
  controller_->OnToggleEnhanceVideoQuality(Settings::GetEnhanceVideoQuality());
  controller_->OnToggleEnableHardwareAcceleration(Settings::GetEnableHardwareAcceleration());
  controller_->SetTimeout(HeartBeatTimeout(Settings::GetWeakNetwork()));
}

void Castora::OnShareStartTimeout() {
  if (!connected_ || !share_asked_ || mirrored_) return;
  LOG_ERROR("The receiver did not answer the share's start in {} ms", share_start_timer_.interval());
  // Called off at every layer: a late answer starts nothing, and the next click
  // sends a new start.
  controller_->TeardownVideo();
  controller_->TeardownAudio();
  controller_->StopRemoteInput();
  interrupt_dialog_->ShowOver();
  LeaveShare();
}

void Castora::OnStopMirror() {
  controller_->TeardownVideo();
  controller_->TeardownAudio();
  controller_->StopRemoteInput();
  // The teardown calls return once sharing has stopped; no teardown callback follows
  // a stop asked for here, so the window leaves the sharing page itself.
  LeaveShare();
}

void Castora::OnMirrored(bool mirrored) {
  share_start_timer_.stop();
  // A toggle that arrives after the session ended (late, queued) changes nothing:
  // the window stays on the first page.
  if (!connected_) {
    mirrored_ = false;
    share_asked_ = false;
    return;
  }
  if (!mirrored) {
    // The receiver ended the share, or an error did: only its video stopped. What the
    // share started on this side goes with it, so that neither the sound nor the
    // receiver's touches go on behind a window that no longer says "Sharing".
    controller_->TeardownAudio();
    controller_->StopRemoteInput();
    LeaveShare();
    return;
  }
  if (!share_asked_ && !mirrored_) {
    // The receiver started this share itself (its video start, or a restart after its
    // stop): it is the user's share all the same, with the user's options and sound.
    LOG_INFO("The receiver started the share");
    PushShareOptions();
    controller_->PlayAudio();
  }
  mirrored_ = true;
  share_asked_ = false;
  SetPage(kMirrorPage);
  form_->stacked_widget->repaint();
  SetConnectedStatus(peer_name_);
  // To the tray; without one there would be no way back to "Stop sharing".
  if (tray_check_())
    hide();
  else
    showMinimized();
  if (Settings::GetEnableTouch() && !Settings::GetOpenViceScreen()) controller_->StartRemoteInput();
}

void Castora::LeaveShare() {
  share_start_timer_.stop();
  const bool was_sharing = mirrored_ || share_asked_;
  mirrored_ = false;
  share_asked_ = false;
  if (!connected_ || !was_sharing) return;
  SetPage(kFunctionPage);
  SetConnectedStatus(peer_name_);
  BringBack();
}

void Castora::OnOpenViceScreenTriggered(bool checked) {
  controller_->OnToggleViceScreen(checked);
  Settings::SetOpenViceScreen(checked);
  enable_touch_action_->setEnabled(!checked);
  if (CurrentPage() == kMirrorPage && enable_touch_action_->isChecked()) {
    if (checked)
      controller_->StopRemoteInput();
    else
      controller_->StartRemoteInput();
  }
}

void Castora::OnKeepAspectRatioTriggered(bool checked) {
  controller_->OnToggleKeepRatio(checked);
  Settings::SetKeepAspectRatio(checked);
}

void Castora::OnCaptureMouseTriggered(bool checked) {
  controller_->OnToggleCaptureMouse(checked);
  Settings::SetCaptureMouse(checked);
}

void Castora::OnEnableTouchTriggered(bool checked) {
  Settings::SetEnableTouch(checked);
  if (CurrentPage() != kMirrorPage) return;
  if (checked)
    controller_->StartRemoteInput();
  else
    controller_->StopRemoteInput();
}

void Castora::OnEnhanceVideoQualityTriggered(bool checked) {
  Settings::SetEnhanceVideoQuality(checked);
  controller_->OnToggleEnhanceVideoQuality(checked);
}

void Castora::OnEnableHardwareAccelerationTriggered(bool checked) {
  Settings::SetEnableHardwareAcceleration(checked);
  controller_->OnToggleEnableHardwareAcceleration(checked);
  if (checked)
    ShowTip(tr("Hardware Acceleration enabled"),
            tr("When enable, may have higher performace, try disable this option if you encounter any issues"));
  else
    ShowTip(tr("Hardware Acceleration disabled"),
            tr("When disabled, may have a bit lower performace but more higher compatibility"));
}

void Castora::OnWeakNetworkTriggered(bool checked) {
  Settings::SetWeakNetwork(checked);
  controller_->SetTimeout(HeartBeatTimeout(checked));
  if (checked)
    ShowTip(tr("Weak Network Mode enabled"), tr("Reduce interruptions in a poor network environment"));
  else
    ShowTip(tr("Weak Network Mode disabled"), tr("Interruptions may happen while in poor network environment"));
}

void Castora::ShowTip(const QString& notice, const QString& tip) {
  tip_dialog_->SetTexts(notice, tip);
  tip_dialog_->ShowOver();
  // A second toast within the time gets its full time too.
  tip_timer_.start();
}

void Castora::HandleSessionMessage(uint32_t message, uintptr_t wparam) {
  using namespace platform::session;
  if ((message == kWmPowerBroadcast && wparam == kPbtApmSuspend) ||
      (message == kWmWtsSessionChange && wparam == kWtsConsoleDisconnect)) {
    LOG_INFO("Windows suspend or switch user");
    QCoreApplication::quit();
  } else if (message == kWmWtsSessionChange && wparam == kWtsSessionLock) {
    // The connection stays; only what shows or acts on this desk stops, and the window
    // says so: after the unlock the user shares again with one click. Until then the
    // receiver cannot start a share of its own: first refused, then stopped, so that
    // none slips in between.
    SetLocked(true);
    controller_->TeardownVideo();
    controller_->TeardownAudio();
    controller_->StopRemoteInput();
    LeaveShare();
  } else if (message == kWmWtsSessionChange && wparam == kWtsSessionUnlock) {
    SetLocked(false);
  }
}

void Castora::SetLocked(bool locked) {
  if (locked_ == locked) return;
  locked_ = locked;
  controller_->SetSessionLocked(locked);
}

bool Castora::nativeEventFilter(const QByteArray& event_type, void* message, long*) {
  if (const auto* session = platform::session::AsSessionMessage(event_type, message))
    HandleSessionMessage(session->message, session->wparam);
  return false;
}
