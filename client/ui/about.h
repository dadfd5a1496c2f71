#pragma once

#include <memory>

#include <QString>

#include "client/ui/overlay.h"

// The About overlay: product name, build and version lines, the receiver's version
// once a receiver was connected, and a link to the licences.
// Object names: "about_widget_", "title_label_", "close_btn_", "icon_label_",
// "name_label_", "detail_label_", "license_label_", "ok_btn_". Context "About".
class About : public Overlay {
  Q_OBJECT

 public:
  explicit About(QWidget* parent);
  ~About() override;

  // The receiver's version for the detail text ("Unknown" until set).
  void SetReceiverVersion(QString version);
  QString DetailText() const;

 private:
  void RefreshDetail();

  struct Form;
  QString receiver_version_;
  std::unique_ptr<Form> form_;
};
