#include "services/device_info/device_info_offer.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include <nlohmann/json.hpp>

#include "services/device_info/local_device_info.h"
#include "utils/bounded_json.h"
#include "utils/log_limit.h"
#include "utils/logger.h"

namespace crcp::info {

namespace {
const char* const kLogTag = "device_info_offer";

using Properties = std::unordered_map<std::string, std::string>;

// One peer's properties. The peer may send as many messages with as many new members
// as it likes, so what is kept is bounded in members and in bytes (names and values).
struct PeerStore {
  Properties members;
  size_t bytes = 0;
  uint64_t refused = 0;
};

std::string Member(const PeerStore& store, const char* name) {
  auto it = store.members.find(name);
  return it == store.members.end() ? std::string() : it->second;
}

// Adds the properties whose names are not known yet; a known one keeps its value.
// What does not fit any more is refused and counted.
void AddBounded(const std::string& session_id, PeerStore& store,
                const std::map<std::string, std::string>& properties) {
  uint64_t refused = 0;
  for (const auto& property : properties) {
    LOG_DEBUG_LIMITED("Property ({}, {})", ::zorvax::utils::logger::Excerpt(property.first),
                      ::zorvax::utils::logger::Excerpt(property.second));
    if (store.members.count(property.first) != 0) continue;
    const size_t size = property.first.size() + property.second.size();
    if (store.members.size() >= DeviceInfoOffer::kMaxPeerProperties ||
        size > DeviceInfoOffer::kMaxPeerBytes - store.bytes) {
      ++refused;
      continue;
    }
    store.members.insert(property);
    store.bytes += size;
  }
  if (refused != 0) {
    store.refused += refused;
    LOG_WARN_LIMITED(
        "Refuse {} properties of session {}, its store is full ({} members, {} "
        "bytes), {} refused so far",
        refused, session_id, store.members.size(), store.bytes, store.refused);
  }
}
}  // namespace

class DeviceInfoOffer::DeviceInfoOfferImpl {
 public:
  explicit DeviceInfoOfferImpl(platform::system::ISystemFacts& facts) {
    const DeviceInfo local = GetLocalDeviceInfo(facts);
    local_["osName"] = local.os_name;
    local_["osVersion"] = local.os_version;
    local_["deviceName"] = local.device_name;
    local_["userName"] = local.user_name;
    // The receiver shows this as the client's version of the service.
    local_["version"] = kVersion;
    LOG_INFO("current version of device info is {}", kVersion);
  }

  void HandleMsg(const std::string& session_id, const std::string& message) {
    LOG_INFO_LIMITED("Receive message from {}", session_id);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (sessions_.count(session_id) == 0) return;
    }
    const auto properties = ParseJsonData(message);
    std::lock_guard<std::mutex> lock(mutex_);
    auto session = sessions_.find(session_id);
    if (session == sessions_.end()) return;  // disconnected meanwhile
    AddBounded(session_id, session->second, properties);
  }

  void SetMessageSender(crcp::MessageSender sender) {
    std::lock_guard<std::mutex> lock(mutex_);
    sender_ = std::move(sender);
  }

  std::string InitConnection(const std::string& session_id) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      sessions_.emplace(session_id, PeerStore());
    }
    try {
      nlohmann::json offer = nlohmann::json::object();
      for (const auto& property : local_) offer[property.first] = property.second;
      // A name that is not valid UTF-8 (a passwd comment in a legacy encoding) gets
      // replacement characters rather than costing the whole offer.
      return offer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    } catch (const std::exception& e) {
      LOG_ERROR("Json exception when InitConnection: {}", e.what());
      return {};
    }
  }

  bool SetupConnection(const std::string& session_id, const std::string& context) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (sessions_.count(session_id) == 0) {
        LOG_ERROR("No session [{}] found when SetupConnection", session_id);
        return false;
      }
    }
    const auto parsed = ParseJsonData(context);
    std::lock_guard<std::mutex> lock(mutex_);
    auto session = sessions_.find(session_id);
    if (session == sessions_.end()) return false;
    session->second = PeerStore();
    AddBounded(session_id, session->second, parsed);
    return true;
  }

  void Disconnect(const std::string& session_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.erase(session_id);
  }

  void Shutdown() {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.clear();
  }

  DeviceInfo GetPeerProperties(const std::string& session_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    DeviceInfo info;
    auto session = sessions_.find(session_id);
    if (session == sessions_.end()) return info;
    info.os_name = Member(session->second, "osName");
    info.os_version = Member(session->second, "osVersion");
    info.device_name = Member(session->second, "deviceName");
    info.user_name = Member(session->second, "userName");
    info.version = Member(session->second, "version");
    return info;
  }

 private:
  std::map<std::string, std::string> local_;  // filled once; read-only afterwards
  std::mutex mutex_;                          // guards sessions_ and sender_
  std::unordered_map<std::string, PeerStore> sessions_;
  crcp::MessageSender sender_;  // kept; this service sends nothing of its own
};

DeviceInfoOffer::DeviceInfoOffer() {
  auto facts = platform::system::CreateSystemFacts();
  impl_ = std::make_unique<DeviceInfoOfferImpl>(*facts);
}

DeviceInfoOffer::DeviceInfoOffer(platform::system::ISystemFacts& facts)
    : impl_(std::make_unique<DeviceInfoOfferImpl>(facts)) {}

DeviceInfoOffer::~DeviceInfoOffer() = default;

std::string DeviceInfoOffer::GetServiceId() { return kServiceId; }
std::string DeviceInfoOffer::GetPeerServiceId() { return kServiceId; }

void DeviceInfoOffer::HandleMsg(const std::string& session_id, const std::string& message) {
  impl_->HandleMsg(session_id, message);
}

void DeviceInfoOffer::SetMessageSender(crcp::MessageSender sender) {
  impl_->SetMessageSender(std::move(sender));
}

std::string DeviceInfoOffer::InitConnection(const std::string& session_id, const std::string&) {
  return impl_->InitConnection(session_id);
}

bool DeviceInfoOffer::SetupConnection(const std::string& session_id, const std::string& context) {
  return impl_->SetupConnection(session_id, context);
}

void DeviceInfoOffer::Disconnect(const std::string& session_id) { impl_->Disconnect(session_id); }
void DeviceInfoOffer::Shutdown() { impl_->Shutdown(); }

DeviceInfo DeviceInfoOffer::GetPeerProperties(const std::string& session_id) {
  return impl_->GetPeerProperties(session_id);
}

std::map<std::string, std::string> DeviceInfoOffer::ParseJsonData(const std::string& text) {
  std::map<std::string, std::string> properties;
  try {
    const nlohmann::json data = zorvax::utils::ParseBoundedJson(text);
    if (!data.is_object()) throw std::invalid_argument("not a JSON object");
    // Each member stands on its own: a newer receiver may add members of other types
    // (a seat count, a flag), and those must not cost the names that follow them.
    std::string skipped;
    for (auto it = data.begin(); it != data.end(); ++it) {
      if (it.value().is_string()) {
        properties[it.key()] = it.value().get<std::string>();
      } else {
        skipped += (skipped.empty() ? "" : ", ") + it.key();
      }
    }
    if (!skipped.empty()) {
      LOG_WARN_LIMITED("Skip peer properties that are not strings: {}",
                       ::zorvax::utils::logger::Excerpt(skipped));
    }
  } catch (const std::exception& e) {
    // A parse error quotes the token it stopped at, which may be most of the text.
    LOG_ERROR_LIMITED("Exception when parse json, {}", ::zorvax::utils::logger::Excerpt(e.what()));
  }
  return properties;
}

}  // namespace crcp::info
