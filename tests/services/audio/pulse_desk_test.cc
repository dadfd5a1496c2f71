#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "services/audio/source/opus_audio_source.h"
#include "tests/platform/audio/pulse_test_server.h"
#include "tests/services/audio/block_collector.h"
#include "tests/services/audio/pulse_source_fixture.h"

namespace audiosource {
namespace {

using namespace std::chrono_literals;

// The share at a real desk: the system-sound source on a private sound server while the
// user works the output, as a real desk lets them.

const char* const kSpeaker = "castora_speaker";
const char* const kUsb = "castora_usb";
const char* const kHeadset = "castora_headset";
const char* const kStandIn = "castora_muted_output";

// What the user does while the share runs. Mute and unmute act on the server's default,
// as a desk's keys do; a headset plugged in becomes the default, as a desk makes it.
enum class DeskAct { kNothing, kUnmute, kMute, kPlugInAHeadset, kUnplugTheOutput };

struct DeskCase {
  const char* name;
  bool muted_at_start;    // the speaker, before the share
  DeskAct act;
  bool sound_after_act;   // packets reach the receiver (else none until the volume is touched)
  const char* output_after;
  bool muted_after;
};

class DeskShareTest : public SourcePulseLiveTest, public ::testing::WithParamInterface<DeskCase> {
 protected:
  static std::vector<std::string> StandIns() {
    std::vector<std::string> found;
    for (const std::string& sink : QueryServer().sinks) {
      if (sink.compare(0, std::string(kStandIn).size(), kStandIn) == 0) found.push_back(sink);
    }
    return found;
  }

  // The computer's own outputs (those plugged in) are all silent. Recorded side by
  // side: a quiet null sink takes its time to hand over its monitor.
  static void ExpectSpeakersSilent() {
    std::vector<std::pair<std::string, std::future<int>>> peaks;
    for (const std::string& sink : QueryServer().sinks) {
      if (sink == kSpeaker || sink == kUsb || sink == kHeadset) {
        peaks.emplace_back(sink, std::async(std::launch::async, RecordPeak, sink + ".monitor", 300));
      }
    }
    for (auto& p : peaks) EXPECT_EQ(p.second.get(), 0) << p.first;
  }

  // More packets than now, 0.4 s of sound, within a generous bound.
  static bool SoundFlows(BlockCollector& packets) { return packets.WaitFor(packets.Count() + 10, 20s); }

  // Touches the volume of the default (a step down each time) until the sound flows.
  static bool TouchVolumeUntilSoundFlows(BlockCollector& packets) {
    for (int step = 1; step <= 20; ++step) {
      if (!UserSetVolume("@DEFAULT_SINK@", 1.0 - 0.01 * step)) return false;
      if (packets.WaitFor(1, 1s)) return SoundFlows(packets);
    }
    return false;
  }

  static void Act(DeskAct act) {
    switch (act) {
      case DeskAct::kNothing: break;
      case DeskAct::kUnmute: ASSERT_TRUE(UserSetMute("@DEFAULT_SINK@", false)); break;
      case DeskAct::kMute: ASSERT_TRUE(UserSetMute("@DEFAULT_SINK@", true)); break;
      case DeskAct::kPlugInAHeadset:
        ASSERT_TRUE(UserPlugIn(kHeadset));
        ASSERT_TRUE(UserSetDefault(kHeadset));
        break;
      case DeskAct::kUnplugTheOutput: ASSERT_TRUE(UserUnplug(kSpeaker)); break;
    }
  }

  // The share is over: the user's output is the default, sounds exactly when it was
  // not muted, and no stand-in is left.
  static void ExpectOutputAfter(const DeskCase& c) {
    EXPECT_EQ(QueryServer().default_sink, c.output_after);
    EXPECT_EQ(StandIns(), std::vector<std::string>{});
    const int peak = RecordPeak(std::string(c.output_after) + ".monitor", 300);
    if (c.muted_after) {
      EXPECT_EQ(peak, 0);
    } else {
      EXPECT_GT(peak, 9000);
    }
  }
};

// Two shares in a row: the first with the user acting on the output during it, the
// second plain (an output left muted by the first is unmuted during it, which lets the
// sound through). While shared the receiver gets the sound unless the user's output
// stays muted since before the share, and the computer is silent; after each share the
// output is the default and as muted as before it, and no stand-in is left.
TEST_P(DeskShareTest, SoundFollowsTheUsersOutput) {
  const DeskCase& c = GetParam();
  TonePlayer player;
  ASSERT_TRUE(player.ok());
  // The tone sounds (a fresh server's sinks take a while to render), then the user
  // mutes it or not.
  ASSERT_GT(RecordPeak(std::string(kSpeaker) + ".monitor", 300), 9000);
  if (c.muted_at_start) {
    ASSERT_TRUE(UserSetMute(kSpeaker, true));
  }
  {
    BlockCollector packets;
    OpusAudioSource source(system_);
    source.SetMuteLocalOutput(true);
    source.SetSink(packets.Callback());
    source.Start();
    if (!c.muted_at_start) {
      ASSERT_TRUE(packets.WaitFor(5, 20s));
    }
    Act(c.act);
    if (c.sound_after_act) {
      EXPECT_TRUE(SoundFlows(packets));
    } else {
      std::this_thread::sleep_for(2s);
      EXPECT_EQ(packets.Count(), 0u);
      EXPECT_TRUE(TouchVolumeUntilSoundFlows(packets));
    }
    ExpectSpeakersSilent();
    EXPECT_LE(StandIns().size(), 1u);
    source.Stop();
  }
  ExpectOutputAfter(c);

  {
    BlockCollector packets;
    OpusAudioSource source(system_);
    source.SetMuteLocalOutput(true);
    source.SetSink(packets.Callback());
    source.Start();
    if (c.muted_after) {
      ASSERT_TRUE(UserSetMute("@DEFAULT_SINK@", false));
    }
    EXPECT_TRUE(packets.WaitFor(5, 20s));
    EXPECT_EQ(StandIns(), std::vector<std::string>{kStandIn});
    ExpectSpeakersSilent();
    source.Stop();
  }
  ExpectOutputAfter(c);
}

INSTANTIATE_TEST_SUITE_P(
    Desk, DeskShareTest,
    ::testing::Values(
        DeskCase{"UnmutedNothing", false, DeskAct::kNothing, true, kSpeaker, false},
        DeskCase{"UnmutedUnmute", false, DeskAct::kUnmute, true, kSpeaker, false},
        DeskCase{"UnmutedMute", false, DeskAct::kMute, true, kSpeaker, false},
        DeskCase{"UnmutedPlugInAHeadset", false, DeskAct::kPlugInAHeadset, true, kHeadset, false},
        DeskCase{"UnmutedUnplugTheOutput", false, DeskAct::kUnplugTheOutput, true, kUsb, false},
        DeskCase{"MutedNothing", true, DeskAct::kNothing, false, kSpeaker, true},
        DeskCase{"MutedUnmute", true, DeskAct::kUnmute, true, kSpeaker, true},
        DeskCase{"MutedMute", true, DeskAct::kMute, false, kSpeaker, true},
        DeskCase{"MutedPlugInAHeadset", true, DeskAct::kPlugInAHeadset, true, kHeadset, true},
        DeskCase{"MutedUnplugTheOutput", true, DeskAct::kUnplugTheOutput, true, kUsb, true}),
    [](const ::testing::TestParamInfo<DeskCase>& p) { return p.param.name; });

}  // namespace
}  // namespace audiosource
