#include "updater/interaction.h"

#include <fmt/format.h>

#include <QApplication>
#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>

#include "updater/page_geometry.h"
#include "updater/update_dialog_page.h"
#include "updater/update_finished_page.h"
#include "updater/updater_logger.h"
#include "updater/updater_settings.h"
#include "updater/updating_page.h"
#include "utils/dpi_scale.h"
#include "utils/style_sheet.h"

namespace {

const char* const kLogTag = kInteractionLogTag;

// The outer window, in logical pixels: room for the tallest panel and its shadow.
constexpr int kWindowWidth = 420;
constexpr int kWindowHeight = 820;
constexpr int kPanelX = 10;
constexpr int kPanelWidth = 400;

// The panel's top for a panel of base height + height_added, centred in the window
// (two pixels higher, which leaves room for the shadow's downward offset).
int PanelTop(int height_added) {
  return (kWindowHeight - height_added - Interaction::kPanelBaseHeight) / 2 - 2;
}

// The simulated progress: one step per tick, slowing down towards the end and waiting
// at 98 % for the installer.
constexpr int kFastTickMs = 120;
constexpr int kSlowStep = 80;
constexpr int kSlowTickMs = 250;
constexpr int kSlowerStep = 90;
constexpr int kSlowerTickMs = 1000;
constexpr int kWaitStep = 98;
constexpr int kFinishedPageDelayMs = 500;

}  // namespace

Interaction::Interaction(QWidget* parent)
    : utils::MovableWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  resize(utils::DpiScaled(kWindowWidth), utils::DpiScaled(kWindowHeight));
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
  }
  setWindowTitle(tr("DavuvuVeriv Update"));
  setAttribute(Qt::WA_TranslucentBackground);
  setFocusPolicy(Qt::StrongFocus);
  utils::ApplyScaledStyleSheet(this, utils::LoadStyleSheet(QStringLiteral("window.qss")));

  panel_ = new QWidget(this);
  panel_->setObjectName(QStringLiteral("window"));
  panel_->setAttribute(Qt::WA_StyledBackground);
  panel_->setGeometry(ScaledRect(kPanelX, PanelTop(0), kPanelWidth, kPanelBaseHeight));
  auto* shadow = new QGraphicsDropShadowEffect(panel_);
  shadow->setOffset(0, 2);
  shadow->setBlurRadius(10);
  shadow->setColor(QColor(63, 67, 74, 36));
  panel_->setGraphicsEffect(shadow);

  update_dialog_page_ = new UpdateDialogPage(kPanelBaseHeight, kPanelMaxHeight, panel_);
  updating_page_ = new UpdatingPage(panel_);
  update_finished_page_ = new UpdateFinishedPage(kPanelBaseHeight, kPanelMaxHeight, panel_);
  connect(update_dialog_page_, &UpdateDialogPage::CancelBtnClicked, this, &Interaction::OnCancelBtnClicked);
  connect(update_dialog_page_, &UpdateDialogPage::UpdateBtnClicked, this, &Interaction::OnUpdateBtnClicked);
  connect(update_dialog_page_, &UpdateDialogPage::ResizeWindowHeight, this, &Interaction::OnResizeWindowHeight);
  connect(update_finished_page_, &UpdateFinishedPage::ResizeWindowHeight, this,
          &Interaction::OnResizeWindowHeight);
  connect(updating_page_, &UpdatingPage::UpdateFinished, this, &Interaction::OnUpdateFinished);
  connect(update_finished_page_, &UpdateFinishedPage::OkBtnClicked, this, &Interaction::StartProgram);

  stack_ = new QStackedWidget(panel_);
  stack_->setGeometry(0, 0, panel_->width(), panel_->height());
  stack_->addWidget(update_dialog_page_);
  stack_->addWidget(updating_page_);
  stack_->addWidget(update_finished_page_);

  tick_timer_.setInterval(kFastTickMs);
  connect(&tick_timer_, &QTimer::timeout, this, &Interaction::OnTick);
}

Interaction::~Interaction() = default;

void Interaction::ShowUpdateDialog(const QString& description) {
  update_dialog_page_->SetDescription(description);
  update_dialog_page_->ShowOffer();
  stack_->setCurrentIndex(0);
  show();
  raise();
  activateWindow();
}

void Interaction::ShowUpdateFailed() {
  update_dialog_page_->ShowStartFailed();
  stack_->setCurrentIndex(0);
  show();
  raise();
  activateWindow();
}

void Interaction::ShowUpdating() {
  stack_->setCurrentIndex(1);
  show();
  raise();
  activateWindow();
  progress_ = 0;
  tick_timer_.setInterval(kFastTickMs);
  tick_timer_.start();
}

void Interaction::FinishUpdating() {
  tick_timer_.stop();
  updating_page_->OnProgressChanged(updating_page_->GetPorgressBarMax());
}

void Interaction::OnTick() {
  ++progress_;
  updating_page_->OnProgressChanged(progress_);
  if (progress_ == kSlowStep) tick_timer_.setInterval(kSlowTickMs);
  if (progress_ == kSlowerStep) tick_timer_.setInterval(kSlowerTickMs);
  if (progress_ >= kWaitStep) tick_timer_.stop();
}

void Interaction::OnResizeWindowHeight(int height_added) {
  // Logical values throughout, scaled once: the window's height in pixels is already
  // scaled and must not be scaled again.
  panel_->setGeometry(
      ScaledRect(kPanelX, PanelTop(height_added), kPanelWidth, kPanelBaseHeight + height_added));
  stack_->resize(utils::DpiScaled(kPanelWidth), utils::DpiScaled(kPanelBaseHeight + height_added));
  LogInfo(kLogTag, fmt::format("Resize window height, height added: {}", height_added));
}

void Interaction::OnUpdateFinished() {
  if (isHidden()) {
    QCoreApplication::exit(0);
    return;
  }
  QTimer::singleShot(kFinishedPageDelayMs, this, [this] {
    UpdaterSettings& settings = UpdaterSettings::Instance();
    QString description;
    if (settings.GetUpdateAtNextStartup()) {
      description = settings.GetUpdateDescription();
      settings.SetUpdateAtNextStartup(false);
    }
    update_finished_page_->SetDescription(description);
    stack_->setCurrentIndex(2);
  });
}

void Interaction::OnUpdateBtnClicked() {
  hide();
  // The package stays pending until the updater has really handed it over (it clears
  // the flag then): a hand-over that breaks off is taken up again at the next start.
  emit UpdateNow();
}

void Interaction::OnCancelBtnClicked() {
  hide();
  LogInfo(kLogTag, "Cancel update, update at next startup");
}

void Interaction::StartProgram() {
  StartClient();
  QCoreApplication::quit();
}

bool Interaction::StartClient() {
  // The program as it is, without quotes: QProcess takes it as one argument.
  const QString program = UpdaterSettings::Instance().GetAppPath();
  const bool started = QProcess::startDetached(program, QStringList());
  LogInfo(kLogTag, fmt::format("Start program \"{}\"", program.toStdString()));
  if (!started) LogError(kLogTag, fmt::format("Start program failed \"{}\"", program.toStdString()));
  return started;
}
