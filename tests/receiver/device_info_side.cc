#include "tests/receiver/device_info_side.h"

#include <utility>

#include "tests/receiver/session_receiver.h"
#include "utils/logger.h"

namespace receiver {

namespace {
const char* const kLogTag = "RECEIVER::device_info";
constexpr const char* kServiceId = "device_info_offer";
const char* const kOfferMembers[] = {"deviceName", "osName", "osVersion", "userName", "version"};
}  // namespace

DeviceInfoSide::DeviceInfoSide(SessionReceiver* receiver, nlohmann::json answer)
    : receiver_(receiver), answer_(std::move(answer)) {}

OfferedService DeviceInfoSide::Offer(std::shared_ptr<DeviceInfoSide> side) {
  return {kServiceId, kServiceId, "{}", std::move(side)};
}

std::optional<std::string> DeviceInfoSide::OnLaunch(int connection,
                                                    const std::string& init_context) {
  const nlohmann::json offer = nlohmann::json::parse(init_context, nullptr, false);
  std::lock_guard<std::mutex> lock(mutex_);
  std::string fault;
  if (!offer.is_object()) {
    fault = "offer is not a JSON object";
  } else if (offer.size() != std::size(kOfferMembers)) {
    fault = "offer has " + std::to_string(offer.size()) + " members";
  } else {
    for (const char* member : kOfferMembers) {
      if (!offer.contains(member) || !offer[member].is_string()) {
        fault = std::string("offer lacks the string member ") + member;
        break;
      }
    }
  }
  // Compact, in name order: what a re-dump of the parsed object gives.
  if (fault.empty() && offer.dump() != init_context) fault = "offer is not compact sorted JSON";
  if (!fault.empty()) {
    LOG_WARN("[{}] {}: {}", connection, fault, init_context);
    faults_.push_back(fault + ": " + init_context);
  } else {
    LOG_INFO("[{}] client offer {}", connection, init_context);
  }
  offers_[connection] = init_context;
  last_launch_ = connection;
  cv_.notify_all();
  return answer_.dump();
}

void DeviceInfoSide::OnServiceMessage(int connection, const std::string& message) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.push_back("unexpected service message on " + std::to_string(connection) + ": " + message);
}

bool DeviceInfoSide::SendProperties(const nlohmann::json& properties, int connection) {
  return receiver_->SendServiceMessage(kServiceId, properties.dump(), connection);
}

std::optional<std::string> DeviceInfoSide::ClientOfferText(int connection) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = offers_.find(connection == 0 ? last_launch_ : connection);
  if (it == offers_.end()) return std::nullopt;
  return it->second;
}

std::optional<nlohmann::json> DeviceInfoSide::ClientOffer(int connection) const {
  auto text = ClientOfferText(connection);
  if (!text) return std::nullopt;
  return nlohmann::json::parse(*text, nullptr, false);
}

bool DeviceInfoSide::WaitForLaunch(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, timeout, [&] { return last_launch_ != 0; });
}

std::vector<std::string> DeviceInfoSide::Faults() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_;
}

}  // namespace receiver
