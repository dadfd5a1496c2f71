#include <gtest/gtest.h>
#include <opus.h>

#include <algorithm>
#include <chrono>
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
// A desk's volume key: a step of the default's volume, as `pactl set-sink-volume
// @DEFAULT_SINK@ -5%` does.
constexpr double kKeyStep = 0.05;

// What the user does while the share runs. Mute, unmute and the volume key act on the
// server's default, as a desk's keys do; a headset plugged in becomes the default, as a
// desk makes it. A player told its device plays there (the tone of the default stops
// first, so that the receiver hears the named one alone); a mixer moves the tone. A
// kill is the server dropping the client once the share has followed a pick: the
// share, still running, recovers as the next start would and goes on. The keys: three
// steps down pressed quickly, one up, and one up on a desk that stops at 100 %. A player
// told the headset plays there while the speaker's tone stops; a mixer moves every
// stream to the headset. A restart is the server's (with a desk's restore modules
// loaded) once the share has followed the user's picks (the USB output, which the
// server itself would pick, then the speaker again); the player starts again.
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
  kKeysDown,
  kKeyUp,
  kKeyUpOnADeskThatStopsAt100,
  kPlayOnTheHeadsetByName,
  kMoveTheToneToTheHeadset,
  kPickTheUsbThenTheSpeakerThenRestart,
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
  double speaker_at = 1.0;          // the speaker's volume before the share
  double key_to = 0.0;              // the output's volume after the act's keys (0: none)
  const char* plays_apart = nullptr;  // an output the user's stream plays on, not sent
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

// Each packet's sum of squared samples and sample count, decoded in order.
std::vector<std::pair<double, size_t>> DecodedEnergy(BlockCollector& packets) {
  std::vector<std::pair<double, size_t>> energy;
  int error = 0;
  OpusDecoder* decoder = opus_decoder_create(48000, 2, &error);
  if (error != OPUS_OK) return energy;
  for (const auto& block : packets.Blocks()) {
    std::vector<float> pcm(5760 * 2);
    const int frames =
        opus_decode_float(decoder, block.data(), static_cast<opus_int32>(block.size()), pcm.data(), 5760, 0);
    double sum = 0.0;
    for (int i = 0; i < 2 * std::max(frames, 0); ++i) sum += static_cast<double>(pcm[i]) * pcm[i];
    energy.emplace_back(sum, 2 * static_cast<size_t>(std::max(frames, 0)));
  }
  opus_decoder_destroy(decoder);
  return energy;
}

double Decibels(double sum, size_t count) {
  return count == 0 ? -200.0 : 10.0 * std::log10(sum / static_cast<double>(count) + 1e-20);
}

// The receiver's level (RMS in dB of full scale) from packet `from` on.
double ReceivedLevel(BlockCollector& packets, size_t from) {
  const auto energy = DecodedEnergy(packets);
  double sum = 0.0;
  size_t count = 0;
  for (size_t n = from; n < energy.size(); ++n) {
    sum += energy[n].first;
    count += energy[n].second;
  }
  return Decibels(sum, count);
}

// The longest run of packets from `from` on that carry no sound to speak of (below
// -50 dBFS): sound lost on the way reaches the receiver as such packets, or as none.
size_t LongestQuietRun(BlockCollector& packets, size_t from) {
  const auto energy = DecodedEnergy(packets);
  size_t longest = 0;
  size_t run = 0;
  for (size_t n = from; n < energy.size(); ++n) {
    run = Decibels(energy[n].first, energy[n].second) < -50.0 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
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
    spec.restore_modules = GetParam().act == DeskAct::kPickTheUsbThenTheSpeakerThenRestart;
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
  // One that plays a stream of the user's apart from the share plays it at full.
  static void ExpectSpeakersSilent(const char* plays_apart = nullptr) {
    std::vector<std::pair<std::string, std::future<int>>> peaks;
    for (const std::string& sink : QueryServer().sinks) {
      if (sink == kSpeaker || sink == kUsb || sink == kHeadset) {
        peaks.emplace_back(sink, std::async(std::launch::async, RecordPeak, sink + ".monitor", 300));
      }
    }
    for (auto& p : peaks) {
      if (plays_apart != nullptr && p.first == plays_apart) {
        EXPECT_GT(p.second.get(), 9000) << p.first;
      } else {
        EXPECT_EQ(p.second.get(), 0) << p.first;
      }
    }
  }

  // Within a generous bound, the output's volume and the one the desk shows (that of
  // the server's default) are both `level`.
  static void ExpectVolumeDuringShare(const std::string& output, double level) {
    ServerState server;
    for (int i = 0; i < 100; ++i) {
      server = QueryServer();
      if (std::abs(server.sink_states[output].volume - level) < 0.001 &&
          std::abs(server.sink_states[server.default_sink].volume - level) < 0.001) {
        break;
      }
      std::this_thread::sleep_for(50ms);
    }
    EXPECT_NEAR(server.sink_states[output].volume, level, 0.001) << output;
    EXPECT_NEAR(server.sink_states[server.default_sink].volume, level, 0.001) << "the desk's indicator";
  }

  // The longest time between two packets arriving from `from` on.
  static std::chrono::milliseconds LongestGap(BlockCollector& packets, std::chrono::steady_clock::time_point from) {
    const auto times = packets.Times();
    std::chrono::steady_clock::duration longest{0};
    for (size_t n = 1; n < times.size(); ++n) {
      if (times[n] >= from) longest = std::max(longest, times[n] - std::max(times[n - 1], from));
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(longest);
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

  // A desk's volume key on the default, by the step, up to the top (when the desk has one).
  static bool PressVolumeKey(double step, bool stops_at_100) {
    const ServerState server = QueryServer();
    auto it = server.sink_states.find(server.default_sink);
    if (it == server.sink_states.end()) return false;
    double level = std::max(0.0, it->second.volume + step);
    if (stops_at_100) level = std::min(1.0, level);
    return UserSetVolume("@DEFAULT_SINK@", level);
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
      case DeskAct::kKeysDown:
        for (int press = 0; press < 3; ++press) ASSERT_TRUE(PressVolumeKey(-kKeyStep, true));
        break;
      case DeskAct::kKeyUp: ASSERT_TRUE(PressVolumeKey(kKeyStep, false)); break;
      case DeskAct::kKeyUpOnADeskThatStopsAt100: ASSERT_TRUE(PressVolumeKey(kKeyStep, true)); break;
      case DeskAct::kPlayOnTheHeadsetByName:
        tone->reset();
        *named = std::make_unique<TonePlayer>(TonePlayer::Sound::kTone, kHeadset);
        ASSERT_TRUE((*named)->ok());
        break;
      case DeskAct::kMoveTheToneToTheHeadset: ASSERT_TRUE(UserMoveStreams(kHeadset)); break;
      case DeskAct::kPickTheUsbThenTheSpeakerThenRestart:
        ASSERT_TRUE(UserSetDefault(kUsb));
        ASSERT_TRUE(SoundFlows(*packets));
        ASSERT_TRUE(UserSetDefault(kSpeaker));
        ASSERT_TRUE(SoundFlows(*packets));
        break;  // the restart is the fixture's
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
  if (c.server == SoundServer::kPipeWire &&
      c.act == DeskAct::kPickTheUsbThenTheSpeakerThenRestart) {
    // Still open: after a restart of PipeWire's server, a default that its own restore
    // sets before the user's output is back is taken as the user's pick.
    GTEST_SKIP() << "a restart of PipeWire's server still loses the user's pick";
  }
  SetUpHeadset(c.headset);
  auto player = std::make_unique<TonePlayer>();
  ASSERT_TRUE(player->ok());
  std::unique_ptr<TonePlayer> named;
  // The tone sounds (a fresh server's sinks take a while to render), then the user
  // mutes it or not.
  ASSERT_GT(RecordPeak(std::string(kSpeaker) + ".monitor", 300), 9000);
  if (c.speaker_at != 1.0) {
    ASSERT_TRUE(UserSetVolume(kSpeaker, c.speaker_at));
  }
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
    // The receiver's level follows the output's volume as a linear scale.
    const double start_level = c.key_to != 0.0 ? LevelFromNow(packets) : 0.0;
    const auto acted = std::chrono::steady_clock::now();
    const size_t acted_at = packets.Count();
    Act(c.act, &packets, &player, &named);
    if (c.act == DeskAct::kPickTheUsbThenTheSpeakerThenRestart) {
      std::string why;
      ASSERT_TRUE(server_.Restart(&why)) << why;
      player = std::make_unique<TonePlayer>();
      ASSERT_TRUE(player->ok());
    }
    if (c.key_to != 0.0) {
      ExpectVolumeDuringShare(c.output_after, c.key_to);
      key_level = LevelFromNow(packets);
      EXPECT_NEAR(key_level, start_level + 20.0 * std::log10(c.key_to / c.speaker_at), 1.0);
    }
    if (c.act == DeskAct::kPickTheHeadset && !c.muted_at_start) {
      // No sound lost while the share follows the pick.
      ASSERT_TRUE(packets.WaitFor(packets.Count() + 75, 20s));
      EXPECT_LE(LongestGap(packets, acted).count(), 300);
      EXPECT_LE(LongestQuietRun(packets, acted_at), 7u) << "packets of 40 ms";
    }
    if (c.plays_apart != nullptr) {
      // The user's stream on the other output is not sent: once what was on its way
      // has come, nothing more comes. A new stream on the user's output is sent (named:
      // a server that restores streams would put one of the same player on the headset).
      std::this_thread::sleep_for(500ms);
      const size_t count = packets.Count();
      std::this_thread::sleep_for(1500ms);
      EXPECT_EQ(packets.Count(), count);
      ExpectSpeakersSilent(c.plays_apart);
      if (!named) named = std::move(player);  // the tone the mixer moved plays on
      player = std::make_unique<TonePlayer>(TonePlayer::Sound::kTone, kSpeaker);
      ASSERT_TRUE(player->ok());
    }
    if (c.sound_after_act) {
      EXPECT_TRUE(SoundFlows(packets));
    } else {
      std::this_thread::sleep_for(2s);
      EXPECT_EQ(packets.Count(), 0u);
      EXPECT_TRUE(TouchVolumeUntilSoundFlows(packets));
    }
    ExpectSpeakersSilent(c.plays_apart);
    EXPECT_LE(StandIns().size(), 1u);
    source.Stop();
  }
  ExpectOutputAfter(c, before);
  if (c.plays_apart != nullptr) {
    EXPECT_GT(RecordPeak(std::string(c.plays_apart) + ".monitor", 300), 9000) << "after the share";
  }

  if (c.key_to != 0.0) {
    ASSERT_TRUE(UserSetVolume(kSpeaker, c.key_to));
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
    if (c.key_to != 0.0) {
      EXPECT_NEAR(key_level, LevelFromNow(packets), 2.0);
    }
    EXPECT_EQ(StandIns(), std::vector<std::string>{kStandIn});
    ExpectSpeakersSilent(c.plays_apart);
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
        DeskCase{"UnmutedVolumeKey", false, Headset::kNone, DeskAct::kVolumeKey, true, kSpeaker, false, 1.0,
                 kKeyVolume},
        DeskCase{"UnmutedPickTheHeadsetThenKill", false, Headset::kUnmuted, DeskAct::kPickTheHeadsetThenKill, true,
                 kHeadset, false},
        // A desk's keys step from the output's volume (40 %), and its indicator shows it.
        DeskCase{"UnmutedAt40KeysDown", false, Headset::kNone, DeskAct::kKeysDown, true, kSpeaker, false, 0.4, 0.25},
        DeskCase{"UnmutedAt40KeyUp", false, Headset::kNone, DeskAct::kKeyUp, true, kSpeaker, false, 0.4, 0.45},
        DeskCase{"UnmutedAt40KeyUpOnADeskThatStopsAt100", false, Headset::kNone,
                 DeskAct::kKeyUpOnADeskThatStopsAt100, true, kSpeaker, false, 0.4, 0.45},
        // Streams on another output than the user's play on there, and stay after.
        DeskCase{"UnmutedPlayOnTheHeadsetByName", false, Headset::kUnmuted, DeskAct::kPlayOnTheHeadsetByName, true,
                 kSpeaker, false, 1.0, 0.0, kHeadset},
        DeskCase{"UnmutedMoveTheToneToTheHeadset", false, Headset::kUnmuted, DeskAct::kMoveTheToneToTheHeadset,
                 true, kSpeaker, false, 1.0, 0.0, kHeadset},
        // The server saved the stand-in as its default; the user's pick holds.
        DeskCase{"UnmutedPickTheUsbThenTheSpeakerThenRestart", false, Headset::kNone,
                 DeskAct::kPickTheUsbThenTheSpeakerThenRestart, true, kSpeaker, false}),
    [](const ::testing::TestParamInfo<DeskCase>& p) { return p.param.name; });

}  // namespace
}  // namespace audiosource
