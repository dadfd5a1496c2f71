// The reference receiver as a stand-alone peer: listens on 127.0.0.1 at the given
// control port, answers the client's handshake, beats, prints what it receives, and
// runs until SIGINT or SIGTERM (or the --seconds limit).
//
//   reference_receiver_main [port] [--demo] [--seconds N] [--out DIR] [--uuid TEXT]
//                           [--offer CLIENT_ID:RECEIVER_ID[:CONTEXT]]...
//                           [--video] [--audio] [--device-info] [--remote-input]
//                           [--touch X,Y] [--taps]
//
// --video and --audio offer the receiver's video and audio sides; the H.264 stream is
// written to DIR/stream.h264 (DIR defaults to the current folder) and the sound to
// DIR/sound.wav. --device-info offers the device-info side and prints the client's
// offer. --remote-input offers the remote-input side; with --touch it asks the client to
// start injection once the client shares (the client refuses it before) and then sends
// one touch (down and up) at X,Y; with --taps it sends a tap every second while the client's input is started.
//
// --demo offers all four services and taps, and takes the first free control port the
// connection code can carry (7382..7385) unless a port is given. Whenever the port is
// one of those, the 8-character code of 127.0.0.1 and the port is printed as
//   connection code: XXXXXXXX
// On exit a summary is printed: video samples received and decoded (with ffmpeg, as
// they arrive, so that the stop waits only for the last moments), the stream's size and
// a PNG of its last second, audio packets decoded, taps sent and whether the client
// acknowledged the start of input. ffmpeg's messages go to DIR/decode.log.

#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <pthread.h>

#include "tests/receiver/audio_receiver.h"
#include "tests/receiver/demo_files.h"
#include "tests/receiver/device_info_side.h"
#include "tests/receiver/remote_input_side.h"
#include "tests/receiver/session_receiver.h"
#include "tests/receiver/video_side.h"
#include "tests/receiver/wire_air_code.h"
#include "utils/logger.h"

namespace {

const char* const kLogTag = "RECEIVER::main";
const char* const kAddress = "127.0.0.1";
// Any rotation serves; a fixed one keeps the code of a port the same from run to run.
constexpr unsigned kCodeRotationIndex = 1;

const char* KindName(receiver::ReceiverEvent::Kind kind) {
  using Kind = receiver::ReceiverEvent::Kind;
  switch (kind) {
    case Kind::kAccepted:
      return "accepted";
    case Kind::kMessage:
      return "message";
    case Kind::kProtocolError:
      return "protocol error";
    case Kind::kClosedByPeer:
      return "closed by peer";
    case Kind::kClosedHere:
      return "closed here";
    case Kind::kHeartBeat:
      return "heart beat";
  }
  return "?";
}

int Usage(const char* argv0) {
  std::fprintf(stderr,
               "usage: %s [port] [--demo] [--seconds N] [--out DIR] [--uuid TEXT]\n"
               "          [--offer CLIENT_ID:RECEIVER_ID[:CONTEXT]]...\n"
               "          [--video] [--audio] [--device-info] [--remote-input] [--touch X,Y] [--taps]\n",
               argv0);
  return 2;
}

void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// What the command line asks for.
struct Args {
  receiver::SessionReceiver::Options options;
  std::vector<receiver::OfferedService> offers;
  bool demo = false;
  bool video = false;
  bool audio = false;
  bool device_info = false;
  bool remote_input = false;
  bool touch = false;
  bool taps = false;
  bool port_given = false;
  int touch_x = 0;
  int touch_y = 0;
  long seconds = 0;
  std::string out_dir = ".";
};

// Nothing when the command line is not understood.
std::optional<Args> ParseArgs(int argc, char** argv) {
  Args args;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--demo") {
      args.demo = args.video = args.audio = args.device_info = args.remote_input = args.taps = true;
    } else if (arg == "--video") {
      args.video = true;
    } else if (arg == "--audio") {
      args.audio = true;
    } else if (arg == "--device-info") {
      args.device_info = true;
    } else if (arg == "--remote-input") {
      args.remote_input = true;
    } else if (arg == "--taps") {
      args.taps = true;
    } else if (arg == "--touch" && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%d,%d", &args.touch_x, &args.touch_y) != 2) return std::nullopt;
      args.touch = true;
    } else if (arg == "--seconds" && i + 1 < argc) {
      char* end = nullptr;
      args.seconds = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || args.seconds <= 0) return std::nullopt;
    } else if (arg == "--out" && i + 1 < argc) {
      args.out_dir = argv[++i];
    } else if (arg == "--uuid" && i + 1 < argc) {
      args.options.uuid = argv[++i];
    } else if (arg == "--offer" && i + 1 < argc) {
      std::string spec = argv[++i];
      auto first = spec.find(':');
      if (first == std::string::npos) return std::nullopt;
      auto second = spec.find(':', first + 1);
      receiver::OfferedService offer;
      offer.client_service_id = spec.substr(0, first);
      offer.receiver_service_id = spec.substr(
          first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
      offer.setup_context = second == std::string::npos ? "{}" : spec.substr(second + 1);
      args.offers.push_back(offer);
    } else if (!arg.empty() && arg[0] != '-') {
      char* end = nullptr;
      long port = std::strtol(arg.c_str(), &end, 10);
      if (*end != '\0' || port < 0 || port > 65535) return std::nullopt;
      args.options.port = static_cast<uint16_t>(port);
      args.port_given = true;
    } else {
      return std::nullopt;
    }
  }
  args.options.address = kAddress;
  if (args.demo) args.options.uuid = "reference-receiver-demo";
  return args;
}

// The files a run writes.
struct Paths {
  explicit Paths(const std::string& out_dir)
      : h264(out_dir + "/stream.h264"),
        png(out_dir + "/last_frame.png"),
        wave(out_dir + "/sound.wav"),
        decode_log(out_dir + "/decode.log") {}
  std::string h264;
  std::string png;
  std::string wave;
  std::string decode_log;  // ffmpeg's messages (and its progress, next to it)
};

// The session receiver and the service sides it offers.
struct Sides {
  std::unique_ptr<receiver::SessionReceiver> receiver;
  std::shared_ptr<receiver::VideoSide> video;
  std::shared_ptr<receiver::AudioReceiver> audio;
  std::shared_ptr<receiver::DeviceInfoSide> info;
  std::shared_ptr<receiver::RemoteInputSide> input;
};

// The media sides bind their own ephemeral ports, before the session port.
bool StartMediaSides(const Args& args, const Paths& paths, Sides* sides) {
  if (args.video) {
    receiver::VideoSide::Options video_options;
    video_options.h264_path = paths.h264;
    video_options.keep_bytes = false;
    sides->video = std::make_shared<receiver::VideoSide>(video_options);
    if (!sides->video->Start()) {
      std::fprintf(stderr, "cannot start the video side on %s (or write %s)\n", kAddress,
                   paths.h264.c_str());
      return false;
    }
  }
  if (args.audio) {
    sides->audio = std::make_shared<receiver::AudioReceiver>();
    if (!sides->audio->Start()) {
      std::fprintf(stderr, "cannot start the audio side on %s\n", kAddress);
      return false;
    }
  }
  return true;
}

// A connection code carries only an index into the four code ports, so the session
// port of a demo is one of them, bound as is: a busy one is never traded for another
// port the code could not name.
bool StartSessionReceiver(Args& args, Sides* sides) {
  std::vector<uint16_t> candidates;
  if (args.demo && !args.port_given)
    candidates.assign(receiver::wire::kAirCodePorts.begin(), receiver::wire::kAirCodePorts.end());
  else
    candidates.push_back(args.options.port);

  for (uint16_t port : candidates) {
    args.options.port = port;
    sides->receiver = std::make_unique<receiver::SessionReceiver>(args.options);
    receiver::SessionReceiver* receiver = sides->receiver.get();
    for (auto& offer : args.offers) receiver->OfferService(offer);
    if (sides->video) receiver->OfferService(receiver::VideoSide::Offer(sides->video));
    if (sides->audio) receiver->OfferService({"audio_mirror.c", "audio_mirror.s", "", sides->audio});
    if (args.device_info) {
      sides->info = std::make_shared<receiver::DeviceInfoSide>(receiver);
      receiver->OfferService(receiver::DeviceInfoSide::Offer(sides->info));
    }
    if (args.remote_input) {
      sides->input = std::make_shared<receiver::RemoteInputSide>(receiver, receiver::RemoteInputSide::Options{});
      receiver->OfferService(receiver::RemoteInputSide::Offer(sides->input));
    }
    if (receiver->Start()) return true;
    std::fprintf(stderr, "cannot listen on %s:%u (busy?)\n", kAddress, port);
    sides->receiver.reset();
    sides->info.reset();
    sides->input.reset();
  }
  if (candidates.size() > 1)
    std::fprintf(stderr, "every port a connection code can carry (7382..7385) is taken on %s\n",
                 kAddress);
  return false;
}

// Prints the receiver's events (heart beats thinned out) and where the client connects.
void AnnounceReceiver(receiver::SessionReceiver* receiver, const Args& args) {
  auto beats = std::make_shared<uint64_t>(0);
  const bool chatty_beats = !args.demo;
  receiver->SetEventObserver([beats, chatty_beats](const receiver::ReceiverEvent& event) {
    // Heart beats come four times a second; print the first few and then every 40th
    // (a demo prints only the first).
    if (event.kind == receiver::ReceiverEvent::Kind::kHeartBeat) {
      ++*beats;
      if (chatty_beats ? (*beats > 5 && *beats % 40 != 0) : *beats > 1) return;
    }
    std::printf("[%d] %s: %s\n", event.connection, KindName(event.kind), event.text.c_str());
    std::fflush(stdout);
  });
  Say("reference receiver on %s:%u, heart beat port %u, uuid %s", kAddress, receiver->Port(),
      receiver->HeartBeatPort(), args.options.uuid.c_str());
  if (const auto code = receiver::wire::EncodeLongAirCode(kAddress, receiver->Port(), kCodeRotationIndex)) {
    Say("connection code: %s", receiver::wire::ToDisplayedAirCode(*code).c_str());
  } else {
    Say("no connection code: port %u is none of 7382..7385", receiver->Port());
  }
  LOG_INFO("Reference receiver runs on port {}", receiver->Port());
}

// The milestones of a share and the scripted steps taken, between signals.
struct Progress {
  bool offer_printed = false;
  bool start_requested = false;
  bool touched = false;
  bool video_started = false;
  bool first_sample = false;
  std::chrono::steady_clock::time_point first_sample_time = std::chrono::steady_clock::now();
  bool first_audio = false;
  bool client_started_input = false;  // the client's own start request (id 0) came
  bool input_acknowledged = false;    // the client answered our start request (id 100)
  size_t video_commands_seen = 0;
  uint64_t taps_sent = 0;
  uint64_t taps_failed = 0;
  std::chrono::steady_clock::time_point last_tap = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_status = std::chrono::steady_clock::now();
};

// Prints what the client did since the last look, once each.
void ReportMilestones(const Sides& sides, Progress* p) {
  if (sides.info && !p->offer_printed) {
    if (auto offer = sides.info->ClientOfferText()) {
      Say("client's device info: %s", offer->c_str());
      for (const auto& fault : sides.info->Faults()) Say("  fault: %s", fault.c_str());
      p->offer_printed = true;
    }
  }
  if (sides.video) {
    const auto commands = sides.video->Commands();
    for (; p->video_commands_seen < commands.size(); ++p->video_commands_seen) {
      const auto& command = commands[p->video_commands_seen];
      Say("video: command %u %s", command.id, command.body.c_str());
      if (command.id == 1) p->video_started = true;
    }
    if (!p->first_sample && sides.video->SampleCount() > 0) {
      Say("video: first H.264 sample received");
      p->first_sample = true;
      p->first_sample_time = std::chrono::steady_clock::now();
    }
  }
  if (sides.audio && !p->first_audio && sides.audio->GetStats().decoded > 0) {
    Say("audio: first Opus packet decoded");
    p->first_audio = true;
  }
  if (sides.input && !p->client_started_input &&
      sides.input->WaitForControl(0, std::chrono::milliseconds(0))) {
    Say("input: the client started input");
    p->client_started_input = true;
  }
  if (sides.input && !p->input_acknowledged && p->start_requested) {
    // The client's answer to the newest request: {"id":100}, or its refusal.
    const auto answers = sides.input->Controls();
    for (auto it = answers.rbegin(); it != answers.rend(); ++it) {
      if (it->id != 100) continue;
      if (it->text == R"({"id":100})") {
        Say("input: the client acknowledged the start of input");
        p->input_acknowledged = true;
      }
      break;
    }
  }
}

// The --touch touch and the taps, each once the client injects.
void DriveInput(const Args& args, const Sides& sides, std::chrono::steady_clock::time_point now,
                Progress* p) {
  using receiver::wire::TouchFrame;
  receiver::RemoteInputSide* input = sides.input.get();
  if (!input) return;
  if (args.touch && !p->start_requested && p->first_sample && input->DataPort()) {
    Say("client's data port %u, asking it to start input", *input->DataPort());
    p->start_requested = input->RequestStart();
  }
  if (args.touch && p->start_requested && !p->touched && p->input_acknowledged) {
    const auto stamp = static_cast<uint32_t>(std::time(nullptr));
    const bool down = input->SendInputEvents(TouchFrame({{0, 1, args.touch_x, args.touch_y}}, stamp));
    const bool up = input->SendInputEvents(TouchFrame({{0, -1, 0, 0}}, stamp, 50000));
    Say("touch at %d,%d sent: %s", args.touch_x, args.touch_y, down && up ? "yes" : "no");
    p->touched = true;
  }
  // Taps go only while the client injects: after its own start request, or after it
  // acknowledged ours. A share that is running without input gets asked once.
  if (args.taps && p->first_sample && !p->client_started_input && !p->start_requested &&
      input->DataPort() && now - p->first_sample_time > std::chrono::seconds(2)) {
    Say("input: asking the client to start input");
    p->start_requested = input->RequestStart();
  }
  if (args.taps && (p->client_started_input || p->input_acknowledged) &&
      now - p->last_tap >= std::chrono::seconds(1)) {
    p->last_tap = now;
    // Positions on the receiver's 0..65535 touch plane, walking across the screen.
    const int32_t x = static_cast<int32_t>(8192 + (p->taps_sent * 6553) % 49152);
    const int32_t y = static_cast<int32_t>(16384 + (p->taps_sent * 4096) % 32768);
    const auto stamp = static_cast<uint32_t>(std::time(nullptr));
    const bool down =
        input->SendInputEvents(TouchFrame({{0, static_cast<int32_t>(p->taps_sent + 1), x, y}}, stamp));
    const bool up = input->SendInputEvents(TouchFrame({{0, -1, 0, 0}}, stamp, 50000));
    if (down && up)
      ++p->taps_sent;
    else
      ++p->taps_failed;
  }
}

// Runs until a signal or the --seconds limit; returns the signal (0 at the limit).
int RunUntilStopped(const Args& args, const Sides& sides, const sigset_t& signals,
                    receiver::demo::StreamFollower* decoder, Progress* p) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(args.seconds);
  const timespec step = {0, 100 * 1000 * 1000};
  for (;;) {
    const int signal = sigtimedwait(&signals, nullptr, &step);
    if (signal > 0) return signal;
    const auto now = std::chrono::steady_clock::now();
    if (args.seconds > 0 && now >= deadline) {
      Say("%ld seconds are up, stopping", args.seconds);
      return 0;
    }
    ReportMilestones(sides, p);
    DriveInput(args, sides, now, p);
    if (decoder) decoder->Feed();
    if (args.demo && now - p->last_status >= std::chrono::seconds(5)) {
      p->last_status = now;
      Say("status: connections %d, video samples %zu, audio packets %llu, taps %llu",
          sides.receiver->ConnectionCount(), sides.video ? sides.video->SampleCount() : size_t{0},
          sides.audio ? static_cast<unsigned long long>(sides.audio->GetStats().decoded) : 0ull,
          static_cast<unsigned long long>(p->taps_sent));
    }
  }
}

// What the summary reports, gathered before it.
struct Results {
  std::vector<receiver::ProtocolError> protocol_errors;
  int connections = 0;
  size_t samples = 0;
  uint64_t video_bytes = 0;
  std::vector<std::string> video_faults;
  std::optional<receiver::AudioReceiver::Stats> audio_stats;
  std::vector<std::string> audio_faults;
  std::vector<float> pcm;
  std::vector<std::string> input_faults;
  bool input_launched = false;
};

// Stops everything and gathers the results (the stream file is complete once the video
// side is gone).
Results StopAndCollect(Sides* sides) {
  Results results;
  results.protocol_errors = sides->receiver->ProtocolErrors();
  results.connections = sides->receiver->ConnectionCount();
  sides->receiver->Stop();
  if (sides->video) {
    sides->video->Stop();
    for (const auto& sample : sides->video->Samples()) results.video_bytes += sample.size;
    results.samples = sides->video->Samples().size();
    results.video_faults = sides->video->Faults();
  }
  if (sides->audio) {
    sides->audio->Stop();
    results.audio_stats = sides->audio->GetStats();
    results.audio_faults = sides->audio->StartFaults();
    for (const auto& fault : sides->audio->LinkFaults()) results.audio_faults.push_back(fault);
    results.pcm = sides->audio->DecodedPcm();
  }
  if (sides->input) results.input_faults = sides->input->Faults();
  results.input_launched = sides->input && sides->input->DataPort().has_value();
  sides->receiver->ClearServices();
  sides->receiver.reset();
  sides->video.reset();
  sides->audio.reset();
  sides->info.reset();
  sides->input.reset();
  return results;
}

void PrintSummary(const Args& args, const Paths& paths, const Progress& p, const Results& r,
                  receiver::demo::StreamFollower* decoder) {
  Say("summary:");
  Say("  control connections: %d, protocol errors: %zu", r.connections, r.protocol_errors.size());
  for (const auto& error : r.protocol_errors) Say("    %s", error.what.c_str());
  if (args.video) {
    Say("  video: started by the client: %s; %zu H.264 samples received (%llu bytes) in %s",
        p.video_started ? "yes" : "no", r.samples, static_cast<unsigned long long>(r.video_bytes),
        paths.h264.c_str());
    if (r.samples > 0 && decoder) {
      const auto decoded = decoder->Finish();
      if (decoded.error.empty()) {
        Say("  video: %ld frames decoded, %dx%d; last frame: %s", decoded.frames, decoded.width,
            decoded.height, decoded.png.c_str());
      } else {
        Say("  video: %s", decoded.error.c_str());
      }
    }
    for (const auto& fault : r.video_faults) Say("    fault: %s", fault.c_str());
  }
  if (r.audio_stats) {
    Say("  audio: %llu datagrams, %llu packets, %llu decoded with Opus (%.1f s, peak %.2f)",
        static_cast<unsigned long long>(r.audio_stats->datagrams),
        static_cast<unsigned long long>(r.audio_stats->packets),
        static_cast<unsigned long long>(r.audio_stats->decoded), r.pcm.size() / 2 / 48000.0,
        receiver::demo::Peak(r.pcm));
    if (!r.pcm.empty()) {
      if (receiver::demo::WriteWave(paths.wave, r.pcm))
        Say("  audio: sound written to %s", paths.wave.c_str());
      else
        Say("  audio: cannot write %s", paths.wave.c_str());
    }
    size_t shown = 0;
    for (const auto& fault : r.audio_stats->faults)
      if (shown++ < 5) Say("    fault: %s", fault.c_str());
    for (const auto& fault : r.audio_faults) Say("    fault: %s", fault.c_str());
  }
  if (args.remote_input) {
    if (!r.input_launched) {
      Say("  input: the client did not launch remote input (no touch device on its side); no taps");
    } else if (p.client_started_input) {
      Say("  input: the client started input (answered); taps sent: %llu, failed: %llu%s",
          static_cast<unsigned long long>(p.taps_sent), static_cast<unsigned long long>(p.taps_failed),
          p.touched ? " (and the --touch touch)" : "");
    } else {
      Say("  input: the client never started input; asked to: %s, acknowledged: %s; taps sent: %llu%s",
          p.start_requested ? "yes" : "no", p.input_acknowledged ? "yes" : "no",
          static_cast<unsigned long long>(p.taps_sent), p.touched ? " (and the --touch touch)" : "");
    }
    for (const auto& fault : r.input_faults) Say("    fault: %s", fault.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<Args> args = ParseArgs(argc, argv);
  if (!args) return Usage(argv[0]);

  // The signals are taken by sigwait on the main thread; every other thread, the
  // receiver's io thread included, inherits the blocked mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  // A decoder that ends early is learnt from its pipe's EPIPE, not from a signal.
  std::signal(SIGPIPE, SIG_IGN);

  const Paths paths(args->out_dir);
  Sides sides;
  if (!StartMediaSides(*args, paths, &sides) || !StartSessionReceiver(*args, &sides)) return 1;
  AnnounceReceiver(sides.receiver.get(), *args);

  // The stream is decoded as it comes, so that the stop does not wait for the whole
  // run's decode.
  std::unique_ptr<receiver::demo::StreamFollower> decoder;
  if (sides.video)
    decoder = std::make_unique<receiver::demo::StreamFollower>(paths.h264, paths.png, paths.decode_log);
  Progress progress;
  const int signal = RunUntilStopped(*args, sides, signals, decoder.get(), &progress);
  if (signal > 0) Say("signal %d, stopping", signal);

  const Results results = StopAndCollect(&sides);
  PrintSummary(*args, paths, progress, results, decoder.get());
  return 0;
}
