// A real datagram on loopback through the receiver and the simulator to the recording
// touch device, and one from a stranger that never gets there.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>

#include "platform/input/recording_mouse.h"
#include "platform/input/sim_hid_bus.h"
#include "platform/input/sim_window_system.h"
#include "services/remote_input/input_data_receiver.h"
#include "services/remote_input/input_event_codec.h"
#include "services/remote_input/mouse_device.h"
#include "services/remote_input/simulator.h"
#include "services/remote_input/touch_device.h"

namespace crcp::ril {
namespace {

using asio::ip::udp;
using platform::input::HidDeviceInfo;

void SendFrom(const char* from, uint16_t to_port, const std::vector<uint8_t>& bytes) {
  asio::io_context io;
  udp::socket socket(io, udp::endpoint(asio::ip::make_address_v4(from), 0));
  socket.send_to(asio::buffer(bytes), udp::endpoint(asio::ip::make_address_v4("127.0.0.1"), to_port));
}

TEST(RemoteInputLoopback, TouchDatagramBecomesTheExactReport) {
  auto bus = std::make_shared<platform::input::SimHidBus>();
  auto hid = std::make_shared<platform::input::SimHidDevice>(
      HidDeviceInfo{"sim:touch", 0x001F, 0xBA1C, 0xFF00, 0x01});
  bus->AddDevice(hid);
  auto mouse = std::make_shared<platform::input::RecordingMouse>();
  std::vector<std::unique_ptr<IInputDevice>> devices;
  devices.push_back(std::make_unique<TouchDevice>(
      platform::input::kNullWindow, bus, std::make_shared<platform::input::SimWindowSystem>()));
  devices.push_back(std::make_unique<MouseDevice>(mouse));
  auto simulator = std::make_shared<Simulator>(1920, 1080, std::move(devices));
  ASSERT_TRUE(simulator->Open());
  simulator->SetEnabled(true);

  InputDataReceiver receiver([simulator](const std::vector<InputEvent>& events) {
    simulator->OnData(events);
  }, "127.0.0.1");
  // A test range above an ephemeral port, not the fixed one.
  asio::io_context io;
  udp::socket holder(io, udp::endpoint(asio::ip::make_address_v4("127.0.0.1"), 0));
  const uint16_t base = holder.local_endpoint().port();
  ASSERT_TRUE(receiver.Listen(InputDataReceiver::MakePortRange(base, base + 30)));
  ASSERT_TRUE(receiver.AllowPeer("127.0.0.1"));

  const std::vector<InputEvent> stranger = {
      {9, 0, ev::kAbs, ev::kAbsMtSlot, 1}, {9, 0, ev::kSyn, 0, 0}};
  const std::vector<InputEvent> touch = {{10, 1, ev::kAbs, ev::kAbsMtSlot, 0},
                                         {10, 1, ev::kAbs, ev::kAbsMtTrackingId, 5},
                                         {10, 1, ev::kAbs, ev::kAbsMtPositionX, 1000},
                                         {10, 1, ev::kAbs, ev::kAbsMtPositionY, 600},
                                         {10, 1, ev::kSyn, 0, 0}};
  SendFrom("127.0.0.2", receiver.GetPort(), Serialize(stranger));
  SendFrom("127.0.0.1", receiver.GetPort(), Serialize(touch));
  ASSERT_TRUE(hid->WaitForReports(1, std::chrono::seconds(5)));
  // Mouse input after it proves the stranger's frame was not just late.
  SendFrom("127.0.0.1", receiver.GetPort(),
           Serialize({{11, 0, ev::kRel, ev::kRelX, 4}, {11, 0, ev::kSyn, 0, 0}}));
  ASSERT_TRUE(mouse->WaitForCalls(1, std::chrono::seconds(5)));
  receiver.Stop();

  std::vector<uint8_t> expected = {0x40, 0x16, 0x01,
                                   0x07, 0x00, 0xF4, 0x01, 0x2C, 0x01, 0x14, 0x00, 0x1E, 0x00,
                                   0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                   0x01};
  expected.resize(65, 0);
  EXPECT_EQ(hid->Reports(), std::vector<std::vector<uint8_t>>{expected});
  EXPECT_EQ(mouse->Calls().size(), 1u);
}

}  // namespace
}  // namespace crcp::ril
