#include "client/ui/interrupt_dialog.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "client/ui/page_style.h"

struct InterruptDialog::Form {
  QWidget* widget = nullptr;
  QPushButton* close_btn = nullptr;
  QLabel* icon_label = nullptr;
  QLabel* tip_label = nullptr;
  QPushButton* ok_btn = nullptr;

  void Setup(QWidget* overlay) {
    widget = new QWidget(overlay);
    widget->setObjectName(QStringLiteral("interrupt_dialog_"));
    widget->setAttribute(Qt::WA_StyledBackground);
    widget->setFixedSize(420, 250);
    auto* layout = new QVBoxLayout(widget);
    layout->setObjectName(QStringLiteral("dialog_layout_"));
    layout->setContentsMargins(24, 16, 16, 28);
    layout->setSpacing(0);
    close_btn = new QPushButton(widget);
    close_btn->setObjectName(QStringLiteral("close_btn_"));
    close_btn->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(close_btn, 0, Qt::AlignRight);
    icon_label = new QLabel(widget);
    icon_label->setObjectName(QStringLiteral("icon_label_"));
    layout->addWidget(icon_label, 0, Qt::AlignHCenter);
    layout->addSpacing(16);
    tip_label = new QLabel(widget);
    tip_label->setObjectName(QStringLiteral("tip_label_"));
    tip_label->setAlignment(Qt::AlignCenter);
    tip_label->setWordWrap(true);
    layout->addWidget(tip_label);
    layout->addStretch(1);
    ok_btn = new QPushButton(widget);
    ok_btn->setObjectName(QStringLiteral("ok_btn_"));
    ok_btn->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(ok_btn, 0, Qt::AlignHCenter);

    tip_label->setText(QCoreApplication::translate("InterruptPage", "InterruptQuitTips"));
    ok_btn->setText(QCoreApplication::translate("InterruptPage", "OK"));
  }
};

InterruptDialog::InterruptDialog(QWidget* parent) : Overlay(parent), form_(std::make_unique<Form>()) {
  form_->Setup(this);
  SetInner(form_->widget);
  ApplyPageStyleSheet(this, QStringLiteral("interrupt_dialog.qss"));
  connect(form_->close_btn, &QPushButton::clicked, this, &InterruptDialog::hide);
  connect(form_->ok_btn, &QPushButton::clicked, this, &InterruptDialog::hide);
}

InterruptDialog::~InterruptDialog() = default;
