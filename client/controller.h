#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QObject>
#include <QSize>
#include <QString>

#include "client/ui/mirror_type.h"
#include "services/device_info/device_info.h"

namespace crcp::ril {
class Simulator;
}

// The client's one owner of the session-protocol stack: builds the service set (video,
// audio, remote input, device info), owns the session-protocol client, connects to one
// receiver at a time and turns the worker-thread callbacks of the protocol and media
// layers into Qt signals. Every operation is called from the GUI thread; the signals
// reach the main window queued onto it.
class Controller : public QObject {
  Q_OBJECT

 public:
  explicit Controller(QSize screen_size);
  ~Controller() override;

  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  void Connect(const QString& pin_code, const std::string& ip, uint16_t port);
  void Cancel();
  void Disconnect();
  crcp::info::DeviceInfo GetPeerInfo();
  bool HasRemoteInput();
  void SetTimeout(int ms);

  void PlayVideo(MirrorType mode);
  bool TeardownVideo();
  void PlayAudio();
  void TeardownAudio();
  void StartRemoteInput();
  void StopRemoteInput();

 signals:
  void Connected(bool result);
  void Disconnected();
  void Error();
  void MirrorVideoToggled(bool toggle);
  void MirrorAudioToggled(bool toggle);
  void RemoteInputToggled(bool toggle);

 public slots:
  void OnToggleViceScreen(bool toggle);
  void OnToggleKeepRatio(bool toggle);
  void OnToggleCaptureMouse(bool toggle);
  void OnToggleEnhanceVideoQuality(bool toggle);
  void OnToggleEnableHardwareAcceleration(bool toggle);

 private:
  friend class ControllerTestAccess;
  // The same stack over a given input simulator (null: the desktop's devices), so
  // that tests can script which input devices are present.
  Controller(QSize screen_size, std::shared_ptr<crcp::ril::Simulator> simulator);

  // The services, the session-protocol client, the current session's controllers and
  // the listener objects live here, so that this header (the main window's view of
  // the controller) does not pull in the whole protocol and media stack.
  class Impl;
  std::unique_ptr<Impl> impl_;
};
