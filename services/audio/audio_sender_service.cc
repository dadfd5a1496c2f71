#include "services/audio/audio_sender_service.h"

#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "utils/logger.h"

namespace crcp::audio {
namespace {
const char* const kLogTag = "MirrorAudio::AudioSenderService";
}  // namespace

AudioSenderService::AudioSenderService(std::shared_ptr<audiosource::IAudioSourceHandler> handler)
    : handler_(std::move(handler)) {}

AudioSenderService::~AudioSenderService() {
  handler_.reset();
  std::map<std::string, Entry> sessions;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions.swap(sessions_);
  }
}

std::string AudioSenderService::GetServiceId() { return "audio_mirror.c"; }
std::string AudioSenderService::GetPeerServiceId() { return "audio_mirror.s"; }
void AudioSenderService::HandleMsg(const std::string&, const std::string&) {}
void AudioSenderService::SetMessageSender(crcp::MessageSender) {}

std::string AudioSenderService::InitConnection(const std::string& session_id,
                                               const std::string& peer_address) {
  LOG_INFO("[audio][Init]");
  std::unique_ptr<AudioSenderSession> old;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& entry = sessions_[session_id];
    if (entry.session && entry.session->GetController()) {
      old = std::move(entry.waiting);
      entry.waiting_address = peer_address;
      entry.waiting = std::make_unique<AudioSenderSession>();
    } else {
      old = std::move(entry.session);
      entry.peer_address = peer_address;
      entry.session = std::make_unique<AudioSenderSession>();
      if (last_setup_ == session_id) last_setup_.clear();
    }
  }
  old.reset();  // outside the lock: its tear-down calls the listener
  try {
    return nlohmann::json{{"version", 1}}.dump();
  } catch (const std::exception&) {
    return std::string();
  }
}

bool AudioSenderService::SetupConnection(const std::string& session_id,
                                         const std::string& setting) {
  LOG_INFO("[audio][Setup]");
  // Destroyed outside the lock: its tear-down calls the listener.
  std::unique_ptr<AudioSenderSession> gone;
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = sessions_.find(session_id);
  if (it == sessions_.end() || (!it->second.waiting && !it->second.session)) {
    LOG_ERROR("sender is not exist");
    return false;
  }
  Entry& entry = it->second;
  // A waiting session replaces the set-up one only once set up itself.
  const bool waiting = entry.waiting != nullptr;
  std::unique_ptr<AudioSenderSession>& candidate = waiting ? entry.waiting : entry.session;
  auto info = CreateSetting(setting, waiting ? entry.waiting_address : entry.peer_address);
  if (!info) {
    if (waiting) gone = std::move(entry.waiting);
    return false;
  }
  candidate->SetSendCount(send_count_);
  if (!candidate->Init(info, handler_)) {
    LOG_ERROR("sender session init faile");
    if (waiting) gone = std::move(entry.waiting);
    return false;
  }
  candidate->SetListener(listener_);
  if (waiting) {
    gone = std::move(entry.session);
    entry.session = std::move(entry.waiting);
    entry.peer_address = std::move(entry.waiting_address);
  }
  last_setup_ = session_id;
  return true;
}

void AudioSenderService::Disconnect(const std::string& session_id) {
  LOG_INFO("[audio][Disconnect]");
  std::unique_ptr<AudioSenderSession> gone, waiting;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = sessions_.find(session_id);
    if (it != sessions_.end()) {
      gone = std::move(it->second.session);
      waiting = std::move(it->second.waiting);
      sessions_.erase(it);
      if (last_setup_ == session_id) last_setup_.clear();
    } else {
      LOG_WARN("no audio session {}", session_id);
    }
  }
  gone.reset();
  waiting.reset();
  LOG_INFO("[audio][Disconnected]");
}

void AudioSenderService::Shutdown() {
  LOG_INFO("[audio][Shutdown]");
  std::map<std::string, Entry> sessions;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions.swap(sessions_);
    last_setup_.clear();
  }
  sessions.clear();
  LOG_INFO("[audio][Shutdown][over]");
}

void AudioSenderService::SetListener(std::shared_ptr<ClientListener> listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  listener_ = std::move(listener);
  for (auto& [id, entry] : sessions_) {
    if (entry.session && entry.session->GetController()) entry.session->SetListener(listener_);
  }
}

std::shared_ptr<AudioSenderSession::IController> AudioSenderService::GetController() {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = sessions_.find(last_setup_);
  if (it == sessions_.end() || !it->second.session) return nullptr;
  return it->second.session->GetController();
}

std::shared_ptr<AudioSenderSession::IController> AudioSenderService::GetController(
    const std::string& session_id) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = sessions_.find(session_id);
  if (it == sessions_.end() || !it->second.session) return nullptr;
  return it->second.session->GetController();
}

}  // namespace crcp::audio
