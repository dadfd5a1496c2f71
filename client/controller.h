#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QObject>
#include <QSize>
#include <QString>

#include "client/i_controller.h"
#include "client/mirror_type.h"
#include "services/device_info/device_info.h"

namespace crcp::ril {
class Simulator;
}

// The client's one owner of the session-protocol stack: builds the service set (video,
// audio, remote input, device info), owns the session-protocol client, connects to one
// receiver at a time and turns the worker-thread callbacks of the protocol and media
// layers into Qt signals. Every operation is called from the GUI thread; the signals
// reach the main window queued onto it.
class Controller : public IController {
  Q_OBJECT

 public:
  explicit Controller(QSize screen_size);
  ~Controller() override;

  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  void Connect(const QString& pin_code, const std::string& ip, uint16_t port) override;
  void Cancel() override;
  void Disconnect() override;
  crcp::info::DeviceInfo GetPeerInfo() override;
  bool HasRemoteInput() override;
  void SetTimeout(int ms) override;

  void PlayVideo(MirrorType mode) override;
  bool TeardownVideo() override;
  void PlayAudio() override;
  void TeardownAudio() override;
  void StartRemoteInput() override;
  void StopRemoteInput() override;
  void SetSessionLocked(bool locked) override;

 signals:
  // Besides IController's Connected, Disconnected, Error and MirrorVideoToggled:
  void MirrorAudioToggled(bool toggle);
  void RemoteInputToggled(bool toggle);

 public slots:
  void OnToggleViceScreen(bool toggle) override;
  void OnToggleKeepRatio(bool toggle) override;
  void OnToggleCaptureMouse(bool toggle) override;
  void OnToggleEnhanceVideoQuality(bool toggle) override;
  void OnToggleEnableHardwareAcceleration(bool toggle) override;

 private:
  friend class ControllerTestAccess;
  // The same stack over a given input simulator (null: the desktop's devices), so
  // that tests can script which input devices are present.
  Controller(QSize screen_size, std::shared_ptr<crcp::ril::Simulator> simulator);

  // The services, the session-protocol client, the current session's controllers and
  // the listener objects live here, so that this header does not pull in the whole
  // protocol and media stack.
  class Impl;
  std::unique_ptr<Impl> impl_;
};
