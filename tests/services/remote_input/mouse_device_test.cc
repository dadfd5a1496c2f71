#include "services/remote_input/mouse_device.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "platform/input/recording_mouse.h"

namespace crcp::ril {
namespace {

using Call = platform::input::RecordingMouse::Call;

InputEvent E(uint16_t type, uint16_t code, int32_t value) { return {1, 0, type, code, value}; }
const InputEvent kSyn = E(ev::kSyn, 0, 0);

TEST(MouseDevice, MappingTable) {
  struct Case {
    const char* name;
    std::vector<InputEvent> events;  // one frame, without its EV_SYN
    Call call;
    bool consumed = true;  // whether the frame's events are taken
  };
  const std::vector<Case> cases = {
      {"nothing", {}, {0, 0, 0, 0}},
      {"left down", {E(ev::kKey, ev::kBtnLeft, 1)}, {0x0002, 0, 0, 0}},
      {"left up", {E(ev::kKey, ev::kBtnLeft, 0)}, {0x0004, 0, 0, 0}},
      {"right down, up", {E(ev::kKey, ev::kBtnRight, 1), E(ev::kKey, ev::kBtnRight, 2)}, {0x0018, 0, 0, 0}},
      {"middle", {E(ev::kKey, ev::kBtnMiddle, 1), E(ev::kKey, ev::kBtnMiddle, 0)}, {0x0060, 0, 0, 0}},
      {"relative move", {E(ev::kRel, ev::kRelX, -3), E(ev::kRel, ev::kRelY, 7)}, {0x0001, -3, 7, 0}},
      {"later move overwrites", {E(ev::kRel, ev::kRelX, 1), E(ev::kRel, ev::kRelX, 9)}, {0x0001, 9, 0, 0}},
      {"wheel -1", {E(ev::kRel, ev::kRelWheel, -1)}, {0x0800, 0, 0, -120}},
      {"wheel saturates high", {E(ev::kRel, ev::kRelWheel, INT_MAX)}, {0x0800, 0, 0, INT_MAX}},
      {"wheel saturates low", {E(ev::kRel, ev::kRelWheel, INT_MIN)}, {0x0800, 0, 0, INT_MIN}},
      {"absolute", {E(ev::kAbsolutePointer, 0, 32768), E(ev::kAbsolutePointer, 1, 100)},
       {0x8001, 32768, 100, 0}},
      {"absolute unknown code keeps the absolute flag", {E(ev::kAbsolutePointer, 5, 1)}, {0x8000, 0, 0, 0}, false},
      {"absolute click", {E(ev::kAbsolutePointer, 0, 10), E(ev::kKey, ev::kBtnLeft, 1)}, {0x8003, 10, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto mouse = std::make_shared<platform::input::RecordingMouse>();
    MouseDevice device(mouse);
    ASSERT_TRUE(device.Open());
    for (const auto& e : c.events) EXPECT_EQ(device.Process(e), c.consumed);
    EXPECT_TRUE(device.Process(kSyn));
    // The pending state is cleared by the EV_SYN.
    EXPECT_TRUE(device.Process(kSyn));
    auto calls = mouse->Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], c.call);
    EXPECT_EQ(calls[1], (Call{0, 0, 0, 0}));
  }
}

TEST(MouseDevice, RefusesWhatIsNotMouseInput) {
  MouseDevice device(std::make_shared<platform::input::RecordingMouse>());
  EXPECT_EQ(device.GetType(), 1);
  for (const InputEvent& e : {E(ev::kKey, ev::kBtnTouch, 1), E(ev::kRel, 6, 1),
                              E(ev::kAbs, ev::kAbsMtSlot, 0), E(4, 0, 0)})
    EXPECT_FALSE(device.Process(e)) << e.type << "/" << e.code;
}

}  // namespace
}  // namespace crcp::ril
