#include "services/remote_input/simulator.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace crcp::ril {
namespace {

// A device that takes the events of one type and writes what it saw into a shared log.
class FakeDevice : public IInputDevice {
 public:
  FakeDevice(int type, uint16_t takes, std::vector<std::string>* log, bool opens = true)
      : type_(type), takes_(takes), log_(log), opens_(opens) {}
  int GetType() override { return type_; }
  bool Open() override {
    log_->push_back("open " + std::to_string(type_));
    return opens_;
  }
  void Close() override {}
  bool Process(const InputEvent& e) override {
    log_->push_back(std::to_string(type_) + ":" + std::to_string(e.type));
    return e.type == takes_ || e.type == ev::kSyn;
  }

 private:
  int type_;
  uint16_t takes_;
  std::vector<std::string>* log_;
  bool opens_;
};

struct SimulatorFixture {
  explicit SimulatorFixture(bool touch_opens = true) {
    std::vector<std::unique_ptr<IInputDevice>> devices;
    devices.push_back(std::make_unique<FakeDevice>(0, ev::kAbs, &log, touch_opens));
    devices.push_back(nullptr);
    devices.push_back(std::make_unique<FakeDevice>(1, ev::kRel, &log));
    simulator = std::make_unique<Simulator>(1920, 1080, std::move(devices));
  }
  std::vector<std::string> log;
  std::unique_ptr<Simulator> simulator;
};

InputEvent E(uint16_t type) { return {1, 0, type, 0, 0}; }

TEST(Simulator, DeviceThatTookAnEventMovesToTheFront) {
  SimulatorFixture f;
  f.simulator->SetEnabled(true);
  // A mouse frame while the touch device is in front: the EV_REL is refused by the touch
  // device and taken by the mouse, so the EV_SYN goes to the mouse alone.
  EXPECT_TRUE(f.simulator->OnData({E(ev::kRel), E(ev::kSyn)}));
  EXPECT_EQ(f.log, (std::vector<std::string>{"0:2", "1:2", "1:0"}));
  EXPECT_EQ(f.simulator->DeviceOrder(), (std::vector<int>{1, 0, -1}));
  // An event nobody takes leaves the order as it is.
  f.log.clear();
  f.simulator->OnData({E(9)});
  EXPECT_EQ(f.log, (std::vector<std::string>{"1:9", "0:9"}));
  EXPECT_EQ(f.simulator->DeviceOrder(), (std::vector<int>{1, 0, -1}));
  // A touch event brings the touch device back to the front.
  f.simulator->OnData({E(ev::kAbs)});
  EXPECT_EQ(f.simulator->DeviceOrder(), (std::vector<int>{0, 1, -1}));
}

TEST(Simulator, DisabledInjectsAndReordersNothing) {
  SimulatorFixture f;
  EXPECT_FALSE(f.simulator->IsEnabled());
  EXPECT_TRUE(f.simulator->OnData({E(ev::kRel), E(ev::kSyn)}));
  EXPECT_TRUE(f.log.empty());
  f.simulator->SetEnabled(true);
  f.simulator->SetEnabled(false);
  f.simulator->OnData({E(ev::kRel)});
  EXPECT_TRUE(f.log.empty());
  EXPECT_EQ(f.simulator->DeviceOrder(), (std::vector<int>{0, -1, 1}));
}

TEST(Simulator, OpenStopsAtTheFirstFailure) {
  SimulatorFixture ok;
  EXPECT_TRUE(ok.simulator->Open());
  EXPECT_EQ(ok.log, (std::vector<std::string>{"open 0", "open 1"}));
  SimulatorFixture failing(false);
  EXPECT_FALSE(failing.simulator->Open());
  EXPECT_EQ(failing.log, (std::vector<std::string>{"open 0"}));
}

TEST(Simulator, DefaultDevicesOpenOnTheSimulatedPlatform) {
  // castora_test runs with CASTORA_PLATFORM=sim: the bus holds the recording touch device.
  Simulator simulator(1920, 1080);
  EXPECT_TRUE(simulator.Open());
  EXPECT_EQ(simulator.DeviceOrder(), (std::vector<int>{0, 1}));
  EXPECT_EQ(simulator.ScreenWidth(), 1920);
}

}  // namespace
}  // namespace crcp::ril
