#include "updater/updating_page.h"

#include <algorithm>

#include <QLabel>
#include <QPropertyAnimation>
#include <QSlider>

#include "updater/page_geometry.h"
#include "utils/style_sheet.h"

namespace {
constexpr int kSliderMax = 1000;
// Milliseconds per slider unit: the bar's one speed.
constexpr int kMsPerUnit = 10;
}  // namespace

UpdatingPage::UpdatingPage(QWidget* parent) : QWidget(parent) {
  status_ = new QLabel(tr("Updating"), this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setGeometry(ScaledRect(0, 89, 400, 40));
  status_->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setObjectName(QStringLiteral("progress"));
  slider_->setGeometry(ScaledRect(38, 153, 280, 21));
  slider_->setRange(0, kSliderMax);
  slider_->setValue(0);
  slider_->setEnabled(false);  // a progress, not a control
  connect(slider_, &QSlider::valueChanged, this, &UpdatingPage::OnValueChanged);

  percent_ = new QLabel(QStringLiteral("0%"), this);
  percent_->setObjectName(QStringLiteral("progress"));
  percent_->setGeometry(ScaledRect(331, 147, 40, 15));
  percent_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  animation_ = new QPropertyAnimation(slider_, "value", this);

  utils::ApplyScaledStyleSheet(this, utils::LoadStyleSheet(QStringLiteral("updating_page.qss")));
}

void UpdatingPage::OnProgressChanged(int percent) {
  animation_->stop();
  const int current = slider_->value();
  const int target = 10 * percent;
  // A target beyond the slider's range is clamped by the slider: the bar runs to its
  // end at the same speed and stops there.
  animation_->setStartValue(current);
  animation_->setEndValue(target);
  animation_->setDuration(std::max(0, (target - current) * kMsPerUnit));
  animation_->start();
}

int UpdatingPage::GetPorgressBarMax() { return slider_->maximum(); }

void UpdatingPage::OnValueChanged(int value) {
  percent_->setText(QStringLiteral("%1%").arg(value / 10));
  if (value == slider_->maximum()) {
    // The rest of an animation aimed beyond the end would only clamp to it again.
    animation_->stop();
    emit UpdateFinished();
  }
}
