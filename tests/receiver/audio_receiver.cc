#include "tests/receiver/audio_receiver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <opus.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tests/receiver/wire_media_packet.h"

namespace receiver {
namespace {

using Json = nlohmann::json;

constexpr int kPollMs = 50;
// Commands are small JSON texts; anything larger is a framing fault of the client.
constexpr uint32_t kMaxCommandBody = 64 * 1024;
constexpr int kOpusRate = 48000;
constexpr int kOpusChannels = 2;
constexpr int kFramesPerPacket = 1920;
constexpr int kMaxDecodeFrames = 5760;  // 120 ms, the longest Opus packet

enum : uint16_t {
  kStart = 1,
  kStop = 2,
  kStartResponse = 101,
  kStopResponse = 102,
  kReceiverStart = 151,
  kReceiverStop = 152,
  kReceiverStopResponse = 252,
};

bool IsUnsigned(const Json& body, const char* name, uint64_t* out) {
  const auto it = body.find(name);
  if (it == body.end() || !it->is_number_unsigned()) return false;
  *out = it->get<uint64_t>();
  return true;
}

int OpenListener(const std::string& address, int type, uint16_t* port) {
  const int fd = ::socket(AF_INET, type, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  if (::inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1 ||
      ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
      (type == SOCK_STREAM && ::listen(fd, 4) != 0)) {
    ::close(fd);
    return -1;
  }
  socklen_t len = sizeof(addr);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  *port = ntohs(addr.sin_port);
  return fd;
}

}  // namespace

class AudioReceiver::Impl {
 public:
  explicit Impl(Options options) : options_(std::move(options)) {}
  ~Impl() { Stop(); }

  bool Start() {
    listen_fd_ = OpenListener(options_.address, SOCK_STREAM, &command_port_);
    udp_fd_ = OpenListener(options_.address, SOCK_DGRAM, &data_port_);
    int error = 0;
    decoder_ = opus_decoder_create(kOpusRate, kOpusChannels, &error);
    if (listen_fd_ < 0 || udp_fd_ < 0 || decoder_ == nullptr) return false;
    command_thread_ = std::thread([this] { CommandLoop(); });
    data_thread_ = std::thread([this] { DataLoop(); });
    return true;
  }

  void Stop() {
    stop_ = true;
    cv_.notify_all();
    if (command_thread_.joinable()) command_thread_.join();
    if (data_thread_.joinable()) data_thread_.join();
    for (int* fd : {&listen_fd_, &udp_fd_}) {
      if (*fd >= 0) ::close(*fd);
      *fd = -1;
    }
    {
      std::lock_guard<std::mutex> lock(write_mutex_);
      if (conn_fd_ >= 0) ::close(conn_fd_);
      conn_fd_ = -1;
    }
    if (decoder_) opus_decoder_destroy(decoder_);
    decoder_ = nullptr;
  }

  std::optional<std::string> OnLaunch(const std::string& init_context) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      launches_.push_back(init_context);
    }
    Json setup = Json::object();
    setup["cmdPort"] = command_port_;
    setup["codec"] = options_.codecs;
    setup["dataPort"] = data_port_;
    setup["version"] = options_.version;
    return setup.dump();
  }

  void SetStartAnswer(bool answer, std::optional<uint32_t> repeat_send, int result_type) {
    std::lock_guard<std::mutex> lock(mutex_);
    options_.answer_start = answer;
    options_.repeat_send = repeat_send;
    options_.result_type = result_type;
  }

  void SetStartAnswerText(std::optional<std::string> body) {
    std::lock_guard<std::mutex> lock(mutex_);
    start_answer_text_ = std::move(body);
  }

  bool SendCommand(uint16_t id, const std::string& body) {
    const auto bytes = wire::EncodeMediaPacket(id, body);
    std::lock_guard<std::mutex> lock(write_mutex_);
    if (conn_fd_ < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::send(conn_fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  std::vector<std::string> LaunchContexts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return launches_;
  }
  bool WaitForCommandLink(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return accepted_ > 0 || stop_; }) && accepted_ > 0;
  }
  std::optional<Command> WaitForCommand(uint16_t id, std::chrono::milliseconds timeout, size_t nth) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::optional<Command> found;
    cv_.wait_for(lock, timeout, [&] {
      size_t seen = 0;
      for (const auto& c : commands_) {
        if (c.id == id && seen++ == nth) {
          found = c;
          return true;
        }
      }
      return stop_.load();
    });
    return found;
  }
  std::vector<std::string> StartFaults() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return start_faults_;
  }
  std::vector<std::string> LinkFaults() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return link_faults_;
  }
  bool WaitForPackets(uint64_t decoded, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return stats_.decoded >= decoded || stop_; }) &&
           stats_.decoded >= decoded;
  }
  Stats GetStats() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stats_;
  }
  std::vector<float> DecodedPcm() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pcm_;
  }

  uint16_t command_port_ = 0;
  uint16_t data_port_ = 0;

 private:
  // Reads exactly `size` bytes from the command link; false on close, error or stop.
  bool ReadExact(int fd, uint8_t* out, size_t size) {
    size_t done = 0;
    while (done < size) {
      if (stop_) return false;
      pollfd p{fd, POLLIN, 0};
      const int ready = ::poll(&p, 1, kPollMs);
      if (ready < 0) return false;
      if (ready == 0) continue;
      const ssize_t n = ::recv(fd, out + done, size - done, 0);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  void CommandLoop() {
    while (!stop_) {
      pollfd p{listen_fd_, POLLIN, 0};
      if (::poll(&p, 1, kPollMs) <= 0) continue;
      const int fd = ::accept(listen_fd_, nullptr, nullptr);
      if (fd < 0) continue;
      {
        std::lock_guard<std::mutex> lock(write_mutex_);
        if (conn_fd_ >= 0) ::close(conn_fd_);
        conn_fd_ = fd;
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ++accepted_;
      }
      cv_.notify_all();
      ReadCommands(fd);
    }
  }

  void ReadCommands(int fd) {
    while (!stop_) {
      uint8_t header_bytes[wire::kMediaHeaderSize];
      if (!ReadExact(fd, header_bytes, sizeof(header_bytes))) return;
      const wire::MediaHeader header = *wire::DecodeMediaHeader(header_bytes, sizeof(header_bytes));
      if (header.length > kMaxCommandBody || (header.type >> 16) != 0 || header.stamp != 0) {
        RecordLinkFault("illegal command header: type " + std::to_string(header.type) +
                        " length " + std::to_string(header.length) + " stamp " +
                        std::to_string(header.stamp));
        return;
      }
      std::string body(header.length, '\0');
      if (header.length > 0 &&
          !ReadExact(fd, reinterpret_cast<uint8_t*>(&body[0]), header.length)) {
        RecordLinkFault("command body cut short");
        return;
      }
      HandleCommand(static_cast<uint16_t>(header.type), body);
    }
  }

  void HandleCommand(uint16_t id, const std::string& body) {
    Command command{id, body, Json::parse(body, nullptr, false)};
    if (command.json.is_discarded()) command.json = nullptr;
    std::optional<std::string> answer;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      commands_.push_back(command);
      if (id == kStart) answer = CheckStartLocked(command);
    }
    cv_.notify_all();
    if (answer) SendCommand(kStartResponse, *answer);
    if (id == kStop) SendCommand(kStopResponse, R"({"resultType":0})");
  }

  // Checks the start body member by member; returns the scripted answer, if any, and
  // arms the data side for a new stream.
  std::optional<std::string> CheckStartLocked(const Command& command) {
    auto fault = [&](const std::string& what) { start_faults_.push_back("kStart: " + what); };
    const Json& body = command.json;
    uint64_t send_count = 0;
    if (!body.is_object()) {
      fault("body is not a JSON object: " + command.body);
    } else {
      const std::vector<std::string> members = {"channelCount", "codec", "displayMode",
                                                "frameCountPerPacket", "sampleRate", "sendCount"};
      for (auto it = body.begin(); it != body.end(); ++it) {
        if (std::find(members.begin(), members.end(), it.key()) == members.end())
          fault("unexpected member " + it.key());
      }
      uint64_t v = 0;
      if (!IsUnsigned(body, "channelCount", &v) || v != 2) fault("channelCount is not 2");
      const auto codec = body.find("codec");
      if (codec == body.end() || !codec->is_string() ||
          std::find(options_.codecs.begin(), options_.codecs.end(), codec->get<std::string>()) ==
              options_.codecs.end())
        fault("codec is not one offered");
      const auto mode = body.find("displayMode");
      if (mode == body.end() || !mode->is_number_integer() || mode->get<int64_t>() < 0)
        fault("displayMode is not a non-negative integer");
      if (!IsUnsigned(body, "frameCountPerPacket", &v) || v != kFramesPerPacket)
        fault("frameCountPerPacket is not 1920");
      if (!IsUnsigned(body, "sampleRate", &v) || v != kOpusRate) fault("sampleRate is not 48000");
      if (!IsUnsigned(body, "sendCount", &send_count) || send_count == 0)
        fault("sendCount is not a positive integer");
    }
    if (start_answer_text_) return start_answer_text_;
    if (!options_.answer_start) return std::nullopt;
    Json answer = Json::object();
    if (options_.repeat_send) answer["repeatSend"] = *options_.repeat_send;
    answer["resultType"] = options_.result_type;
    if (options_.result_type == 0) {
      // The client sends its own count when the receiver agrees to it, else once.
      expected_repeats_ =
          options_.repeat_send && *options_.repeat_send == send_count ? send_count : 1;
      awaiting_stream_ = true;
    }
    return answer.dump();
  }

  void RecordLinkFault(const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex_);
    link_faults_.push_back(what);
  }

  void DataLoop() {
    std::vector<uint8_t> buffer(65536);
    while (!stop_) {
      pollfd p{udp_fd_, POLLIN, 0};
      if (::poll(&p, 1, kPollMs) <= 0) continue;
      const ssize_t n = ::recv(udp_fd_, buffer.data(), buffer.size(), 0);
      if (n < 0) continue;
      OnDatagram(buffer.data(), static_cast<size_t>(n));
    }
  }

  void OnDatagram(const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto fault = [&](const std::string& what) { stats_.faults.push_back(what); };
    ++stats_.datagrams;
    wire::AudioDatagram datagram;
    std::string error;
    if (!wire::DecodeAudioDatagram(data, size, &datagram, &error)) {
      fault("datagram: " + error);
      return;
    }
    const uint32_t seq = datagram.header.type;
    if (have_current_ && seq == current_seq_ &&
        !(seq == 0 && awaiting_stream_)) {
      if (!std::equal(data, data + size, current_bytes_.begin(), current_bytes_.end()))
        fault("repeat of " + std::to_string(seq) + " differs");
      if (++current_repeats_ > current_expected_)
        fault("packet " + std::to_string(seq) + " sent more than " +
              std::to_string(current_expected_) + " times");
      cv_.notify_all();
      return;
    }
    if (seq == 0 && awaiting_stream_) {
      // A new stream; the last packet of the previous one may have been cut short by
      // the stop, so its repeats are not checked.
      awaiting_stream_ = false;
      ++stats_.starts;
      opus_decoder_ctl(decoder_, OPUS_RESET_STATE);
    } else {
      if (!have_current_) {
        fault("stream does not begin at 0: " + std::to_string(seq));
      } else {
        if (seq != current_seq_ + 1)
          fault("sequence " + std::to_string(seq) + " after " + std::to_string(current_seq_));
        if (current_repeats_ != current_expected_)
          fault("packet " + std::to_string(current_seq_) + " sent " +
                std::to_string(current_repeats_) + " times, expected " +
                std::to_string(current_expected_));
      }
    }
    have_current_ = true;
    current_seq_ = seq;
    current_bytes_.assign(data, data + size);
    current_repeats_ = 1;
    current_expected_ = expected_repeats_;
    ++stats_.packets;

    float pcm[kMaxDecodeFrames * kOpusChannels];
    const int frames = opus_decode_float(decoder_, datagram.opus,
                                         static_cast<opus_int32>(datagram.opus_size), pcm,
                                         kMaxDecodeFrames, 0);
    if (frames != kFramesPerPacket) {
      fault("packet " + std::to_string(seq) + " decoded to " + std::to_string(frames) + " frames");
    } else {
      ++stats_.decoded;
      pcm_.insert(pcm_.end(), pcm, pcm + frames * kOpusChannels);
    }
    cv_.notify_all();
  }

  Options options_;
  std::atomic<bool> stop_{false};
  int listen_fd_ = -1;
  int udp_fd_ = -1;
  std::mutex write_mutex_;
  int conn_fd_ = -1;
  std::thread command_thread_;
  std::thread data_thread_;
  OpusDecoder* decoder_ = nullptr;  // data thread only, after Start

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  int accepted_ = 0;
  std::vector<std::string> launches_;
  std::vector<Command> commands_;
  std::vector<std::string> start_faults_;
  std::vector<std::string> link_faults_;
  Stats stats_;
  std::vector<float> pcm_;
  uint64_t expected_repeats_ = 1;
  bool awaiting_stream_ = false;
  std::optional<std::string> start_answer_text_;
  bool have_current_ = false;
  uint32_t current_seq_ = 0;
  std::vector<uint8_t> current_bytes_;
  uint64_t current_repeats_ = 0;
  uint64_t current_expected_ = 1;
};

AudioReceiver::AudioReceiver() : AudioReceiver(Options()) {}
AudioReceiver::AudioReceiver(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}
AudioReceiver::~AudioReceiver() { Stop(); }
bool AudioReceiver::Start() { return impl_->Start(); }
void AudioReceiver::Stop() { impl_->Stop(); }
uint16_t AudioReceiver::CommandPort() const { return impl_->command_port_; }
uint16_t AudioReceiver::DataPort() const { return impl_->data_port_; }
std::optional<std::string> AudioReceiver::OnLaunch(int, const std::string& init_context) {
  return impl_->OnLaunch(init_context);
}
void AudioReceiver::OnServiceMessage(int, const std::string&) {}
void AudioReceiver::SetStartAnswer(bool answer, std::optional<uint32_t> repeat_send,
                                   int result_type) {
  impl_->SetStartAnswer(answer, repeat_send, result_type);
}
void AudioReceiver::SetStartAnswerText(std::optional<std::string> body) {
  impl_->SetStartAnswerText(std::move(body));
}
bool AudioReceiver::SendReceiverStart(int display_mode) {
  return impl_->SendCommand(kReceiverStart, Json{{"displayMode", display_mode}}.dump());
}
bool AudioReceiver::SendReceiverStop() { return impl_->SendCommand(kReceiverStop, ""); }
bool AudioReceiver::SendCommand(uint16_t id, const std::string& body) {
  return impl_->SendCommand(id, body);
}
std::vector<std::string> AudioReceiver::LaunchContexts() const { return impl_->LaunchContexts(); }
bool AudioReceiver::WaitForCommandLink(std::chrono::milliseconds timeout) {
  return impl_->WaitForCommandLink(timeout);
}
std::optional<AudioReceiver::Command> AudioReceiver::WaitForCommand(
    uint16_t id, std::chrono::milliseconds timeout, size_t nth) {
  return impl_->WaitForCommand(id, timeout, nth);
}
std::vector<std::string> AudioReceiver::StartFaults() const { return impl_->StartFaults(); }
std::vector<std::string> AudioReceiver::LinkFaults() const { return impl_->LinkFaults(); }
bool AudioReceiver::WaitForPackets(uint64_t decoded, std::chrono::milliseconds timeout) {
  return impl_->WaitForPackets(decoded, timeout);
}
AudioReceiver::Stats AudioReceiver::GetStats() const { return impl_->GetStats(); }
std::vector<float> AudioReceiver::DecodedPcm() const { return impl_->DecodedPcm(); }

}  // namespace receiver
