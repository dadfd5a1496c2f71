// Feeds arbitrary bytes as one input-event datagram: the header and event decoding,
// then the decoded events through the simulator into a touch device (on a simulated
// HID bus) and a mouse (recording), as the remote-input data port would.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/input/recording_mouse.h"
#include "platform/input/sim_hid_bus.h"
#include "platform/input/sim_window_system.h"
#include "services/remote_input/input_event_codec.h"
#include "services/remote_input/mouse_device.h"
#include "services/remote_input/simulator.h"
#include "services/remote_input/touch_device.h"
#include "utils/logger.h"

// The decoders log every rejected input; the fuzzer would only fill log files.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zorvax::utils::logger::GetLogger("ZORVAX")->set_level(spdlog::level::off);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  crcp::ril::InputPacketHeader header;
  if (crcp::ril::DeserializeHeader(data, size, header)) (void)crcp::ril::IsLegal(header);

  std::vector<crcp::ril::InputEvent> events;
  if (!crcp::ril::Deserialize(data, size, events)) return 0;
  // Whatever decodes encodes back to the bytes it came from (a payload size that is
  // not a multiple of 16 aside: its rest is ignored).
  const auto bytes = crcp::ril::Serialize(events, data[0]);
  if (bytes.size() > size || std::memcmp(bytes.data() + crcp::ril::kInputHeaderSize,
                                         data + crcp::ril::kInputHeaderSize,
                                         bytes.size() - crcp::ril::kInputHeaderSize) != 0)
    std::abort();

  auto bus = std::make_shared<platform::input::SimHidBus>();
  bus->AddDevice(std::make_shared<platform::input::SimHidDevice>(
      platform::input::HidDeviceInfo{"sim:0", 0x001F, 0xBA1C, 0xFF00, 0x01}));
  std::vector<std::unique_ptr<crcp::ril::IInputDevice>> devices;
  devices.push_back(std::make_unique<crcp::ril::TouchDevice>(
      platform::input::kNullWindow, bus, std::make_shared<platform::input::SimWindowSystem>()));
  devices.push_back(std::make_unique<crcp::ril::MouseDevice>(
      std::make_shared<platform::input::RecordingMouse>()));
  crcp::ril::Simulator simulator(1920, 1080, std::move(devices));
  if (!simulator.Open()) std::abort();
  simulator.SetEnabled(true);
  simulator.OnData(events);
  return 0;
}
