#include "client/ui/mirror_page.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "client/ui/page_style.h"

struct MirrorPage::Form {
  QLabel* mirror_label = nullptr;
  QLabel* status_label = nullptr;
  QPushButton* stop_btn = nullptr;

  void Setup(QWidget* page) {
    page->setObjectName(QStringLiteral("MirrorPage"));
    auto* layout = new QVBoxLayout(page);
    layout->setObjectName(QStringLiteral("page_layout_"));
    layout->setContentsMargins(0, 56, 0, 44);
    layout->setSpacing(0);

    layout->addStretch(1);
    mirror_label = new QLabel(page);
    mirror_label->setObjectName(QStringLiteral("mirror_label_"));
    mirror_label->setFixedSize(240, 160);
    mirror_label->setScaledContents(true);
    layout->addWidget(mirror_label, 0, Qt::AlignHCenter);
    layout->addSpacing(28);

    status_label = new QLabel(page);
    status_label->setObjectName(QStringLiteral("status_label_"));
    status_label->setAlignment(Qt::AlignCenter);
    layout->addWidget(status_label);
    layout->addStretch(1);

    stop_btn = new QPushButton(page);
    stop_btn->setObjectName(QStringLiteral("stop_btn_"));
    stop_btn->setFixedSize(280, 56);
    stop_btn->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(stop_btn, 0, Qt::AlignHCenter);
    layout->addSpacing(38);

    status_label->setText(QCoreApplication::translate("MirrorPage", "Sharing"));
    stop_btn->setText(QCoreApplication::translate("MirrorPage", "Stop sharing"));
  }
};

MirrorPage::MirrorPage(QWidget* parent) : QWidget(parent), form_(std::make_unique<Form>()) {
  form_->Setup(this);
  ApplyPageStyleSheet(this, QStringLiteral("mirror_page.qss"));
  form_->mirror_label->setPixmap(QPixmap(QStringLiteral(":/image/pic_screenshare.png")));
  AddButtonShadow(form_->stop_btn);
  connect(form_->stop_btn, &QPushButton::clicked, this, &MirrorPage::Stop);
}

MirrorPage::~MirrorPage() = default;
