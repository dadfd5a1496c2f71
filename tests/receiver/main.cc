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
// start injection once the service is launched and then sends one touch (down and up)
// at X,Y; with --taps it sends a tap every second while the client's input is started.
//
// --demo offers all four services and taps, and takes the first free control port the
// connection code can carry (7382..7385) unless a port is given. Whenever the port is
// one of those, the 8-character code of 127.0.0.1 and the port is printed as
//   connection code: XXXXXXXX
// On exit a summary is printed: video samples received and decoded (with ffmpeg), the
// size of the last frame and the PNG it was written to, audio packets decoded, taps sent
// and whether the client acknowledged the start of input.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <pthread.h>

#include "tests/receiver/audio_receiver.h"
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

// Single-quoted for /bin/sh.
std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

// Runs a shell command and returns its standard output; nothing when it failed.
std::optional<std::string> Capture(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string out;
  char buffer[512];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
  if (status != 0) return std::nullopt;
  return out;
}

bool HaveProgram(const char* name) {
  return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

// What ffmpeg makes of the received stream.
struct DecodedStream {
  std::string error;  // empty on success
  long frames = 0;
  int width = 0;
  int height = 0;
  std::string png;  // the last frame
};

DecodedStream DecodeStream(const std::string& h264_path, const std::string& png_path) {
  DecodedStream result;
  if (!HaveProgram("ffprobe") || !HaveProgram("ffmpeg")) {
    result.error = "ffmpeg/ffprobe not found (install the ffmpeg package); the stream is left undecoded";
    return result;
  }
  const auto probe = Capture("ffprobe -v error -f h264 -count_frames -select_streams v:0 "
                             "-show_entries stream=nb_read_frames,width,height -of default=nw=1 " +
                             ShellQuoted(h264_path) + " 2>/dev/null");
  if (!probe) {
    result.error = "ffprobe could not read the stream";
    return result;
  }
  auto value_of = [&](const char* key) -> long {
    const std::string needle = std::string(key) + "=";
    const auto at = probe->find(needle);
    if (at == std::string::npos) return 0;
    return std::strtol(probe->c_str() + at + needle.size(), nullptr, 10);
  };
  result.frames = value_of("nb_read_frames");
  result.width = static_cast<int>(value_of("width"));
  result.height = static_cast<int>(value_of("height"));
  if (result.frames <= 0) {
    result.error = "no frame of the stream decodes";
    return result;
  }
  // Only the last frame is converted: the select filter drops the others after decoding.
  const std::string select = "select=eq(n\\," + std::to_string(result.frames - 1) + ")";
  const auto wrote = Capture("ffmpeg -v error -y -f h264 -i " + ShellQuoted(h264_path) + " -vf " +
                             ShellQuoted(select) + " -frames:v 1 " + ShellQuoted(png_path) +
                             " 2>&1");
  if (!wrote) {
    result.error = "ffmpeg could not write the last frame";
    return result;
  }
  result.png = png_path;
  return result;
}

void PutLe(std::ofstream& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// 48 kHz stereo float samples as a 16-bit PCM wave file.
bool WriteWave(const std::string& path, const std::vector<float>& pcm) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  const uint32_t data_bytes = static_cast<uint32_t>(pcm.size() * 2);
  out.write("RIFF", 4);
  PutLe(out, 36 + data_bytes, 4);
  out.write("WAVEfmt ", 8);
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);                 // PCM
  PutLe(out, 2, 2);                 // channels
  PutLe(out, 48000, 4);             // sample rate
  PutLe(out, 48000 * 2 * 2, 4);     // bytes per second
  PutLe(out, 4, 2);                 // block align
  PutLe(out, 16, 2);                // bits per sample
  out.write("data", 4);
  PutLe(out, data_bytes, 4);
  for (float sample : pcm) {
    const float clamped = std::max(-1.0f, std::min(1.0f, sample));
    PutLe(out, static_cast<uint32_t>(static_cast<int16_t>(clamped * 32767.0f)) & 0xFFFF, 2);
  }
  return static_cast<bool>(out);
}

double Peak(const std::vector<float>& pcm) {
  float peak = 0;
  for (float sample : pcm) peak = std::max(peak, sample < 0 ? -sample : sample);
  return peak;
}

}  // namespace

int main(int argc, char** argv) {
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
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--demo") {
      demo = video = audio = device_info = remote_input = taps = true;
    } else if (arg == "--video") {
      video = true;
    } else if (arg == "--audio") {
      audio = true;
    } else if (arg == "--device-info") {
      device_info = true;
    } else if (arg == "--remote-input") {
      remote_input = true;
    } else if (arg == "--taps") {
      taps = true;
    } else if (arg == "--touch" && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%d,%d", &touch_x, &touch_y) != 2) return Usage(argv[0]);
      touch = true;
    } else if (arg == "--seconds" && i + 1 < argc) {
      char* end = nullptr;
      seconds = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || seconds <= 0) return Usage(argv[0]);
    } else if (arg == "--out" && i + 1 < argc) {
      out_dir = argv[++i];
    } else if (arg == "--uuid" && i + 1 < argc) {
      options.uuid = argv[++i];
    } else if (arg == "--offer" && i + 1 < argc) {
      std::string spec = argv[++i];
      auto first = spec.find(':');
      if (first == std::string::npos) return Usage(argv[0]);
      auto second = spec.find(':', first + 1);
      receiver::OfferedService offer;
      offer.client_service_id = spec.substr(0, first);
      offer.receiver_service_id = spec.substr(
          first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
      offer.setup_context = second == std::string::npos ? "{}" : spec.substr(second + 1);
      offers.push_back(offer);
    } else if (!arg.empty() && arg[0] != '-') {
      char* end = nullptr;
      long port = std::strtol(arg.c_str(), &end, 10);
      if (*end != '\0' || port < 0 || port > 65535) return Usage(argv[0]);
      options.port = static_cast<uint16_t>(port);
      port_given = true;
    } else {
      return Usage(argv[0]);
    }
  }
  options.address = kAddress;
  if (demo) options.uuid = "reference-receiver-demo";

  // The signals are taken by sigwait on the main thread; every other thread, the
  // receiver's io thread included, inherits the blocked mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  const std::string h264_path = out_dir + "/stream.h264";
  const std::string png_path = out_dir + "/last_frame.png";
  const std::string wave_path = out_dir + "/sound.wav";

  // The service sides bind their own ephemeral ports before the session port.
  std::shared_ptr<receiver::VideoSide> video_side;
  if (video) {
    receiver::VideoSide::Options video_options;
    video_options.h264_path = h264_path;
    video_options.keep_bytes = false;
    video_side = std::make_shared<receiver::VideoSide>(video_options);
    if (!video_side->Start()) {
      std::fprintf(stderr, "cannot start the video side on %s (or write %s)\n", kAddress,
                   h264_path.c_str());
      return 1;
    }
  }
  std::shared_ptr<receiver::AudioReceiver> audio_side;
  if (audio) {
    audio_side = std::make_shared<receiver::AudioReceiver>();
    if (!audio_side->Start()) {
      std::fprintf(stderr, "cannot start the audio side on %s\n", kAddress);
      return 1;
    }
  }

  // A connection code carries only an index into the four code ports, so the session
  // port of a demo is one of them, bound as is: a busy one is never traded for another
  // port the code could not name.
  std::vector<uint16_t> candidates;
  if (demo && !port_given)
    candidates.assign(receiver::wire::kAirCodePorts.begin(), receiver::wire::kAirCodePorts.end());
  else
    candidates.push_back(options.port);

  std::unique_ptr<receiver::SessionReceiver> receiver;
  std::shared_ptr<receiver::DeviceInfoSide> info_side;
  std::shared_ptr<receiver::RemoteInputSide> input_side;
  for (uint16_t port : candidates) {
    options.port = port;
    receiver = std::make_unique<receiver::SessionReceiver>(options);
    for (auto& offer : offers) receiver->OfferService(offer);
    if (video_side) receiver->OfferService(receiver::VideoSide::Offer(video_side));
    if (audio_side) receiver->OfferService({"audio_mirror.c", "audio_mirror.s", "", audio_side});
    if (device_info) {
      info_side = std::make_shared<receiver::DeviceInfoSide>(receiver.get());
      receiver->OfferService(receiver::DeviceInfoSide::Offer(info_side));
    }
    if (remote_input) {
      input_side = std::make_shared<receiver::RemoteInputSide>(receiver.get(),
                                                               receiver::RemoteInputSide::Options{});
      receiver->OfferService(receiver::RemoteInputSide::Offer(input_side));
    }
    if (receiver->Start()) break;
    std::fprintf(stderr, "cannot listen on %s:%u (busy?)\n", kAddress, port);
    receiver.reset();
    info_side.reset();
    input_side.reset();
  }
  if (!receiver) {
    if (candidates.size() > 1)
      std::fprintf(stderr, "every port a connection code can carry (7382..7385) is taken on %s\n",
                   kAddress);
    return 1;
  }

  uint64_t beats = 0;
  const bool chatty_beats = !demo;
  receiver->SetEventObserver([&beats, chatty_beats](const receiver::ReceiverEvent& event) {
    // Heart beats come four times a second; print the first few and then every 40th
    // (a demo prints only the first).
    if (event.kind == receiver::ReceiverEvent::Kind::kHeartBeat) {
      ++beats;
      if (chatty_beats ? (beats > 5 && beats % 40 != 0) : beats > 1) return;
    }
    std::printf("[%d] %s: %s\n", event.connection, KindName(event.kind), event.text.c_str());
    std::fflush(stdout);
  });
  Say("reference receiver on %s:%u, heart beat port %u, uuid %s", kAddress, receiver->Port(),
      receiver->HeartBeatPort(), options.uuid.c_str());
  if (const auto code = receiver::wire::EncodeLongAirCode(kAddress, receiver->Port(), kCodeRotationIndex)) {
    Say("connection code: %s", receiver::wire::ToDisplayedAirCode(*code).c_str());
  } else {
    Say("no connection code: port %u is none of 7382..7385", receiver->Port());
  }
  LOG_INFO("Reference receiver runs on port {}", receiver->Port());

  // Between signals, the scripted steps and the milestones of a share.
  bool offer_printed = false;
  bool start_requested = false;
  bool touched = false;
  bool video_started = false;
  bool first_sample = false;
  auto first_sample_time = std::chrono::steady_clock::now();
  bool first_audio = false;
  bool client_started_input = false;  // the client's own start request (id 0) came
  bool input_acknowledged = false;    // the client answered our start request (id 100)
  size_t video_commands_seen = 0;
  uint64_t taps_sent = 0;
  uint64_t taps_failed = 0;
  auto last_tap = std::chrono::steady_clock::now();
  auto last_status = std::chrono::steady_clock::now();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int signal = 0;
  const timespec step = {0, 100 * 1000 * 1000};
  for (;;) {
    signal = sigtimedwait(&signals, nullptr, &step);
    if (signal > 0) break;
    const auto now = std::chrono::steady_clock::now();
    if (seconds > 0 && now >= deadline) {
      Say("%ld seconds are up, stopping", seconds);
      break;
    }
    if (info_side && !offer_printed) {
      if (auto offer = info_side->ClientOfferText()) {
        Say("client's device info: %s", offer->c_str());
        for (const auto& fault : info_side->Faults()) Say("  fault: %s", fault.c_str());
        offer_printed = true;
      }
    }
    if (video_side) {
      const auto commands = video_side->Commands();
      for (; video_commands_seen < commands.size(); ++video_commands_seen) {
        const auto& command = commands[video_commands_seen];
        Say("video: command %u %s", command.id, command.body.c_str());
        if (command.id == 1) video_started = true;
      }
      if (!first_sample && video_side->SampleCount() > 0) {
        Say("video: first H.264 sample received");
        first_sample = true;
        first_sample_time = std::chrono::steady_clock::now();
      }
    }
    if (audio_side && !first_audio && audio_side->GetStats().decoded > 0) {
      Say("audio: first Opus packet decoded");
      first_audio = true;
    }
    if (input_side && !client_started_input &&
        input_side->WaitForControl(0, std::chrono::milliseconds(0))) {
      Say("input: the client started input");
      client_started_input = true;
    }
    if (input_side && !input_acknowledged && input_side->WaitForControl(100, std::chrono::milliseconds(0))) {
      Say("input: the client acknowledged the start of input");
      input_acknowledged = true;
    }
    if (input_side && touch && !start_requested && input_side->DataPort()) {
      Say("client's data port %u, asking it to start input", *input_side->DataPort());
      start_requested = input_side->RequestStart();
    }
    if (input_side && touch && start_requested && !touched && input_acknowledged) {
      using receiver::wire::TouchFrame;
      const auto stamp = static_cast<uint32_t>(std::time(nullptr));
      const bool down = input_side->SendInputEvents(TouchFrame({{0, 1, touch_x, touch_y}}, stamp));
      const bool up = input_side->SendInputEvents(TouchFrame({{0, -1, 0, 0}}, stamp, 50000));
      Say("touch at %d,%d sent: %s", touch_x, touch_y, down && up ? "yes" : "no");
      touched = true;
    }
    // Taps go only while the client injects: after its own start request, or after it
    // acknowledged ours. A share that is running without input gets asked once.
    if (input_side && taps && first_sample && !client_started_input && !start_requested &&
        input_side->DataPort() && now - first_sample_time > std::chrono::seconds(2)) {
      Say("input: asking the client to start input");
      start_requested = input_side->RequestStart();
    }
    if (input_side && taps && (client_started_input || input_acknowledged) &&
        now - last_tap >= std::chrono::seconds(1)) {
      using receiver::wire::TouchFrame;
      last_tap = now;
      // Positions on the receiver's 0..65535 touch plane, walking across the screen.
      const int32_t x = static_cast<int32_t>(8192 + (taps_sent * 6553) % 49152);
      const int32_t y = static_cast<int32_t>(16384 + (taps_sent * 4096) % 32768);
      const auto stamp = static_cast<uint32_t>(std::time(nullptr));
      const bool down = input_side->SendInputEvents(
          TouchFrame({{0, static_cast<int32_t>(taps_sent + 1), x, y}}, stamp));
      const bool up = input_side->SendInputEvents(TouchFrame({{0, -1, 0, 0}}, stamp, 50000));
      if (down && up)
        ++taps_sent;
      else
        ++taps_failed;
    }
    if (demo && now - last_status >= std::chrono::seconds(5)) {
      last_status = now;
      Say("status: connections %d, video samples %zu, audio packets %llu, taps %llu",
          receiver->ConnectionCount(), video_side ? video_side->SampleCount() : size_t{0},
          audio_side ? static_cast<unsigned long long>(audio_side->GetStats().decoded) : 0ull,
          static_cast<unsigned long long>(taps_sent));
    }
  }
  if (signal > 0) Say("signal %d, stopping", signal);

  // Everything is gathered before the summary, and the sides are stopped (the stream
  // file is complete once the video side is gone).
  const auto protocol_errors = receiver->ProtocolErrors();
  const int connections = receiver->ConnectionCount();
  receiver->Stop();
  size_t samples = 0;
  uint64_t video_bytes = 0;
  std::vector<std::string> video_faults;
  if (video_side) {
    video_side->Stop();
    for (const auto& sample : video_side->Samples()) video_bytes += sample.size;
    samples = video_side->Samples().size();
    video_faults = video_side->Faults();
  }
  std::optional<receiver::AudioReceiver::Stats> audio_stats;
  std::vector<std::string> audio_faults;
  std::vector<float> pcm;
  if (audio_side) {
    audio_side->Stop();
    audio_stats = audio_side->GetStats();
    audio_faults = audio_side->StartFaults();
    for (const auto& fault : audio_side->LinkFaults()) audio_faults.push_back(fault);
    pcm = audio_side->DecodedPcm();
  }
  std::vector<std::string> input_faults = input_side ? input_side->Faults() : std::vector<std::string>{};
  const bool input_launched = input_side && input_side->DataPort().has_value();
  receiver->ClearServices();
  receiver.reset();
  video_side.reset();
  audio_side.reset();
  info_side.reset();
  input_side.reset();

  Say("summary:");
  Say("  control connections: %d, protocol errors: %zu", connections, protocol_errors.size());
  for (const auto& error : protocol_errors) Say("    %s", error.what.c_str());
  if (video) {
    Say("  video: started by the client: %s; %zu H.264 samples received (%llu bytes) in %s",
        video_started ? "yes" : "no", samples, static_cast<unsigned long long>(video_bytes),
        h264_path.c_str());
    if (samples > 0) {
      const auto decoded = DecodeStream(h264_path, png_path);
      if (decoded.error.empty()) {
        Say("  video: %ld frames decoded, %dx%d; last frame: %s", decoded.frames, decoded.width,
            decoded.height, decoded.png.c_str());
      } else {
        Say("  video: %s", decoded.error.c_str());
      }
    }
    for (const auto& fault : video_faults) Say("    fault: %s", fault.c_str());
  }
  if (audio_stats) {
    Say("  audio: %llu datagrams, %llu packets, %llu decoded with Opus (%.1f s, peak %.2f)",
        static_cast<unsigned long long>(audio_stats->datagrams),
        static_cast<unsigned long long>(audio_stats->packets),
        static_cast<unsigned long long>(audio_stats->decoded), pcm.size() / 2 / 48000.0, Peak(pcm));
    if (!pcm.empty()) {
      if (WriteWave(wave_path, pcm))
        Say("  audio: sound written to %s", wave_path.c_str());
      else
        Say("  audio: cannot write %s", wave_path.c_str());
    }
    size_t shown = 0;
    for (const auto& fault : audio_stats->faults)
      if (shown++ < 5) Say("    fault: %s", fault.c_str());
    for (const auto& fault : audio_faults) Say("    fault: %s", fault.c_str());
  }
  if (remote_input) {
    if (!input_launched) {
      Say("  input: the client did not launch remote input (no touch device on its side); no taps");
    } else if (client_started_input) {
      Say("  input: the client started input (answered); taps sent: %llu, failed: %llu%s",
          static_cast<unsigned long long>(taps_sent), static_cast<unsigned long long>(taps_failed),
          touched ? " (and the --touch touch)" : "");
    } else {
      Say("  input: the client never started input; asked to: %s, acknowledged: %s; taps sent: %llu%s",
          start_requested ? "yes" : "no", input_acknowledged ? "yes" : "no",
          static_cast<unsigned long long>(taps_sent), touched ? " (and the --touch touch)" : "");
    }
    for (const auto& fault : input_faults) Say("    fault: %s", fault.c_str());
  }
  return 0;
}
