#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QSize>
#include <QString>

#include "client/mirror_type.h"
#include "services/device_info/device_info.h"

// What the main window asks of the client's core and hears back from it. The window
// holds one and knows nothing else of the session protocol: the program gives it the
// Controller, the window's tests a fake that records the calls and lets the test
// emit the signals. Every operation is called on the GUI thread, and the signals are
// emitted there.
class IController : public QObject {
  Q_OBJECT

 public:
  ~IController() override;

  virtual void Connect(const QString& pin_code, const std::string& ip, uint16_t port) = 0;
  // Abandons the pending connect: its completion is not reported.
  virtual void Cancel() = 0;
  virtual void Disconnect() = 0;
  virtual crcp::info::DeviceInfo GetPeerInfo() = 0;
  // False when this computer has no input device to offer: the window hides touch.
  virtual bool HasRemoteInput() = 0;
  virtual void SetTimeout(int ms) = 0;

  virtual void PlayVideo(MirrorType mode) = 0;
  // True when a video session was playing and is told to stop.
  virtual bool TeardownVideo() = 0;
  virtual void PlayAudio() = 0;
  virtual void TeardownAudio() = 0;
  virtual void StartRemoteInput() = 0;
  virtual void StopRemoteInput() = 0;
  // While the desk's session is locked the receiver's own starts are refused: nobody
  // is there to have asked for a share.
  virtual void SetSessionLocked(bool locked) = 0;

 signals:
  void Connected(bool result);
  void Disconnected();
  void Error();
  void MirrorVideoToggled(bool toggle);

 public slots:
  virtual void OnToggleViceScreen(bool toggle) = 0;
  virtual void OnToggleKeepRatio(bool toggle) = 0;
  virtual void OnToggleCaptureMouse(bool toggle) = 0;
  virtual void OnToggleEnhanceVideoQuality(bool toggle) = 0;
  virtual void OnToggleEnableHardwareAcceleration(bool toggle) = 0;

 protected:
  IController() = default;
};

// Makes the window's controller for a desktop of `screen_size` (the input simulator's
// coordinate space).
using ControllerFactory = std::function<std::unique_ptr<IController>(QSize screen_size)>;
