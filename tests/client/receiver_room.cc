#include "tests/client/receiver_room.h"

#include <utility>

#include <gtest/gtest.h>

#include "crcp/config.h"
#include "platform/display/sim_virtual_display_driver.h"
#include "platform/screen/sim_desktop.h"

namespace client_test {

void ReceiverRoom::Open() {
  platform::screen::SimDesktop::ResetShared();
  platform::display::SimVirtualDisplayDriver::Shared()->SetScript({});
  crcp::Config::Instance().SetBindAddress("127.0.0.1");
  const uint16_t base = holder_.local_endpoint().port();
  crcp::Config::Instance().SetPorts(static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 20));
}

bool ReceiverRoom::Start(Offer offer, std::optional<nlohmann::json> info_answer) {
  receiver::SessionReceiver::Options options;
  options.uuid = "room-display";
  receiver = std::make_unique<receiver::SessionReceiver>(options);
  if (offer.video) {
    video = std::make_shared<receiver::VideoSide>();
    if (!video->Start()) return false;
    receiver->OfferService(receiver::VideoSide::Offer(video));
  }
  if (offer.audio) {
    audio = std::make_shared<receiver::AudioReceiver>();
    if (!audio->Start()) return false;
    receiver->OfferService({"audio_mirror.c", "audio_mirror.s", "", audio});
  }
  if (offer.device_info) {
    info = info_answer ? std::make_shared<receiver::DeviceInfoSide>(receiver.get(), std::move(*info_answer))
                       : std::make_shared<receiver::DeviceInfoSide>(receiver.get());
    receiver->OfferService(receiver::DeviceInfoSide::Offer(info));
  }
  if (offer.remote_input) {
    input = std::make_shared<receiver::RemoteInputSide>(receiver.get(), receiver::RemoteInputSide::Options{});
    receiver->OfferService(receiver::RemoteInputSide::Offer(input));
  }
  return receiver->Start();
}

void ReceiverRoom::Close() {
  if (receiver) receiver->Stop();
  if (video) {
    EXPECT_TRUE(video->Faults().empty()) << video->Faults().front();
    video->Stop();
  }
  if (audio) audio->Stop();
  if (input) {
    EXPECT_TRUE(input->Faults().empty()) << input->Faults().front();
  }
  if (info) {
    EXPECT_TRUE(info->Faults().empty()) << info->Faults().front();
  }
  crcp::Config::Instance().SetHeartBeatTimeout(2000);
  crcp::Config::Instance().SetBindAddress("");
  receiver.reset();
  video.reset();
  audio.reset();
  info.reset();
  input.reset();
}

}  // namespace client_test
