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

  update_ = new QPushButton(tr("Update"), this);
  update_->setObjectName(QStringLiteral("update"));
  update_->setGeometry(ScaledRect(208, kButtonY, 90, 35));
  update_->setFlat(true);
  update_->setCursor(Qt::PointingHandCursor);
  connect(update_, &QPushButton::clicked, this, &UpdateDialogPage::UpdateBtnClicked);

  cancel_ = new QPushButton(tr("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("cancel"));
  cancel_->setGeometry(ScaledRect(102, kButtonY, 90, 35));
  cancel_->setFlat(true);
  cancel_->setCursor(Qt::PointingHandCursor);
  connect(cancel_, &QPushButton::clicked, this, &UpdateDialogPage::CancelBtnClicked);

  utils::ApplyScaledStyleSheet(this, utils::LoadStyleSheet(QStringLiteral("update_dialog_page.qss")));
}

void UpdateDialogPage::SetDescription(const QString& text) {
  if (text.isEmpty()) return;
  description_->setText(text);
  const int room = max_height_ - base_height_;
  description_->setMinimumSize(utils::DpiScaled(kDescriptionWidth), utils::DpiScaled(kDescriptionHeight));
  description_->setMaximumSize(utils::DpiScaled(kDescriptionWidth), utils::DpiScaled(room + kDescriptionHeight));
  description_->adjustSize();
  // Back to logical pixels: the owner scales the panel itself.
  const int extra = static_cast<int>(description_->height() / utils::DpiScaleFactor()) - kDescriptionHeight;
  if (extra <= 0) return;
  emit ResizeWindowHeight(extra);
  update_->move(update_->x(), utils::DpiScaled(extra + kButtonY));
  cancel_->move(cancel_->x(), utils::DpiScaled(extra + kButtonY));
}
