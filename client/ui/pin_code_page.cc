#include "client/ui/pin_code_page.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "client/air_code.h"
#include "client/settings.h"
#include "client/ui/page_style.h"
#include "client/ui/pin_code_edit.h"
#include "utils/logger.h"

namespace {
const char* const kLogTag = "CASTORA::pin_code_page";

constexpr int kShortLength = 6;
constexpr int kLongLength = 8;
}  // namespace

struct PinCodePage::Form {
  QLabel* status_label = nullptr;
  QLabel* tips_label = nullptr;
  QStackedWidget* stacked_widget = nullptr;
  PinCodeEdit* pin_edit_6 = nullptr;
  PinCodeEdit* pin_edit_8 = nullptr;
  QLabel* error_info_label = nullptr;
  QPushButton* switch_edit_btn = nullptr;
  QPushButton* connect_btn = nullptr;
  QCheckBox* auto_mirror_checkbox = nullptr;

  void Setup(QWidget* page) {
    page->setObjectName(QStringLiteral("PinCodePage"));
    auto* layout = new QVBoxLayout(page);
    layout->setObjectName(QStringLiteral("page_layout_"));
    layout->setContentsMargins(0, 56, 0, 44);
    layout->setSpacing(0);

    status_label = new QLabel(page);
    status_label->setObjectName(QStringLiteral("status_label_"));
    status_label->setAlignment(Qt::AlignCenter);
    layout->addWidget(status_label);
    layout->addSpacing(12);

    tips_label = new QLabel(page);
    tips_label->setObjectName(QStringLiteral("tips_label_"));
    tips_label->setAlignment(Qt::AlignCenter);
    layout->addWidget(tips_label);
    layout->addSpacing(44);

    stacked_widget = new QStackedWidget(page);
    stacked_widget->setObjectName(QStringLiteral("stackedWidget"));
    pin_edit_6 = new PinCodeEdit(stacked_widget);
    pin_edit_6->setObjectName(QStringLiteral("pin_edit_6_"));
    pin_edit_8 = new PinCodeEdit(stacked_widget);
    pin_edit_8->setObjectName(QStringLiteral("pin_edit_8_"));
    stacked_widget->addWidget(pin_edit_6);
    stacked_widget->addWidget(pin_edit_8);
    layout->addWidget(stacked_widget, 0, Qt::AlignHCenter);
    layout->addSpacing(14);

    error_info_label = new QLabel(page);
    error_info_label->setObjectName(QStringLiteral("error_info_label_"));
    error_info_label->setAlignment(Qt::AlignCenter);
    // The row keeps its place while hidden, so the page does not jump on a wrong code.
    QSizePolicy keep = error_info_label->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    error_info_label->setSizePolicy(keep);
    layout->addWidget(error_info_label);
    layout->addSpacing(6);

    switch_edit_btn = new QPushButton(page);
    switch_edit_btn->setObjectName(QStringLiteral("switch_edit_btn_"));
    switch_edit_btn->setFocusPolicy(Qt::NoFocus);
    switch_edit_btn->setCursor(Qt::PointingHandCursor);
    layout->addWidget(switch_edit_btn, 0, Qt::AlignHCenter);
    layout->addStretch(1);

    connect_btn = new QPushButton(page);
    connect_btn->setObjectName(QStringLiteral("connect_btn_"));
    connect_btn->setFixedSize(280, 56);
    connect_btn->setFocusPolicy(Qt::NoFocus);
    connect_btn->setEnabled(false);
    layout->addWidget(connect_btn, 0, Qt::AlignHCenter);
    layout->addSpacing(20);

    auto_mirror_checkbox = new QCheckBox(page);
    auto_mirror_checkbox->setObjectName(QStringLiteral("auto_mirror_checkbox_"));
    auto_mirror_checkbox->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(auto_mirror_checkbox, 0, Qt::AlignHCenter);

    Retranslate();
  }

  void Retranslate() {
    status_label->setText(QCoreApplication::translate("PinCodePage", "Input PIN code"));
    tips_label->setText(QCoreApplication::translate("PinCodePage", "PIN code is shown on receiver"));
    error_info_label->setText(QCoreApplication::translate("PinCodePage", "Wrong PIN code"));
    connect_btn->setText(QCoreApplication::translate("PinCodePage", "Connect"));
    auto_mirror_checkbox->setText(QCoreApplication::translate("PinCodePage", "Start sharing when connected"));
  }
};

PinCodePage::PinCodePage(QWidget* parent) : QWidget(parent), form_(std::make_unique<Form>()) {
  // A stored length other than 6 or 8 (a hand-edited or damaged file) would leave an
  // entry whose code can never be complete: use the 6-character entry instead.
  length_ = Settings::GetPinCodeLen();
  if (length_ != kShortLength && length_ != kLongLength) length_ = kShortLength;

  form_->Setup(this);
  ApplyPageStyleSheet(this, QStringLiteral("pin_code_page.qss"));
  QFont status_font = form_->status_label->font();
  status_font.setLetterSpacing(QFont::AbsoluteSpacing, 1);
  form_->status_label->setFont(status_font);

  edits_[kShortLength] = form_->pin_edit_6;
  edits_[kLongLength] = form_->pin_edit_8;
  form_->pin_edit_6->SetLength(kShortLength);
  form_->pin_edit_8->SetLength(kLongLength);
  for (const auto& [edit_length, edit] : edits_) {
    (void)edit_length;
    connect(edit, &PinCodeEdit::PinCodeChanged, this, &PinCodePage::OnPinCodeChanged);
    connect(edit, &PinCodeEdit::InputFinished, form_->connect_btn, [this] { form_->connect_btn->animateClick(100); });
  }
  form_->stacked_widget->setCurrentWidget(edits_.at(length_));

  connect(form_->stacked_widget, &QStackedWidget::currentChanged, this, [this] { UpdateSwitch(); });
  UpdateSwitch();

  AddButtonShadow(form_->connect_btn);
  connect(form_->connect_btn, &QPushButton::clicked, this, [this] {
    emit Connect(pin_code_, QString::fromStdString(ip_), port_, form_->auto_mirror_checkbox->isChecked());
  });

  form_->error_info_label->hide();
  form_->auto_mirror_checkbox->setChecked(Settings::GetAutoMirror());
  connect(form_->switch_edit_btn, &QPushButton::clicked, this, &PinCodePage::OnSwitchEdit);
}

PinCodePage::~PinCodePage() = default;

void PinCodePage::UpdateSwitch() {
  QWidget* current = form_->stacked_widget->currentWidget();
  form_->stacked_widget->setMinimumSize(current->size());
  form_->stacked_widget->setMaximumSize(current->size());
  const int other = form_->stacked_widget->currentIndex() == 0 ? kLongLength : kShortLength;
  form_->switch_edit_btn->setText(tr("%1 Digits PIN code >").arg(other));
}

void PinCodePage::OnPinCodeChanged(QString pin_code) {
  if (pin_code.size() != length_) {
    form_->error_info_label->hide();
    form_->connect_btn->setEnabled(false);
    return;
  }
  LOG_INFO("Input pin code: {}", pin_code.toStdString());
  const std::string code = pin_code.toStdString();
  if (!IsValidAirCode(code)) {
    form_->connect_btn->setEnabled(false);
    form_->error_info_label->show();
    return;
  }
  const auto [ip, port] = ParseAirCode(code);
  ip_ = ip;
  port_ = port;
  LOG_INFO("Connect to {}:{}, auto mirror: {}", ip_, port_, form_->auto_mirror_checkbox->isChecked());
  pin_code_ = pin_code;
  form_->connect_btn->setEnabled(true);
}

void PinCodePage::OnSwitchEdit() {
  edits_.at(length_)->Clear();
  if (form_->stacked_widget->currentIndex() == 1) {
    length_ = kShortLength;
    form_->stacked_widget->setCurrentIndex(0);
  } else {
    length_ = kLongLength;
    form_->stacked_widget->setCurrentIndex(1);
  }
  Settings::SetPinCodeLen(length_);
}
