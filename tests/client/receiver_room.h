#pragma once

#include <memory>
#include <optional>

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>
#include <nlohmann/json.hpp>

#include "tests/receiver/audio_receiver.h"
#include "tests/receiver/device_info_side.h"
#include "tests/receiver/remote_input_side.h"
#include "tests/receiver/session_receiver.h"
#include "tests/receiver/video_side.h"

namespace client_test {

// The services a room's receiver offers.
struct Offer {
  bool video = true;
  bool audio = true;
  bool device_info = true;
  bool remote_input = true;
};

// The reference receiver as the client's tests meet it on loopback: the session side
// ("room-display") with the video, audio, device-info and remote-input sides it
// offers. The client's session protocol binds to 127.0.0.1 and to ports of the room's
// own range, taken beside a held UDP port, so that test programs running at once do
// not meet; the simulated desktop and display driver start afresh.
class ReceiverRoom {
 public:
  // Before each test: the protocol's address and ports, the simulated devices.
  void Open();
  // False when a side or the receiver did not start. `info_answer`: the device-info
  // side's own offer (its launch answer; unset: the side's default).
  bool Start(Offer offer, std::optional<nlohmann::json> info_answer = std::nullopt);
  // After each test, once the client is gone: stops every side, expects that none of
  // them saw a fault, lets them go (a table's next row starts afresh) and gives the
  // protocol its defaults back (heart-beat time-out 2000 ms, any address).
  void Close();

  std::unique_ptr<receiver::SessionReceiver> receiver;
  std::shared_ptr<receiver::VideoSide> video;
  std::shared_ptr<receiver::AudioReceiver> audio;
  std::shared_ptr<receiver::DeviceInfoSide> info;
  std::shared_ptr<receiver::RemoteInputSide> input;

 private:
  asio::io_context io_;
  asio::ip::udp::socket holder_{io_, {asio::ip::make_address_v4("127.0.0.1"), 0}};
};

}  // namespace client_test
