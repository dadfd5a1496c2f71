#include "client/ui/about.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "client/build_info.h"
#include "client/ui/page_style.h"
#include "utils/dpi_scale.h"
#include "utils/logger.h"

namespace {
const char* const kLogTag = "CASTORA::about";

QString Tr(const char* text) { return QCoreApplication::translate("About", text); }
}  // namespace

struct About::Form {
  QWidget* about_widget = nullptr;
  QLabel* title_label = nullptr;
  QPushButton* close_btn = nullptr;
  QLabel* icon_label = nullptr;
  QLabel* name_label = nullptr;
  QLabel* detail_label = nullptr;
  QLabel* license_label = nullptr;
  QPushButton* ok_btn = nullptr;

  void Setup(QWidget* overlay) {
    about_widget = new QWidget(overlay);
    about_widget->setObjectName(QStringLiteral("about_widget_"));
    about_widget->setAttribute(Qt::WA_StyledBackground);
    about_widget->setFixedSize(420, 320);
    auto* layout = new QVBoxLayout(about_widget);
    layout->setObjectName(QStringLiteral("about_layout_"));
    layout->setContentsMargins(24, 16, 16, 24);
    layout->setSpacing(0);

    auto* title_row = new QHBoxLayout();
    title_row->setObjectName(QStringLiteral("about_title_layout_"));
    title_row->setSpacing(0);
    title_label = new QLabel(about_widget);
    title_label->setObjectName(QStringLiteral("title_label_"));
    close_btn = new QPushButton(about_widget);
    close_btn->setObjectName(QStringLiteral("close_btn_"));
    close_btn->setFocusPolicy(Qt::NoFocus);
    title_row->addWidget(title_label);
    title_row->addStretch(1);
    title_row->addWidget(close_btn);
    layout->addLayout(title_row);
    layout->addSpacing(18);

    icon_label = new QLabel(about_widget);
    icon_label->setObjectName(QStringLiteral("icon_label_"));
    layout->addWidget(icon_label, 0, Qt::AlignHCenter);
    layout->addSpacing(10);
    name_label = new QLabel(about_widget);
    name_label->setObjectName(QStringLiteral("name_label_"));
    name_label->setAlignment(Qt::AlignCenter);
    layout->addWidget(name_label);
    layout->addSpacing(12);
    detail_label = new QLabel(about_widget);
    detail_label->setObjectName(QStringLiteral("detail_label_"));
    detail_label->setAlignment(Qt::AlignCenter);
    detail_label->setTextFormat(Qt::RichText);
    layout->addWidget(detail_label);
    layout->addSpacing(6);
    license_label = new QLabel(about_widget);
    license_label->setObjectName(QStringLiteral("license_label_"));
    license_label->setAlignment(Qt::AlignCenter);
    license_label->setTextFormat(Qt::RichText);
    license_label->setOpenExternalLinks(true);
    layout->addWidget(license_label);
    layout->addStretch(1);
    ok_btn = new QPushButton(about_widget);
    ok_btn->setObjectName(QStringLiteral("ok_btn_"));
    ok_btn->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(ok_btn, 0, Qt::AlignHCenter);

    title_label->setText(Tr("About Davuvu Veriv"));
    name_label->setText(Tr("Davuvu Veriv"));
    // The licences of the libraries the program is built with, as the system keeps them.
    license_label->setText(QStringLiteral("<a href=\"file:///usr/share/common-licenses\" "
                                          "style=\"color:#38A8FC; text-decoration:none;\">%1</a>")
                               .arg(Tr("Open-source licenses")));
    ok_btn->setText(Tr("OK"));
  }
};

About::About(QWidget* parent) : Overlay(parent), receiver_version_(Tr("Unknown")), form_(std::make_unique<Form>()) {
  form_->Setup(this);
  SetInner(form_->about_widget);
  ApplyPageStyleSheet(this, QStringLiteral("about.qss"));
  connect(form_->close_btn, &QPushButton::clicked, this, &About::hide);
  connect(form_->ok_btn, &QPushButton::clicked, this, &About::hide);
  RefreshDetail();
}

About::~About() = default;

void About::SetReceiverVersion(QString version) {
  receiver_version_ = std::move(version);
  LOG_INFO("Receiver version: {}", receiver_version_.toStdString());
  RefreshDetail();
}

QString About::DetailText() const { return form_->detail_label->text(); }

void About::RefreshDetail() {
  const QString lines = Tr("Compile at: ") + AppBuildTime() + QStringLiteral("<br/>") + Tr("Sender: ") +
                        QStringLiteral("%1 (%2)").arg(AppVersion(), AppCommitId()) + QStringLiteral("<br/>") +
                        Tr("Receiver: ") + receiver_version_.toHtmlEscaped();
  form_->detail_label->setText(
      QStringLiteral("<p style=\"font-size:%1px; color: #7D7E80; line-height: 100%;\">%2</p>")
          .arg(utils::DpiScaled(12))
          .arg(lines));
}
