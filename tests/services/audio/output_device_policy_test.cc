#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/audio/sim_audio_system.h"
#include "services/audio/source/raw_audio_capture_win.h"
#include "tests/services/audio/block_collector.h"

namespace audiosource {
namespace {

using namespace std::chrono_literals;
using platform::audio::SimAudioSystem;
using Calls = std::vector<std::string>;

// Hardware ids of the maker's USB devices (rows 1 and 3 of the list) and of others.
const char* const kUsbA = "usb#vid_2e5a&pid_0b57&mi_00#7&1a2b";
const char* const kUsbB = "usb#vid_2e5a&pid_0c29&mi_00#7&3c4d";
const char* const kHda = "pci#ven_8086&dev_a348#speaker";
const char* const kHdmi = "pci#ven_10de&dev_10f0#hdmi";

struct EndpointSpec {
  const char* id;
  const char* hardware;
};

struct PolicyCase {
  const char* name;
  std::vector<EndpointSpec> endpoints;
  const char* user_default;
  bool muted;
  bool mute_local_output;
  Calls on_construction;
  Calls on_start;
  Calls on_stop;
  const char* default_while_capturing;
  bool muted_while_capturing;
  const char* default_after;
  bool muted_after;
};

class OutputPolicyTest : public ::testing::TestWithParam<PolicyCase> {};

TEST_P(OutputPolicyTest, StartAndStopLeaveTheOutputAsTheUserHadIt) {
  const PolicyCase& c = GetParam();
  auto sim = std::make_shared<SimAudioSystem>();
  for (const EndpointSpec& e : c.endpoints) {
    sim->AddEndpoint(e.id, e.hardware);
    sim->UserSetDefault(e.id);
    sim->UserSetVolume(0.8f);
  }
  sim->UserSetDefault(c.user_default);
  sim->UserSetMute(c.muted);

  RawAudioCaptureWin capture(sim);
  capture.SetMuteLocalOutput(c.mute_local_output);
  capture.SetCallback([](const uint8_t*, unsigned) {});
  EXPECT_EQ(sim->Calls(), c.on_construction);
  sim->ClearCalls();

  capture.Start();
  ASSERT_TRUE(sim->WaitOpenAttempts(1, 10s));
  EXPECT_EQ(sim->Calls(), c.on_start);
  EXPECT_EQ(sim->DefaultId(), c.default_while_capturing);
  EXPECT_EQ(sim->MuteOf(c.default_while_capturing), c.muted_while_capturing);
  EXPECT_FLOAT_EQ(sim->VolumeOf(c.default_while_capturing), 0.8f);
  sim->ClearCalls();

  capture.Stop();
  EXPECT_EQ(sim->Calls(), c.on_stop);
  EXPECT_EQ(sim->DefaultId(), c.default_after);
  EXPECT_EQ(sim->MuteOf(c.default_after), c.muted_after);
  EXPECT_FLOAT_EQ(sim->VolumeOf(c.default_after), 0.8f);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, OutputPolicyTest,
    ::testing::Values(
        PolicyCase{"keep_muted_output_unmuted_at_start",
                   {{"speaker", kHda}}, "speaker", false, true,
                   {}, {"SetMute(1)"}, {"SetMute(0)", "SetMasterVolume(0.80)"},
                   "speaker", true, "speaker", false},
        PolicyCase{"keep_muted_output_already_muted",
                   {{"speaker", kHda}}, "speaker", true, true,
                   {}, {}, {"SetMasterVolume(0.80)"},
                   "speaker", true, "speaker", true},
        PolicyCase{"keep_muted_never_moves_the_default",
                   {{"speaker", kHda}, {"usb", kUsbA}}, "speaker", false, true,
                   {}, {"SetMute(1)"}, {"SetMute(0)", "SetMasterVolume(0.80)"},
                   "speaker", true, "speaker", false},
        PolicyCase{"listed_device_taken_and_given_back",
                   {{"speaker", kHda}, {"usb", kUsbA}}, "speaker", false, false,
                   {}, {"SetDefaultEndpoint(usb)", "SetMute(0)", "SetMasterVolume(0.80)"},
                   {"SetDefaultEndpoint(speaker)", "SetMute(0)"},
                   "usb", false, "speaker", false},
        PolicyCase{"listed_device_carries_the_mute_state",
                   {{"speaker", kHda}, {"usb", kUsbA}}, "speaker", true, false,
                   {}, {"SetDefaultEndpoint(usb)", "SetMute(1)", "SetMasterVolume(0.80)"},
                   {"SetDefaultEndpoint(speaker)", "SetMute(1)"},
                   "usb", true, "speaker", true},
        // Two listed devices: the second move must not make the first one the default
        // that comes back at stop.
        PolicyCase{"two_listed_devices_restore_the_users_default",
                   {{"speaker", kHda}, {"usb_a", kUsbA}, {"usb_b", kUsbB}}, "speaker", false, false,
                   {}, {"SetDefaultEndpoint(usb_a)", "SetDefaultEndpoint(usb_b)", "SetMute(0)",
                        "SetMasterVolume(0.80)"},
                   {"SetDefaultEndpoint(speaker)", "SetMute(0)"},
                   "usb_b", false, "speaker", false},
        PolicyCase{"nothing_listed_nothing_moved",
                   {{"speaker", kHda}, {"hdmi", kHdmi}}, "hdmi", false, false,
                   {}, {}, {},
                   "hdmi", false, "hdmi", false},
        // Made while a listed device is the default: every other endpoint is made the
        // default in turn, the last one stays.
        PolicyCase{"listed_default_is_replaced_when_made",
                   {{"usb", kUsbA}, {"speaker", kHda}, {"hdmi", kHdmi}}, "usb", false, false,
                   {"SetDefaultEndpoint(speaker)", "SetDefaultEndpoint(hdmi)"},
                   {"SetDefaultEndpoint(usb)", "SetMute(0)", "SetMasterVolume(0.80)"},
                   {"SetDefaultEndpoint(hdmi)", "SetMute(0)"},
                   "usb", false, "hdmi", false}),
    [](const ::testing::TestParamInfo<PolicyCase>& p) { return p.param.name; });

class OutputPolicyCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_ = std::make_shared<SimAudioSystem>();
    sim_->AddEndpoint("speaker", kHda);
  }
  void QueueBlock() { sim_->QueuePacket(std::vector<uint8_t>(1920 * 8, 0x3c), 1920); }
  // Everything queued so far has been read; returns how many blocks came out.
  size_t Drained() {
    EXPECT_TRUE(sim_->WaitQueueDrained(10s));
    return blocks_.Count();
  }

  BlockCollector blocks_;
  std::shared_ptr<SimAudioSystem> sim_;
};

// Kept muted while shared: a user unmute is undone at once and sound is still sent.
TEST_F(OutputPolicyCaptureTest, KeptMutedOutputIsMutedAgainAndSoundStillFlows) {
  RawAudioCaptureWin capture(sim_);
  capture.SetMuteLocalOutput(true);
  capture.SetCallback(blocks_.Callback());
  capture.Start();
  ASSERT_TRUE(sim_->WaitOpenAttempts(1, 10s));
  sim_->UserSetMute(false);
  EXPECT_TRUE(sim_->MuteOf("speaker"));
  QueueBlock();
  EXPECT_TRUE(blocks_.WaitFor(1));
  capture.Stop();
  EXPECT_FALSE(sim_->MuteOf("speaker"));
}

// Kept muted, but the user had muted it already: nothing is sent until the user
// touches the volume or mute control.
TEST_F(OutputPolicyCaptureTest, OutputMutedBeforeKeptMutedCaptureSendsNothingUntilTouched) {
  sim_->UserSetMute(true);
  RawAudioCaptureWin capture(sim_);
  capture.SetMuteLocalOutput(true);
  capture.SetCallback(blocks_.Callback());
  capture.Start();
  ASSERT_TRUE(sim_->WaitOpenAttempts(1, 10s));
  QueueBlock();
  EXPECT_EQ(Drained(), 0u);
  sim_->UserSetVolume(0.6f);
  QueueBlock();
  EXPECT_TRUE(blocks_.WaitFor(1));
  capture.Stop();
  EXPECT_TRUE(sim_->MuteOf("speaker"));
}

// Kept muted, an output muted since before the capture sends nothing; when the user
// picks another output that was not muted, that one is kept silent too and its sound
// is sent. After the stop each output has its own mute: the picked one sounds, the
// first stays muted.
TEST_F(OutputPolicyCaptureTest, KeptMutedCaptureMutesAnUnmutedOutputPickedMeanwhile) {
  sim_->AddEndpoint("hdmi", kHdmi);
  sim_->UserSetMute(true);
  RawAudioCaptureWin capture(sim_);
  capture.SetMuteLocalOutput(true);
  capture.SetCallback(blocks_.Callback());
  capture.Start();
  ASSERT_TRUE(sim_->WaitOpenAttempts(1, 10s));
  QueueBlock();
  EXPECT_EQ(Drained(), 0u);
  sim_->UserSetDefault("hdmi");
  ASSERT_TRUE(sim_->WaitOpenAttempts(2, 10s));
  EXPECT_TRUE(sim_->MuteOf("hdmi"));
  QueueBlock();
  EXPECT_TRUE(blocks_.WaitFor(1));
  capture.Stop();
  EXPECT_FALSE(sim_->MuteOf("hdmi"));
  EXPECT_TRUE(sim_->MuteOf("speaker"));
}

// Not kept muted: a muted output sends nothing, and sound returns with the unmute.
TEST_F(OutputPolicyCaptureTest, MutedOutputDropsPacketsUntilUnmuted) {
  sim_->UserSetMute(true);
  RawAudioCaptureWin capture(sim_);
  capture.SetCallback(blocks_.Callback());
  capture.Start();
  ASSERT_TRUE(sim_->WaitOpenAttempts(1, 10s));
  QueueBlock();
  EXPECT_EQ(Drained(), 0u);
  sim_->UserSetMute(false);
  QueueBlock();
  EXPECT_TRUE(blocks_.WaitFor(1));
  capture.Stop();
}

// A start that moved nothing restores nothing, even when an earlier start did move
// the default (its saved id is stale by now).
TEST_F(OutputPolicyCaptureTest, StartThatMovedNothingLeavesTheDefaultAlone) {
  sim_->AddEndpoint("usb", kUsbA);
  sim_->AddEndpoint("hdmi", kHdmi);
  RawAudioCaptureWin capture(sim_);
  capture.SetCallback(blocks_.Callback());
  capture.Start();
  EXPECT_EQ(sim_->DefaultId(), "usb");
  capture.Stop();
  EXPECT_EQ(sim_->DefaultId(), "speaker");

  sim_->SetEndpointActive("usb", false);  // unplugged
  sim_->UserSetDefault("hdmi");
  sim_->ClearCalls();
  capture.Start();
  capture.Stop();
  EXPECT_EQ(sim_->Calls(), Calls{});
  EXPECT_EQ(sim_->DefaultId(), "hdmi");
}

}  // namespace
}  // namespace audiosource
