#pragma once

#include <QStackedWidget>
#include <QTimer>

#include "utils/movable_widget.h"

class UpdateDialogPage;
class UpdateFinishedPage;
class UpdatingPage;

// The updater's only window: a frameless, always-on-top panel with a drop shadow that
// the user drags. Page 0 offers the update (Update / Cancel), page 1 shows the
// installation's progress, page 2 reports success (OK restarts the client).
//
// The outer window keeps one size, tall enough for the largest panel; only the panel
// inside it grows with a long description, centred, the rest of the window being
// transparent. All sizes are logical (96-DPI) pixels, scaled once on the way to the
// widgets.
class Interaction : public utils::MovableWidget {
  Q_OBJECT

 public:
  // The panel's height without a description, and the largest it may become.
  static constexpr int kPanelBaseHeight = 250;
  static constexpr int kPanelMaxHeight = 800;

  explicit Interaction(QWidget* parent = nullptr);
  ~Interaction() override;

  // Page 0 with the description; shown, raised and activated.
  void ShowUpdateDialog(const QString& description);
  // Page 0 again after Update could not start the installation: the offer stands, and
  // the status says that this try failed.
  void ShowUpdateFailed();
  // Page 1; shown, raised and activated; the progress starts from zero.
  void ShowUpdating();
  // The installer ended: the bar runs from where it is to its end at its usual speed;
  // page 2 follows.
  void FinishUpdating();

  QWidget* panel() const { return panel_; }
  QStackedWidget* stack() const { return stack_; }
  UpdateDialogPage* update_dialog_page() const { return update_dialog_page_; }
  UpdatingPage* updating_page() const { return updating_page_; }
  UpdateFinishedPage* update_finished_page() const { return update_finished_page_; }
  int progress() const { return progress_; }

 signals:
  // The user chose Update.
  void UpdateNow();

 public slots:
  void OnCancelBtnClicked();
  void OnUpdateBtnClicked();
  void OnUpdateFinished();
  // Starts the client (the settings' application path) detached and ends the updater.
  void StartProgram();
  // Starts the client alone; false when it could not be started (logged).
  static bool StartClient();

 private slots:
  void OnResizeWindowHeight(int height_added);
  void OnTick();

 private:
  QWidget* panel_ = nullptr;
  UpdateDialogPage* update_dialog_page_ = nullptr;
  UpdatingPage* updating_page_ = nullptr;
  UpdateFinishedPage* update_finished_page_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  QTimer tick_timer_;
  int progress_ = 0;
};
