#include "updater/update_dialog_page.h"

#include <algorithm>
#include <cmath>

#include <QLabel>
#include <QPushButton>

#include "updater/page_geometry.h"
#include "utils/dpi_scale.h"
#include "utils/style_sheet.h"

namespace {
constexpr int kStatusY = 34;
constexpr int kStatusWidth = 400;
constexpr int kStatusHeight = 40;
constexpr int kDescriptionX = 40;
constexpr int kDescriptionY = 82;
constexpr int kDescriptionWidth = 320;
constexpr int kDescriptionHeight = 74;
constexpr int kButtonY = 186;
}  // namespace

UpdateDialogPage::UpdateDialogPage(int base_height, int max_height, QWidget* parent)
    : QWidget(parent), base_height_(base_height), max_height_(max_height) {
  status_ = new QLabel(tr("Update is available"), this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setGeometry(ScaledRect(0, kStatusY, kStatusWidth, kStatusHeight));
  status_->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  description_ = new QLabel(this);
  description_->setObjectName(QStringLiteral("description"));
  description_->setGeometry(ScaledRect(kDescriptionX, kDescriptionY, kDescriptionWidth, kDescriptionHeight));
  description_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  description_->setWordWrap(true);

  update_ = FlatButton(tr("Update"), QStringLiteral("update"), 208, kButtonY, 90, 35, this);
  connect(update_, &QPushButton::clicked, this, &UpdateDialogPage::UpdateBtnClicked);

  cancel_ = FlatButton(tr("Cancel"), QStringLiteral("cancel"), 102, kButtonY, 90, 35, this);
  connect(cancel_, &QPushButton::clicked, this, &UpdateDialogPage::CancelBtnClicked);

  utils::ApplyScaledStyleSheet(this, utils::LoadStyleSheet(QStringLiteral("update_dialog_page.qss")));
}

void UpdateDialogPage::ShowOffer() {
  status_->setText(tr("Update is available"));
  status_->setWordWrap(false);
  status_->setGeometry(ScaledRect(0, kStatusY, kStatusWidth, kStatusHeight));
  status_added_ = 0;
  Relayout(false);
}

void UpdateDialogPage::ShowStartFailed() {
  status_->setText(tr("The update could not start, please try again later"));
  // Wider than the panel at a desk's fonts (and longer in some catalogues): it wraps in
  // the description's column and takes the height its lines need.
  status_->setWordWrap(true);
  status_->ensurePolished();
  const int needed = status_->heightForWidth(utils::DpiScaled(kDescriptionWidth));
  const int height = std::max(kStatusHeight, static_cast<int>(std::ceil(needed / utils::DpiScaleFactor())));
  status_->setGeometry(ScaledRect(kDescriptionX, kStatusY, kDescriptionWidth, height));
  status_added_ = height - kStatusHeight;
  Relayout(false);
}

void UpdateDialogPage::SetDescription(const QString& text) {
  if (text.isEmpty()) return;
  description_->setText(text);
  description_added_ = std::max(
      0, FitDescription(description_, kDescriptionWidth, kDescriptionHeight, max_height_ - base_height_));
  Relayout(description_added_ > 0);
}

void UpdateDialogPage::Relayout(bool announce) {
  // The status may have pushed the description down, and both push the buttons. The
  // page never grows past its largest height: a description that would take it further
  // loses its last lines instead.
  const int description_added = std::min(description_added_, max_height_ - base_height_ - status_added_);
  description_->setGeometry(ScaledRect(kDescriptionX, kDescriptionY + status_added_, kDescriptionWidth,
                                       kDescriptionHeight + description_added));
  const int added = status_added_ + description_added;
  update_->move(update_->x(), utils::DpiScaled(kButtonY + added));
  cancel_->move(cancel_->x(), utils::DpiScaled(kButtonY + added));
  if (!announce && added == announced_added_) return;
  announced_added_ = added;
  emit ResizeWindowHeight(added);
}
