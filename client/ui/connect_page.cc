#include "client/ui/connect_page.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QVBoxLayout>

#include "client/ui/page_style.h"

struct ConnectPage::Form {
  QLabel* status_label = nullptr;
  QLabel* tips_label = nullptr;
  QLabel* loading_label = nullptr;
  QPushButton* cancel_btn = nullptr;
  QMovie* loading_movie = nullptr;

  void Setup(QWidget* page) {
    page->setObjectName(QStringLiteral("ConnectPage"));
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

    loading_label = new QLabel(page);
    loading_label->setObjectName(QStringLiteral("loading_label_"));
    loading_label->setFixedSize(96, 96);
    loading_label->setScaledContents(true);
    layout->addWidget(loading_label, 0, Qt::AlignHCenter);
    layout->addStretch(1);

    cancel_btn = new QPushButton(page);
    cancel_btn->setObjectName(QStringLiteral("cancel_btn_"));
    cancel_btn->setFixedSize(280, 56);
    cancel_btn->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(cancel_btn, 0, Qt::AlignHCenter);
    // As much room below the button as the pin-code page's check box row takes, so
    // that the buttons of all pages sit in one place.
    layout->addSpacing(38);

    status_label->setText(QCoreApplication::translate("ConnectPage", "Device connecting"));
    tips_label->setText(QCoreApplication::translate("ConnectPage", "Configuring, please wait"));
    cancel_btn->setText(QCoreApplication::translate("ConnectPage", "Cancel"));
  }
};

ConnectPage::ConnectPage(QWidget* parent) : QWidget(parent), form_(std::make_unique<Form>()) {
  form_->Setup(this);
  ApplyPageStyleSheet(this, QStringLiteral("connect_page.qss"));
  form_->loading_movie = new QMovie(QStringLiteral(":/image/pic_loading.gif"), QByteArray(), this);
  form_->loading_label->setMovie(form_->loading_movie);
  form_->loading_movie->start();
  AddButtonShadow(form_->cancel_btn);
  connect(form_->cancel_btn, &QPushButton::clicked, this, &ConnectPage::Cancel);
}

ConnectPage::~ConnectPage() = default;
