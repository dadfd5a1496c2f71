#include "client/ui/function_page.h"

#include <QColor>
#include <QCoreApplication>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "client/ui/mirror_button.h"
#include "client/ui/page_style.h"
#include "utils/dpi_scale.h"

struct FunctionPage::Form {
  QLabel* status_label = nullptr;
  QLabel* tips_label = nullptr;
  MirrorButton* single_mirror_btn = nullptr;
  MirrorButton* join_mirror_btn = nullptr;

  void Setup(QWidget* page) {
    page->setObjectName(QStringLiteral("FunctionPage"));
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
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout();
    buttons->setObjectName(QStringLiteral("buttons_layout_"));
    buttons->setContentsMargins(100, 0, 100, 0);
    buttons->setSpacing(40);
    single_mirror_btn = new MirrorButton(page);
    single_mirror_btn->setObjectName(QStringLiteral("single_mirror_btn_"));
    single_mirror_btn->setFixedSize(280, 280);
    join_mirror_btn = new MirrorButton(page);
    join_mirror_btn->setObjectName(QStringLiteral("join_mirror_btn_"));
    join_mirror_btn->setFixedSize(280, 280);
    buttons->addWidget(single_mirror_btn);
    buttons->addWidget(join_mirror_btn);
    layout->addLayout(buttons);
    layout->addStretch(1);

    status_label->setText(QCoreApplication::translate("FunctionPage", "Choose a sharing mode"));
    tips_label->setText(QCoreApplication::translate("FunctionPage", "Select how this device is shown on the receiver"));
  }
};

FunctionPage::FunctionPage(QWidget* parent) : QWidget(parent), form_(std::make_unique<Form>()) {
  form_->Setup(this);
  ApplyPageStyleSheet(this, QStringLiteral("function_page.qss"));

  form_->single_mirror_btn->SetContent(QStringLiteral(":/image/single_star.gif"), tr("One Screen Sharing"),
                                       tr("Sharing content of this device in full screen"));
  form_->join_mirror_btn->SetContent(QStringLiteral(":/image/join_star.gif"), tr("Join Screen Sharing"),
                                     tr("Sharing contents of multiple devices in one screen"));
  connect(form_->single_mirror_btn, &QPushButton::clicked, this, [this] { emit Mirror(kSingleScreenMirror); });
  connect(form_->join_mirror_btn, &QPushButton::clicked, this, [this] { emit Mirror(kJoinScreenMirror); });
  for (MirrorButton* button : {form_->single_mirror_btn, form_->join_mirror_btn}) {
    connect(button, &MirrorButton::MouseEntered, this, [this, button] { OnMouseEntered(button); });
    connect(button, &MirrorButton::MouseLeaved, this, [this, button] { OnMouseLeaved(button); });
  }
}

FunctionPage::~FunctionPage() = default;

void FunctionPage::OnMouseEntered(MirrorButton* button) {
  auto* shadow = new QGraphicsDropShadowEffect(button);
  shadow->setBlurRadius(utils::DpiScaled(20));
  shadow->setOffset(0, utils::DpiScaled(10));
  shadow->setColor(QColor(68, 68, 68, 26));
  button->setGraphicsEffect(shadow);  // replaces (and deletes) an effect still set
  hover_shadow_ = shadow;
}

void FunctionPage::OnMouseLeaved(MirrorButton* button) {
  button->setGraphicsEffect(nullptr);
  hover_shadow_ = nullptr;
}
