#pragma once

#include <QFrame>

// An overlay drawn inside the main window's panel: a frame that always covers its
// parent (its own sheet dims it with #7F000000) and holds a white rounded inner widget
// in its middle. Created hidden; ShowOver shows and raises it. While it is on screen it
// takes the keyboard of its window: no key reaches the widgets it covers (the code
// entry would fill up behind it, and Enter would connect).
class Overlay : public QFrame {
  Q_OBJECT

 public:
  explicit Overlay(QWidget* parent);
  ~Overlay() override;

  void ShowOver();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  // Puts the inner widget into the middle of the overlay.
  void SetInner(QWidget* inner);
};
