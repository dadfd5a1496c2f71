#include "client/ui/failure_page.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "client/ui/page_style.h"

struct FailurePage::Form {
  QLabel* status_label = nullptr;
  QLabel* tips_label = nullptr;
  QLabel* pc_label = nullptr;
  QPushButton* retry_btn = nullptr;

  void Setup(QWidget* page) {
    page->setObjectName(QStringLiteral("FailurePage"));
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
    tips_label->setWordWrap(true);
    tips_label->setMinimumWidth(560);
    layout->addWidget(tips_label, 0, Qt::AlignHCenter);
    layout->addStretch(1);

    pc_label = new QLabel(page);
    pc_label->setObjectName(QStringLiteral("pc_label_"));
    pc_label->setFixedSize(240, 160);
    pc_label->setScaledContents(true);
    layout->addWidget(pc_label, 0, Qt::AlignHCenter);
    layout->addStretch(1);

    retry_btn = new QPushButton(page);
    retry_btn->setObjectName(QStringLiteral("retry_btn_"));
    retry_btn->setFixedSize(280, 56);
    retry_btn->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(retry_btn, 0, Qt::AlignHCenter);
    layout->addSpacing(38);

    status_label->setText(QCoreApplication::translate("FailurePage", "Connection failed"));
    retry_btn->setText(QCoreApplication::translate("FailurePage", "Retry"));
  }
};

FailurePage::FailurePage(QWidget* parent) : QWidget(parent), form_(std::make_unique<Form>()) {
  form_->Setup(this);
  ApplyPageStyleSheet(this, QStringLiteral("failure_page.qss"));
  form_->pc_label->setPixmap(QPixmap(QStringLiteral(":/image/pic_failure.png")));
  AddButtonShadow(form_->retry_btn);
  connect(form_->retry_btn, &QPushButton::clicked, this, &FailurePage::Retry);
}

FailurePage::~FailurePage() = default;

void FailurePage::SetTips(QString tips) { form_->tips_label->setText(tips); }
