#include "client/controller.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>

#include <QUuid>

#include "client/controller_factory.h"
#include "client/thread_relay.h"
#include "crcp/crcp.h"
#include "crcp/listener.h"
#include "crcp/service_manager.h"
#include "services/audio/audio_sender_service.h"
#include "services/audio/audio_sender_session.h"
#include "services/audio/client_listener.h"
#include "services/audio/source/audio_source_handler.h"
#include "services/device_info/device_info_offer.h"
#include "services/remote_input/i_server_listener.h"
#include "services/remote_input/remote_input_server.h"
#include "services/remote_input/simulator.h"
#include "services/video/client_command_session.h"
#include "services/video/client_listener.h"
#include "services/video/mirror_sender_service.h"
#include "services/video/mirror_sender_session.h"
#include "services/video/source/mwf_screen_source.h"
#include "utils/log_limit.h"
#include "utils/logger.h"

namespace {
const char* const kLogTag = "CASTORA::controller";
}

using VideoController = crcp::video::MirrorSenderSession::IController;
using AudioController = crcp::audio::AudioSenderSession::IController;

class Controller::Impl {
 public:
  // A worker's way back to the Controller: the call runs on the GUI thread, with the
  // Controller, while it lives (see ThreadRelay). The listeners and the connect
  // completions hold a copy.
  class Link {
   public:
    Link(Controller* owner, std::shared_ptr<ThreadRelay> relay) : owner_(owner), relay_(std::move(relay)) {}
    void Post(std::function<void(Controller&)> call) const {
      relay_->Post([owner = owner_, call = std::move(call)] { call(*owner); });
    }

   private:
    Controller* owner_;  // dereferenced only on its own thread, before the relay detaches
    std::shared_ptr<ThreadRelay> relay_;
  };

  // What a connect completion works with, captured when the connect starts, so that
  // the completion touches no member of the Controller. The client outlives the
  // completion: it runs as a task of the client's, and the client's destruction joins
  // the task thread before it frees anything.
  struct ConnectContext {
    uint64_t attempt = 0;
    crcp::Crcp* crcp = nullptr;
    std::shared_ptr<crcp::video::MirrorSenderService> video_service;
    std::shared_ptr<crcp::audio::AudioSenderService> audio_service;
    Link link;
  };

  class CrcpListener : public crcp::Listener {
   public:
    explicit CrcpListener(Link link) : link_(std::move(link)) {}
    // The client never accepts sessions.
    void OnSessionAccepted(const std::string& session_id, const std::string& peer_address,
                           uint16_t peer_port) override {}
    void OnClosed(const std::string& session_id) override {
      LOG_INFO("[] Disconnected");
      link_.Post([session_id](Controller& c) { c.impl_->OnSessionClosed(session_id, false); });
    }
    void OnError(const std::string& session_id, int code) override {
      link_.Post([session_id](Controller& c) { c.impl_->OnSessionClosed(session_id, true); });
      LOG_ERROR("[{}] crcp error {}", session_id, code);
    }

   private:
    const Link link_;
  };

  // The receiver drives these as often as it likes: their lines are rate-limited.
  class VideoListener : public crcp::video::ClientListener {
   public:
    explicit VideoListener(Link link) : link_(std::move(link)) {}
    // The session the Controller shares over and its video controller (none: empty).
    // Whether an error stopped the stream is asked here, on the session's worker, in
    // order with the commands around it: asked later on the GUI thread, a receiver's
    // stop that came right behind a harmless error would pass for that error's doing.
    void Watch(const std::string& session_id, std::weak_ptr<VideoController> controller) {
      std::lock_guard<std::mutex> lock(mutex_);
      watched_id_ = session_id;
      watched_ = std::move(controller);
    }
    void OnError(const std::string& session_id, int code) override {
      LOG_ERROR_LIMITED("Video error {}, session id: {}", code, session_id);
      bool stopped = false;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (session_id == watched_id_) {
          if (auto controller = watched_.lock()) stopped = controller->IsStopped();
        }
      }
      link_.Post([session_id, code, stopped](Controller& c) {
        c.impl_->OnVideoError(session_id, code, stopped);
      });
    }
    void OnPlay(const std::string& session_id) override {
      LOG_INFO_LIMITED("Video started, session id: {}", session_id);
      link_.Post([session_id](Controller& c) {
        if (session_id == c.impl_->session_id_) {
          // Stopped meanwhile on this thread (a lock, the user's stop): the start this
          // reports is over, and the window must not show a share of it.
          if (c.impl_->video_controller_ && c.impl_->video_controller_->IsStopped()) {
            LOG_INFO("Video start of session {} already stopped, not reported", session_id);
            return;
          }
          c.impl_->sharing_ = true;
        }
        emit c.MirrorVideoToggled(true);
      });
    }
    void OnPause(const std::string& session_id) override {
      LOG_INFO_LIMITED("Video paused, session id: {}", session_id);
    }
    void OnTeardown(const std::string& session_id) override {
      LOG_INFO_LIMITED("Video teardown, session id: {}", session_id);
      link_.Post([session_id](Controller& c) {
        if (session_id == c.impl_->session_id_) c.impl_->sharing_ = false;
        emit c.MirrorVideoToggled(false);
      });
    }

   private:
    const Link link_;
    std::mutex mutex_;
    std::string watched_id_;
    std::weak_ptr<VideoController> watched_;
  };

  class AudioListener : public crcp::audio::ClientListener {
   public:
    explicit AudioListener(Link link) : link_(std::move(link)) {}
    void OnError(int code) override { LOG_ERROR_LIMITED("Audio error {}", code); }
    void OnPlay() override {
      link_.Post([](Controller& c) { emit c.MirrorAudioToggled(true); });
      LOG_INFO_LIMITED("Audio started");
    }
    void OnTeardown() override {
      link_.Post([](Controller& c) { emit c.MirrorAudioToggled(false); });
      LOG_INFO_LIMITED("Audio stopped");
    }

   private:
    const Link link_;
  };

  class InputListener : public crcp::ril::IServerListener {
   public:
    explicit InputListener(Link link) : link_(std::move(link)) {}
    void OnStart() override {
      LOG_INFO_LIMITED("Remote input started");
      link_.Post([](Controller& c) { emit c.RemoteInputToggled(true); });
    }
    void OnStop() override {
      LOG_INFO_LIMITED("Remote input stopped");
      link_.Post([](Controller& c) { emit c.RemoteInputToggled(false); });
    }
    void OnError(int code) override {
      LOG_ERROR_LIMITED("Error on remote input, error code: {}", code);
      link_.Post([](Controller& c) { emit c.RemoteInputToggled(false); });
    }

   private:
    const Link link_;
  };

  Impl(Controller* owner, QSize screen_size, std::shared_ptr<crcp::ril::Simulator> simulator);
  ~Impl();

  // Completion of a connect, on the session protocol's task thread.
  static void OnConnectDone(const ConnectContext& context, const std::string& session_id,
                            int error_code);
  // On the GUI thread: the completion's results.
  void OnConnectFailed(uint64_t attempt);
  void OnSessionReady(uint64_t attempt, const std::string& session_id,
                      std::shared_ptr<VideoController> video,
                      std::shared_ptr<AudioController> audio);
  void CloseIncompleteSession(uint64_t attempt, const std::string& session_id);
  // A session's close (`failed`: its failure), reported as Disconnected (then Error).
  void OnSessionClosed(const std::string& session_id, bool failed);
  // `stopped`: the error left the session's video stopped, as seen when it happened.
  void OnVideoError(const std::string& session_id, int code, bool stopped);
  // Drops the current session's controllers: from here on the forwarders do nothing.
  void DropControllers();

  Controller* const owner_;
  const std::shared_ptr<ThreadRelay> relay_;
  const Link link_;
  // Counts the Connect and Cancel calls: a completion that arrives for an older
  // attempt (abandoned by Cancel, or refused by a Connect while it was pending) is
  // not reported, and its session is closed.
  uint64_t attempt_ = 0;
  // The current attempt waits for its completion. Until it comes, a session that closes
  // is an older one: the window hears nothing of it, or it would leave the connecting
  // page and cancel the connect that is still on its way.
  bool connect_pending_ = false;
  // From a PlayVideo (or the receiver's own start) until the video is torn down: an
  // error that leaves the video stopped in that time has ended the share.
  bool sharing_ = false;
  // Set on the GUI thread, read by the video service's start check on the command
  // sessions' workers.
  const std::shared_ptr<std::atomic<bool>> session_locked_ = std::make_shared<std::atomic<bool>>(false);

  // The members below are used on the GUI thread only. Worker threads reach the
  // Controller through Link::Post alone (a connect completion through its
  // ConnectContext), and the services and the client only through their own
  // thread-safe operations.
  std::string session_id_;
  std::string ip_;
  std::unique_ptr<crcp::Crcp> crcp_;
  std::shared_ptr<crcp::ServiceManager> service_manager_;
  std::shared_ptr<crcp::video::MirrorSenderService> video_service_;
  std::shared_ptr<VideoListener> video_listener_;
  std::shared_ptr<VideoController> video_controller_;
  std::shared_ptr<crcp::video::MWFScreenSource> screen_source_;
  std::shared_ptr<crcp::audio::AudioSenderService> audio_service_;
  std::shared_ptr<AudioController> audio_controller_;
  std::shared_ptr<audiosource::AudioSourceHandler> audio_source_handler_;
  std::shared_ptr<crcp::ril::RemoteInputServer> remote_input_server_;
  std::shared_ptr<crcp::ril::Simulator> simulator_;
  std::shared_ptr<crcp::info::DeviceInfoOffer> device_info_;
};

Controller::Impl::Impl(Controller* owner, QSize screen_size,
                       std::shared_ptr<crcp::ril::Simulator> simulator)
    : owner_(owner), relay_(ThreadRelay::Create(owner)), link_(owner, relay_) {
  service_manager_ = std::make_shared<crcp::ServiceManager>();
  simulator_ = simulator ? std::move(simulator)
                         : std::make_shared<crcp::ril::Simulator>(
                               static_cast<uint16_t>(std::clamp(screen_size.width(), 0, 65535)),
                               static_cast<uint16_t>(std::clamp(screen_size.height(), 0, 65535)));

  screen_source_ = std::make_shared<crcp::video::MWFScreenSource>();
  video_service_ = std::make_shared<crcp::video::MirrorSenderService>(screen_source_);
  video_listener_ = std::make_shared<VideoListener>(link_);
  video_service_->SetListener(video_listener_);
  // The receiver's video start while the desk is locked is refused (-1500); its sound
  // and touch start only within a share the user started, so nothing starts at all.
  video_service_->SetStartCheck([locked = session_locked_](const std::string& session_id) {
    if (!locked->load()) return true;
    LOG_INFO_LIMITED("Receiver start of session {} refused: the session is locked", session_id);
    return false;
  });
  service_manager_->AddService(video_service_);

  auto handler = std::make_shared<audiosource::AudioSourceHandler>();
  handler->SetMuteLocalOutput(true);
  audio_source_handler_ = handler;
  audio_service_ = std::make_shared<crcp::audio::AudioSenderService>(audio_source_handler_);
  audio_service_->SetListener(std::make_shared<AudioListener>(link_));
  service_manager_->AddService(audio_service_);

  if (simulator_->Open()) {
    try {
      remote_input_server_ = std::make_shared<crcp::ril::RemoteInputServer>(simulator_);
      remote_input_server_->SetListener(std::make_shared<InputListener>(link_));
      service_manager_->AddService(remote_input_server_);
    } catch (const std::system_error& e) {
      // No data socket: the same as no device, remote input is not offered.
      LOG_ERROR("Fail to create remote input server: {}", e.what());
      remote_input_server_.reset();
    }
  } else {
    LOG_ERROR("Fail to open touch device");
  }

  device_info_ = std::make_shared<crcp::info::DeviceInfoOffer>();
  service_manager_->AddService(device_info_);

  const std::string client_id = QUuid::createUuid().toString().toStdString();
  crcp_ = std::make_unique<crcp::Crcp>(client_id, service_manager_);
  crcp_->SetListener(std::make_shared<CrcpListener>(link_));
}

Controller::Impl::~Impl() {
  // Worker callbacks from here on (the services report teardowns while they stop)
  // find no Controller.
  relay_->Detach();
  device_info_.reset();
  simulator_.reset();
  remote_input_server_.reset();
  audio_source_handler_.reset();
  audio_controller_.reset();
  audio_service_.reset();
  screen_source_.reset();
  video_controller_.reset();
  video_service_.reset();
  service_manager_.reset();
  // Stops the protocol's workers and closes the sessions; the registry, the last
  // holder of the services, goes with it.
  crcp_.reset();
}

void Controller::Impl::OnConnectDone(const ConnectContext& context,
                                     const std::string& session_id, int error_code) {
  const uint64_t attempt = context.attempt;
  if (error_code != 0) {
    LOG_ERROR("Fail to connect, error code: {}", error_code);
    context.link.Post([attempt](Controller& c) { c.impl_->OnConnectFailed(attempt); });
    return;
  }
  const std::list<std::string> services = context.crcp->GetAvailableServices(session_id);
  auto offered = [&services](const std::string& id) {
    return std::find(services.begin(), services.end(), id) != services.end();
  };
  if (!offered(context.video_service->GetServiceId())) {
    context.link.Post([attempt, session_id](Controller& c) {
      c.impl_->CloseIncompleteSession(attempt, session_id);
    });
    LOG_INFO("Unable to get video service");
    return;
  }
  std::shared_ptr<VideoController> video = context.video_service->GetController(session_id);
  if (!offered(context.audio_service->GetServiceId())) {
    context.link.Post([attempt, session_id](Controller& c) {
      c.impl_->CloseIncompleteSession(attempt, session_id);
    });
    LOG_INFO("Unable to get audio service");
    return;
  }
  // Keyed by the session: the audio service's "last set up" controller could belong
  // to another session set up in between.
  std::shared_ptr<AudioController> audio = context.audio_service->GetController(session_id);
  // Stored, and reported, on the GUI thread, which alone reads them.
  context.link.Post([attempt, session_id, video, audio](Controller& c) {
    c.impl_->OnSessionReady(attempt, session_id, video, audio);
  });
}

void Controller::Impl::OnConnectFailed(uint64_t attempt) {
  if (attempt != attempt_) {
    LOG_INFO("Result of an abandoned connect ignored");
    return;
  }
  connect_pending_ = false;
  emit owner_->Connected(false);
}

void Controller::Impl::OnSessionReady(uint64_t attempt, const std::string& session_id,
                                      std::shared_ptr<VideoController> video,
                                      std::shared_ptr<AudioController> audio) {
  if (attempt != attempt_) {
    // Nobody waits for this session any more (cancelled, or a newer Connect was
    // refused meanwhile and reported as failed): it must not stay open unseen.
    LOG_INFO("Session {} of an abandoned connect is closed", session_id);
    crcp_->CloseSession(session_id);
    return;
  }
  connect_pending_ = false;
  session_id_ = session_id;
  video_controller_ = std::move(video);
  audio_controller_ = std::move(audio);
  video_listener_->Watch(session_id_, video_controller_);
  emit owner_->Connected(true);
}

void Controller::Impl::CloseIncompleteSession(uint64_t attempt, const std::string& session_id) {
  // As Disconnect, but for the session that the completion named: the stored id is
  // the previous session's (or empty), and the new session must not stay up with its
  // heart beat running. Its close comes back as Disconnected, which ends the connect
  // for the window; the close of an abandoned attempt's session is not reported.
  if (attempt == attempt_) {
    connect_pending_ = false;
    DropControllers();
  }
  crcp_->CloseSession(session_id);
}

void Controller::Impl::DropControllers() {
  video_listener_->Watch({}, {});
  video_controller_.reset();
  audio_controller_.reset();
  sharing_ = false;
}

void Controller::Impl::OnSessionClosed(const std::string& session_id, bool failed) {
  if (connect_pending_) {
    LOG_INFO("Session {} closed while a newer connect is pending, not reported", session_id);
    return;
  }
  // A failed or closed session's controllers only do nothing any more; drop them so
  // the forwarders see "not connected" from the first Disconnected on (a failure's,
  // which comes before the close's). A close of another (older) session leaves the
  // current one's alone.
  if (session_id == session_id_) DropControllers();
  emit owner_->Disconnected();
  if (failed) emit owner_->Error();
}

void Controller::Impl::OnVideoError(const std::string& session_id, int code, bool stopped) {
  // Another session's (closed meanwhile), or one that has not been reported connected.
  if (session_id != session_id_ || !video_controller_) return;
  if (code == crcp::video::kResultLinkLost || code == crcp::video::kResultDataWriteFailed) {
    // The session's command or data connection is gone, and the video service never
    // makes it again: no share can go over this session any more. The session ends
    // with the notice; its close comes back as Disconnected, and closing it stops the
    // audio and remote input services of the session.
    LOG_ERROR("Video of session {} cannot go on (error {}), closing the session", session_id, code);
    DropControllers();
    emit owner_->Error();
    crcp_->CloseSession(session_id);
    return;
  }
  // The receiver refused a start or answered it with nonsense: the command link still
  // works, so the session stays for a new share. Errors that leave the stream running
  // (a malformed resolution change) end nothing.
  if (!sharing_ || !stopped) return;
  LOG_ERROR("Video of session {} stopped by error {}, the share ends", session_id, code);
  sharing_ = false;
  emit owner_->Error();
  // As a teardown: the window ends the share, its audio and remote input with it.
  emit owner_->MirrorVideoToggled(false);
}

std::unique_ptr<IController> MakeController(QSize screen_size) {
  return std::make_unique<Controller>(screen_size);
}

Controller::Controller(QSize screen_size) : Controller(screen_size, nullptr) {}

Controller::Controller(QSize screen_size, std::shared_ptr<crcp::ril::Simulator> simulator)
    : impl_(std::make_unique<Impl>(this, screen_size, std::move(simulator))) {}

Controller::~Controller() { impl_.reset(); }

void Controller::Connect(const QString& pin_code, const std::string& ip, uint16_t port) {
  impl_->ip_ = ip;
  const uint64_t attempt = ++impl_->attempt_;
  impl_->crcp_->SetAuthKey(pin_code.toStdString());
  Impl::ConnectContext context{attempt, impl_->crcp_.get(), impl_->video_service_,
                               impl_->audio_service_, impl_->link_};
  const bool started = impl_->crcp_->Connect(
      ip, port, [context](const std::string& session_id, int error_code) {
        Impl::OnConnectDone(context, session_id, error_code);
      });
  impl_->connect_pending_ = started;
  if (!started) {
    // The previous connect is still pending: this one gets no completion. Report the
    // refusal (queued, like every result), and let the pending one, now outdated,
    // close its session when it completes.
    LOG_ERROR("Fail to connect, a connect is still pending");
    impl_->link_.Post([attempt](Controller& c) { c.impl_->OnConnectFailed(attempt); });
  }
}

void Controller::Cancel() {
  ++impl_->attempt_;
  impl_->connect_pending_ = false;
  impl_->crcp_->Cancel();
}

void Controller::Disconnect() {
  impl_->DropControllers();
  impl_->crcp_->CloseSession(impl_->session_id_);
}

crcp::info::DeviceInfo Controller::GetPeerInfo() {
  return impl_->device_info_->GetPeerProperties(impl_->session_id_);
}

bool Controller::HasRemoteInput() { return impl_->remote_input_server_ != nullptr; }

void Controller::SetTimeout(int ms) { impl_->crcp_->SetHeartBeatTimeout(ms); }

void Controller::PlayVideo(MirrorType mode) {
  if (!impl_->video_controller_) return;
  impl_->sharing_ = true;
  impl_->video_controller_->Play(static_cast<uint16_t>(mode));
}

bool Controller::TeardownVideo() {
  if (!impl_->video_controller_) return false;
  impl_->sharing_ = false;
  return impl_->video_controller_->Teardown();
}

void Controller::PlayAudio() {
  if (impl_->audio_controller_) impl_->audio_controller_->Play(0);
}

void Controller::TeardownAudio() {
  if (impl_->audio_controller_) impl_->audio_controller_->Teardown();
}

void Controller::StartRemoteInput() {
  if (impl_->remote_input_server_) impl_->remote_input_server_->StartSessions();
}

void Controller::StopRemoteInput() {
  if (impl_->remote_input_server_) impl_->remote_input_server_->StopSessions();
}

void Controller::SetSessionLocked(bool locked) {
  LOG_INFO("Session {}", locked ? "locked" : "unlocked");
  impl_->session_locked_->store(locked);
}

void Controller::OnToggleViceScreen(bool toggle) {
  if (impl_->video_controller_) impl_->video_controller_->ChooseScreenNum(toggle);
}

void Controller::OnToggleKeepRatio(bool toggle) {
  if (impl_->video_controller_) impl_->video_controller_->KeepAspectRatio(toggle);
}

void Controller::OnToggleCaptureMouse(bool toggle) {
  if (impl_->video_controller_) impl_->video_controller_->SetCaptureCursor(toggle);
}

void Controller::OnToggleEnhanceVideoQuality(bool toggle) {
  if (impl_->video_controller_) impl_->video_controller_->EnableHDMode(toggle);
}

void Controller::OnToggleEnableHardwareAcceleration(bool toggle) {
  if (impl_->video_controller_) impl_->video_controller_->EnableHWAccel(toggle);
}
