#include "client/ui/close_dialog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "client/ui/page_style.h"

struct CloseDialog::Form {
  QWidget* widget = nullptr;
  QPushButton* close_btn = nullptr;
  QLabel* tips_label = nullptr;
  QPushButton* cancel_btn = nullptr;
  QPushButton* confirm_btn = nullptr;

  void Setup(QWidget* overlay) {
    widget = new QWidget(overlay);
    widget->setObjectName(QStringLiteral("Widget"));
    widget->setAttribute(Qt::WA_StyledBackground);
    widget->setFixedSize(420, 220);
    auto* layout = new QVBoxLayout(widget);
    layout->setObjectName(QStringLiteral("dialog_layout_"));
    layout->setContentsMargins(24, 16, 16, 28);
    layout->setSpacing(0);
    close_btn = new QPushButton(widget);
    close_btn->setObjectName(QStringLiteral("close_btn_"));
    close_btn->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(close_btn, 0, Qt::AlignRight);
    layout->addStretch(1);
    tips_label = new QLabel(widget);
    tips_label->setObjectName(QStringLiteral("tips_label_"));
    tips_label->setAlignment(Qt::AlignCenter);
    tips_label->setWordWrap(true);
    layout->addWidget(tips_label);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout();
    buttons->setObjectName(QStringLiteral("buttons_layout_"));
    buttons->setContentsMargins(0, 0, 8, 0);
    buttons->setSpacing(20);
    cancel_btn = new QPushButton(widget);
    cancel_btn->setObjectName(QStringLiteral("cancel_btn_"));
    cancel_btn->setFocusPolicy(Qt::NoFocus);
    confirm_btn = new QPushButton(widget);
    confirm_btn->setObjectName(QStringLiteral("confirm_btn_"));
    confirm_btn->setFocusPolicy(Qt::NoFocus);
    buttons->addStretch(1);
    buttons->addWidget(cancel_btn);
    buttons->addWidget(confirm_btn);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    tips_label->setText(QCoreApplication::translate("CloseDialog", "QuitTips"));
    cancel_btn->setText(QCoreApplication::translate("CloseDialog", "Cancel"));
    confirm_btn->setText(QCoreApplication::translate("CloseDialog", "Confirm"));
  }
};

CloseDialog::CloseDialog(QWidget* parent) : Overlay(parent), form_(std::make_unique<Form>()) {
  form_->Setup(this);
  SetInner(form_->widget);
  ApplyPageStyleSheet(this, QStringLiteral("close_dialog.qss"));
  connect(form_->close_btn, &QPushButton::clicked, this, &CloseDialog::hide);
  connect(form_->cancel_btn, &QPushButton::clicked, this, &CloseDialog::hide);
  connect(form_->confirm_btn, &QPushButton::clicked, this, [] { QCoreApplication::quit(); });
}

CloseDialog::~CloseDialog() = default;
