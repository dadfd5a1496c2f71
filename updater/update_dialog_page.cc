#include "updater/update_dialog_page.h"

#include <QLabel>
#include <QPushButton>

#include "updater/page_geometry.h"
#include "utils/dpi_scale.h"
#include "utils/style_sheet.h"

namespace {
constexpr int kDescriptionWidth = 320;
constexpr int kDescriptionHeight = 74;
constexpr int kButtonY = 186;
}  // namespace

UpdateDialogPage::UpdateDialogPage(int base_height, int max_height, QWidget* parent)
    : QWidget(parent), base_height_(base_height), max_height_(max_height) {
  status_ = new QLabel(tr("Update is available"), this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setGeometry(ScaledRect(0, 34, 400, 40));
  status_->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  description_ = new QLabel(this);
  description_->setObjectName(QStringLiteral("description"));
  description_->setGeometry(ScaledRect(40, 82, kDescriptionWidth, kDescriptionHeight));
  description_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  description_->setWordWrap(true);

  update_ = FlatButton(tr("Update"), QStringLiteral("update"), 208, kButtonY, 90, 35, this);
  connect(update_, &QPushButton::clicked, this, &UpdateDialogPage::UpdateBtnClicked);

  cancel_ = FlatButton(tr("Cancel"), QStringLiteral("cancel"), 102, kButtonY, 90, 35, this);
  connect(cancel_, &QPushButton::clicked, this, &UpdateDialogPage::CancelBtnClicked);

  utils::ApplyScaledStyleSheet(this, utils::LoadStyleSheet(QStringLiteral("update_dialog_page.qss")));
}

void UpdateDialogPage::ShowOffer() { status_->setText(tr("Update is available")); }

void UpdateDialogPage::ShowStartFailed() {
  status_->setText(tr("The update could not start, please try again later"));
}

void UpdateDialogPage::SetDescription(const QString& text) {
  if (text.isEmpty()) return;
  description_->setText(text);
  const int extra =
      FitDescription(description_, kDescriptionWidth, kDescriptionHeight, max_height_ - base_height_);
  if (extra <= 0) return;
  emit ResizeWindowHeight(extra);
  update_->move(update_->x(), utils::DpiScaled(extra + kButtonY));
  cancel_->move(cancel_->x(), utils::DpiScaled(extra + kButtonY));
}
