#include "client/ui/tip_dialog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "client/ui/page_style.h"

struct TipDialog::Form {
  QWidget* dialog = nullptr;
  QPushButton* close_btn = nullptr;
  QLabel* icon_label = nullptr;
  QLabel* notice_label = nullptr;
  QLabel* tip_label = nullptr;

  void Setup(QWidget* overlay) {
    dialog = new QWidget(overlay);
    dialog->setObjectName(QStringLiteral("dialog_"));
    dialog->setAttribute(Qt::WA_StyledBackground);
    // As wide as the longest title needs in the catalogues; taller when a text wraps.
    dialog->setFixedWidth(480);
    dialog->setMinimumHeight(140);
    auto* layout = new QVBoxLayout(dialog);
    layout->setObjectName(QStringLiteral("dialog_layout_"));
    layout->setContentsMargins(24, 16, 16, 24);
    layout->setSpacing(0);
    auto* title_row = new QHBoxLayout();
    title_row->setObjectName(QStringLiteral("title_layout_"));
    title_row->setSpacing(10);
    icon_label = new QLabel(dialog);
    icon_label->setObjectName(QStringLiteral("icon_label_"));
    notice_label = new QLabel(dialog);
    notice_label->setObjectName(QStringLiteral("notice_label_"));
    notice_label->setWordWrap(true);
    close_btn = new QPushButton(dialog);
    close_btn->setObjectName(QStringLiteral("close_btn_"));
    close_btn->setFocusPolicy(Qt::NoFocus);
    title_row->addWidget(icon_label);
    title_row->addWidget(notice_label, 1);
    title_row->addWidget(close_btn, 0, Qt::AlignTop);
    layout->addLayout(title_row);
    layout->addSpacing(14);
    tip_label = new QLabel(dialog);
    tip_label->setObjectName(QStringLiteral("tip_label_"));
    tip_label->setWordWrap(true);
    tip_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(tip_label, 1);

    notice_label->setText(QCoreApplication::translate("TipDialog", "Notice"));
    tip_label->setText(QCoreApplication::translate("TipDialog", "Tip"));
  }
};

TipDialog::TipDialog(QWidget* parent) : Overlay(parent), form_(std::make_unique<Form>()) {
  form_->Setup(this);
  SetInner(form_->dialog);
  ApplyPageStyleSheet(this, QStringLiteral("tip_dialog.qss"));
  connect(form_->close_btn, &QPushButton::clicked, this, &TipDialog::hide);
}

TipDialog::~TipDialog() = default;

void TipDialog::SetTexts(const QString& notice, const QString& tip) {
  form_->notice_label->setText(notice);
  form_->tip_label->setText(tip);
}

QString TipDialog::notice() const { return form_->notice_label->text(); }
QString TipDialog::tip() const { return form_->tip_label->text(); }
