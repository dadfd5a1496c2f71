#include "client/ui/mirror_button.h"

#include <QEvent>
#include <QLabel>
#include <QPropertyAnimation>
#include <QVBoxLayout>

#include "client/ui/page_style.h"
#include "utils/dpi_scale.h"

namespace {
constexpr int kRiseMs = 300;
constexpr int kFallMs = 200;
constexpr int kRise = 10;
}  // namespace

struct MirrorButton::Form {
  QWidget* root = nullptr;
  QLabel* gif_label = nullptr;
  QLabel* name_label = nullptr;
  QLabel* tips_label = nullptr;

  void Setup(QPushButton* button) {
    // The form is a plain child filling the card; clicks pass through it to the button.
    root = new QWidget(button);
    root->setObjectName(QStringLiteral("Form"));
    root->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* outer = new QVBoxLayout(button);
    outer->setObjectName(QStringLiteral("button_layout_"));
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(root);

    auto* layout = new QVBoxLayout(root);
    layout->setObjectName(QStringLiteral("form_layout_"));
    layout->setContentsMargins(20, 26, 20, 24);
    layout->setSpacing(0);

    gif_label = new QLabel(root);
    gif_label->setObjectName(QStringLiteral("gif_label_"));
    gif_label->setFixedSize(200, 150);
    gif_label->setScaledContents(true);
    layout->addWidget(gif_label, 0, Qt::AlignHCenter);
    layout->addSpacing(14);

    name_label = new QLabel(root);
    name_label->setObjectName(QStringLiteral("name_label_"));
    name_label->setAlignment(Qt::AlignCenter);
    layout->addWidget(name_label);
    layout->addSpacing(8);

    tips_label = new QLabel(root);
    tips_label->setObjectName(QStringLiteral("tips_label_"));
    tips_label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    tips_label->setWordWrap(true);
    layout->addWidget(tips_label, 1);
  }
};

MirrorButton::MirrorButton(QWidget* parent) : QPushButton(parent), form_(std::make_unique<Form>()) {
  form_->Setup(this);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::NoFocus);
  ApplyPageStyleSheet(this, QStringLiteral("mirror_button.qss"));
}

MirrorButton::~MirrorButton() = default;

void MirrorButton::SetContent(QString image_path, QString title, QString description) {
  movie_.setFileName(image_path);
  movie_.jumpToFrame(0);
  connect(&movie_, &QMovie::frameChanged, this, &MirrorButton::OnFrameChanged, Qt::UniqueConnection);
  form_->gif_label->setMovie(&movie_);
  form_->name_label->setText(title);
  form_->tips_label->setText(description);
  delete animation_;
  animation_ = new QPropertyAnimation(this, "pos", this);
}

void MirrorButton::OnFrameChanged(int frame) {
  // Played once per hover: it rests on the last frame.
  if (frame + 1 == movie_.frameCount()) movie_.stop();
}

void MirrorButton::enterEvent(QEvent* event) {
  if (!has_rest_position_) {
    rest_position_ = pos();
    has_rest_position_ = true;
  }
  if (animation_) {
    animation_->stop();
    animation_->setDuration(kRiseMs);
    animation_->setStartValue(rest_position_);
    animation_->setEndValue(rest_position_ - QPoint(0, utils::DpiScaled(kRise)));
    animation_->start();
  }
  movie_.start();
  emit MouseEntered();
  QPushButton::enterEvent(event);
}

void MirrorButton::leaveEvent(QEvent* event) {
  // A leave without an enter (the card appeared under the cursor) has no rest position.
  if (animation_ && has_rest_position_) {
    // From where the card is now: it may not have reached the top yet.
    animation_->stop();
    animation_->setDuration(kFallMs);
    animation_->setStartValue(pos());
    animation_->setEndValue(rest_position_);
    animation_->start();
  }
  movie_.stop();
  movie_.jumpToFrame(0);
  emit MouseLeaved();
  QPushButton::leaveEvent(event);
}
