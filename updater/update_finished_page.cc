#include "updater/update_finished_page.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "updater/page_geometry.h"
#include "utils/dpi_scale.h"
#include "utils/style_sheet.h"

namespace {
constexpr int kDescriptionWidth = 320;
constexpr int kDescriptionHeight = 40;
constexpr int kButtonY = 186;
}  // namespace

UpdateFinishedPage::UpdateFinishedPage(int base_height, int max_height, QWidget* parent)
    : QWidget(parent), base_height_(base_height), max_height_(max_height) {
  icon_ = new QLabel(this);
  icon_->setObjectName(QStringLiteral("icon"));
  icon_->setGeometry(ScaledRect(176, 34, 48, 48));
  icon_->setPixmap(QPixmap(QStringLiteral(":/image/icon_succeed.png")));
  icon_->setScaledContents(true);

  status_ = new QLabel(tr("Update successfully"), this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setGeometry(ScaledRect(0, 106, 400, 40));
  status_->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  description_ = new QLabel(tr("Hope you enjoy the new version"), this);
  description_->setObjectName(QStringLiteral("description"));
  description_->setGeometry(ScaledRect(40, 138, kDescriptionWidth, kDescriptionHeight));
  description_->setAlignment(Qt::AlignCenter);
  description_->setWordWrap(true);

  ok_ = FlatButton(tr("OK"), QStringLiteral("ok"), 155, kButtonY, 90, 35, this);
  connect(ok_, &QPushButton::clicked, this, &UpdateFinishedPage::OkBtnClicked);

  utils::ApplyScaledStyleSheet(this, utils::LoadStyleSheet(QStringLiteral("update_finished_page.qss")));
}

void UpdateFinishedPage::SetDescription(const QString& text) {
  if (text.isEmpty()) return;
  // The update's own text reads as a paragraph, not as a centred wish.
  description_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  description_->setText(text);
  const int extra =
      FitDescription(description_, kDescriptionWidth, kDescriptionHeight, max_height_ - base_height_);
  if (extra <= 0) return;
  emit ResizeWindowHeight(extra);
  ok_->move(ok_->x(), utils::DpiScaled(extra + kButtonY));
}
