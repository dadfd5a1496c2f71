#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>

#include "crcp/i_service.h"
#include "platform/system/system_facts.h"
#include "services/device_info/device_info.h"

namespace crcp::info {

// The crcp service through which this computer and the receiver tell each other who
// they are. This computer's properties are gathered once, at construction, and offered
// as the init context of every session:
//   {"deviceName":"...","osName":"...","osVersion":"...","userName":"...","version":"..."}
// The receiver's offer arrives as its setup context and may be completed by later
// service messages (a property already known keeps its first value).
//
// The IService slots come from the session protocol's task thread, GetPeerProperties
// from the GUI thread; the per-session stores are guarded.
class DeviceInfoOffer : public crcp::IService {
 public:
  static constexpr const char* kServiceId = "device_info_offer";
  static constexpr const char* kVersion = "R.2.2.6.26";
  // What is kept of one peer's properties: far above the five members a receiver
  // offers, small enough that a peer sending new members without end costs little.
  static constexpr size_t kMaxPeerProperties = 64;
  static constexpr size_t kMaxPeerBytes = 16 * 1024;  // names and values together

  // Properties of this computer, from the selected platform back-end.
  DeviceInfoOffer();
  explicit DeviceInfoOffer(platform::system::ISystemFacts& facts);
  ~DeviceInfoOffer() override;
  DeviceInfoOffer(const DeviceInfoOffer&) = delete;
  DeviceInfoOffer& operator=(const DeviceInfoOffer&) = delete;

  std::string GetServiceId() override;
  std::string GetPeerServiceId() override;
  void HandleMsg(const std::string& session_id, const std::string& message) override;
  void SetMessageSender(crcp::MessageSender sender) override;
  // Registers the session (a known one keeps its store) and returns the offer.
  std::string InitConnection(const std::string& session_id,
                             const std::string& peer_address) override;
  // The peer's offer becomes the session's whole store; false for an unknown session.
  bool SetupConnection(const std::string& session_id, const std::string& context) override;
  void Disconnect(const std::string& session_id) override;
  void Shutdown() override;

  // The peer's properties; empty strings for what it did not offer or an unknown session.
  DeviceInfo GetPeerProperties(const std::string& session_id);

  // The string members of a JSON object. A member of another type is skipped (one log
  // line names them all) and the others are kept; text that is not JSON or not an
  // object gives nothing.
  static std::map<std::string, std::string> ParseJsonData(const std::string& text);

 private:
  class DeviceInfoOfferImpl;
  std::unique_ptr<DeviceInfoOfferImpl> impl_;
};

}  // namespace crcp::info
