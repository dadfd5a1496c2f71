#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/receiver/service_handler.h"

namespace receiver {

class SessionReceiver;

// The receiver's side of device info. Both sides call the service "device_info_offer".
// The client's init context is its offer, a compact JSON object of exactly the string
// members "deviceName", "osName", "osVersion", "userName" and "version"; this side checks
// it, answers with its own offer as the launch answer, and may send further properties
// later as service messages (a JSON object of string members).
class DeviceInfoSide : public ServiceHandler {
 public:
  explicit DeviceInfoSide(SessionReceiver* receiver,
                          nlohmann::json answer = {{"deviceName", "Room 1"},
                                                   {"osName", "Android"},
                                                   {"osVersion", "11"},
                                                   {"version", "R.2.2.6.26"}});

  static OfferedService Offer(std::shared_ptr<DeviceInfoSide> side);

  std::optional<std::string> OnLaunch(int connection, const std::string& init_context) override;
  void OnServiceMessage(int connection, const std::string& message) override;

  // Properties sent after the launch (connection 0: the newest).
  bool SendProperties(const nlohmann::json& properties, int connection = 0);

  // The client's offer as received on `connection` (0: the newest launch).
  std::optional<nlohmann::json> ClientOffer(int connection = 0) const;
  std::optional<std::string> ClientOfferText(int connection = 0) const;
  bool WaitForLaunch(std::chrono::milliseconds timeout);
  // Faults of the client's offer, and any service message the client sent (it sends none).
  std::vector<std::string> Faults() const;

 private:
  SessionReceiver* const receiver_;
  const nlohmann::json answer_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::map<int, std::string> offers_;
  int last_launch_ = 0;
  std::vector<std::string> faults_;
};

}  // namespace receiver
