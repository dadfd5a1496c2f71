#include <gtest/gtest.h>
#include <opus.h>

#include <cmath>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <ostream>
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

constexpr double kKeyVolume = 0.3;

// What the user does while the share runs. Mute, unmute and the volume key act on the
// server's default, as a desk's keys do; a headset plugged in becomes the default, as a
// desk makes it. A player told its device plays there (the tone of the default stops
// first, so that the receiver hears the named one alone); a mixer moves the tone. A
// kill is the server dropping the client once the share has followed a pick: the
// share, still running, recovers as the next start would and goes on.
enum class DeskAct {
  kNothing,
  kUnmute,
  kMute,
  kPlugInAHeadset,
  kUnplugTheOutput,
  kPickTheHeadset,
  kPlayOnTheSpeakerByName,
  kMoveTheToneToTheSpeaker,
  kVolumeKey,
  kPickTheHeadsetThenKill,
};

// A headset plugged in before the share, with a state of its own.
enum class Headset { kNone, kUnmuted, kMuted, kAt40 };

struct DeskCase {
  const char* name;
  bool muted_at_start;    // the speaker, before the share
  Headset headset;
  DeskAct act;
  bool sound_after_act;   // packets reach the receiver (else none until the volume is touched)
  const char* output_after;
  bool muted_after;
  SoundServer server = SoundServer::kPulseAudio;  // OnEachServer sets it
};

// A failing row is named, not dumped as bytes.
void PrintTo(const DeskCase& c, std::ostream* os) { *os << c.name; }

// Every row on each server a desk may run: PulseAudio's own, then PipeWire's PulseAudio
// server, whose rows are named "PipeWire_" and the row's name.
template <typename... Rows>
auto OnEachServer(const Rows&... rows) {
  static std::deque<std::string> names;  // the PipeWire rows' names, kept for the run
  std::vector<DeskCase> all = {rows...};
  for (const DeskCase& row : {rows...}) {
    DeskCase on_pipewire = row;
    on_pipewire.server = SoundServer::kPipeWire;
    names.push_back(std::string("PipeWire_") + row.name);
    on_pipewire.name = names.back().c_str();
    all.push_back(on_pipewire);
  }
  return ::testing::ValuesIn(all);
}

// The receiver's level (RMS in dB of full scale) from packet `from` on, decoded in order.
double ReceivedLevel(BlockCollector& packets, size_t from) {
  int error = 0;
  OpusDecoder* decoder = opus_decoder_create(48000, 2, &error);
  if (error != OPUS_OK) return 0.0;
  double sum = 0.0;
  size_t count = 0;
  const auto blocks = packets.Blocks();
  for (size_t n = 0; n < blocks.size(); ++n) {
    std::vector<float> pcm(5760 * 2);
    const int frames = opus_decode_float(decoder, blocks[n].data(), static_cast<opus_int32>(blocks[n].size()),
                                         pcm.data(), 5760, 0);
    if (n < from || frames <= 0) continue;
    for (int i = 0; i < 2 * frames; ++i) sum += static_cast<double>(pcm[i]) * pcm[i];
    count += 2 * static_cast<size_t>(frames);
  }
  opus_decoder_destroy(decoder);
  return count == 0 ? -200.0 : 10.0 * std::log10(sum / static_cast<double>(count) + 1e-20);
}

// The level of 0.6 s of sound from a little after now, once it has arrived.
double LevelFromNow(BlockCollector& packets) {
  const size_t from = packets.Count() + 10;
  EXPECT_TRUE(packets.WaitFor(from + 15, 20s));
  return ReceivedLevel(packets, from);
}

class DeskShareTest : public SourcePulseLiveTest, public ::testing::WithParamInterface<DeskCase> {
 protected:
  ServerSpec ServerToStart() const override {
    ServerSpec spec;
    spec.program = GetParam().server;
    return spec;
  }

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

  static void Act(DeskAct act, BlockCollector* packets, std::unique_ptr<TonePlayer>* tone,
                  std::unique_ptr<TonePlayer>* named) {
    switch (act) {
      case DeskAct::kNothing: break;
      case DeskAct::kUnmute: ASSERT_TRUE(UserSetMute("@DEFAULT_SINK@", false)); break;
      case DeskAct::kMute: ASSERT_TRUE(UserSetMute("@DEFAULT_SINK@", true)); break;
      case DeskAct::kPlugInAHeadset:
        ASSERT_TRUE(UserPlugIn(kHeadset));
        ASSERT_TRUE(UserSetDefault(kHeadset));
        break;
      case DeskAct::kUnplugTheOutput: ASSERT_TRUE(UserUnplug(kSpeaker)); break;
      case DeskAct::kPickTheHeadset: ASSERT_TRUE(UserSetDefault(kHeadset)); break;
      case DeskAct::kPlayOnTheSpeakerByName:
        tone->reset();
        *named = std::make_unique<TonePlayer>(TonePlayer::Sound::kTone, kSpeaker);
        ASSERT_TRUE((*named)->ok());
        break;
      case DeskAct::kMoveTheToneToTheSpeaker: ASSERT_TRUE(UserMoveStreams(kSpeaker)); break;
      case DeskAct::kVolumeKey: ASSERT_TRUE(UserSetVolume("@DEFAULT_SINK@", kKeyVolume)); break;
      case DeskAct::kPickTheHeadsetThenKill:
        ASSERT_TRUE(UserSetDefault(kHeadset));
        ASSERT_TRUE(SoundFlows(*packets));
        ASSERT_TRUE(UserKillClients("Castora"));
        break;
    }
  }

  static void SetUpHeadset(Headset headset) {
    if (headset == Headset::kNone) return;
    ASSERT_TRUE(UserPlugIn(kHeadset));
    if (headset == Headset::kMuted) {
      ASSERT_TRUE(UserSetMute(kHeadset, true));
    }
    if (headset == Headset::kAt40) {
      ASSERT_TRUE(UserSetVolume(kHeadset, 0.4));
    }
  }

  // The user's outputs, each with its mute and volume.
  static std::map<std::string, SinkState> Outputs() {
    std::map<std::string, SinkState> outputs = QueryServer().sink_states;
    for (auto it = outputs.begin(); it != outputs.end();) {
      it = it->first.compare(0, std::string(kStandIn).size(), kStandIn) == 0 ? outputs.erase(it) : std::next(it);
    }
    return outputs;
  }

  // The share is over: the user's output is the default, sounds exactly when it was
  // not muted, no stand-in is left, and every output that was there before the share
  // has the mute and volume it had then (one plugged in during it, its own).
  static void ExpectOutputAfter(const DeskCase& c, const std::map<std::string, SinkState>& before) {
    EXPECT_EQ(QueryServer().default_sink, c.output_after);
    EXPECT_EQ(StandIns(), std::vector<std::string>{});
    const std::map<std::string, SinkState> after = Outputs();
    for (const auto& output : after) {
      auto was = before.find(output.first);
      const SinkState expected = was != before.end() ? was->second : SinkState{false, 1.0};
      EXPECT_EQ(output.second.muted, expected.muted) << output.first;
      EXPECT_NEAR(output.second.volume, expected.volume, 0.001) << output.first;
    }
    const int peak = RecordPeak(std::string(c.output_after) + ".monitor", 300);
    if (c.muted_after) {
      EXPECT_EQ(peak, 0);
    } else {
      // The tone's 10000 after the sink's volume, which the server applies cubed.
      const auto it = after.find(c.output_after);
      const double volume = it != after.end() ? it->second.volume : 1.0;
      EXPECT_GT(peak, 0.9 * 10000 * volume * volume * volume);
    }
  }
};

// Two shares in a row: the first with the user acting on the output during it, the
// second plain (an output left muted by the first is unmuted during it, which lets the
// sound through). While shared the receiver gets the sound unless the user's output
// stays muted since before the share, and the computer is silent; after each share the
// output is the default and as muted as before it, and no stand-in is left.
//
// A volume key during the share leaves the receiver's level where a share started at
// that volume has it (the second share starts there).
TEST_P(DeskShareTest, SoundFollowsTheUsersOutput) {
  const DeskCase& c = GetParam();
  SetUpHeadset(c.headset);
  auto player = std::make_unique<TonePlayer>();
  ASSERT_TRUE(player->ok());
  std::unique_ptr<TonePlayer> named;
  // The tone sounds (a fresh server's sinks take a while to render), then the user
  // mutes it or not.
  ASSERT_GT(RecordPeak(std::string(kSpeaker) + ".monitor", 300), 9000);
  if (c.muted_at_start) {
    ASSERT_TRUE(UserSetMute(kSpeaker, true));
  }
  double key_level = 0.0;
  std::map<std::string, SinkState> before = Outputs();
  {
    BlockCollector packets;
    OpusAudioSource source(system_);
    source.SetMuteLocalOutput(true);
    source.SetSink(packets.Callback());
    source.Start();
    if (!c.muted_at_start) {
      ASSERT_TRUE(packets.WaitFor(5, 20s));
    }
    Act(c.act, &packets, &player, &named);
    if (c.act == DeskAct::kVolumeKey) key_level = LevelFromNow(packets);
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
  ExpectOutputAfter(c, before);

  if (c.act == DeskAct::kVolumeKey) {
    ASSERT_TRUE(UserSetVolume(kSpeaker, kKeyVolume));
  }
  before = Outputs();
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
    if (c.act == DeskAct::kVolumeKey) {
      EXPECT_NEAR(key_level, LevelFromNow(packets), 2.0);
    }
    EXPECT_EQ(StandIns(), std::vector<std::string>{kStandIn});
    ExpectSpeakersSilent();
    source.Stop();
  }
  ExpectOutputAfter(c, before);
}

INSTANTIATE_TEST_SUITE_P(
    Desk, DeskShareTest,
    OnEachServer(
        DeskCase{"UnmutedNothing", false, Headset::kNone, DeskAct::kNothing, true, kSpeaker, false},
        DeskCase{"UnmutedUnmute", false, Headset::kNone, DeskAct::kUnmute, true, kSpeaker, false},
        DeskCase{"UnmutedMute", false, Headset::kNone, DeskAct::kMute, true, kSpeaker, false},
        DeskCase{"UnmutedPlugInAHeadset", false, Headset::kNone, DeskAct::kPlugInAHeadset, true, kHeadset, false},
        DeskCase{"UnmutedUnplugTheOutput", false, Headset::kNone, DeskAct::kUnplugTheOutput, true, kUsb, false},
        DeskCase{"MutedNothing", true, Headset::kNone, DeskAct::kNothing, false, kSpeaker, true},
        DeskCase{"MutedUnmute", true, Headset::kNone, DeskAct::kUnmute, true, kSpeaker, true},
        DeskCase{"MutedMute", true, Headset::kNone, DeskAct::kMute, false, kSpeaker, true},
        // An output the share moves to has its own mute: not the speaker's.
        DeskCase{"MutedPlugInAHeadset", true, Headset::kNone, DeskAct::kPlugInAHeadset, true, kHeadset, false},
        DeskCase{"MutedUnplugTheOutput", true, Headset::kNone, DeskAct::kUnplugTheOutput, true, kUsb, false},
        DeskCase{"MutedPickTheHeadset", true, Headset::kUnmuted, DeskAct::kPickTheHeadset, true, kHeadset, false},
        DeskCase{"UnmutedPickTheMutedHeadset", false, Headset::kMuted, DeskAct::kPickTheHeadset, true, kHeadset,
                 true},
        DeskCase{"UnmutedPickTheHeadsetAt40", false, Headset::kAt40, DeskAct::kPickTheHeadset, true, kHeadset,
                 false},
        DeskCase{"UnmutedPlayOnTheSpeakerByName", false, Headset::kNone, DeskAct::kPlayOnTheSpeakerByName, true,
                 kSpeaker, false},
        DeskCase{"UnmutedMoveTheToneToTheSpeaker", false, Headset::kUnmuted, DeskAct::kMoveTheToneToTheSpeaker,
                 true, kSpeaker, false},
        // The key's volume is the output's while shared; the one saved at the start
        // comes back after it.
        DeskCase{"UnmutedVolumeKey", false, Headset::kNone, DeskAct::kVolumeKey, true, kSpeaker, false},
        DeskCase{"UnmutedPickTheHeadsetThenKill", false, Headset::kUnmuted, DeskAct::kPickTheHeadsetThenKill, true,
                 kHeadset, false}),
    [](const ::testing::TestParamInfo<DeskCase>& p) { return p.param.name; });

}  // namespace
}  // namespace audiosource
