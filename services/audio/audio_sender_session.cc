#include "services/audio/audio_sender_session.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <string>
#include <utility>

#include "services/audio/audio_sender.h"
#include "services/audio/client_command_session.h"
#include "services/audio/client_session_controller.h"
#include "utils/logger.h"

namespace crcp::audio {
namespace {
const char* const kLogTag = "MirrorAudio::AudioSenderSession";
}  // namespace

class AudioSenderSession::AudioSenderSessionImpl {
 public:
  ~AudioSenderSessionImpl() {
    LOG_INFO("~AudioSenderSessionImpl");
    controller_.reset();
    LOG_INFO("cmd session destory");
    command_session_.reset();
    LOG_INFO("audio sender destory");
    sender_.reset();
    LOG_INFO("source controller destory");
    source_.reset();
  }

  bool Init(const std::shared_ptr<SenderSettingInfo>& setting,
            const std::shared_ptr<audiosource::IAudioSourceHandler>& handler) {
    if (!handler) {
      LOG_ERROR("source create fail");
      return false;
    }
    if (!setting) return false;
    std::string codec;
    for (const auto& name : handler->GetCodecs()) {
      if (std::find(setting->codec.begin(), setting->codec.end(), name) != setting->codec.end()) {
        codec = name;
        break;
      }
    }
    if (codec.empty()) {
      LOG_ERROR("can not get encodec name");
      return false;
    }
    auto source = handler->CreateSource(codec);
    if (!source) {
      LOG_ERROR("source create fail");
      return false;
    }

    auto command_session = std::make_shared<ClientCommandSession>();
    LOG_INFO("audio connect to {}, {}", setting->address, setting->cmdPort);
    const int result = command_session->Connect(setting->address, setting->cmdPort);
    if (result != 0) {
      LOG_ERROR("audio command connect tcp fail");
      return false;
    }

    std::shared_ptr<AudioSender> sender;
    try {
      sender = std::make_shared<AudioSender>(source);
    } catch (const std::exception& e) {
      // The UDP socket could not be opened or bound (the configured bind address).
      LOG_ERROR("audio sender create fail: {}", e.what());
      return false;
    }
    sender->Connect(AudioEndpoint{setting->dataPort, setting->address});

    command_session->SetSender(sender);
    command_session->SetCodec(codec);
    command_session->SetAudioFormat(source->GetSampleRate(), source->GetChannelCount(),
                                    source->GetFrameCountPerPacket());
    command_session->SetSendCount(send_count_);
    sender->SetRepeatCount(send_count_);

    source_ = std::move(source);
    sender_ = std::move(sender);
    command_session_ = std::move(command_session);
    controller_ = std::make_shared<ClientSessionController>(command_session_);
    return true;
  }

  uint32_t send_count_ = 1;
  std::shared_ptr<IController> controller_;
  std::shared_ptr<ClientCommandSession> command_session_;
  std::shared_ptr<AudioSender> sender_;
  std::shared_ptr<audiosource::IAudioSource> source_;
};

AudioSenderSession::AudioSenderSession() : impl_(std::make_unique<AudioSenderSessionImpl>()) {}
AudioSenderSession::~AudioSenderSession() = default;

void AudioSenderSession::SetSendCount(uint32_t count) { impl_->send_count_ = count; }

bool AudioSenderSession::Init(const std::shared_ptr<SenderSettingInfo>& setting,
                              const std::shared_ptr<audiosource::IAudioSourceHandler>& handler) {
  return impl_->Init(setting, handler);
}

void AudioSenderSession::SetListener(std::shared_ptr<ClientListener> listener) {
  if (impl_->command_session_) impl_->command_session_->SetListener(std::move(listener));
}

std::shared_ptr<AudioSenderSession::IController> AudioSenderSession::GetController() const {
  return impl_->controller_;
}

}  // namespace crcp::audio
