// Measures what a long run on the simulated input devices keeps on the heap: taps (a
// touch down and up, as the demo receiver sends one a second) go through the touch
// device onto a simulated HID device, and mouse moves through the mouse device onto the
// recording mouse. The heap in use is read after a warm-up that fills the devices'
// records and again after many more taps; a flat run holds no more bytes per tap at the
// end than after the warm-up.
// Usage: sim_input_memory_bench [taps after the warm-up, default 200000]

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/input/bounded_record.h"
#include "platform/input/recording_mouse.h"
#include "platform/input/sim_hid_bus.h"
#include "platform/input/sim_window_system.h"
#include "services/remote_input/input_event.h"
#include "services/remote_input/mouse_device.h"
#include "services/remote_input/touch_device.h"

namespace {

using namespace crcp::ril;

size_t HeapInUse() { return mallinfo2().uordblks; }

InputEvent Ev(uint16_t type, uint16_t code, int32_t value) { return {1, 0, type, code, value}; }

struct Desk {
  Desk()
      : bus(std::make_shared<platform::input::SimHidBus>()),
        hid(std::make_shared<platform::input::SimHidDevice>(
            platform::input::HidDeviceInfo{"sim:0", 0x001F, 0xBA1C, 0xFF00, 0x01})),
        recording(std::make_shared<platform::input::RecordingMouse>()),
        touch(platform::input::kNullWindow, bus, std::make_shared<platform::input::SimWindowSystem>()),
        mouse(recording) {
    bus->AddDevice(hid);
    touch.Open();
    mouse.Open();
  }

  void Tap(int i) {
    const int32_t x = 100 + i % 1000, y = 200 + i % 500;
    touch.Process(Ev(ev::kAbs, ev::kAbsMtSlot, 0));
    touch.Process(Ev(ev::kAbs, ev::kAbsMtTrackingId, i & 0xFFFF));
    touch.Process(Ev(ev::kAbs, ev::kAbsMtPositionX, x));
    touch.Process(Ev(ev::kAbs, ev::kAbsMtPositionY, y));
    touch.Process(Ev(ev::kSyn, 0, 0));
    touch.Process(Ev(ev::kAbs, ev::kAbsMtTrackingId, -1));
    touch.Process(Ev(ev::kSyn, 0, 0));
    mouse.Process(Ev(ev::kRel, ev::kRelX, 1));
    mouse.Process(Ev(ev::kSyn, 0, 0));
  }

  std::shared_ptr<platform::input::SimHidBus> bus;
  std::shared_ptr<platform::input::SimHidDevice> hid;
  std::shared_ptr<platform::input::RecordingMouse> recording;
  TouchDevice touch;
  MouseDevice mouse;
};

}  // namespace

int main(int argc, char** argv) {
  const long taps = argc > 1 ? std::atol(argv[1]) : 200000;
  if (taps <= 0) {
    std::fprintf(stderr, "usage: %s [taps after the warm-up]\n", argv[0]);
    return 2;
  }
  const size_t before = HeapInUse();
  Desk desk;
  // Enough taps to fill both records, so what follows measures the steady state.
  const int warm_up = static_cast<int>(platform::input::BoundedRecord<int>::kKept) * 2;
  for (int i = 0; i < warm_up; ++i) desk.Tap(i);
  const size_t warm = HeapInUse();
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < taps; ++i) desk.Tap(warm_up + static_cast<int>(i % 1000000));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const size_t after = HeapInUse();

  const double warm_per_tap = static_cast<double>(warm - before) / warm_up;
  const double growth_per_tap = (static_cast<double>(after) - static_cast<double>(warm)) / static_cast<double>(taps);
  std::printf("taps: %d warm-up + %ld measured, %.0f taps/s (one core, nothing else on the devices)\n", warm_up,
              taps, static_cast<double>(taps) / seconds);
  std::printf("reports recorded: %zu (kept %zu), mouse calls: %zu (kept %zu)\n", desk.hid->ReportCount(),
              desk.hid->Reports().size(), desk.recording->CallCount(), desk.recording->Calls().size());
  std::printf("heap: %zu bytes after the warm-up (%.1f per warm-up tap), %zu after the run\n", warm - before,
              warm_per_tap, after - before);
  std::printf("growth after the warm-up: %.3f bytes per tap (%.4f of the warm-up's bytes per tap)\n",
              growth_per_tap, warm_per_tap > 0 ? growth_per_tap / warm_per_tap : 0.0);
  return 0;
}
