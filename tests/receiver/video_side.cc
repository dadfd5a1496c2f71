#include "tests/receiver/video_side.h"

#include <algorithm>
#include <deque>
#include <fstream>
#include <thread>
#include <utility>

#include <asio/buffer.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/read.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>

#include "utils/logger.h"

namespace receiver {
namespace {

const char* const kLogTag = "RECEIVER::video";
constexpr const char* kClientServiceId = "video_mirror.c";
constexpr const char* kReceiverServiceId = "video_mirror.s";

using asio::ip::tcp;
using Json = nlohmann::json;

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool IsUnsigned(const Json& body, const char* name) {
  return body.contains(name) && body[name].is_number_unsigned();
}

// Empty when the command from the client is well formed; otherwise what is wrong.
std::string CheckClientCommand(uint16_t id, const std::string& text, const Json& body) {
  switch (id) {
    case 0x1:
      if (!body.is_object() || body.size() != 2 || !body.contains("codec") ||
          !body["codec"].is_string() || !body.contains("displayMode") ||
          !body["displayMode"].is_number_integer()) {
        return "bad start body: " + text;
      }
      return {};
    case 0x2:
    case 0x3:
      return text.empty() ? std::string() : "pause/stop with a body: " + text;
    case 0x4:
      if (!body.is_object() || body.size() != 1 || !body.contains("keepAspectRatio") ||
          !body["keepAspectRatio"].is_boolean()) {
        return "bad keep-aspect body: " + text;
      }
      return {};
    case 0x5:
      if (!body.is_object() || body.size() != 4 || !IsUnsigned(body, "bandwidth") ||
          !IsUnsigned(body, "rto") || !IsUnsigned(body, "rtt") || !IsUnsigned(body, "score")) {
        return "bad link-statistics body: " + text;
      }
      return {};
    case 0x5100:
    case 0x5200:
    case 0x5300:
    case 0x5400:
      if (!body.is_object() || body.size() != 1 || !body.contains("resultType") ||
          !body["resultType"].is_number_integer()) {
        return "bad reply body: " + text;
      }
      return {};
    default:
      return "unknown command " + std::to_string(id);
  }
}

}  // namespace

class VideoSide::Impl : public std::enable_shared_from_this<Impl> {
 public:
  explicit Impl(Options options) : options_(std::move(options)) {}

  bool Start() {
    asio::error_code ec;
    const auto address = asio::ip::make_address(options_.address, ec);
    if (ec) return false;
    for (auto* acceptor : {&cmd_acceptor_, &data_acceptor_}) {
      acceptor->open(tcp::v4(), ec);
      if (!ec) acceptor->set_option(tcp::acceptor::reuse_address(true), ec);
      if (!ec) acceptor->bind({address, 0}, ec);
      if (!ec) acceptor->listen(8, ec);
      if (ec) return false;
    }
    cmd_port_ = cmd_acceptor_.local_endpoint().port();
    data_port_ = data_acceptor_.local_endpoint().port();
    if (!options_.h264_path.empty()) {
      file_.open(options_.h264_path, std::ios::binary | std::ios::trunc);
    }
    AcceptCommand();
    AcceptData();
    thread_ = std::thread([this] {
      try {
        io_.run();
      } catch (const std::exception& e) {
        LOG_ERROR("video side io ended: {}", e.what());
      }
    });
    return true;
  }

  void Stop() {
    if (!thread_.joinable()) return;
    io_.stop();
    thread_.join();
    // The io thread is gone: its objects are this thread's now.
    asio::error_code ec;
    cmd_acceptor_.close(ec);
    data_acceptor_.close(ec);
    if (cmd_) cmd_->close(ec);
    if (data_) data_->close(ec);
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    cv_.notify_all();
  }

  // --- command connection ---
  void AcceptCommand() {
    auto socket = std::make_shared<tcp::socket>(io_);
    cmd_acceptor_.async_accept(*socket, [this, socket](const asio::error_code& ec) {
      if (ec) return;
      asio::error_code ignored;
      socket->set_option(tcp::no_delay(true), ignored);
      if (cmd_) cmd_->close(ignored);
      cmd_ = socket;
      write_queue_.clear();
      writing_ = false;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ++cmd_connections_;
        cv_.notify_all();
      }
      ReadCommandHeader(socket);
      AcceptCommand();
    });
  }

  void ReadCommandHeader(std::shared_ptr<tcp::socket> socket) {
    auto header = std::make_shared<std::vector<uint8_t>>(wire::kMediaHeaderSize);
    asio::async_read(*socket, asio::buffer(*header),
                     [this, socket, header](const asio::error_code& ec, size_t) {
                       if (ec) return;
                       const auto decoded = wire::DecodeMediaHeader(header->data(), header->size());
                       if ((decoded->type >> 16) != 0 || decoded->stamp != 0 ||
                           decoded->length > wire::kMediaMaxBody) {
                         Fault("illegal command header, type " + std::to_string(decoded->type) +
                               " length " + std::to_string(decoded->length));
                         asio::error_code ignored;
                         socket->close(ignored);
                         return;
                       }
                       ReadCommandBody(socket, *decoded);
                     });
  }

  void ReadCommandBody(std::shared_ptr<tcp::socket> socket, wire::MediaHeader header) {
    auto body = std::make_shared<std::vector<uint8_t>>(header.length);
    asio::async_read(*socket, asio::buffer(*body),
                     [this, socket, header, body](const asio::error_code& ec, size_t) {
                       if (ec) return;
                       OnCommand(header, std::string(body->begin(), body->end()));
                       ReadCommandHeader(socket);
                     });
  }

  void OnCommand(const wire::MediaHeader& header, const std::string& text) {
    Command command;
    command.header = header;
    command.id = static_cast<uint16_t>(header.type);
    command.body = text;
    if (!text.empty()) command.json = Json::parse(text, nullptr, false);
    const std::string fault = CheckClientCommand(command.id, text, command.json);
    std::optional<int> start_result;
    std::optional<std::string> start_answer_text;
    uint16_t width = 0, height = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!fault.empty()) faults_.push_back(fault);
      LOG_INFO("command {:#x} {}", command.id, text);
      commands_.push_back(command);
      start_result = start_result_;
      start_answer_text = start_answer_text_;
      width = width_;
      height = height_;
      cv_.notify_all();
    }
    if (!fault.empty()) return;
    // Answers carry the request's id shifted left by 8.
    if (command.id == 0x1 && start_answer_text) {
      WriteCommand(0x100, *start_answer_text);
    } else if (command.id == 0x1 && start_result) {
      WriteCommand(0x100, Json{{"resultType", *start_result},
                               {"screenHeight", height},
                               {"screenWidth", width}}
                              .dump());
    } else if (command.id == 0x2 || command.id == 0x3) {
      WriteCommand(static_cast<uint16_t>(command.id << 8), Json{{"resultType", 0}}.dump());
    }
  }

  // On the io thread.
  void WriteCommand(uint16_t id, const std::string& body) {
    WriteBytes(wire::EncodeMediaCommand(id, std::vector<uint8_t>(body.begin(), body.end())));
  }

  void WriteBytes(std::vector<uint8_t> bytes) {
    if (!cmd_) return;
    write_queue_.push_back(std::move(bytes));
    if (!writing_) WriteNext(cmd_);
  }

  void WriteNext(std::shared_ptr<tcp::socket> socket) {
    if (write_queue_.empty() || socket != cmd_) {
      writing_ = false;
      return;
    }
    writing_ = true;
    auto bytes = std::make_shared<std::vector<uint8_t>>(std::move(write_queue_.front()));
    write_queue_.pop_front();
    asio::async_write(*socket, asio::buffer(*bytes),
                      [this, socket, bytes](const asio::error_code& ec, size_t) {
                        if (ec) {
                          writing_ = false;
                          return;
                        }
                        WriteNext(socket);
                      });
  }

  bool Post(std::function<void()> action) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopped_ || cmd_connections_ == 0) return false;
    }
    asio::post(io_, std::move(action));
    return true;
  }

  // --- data connection ---
  void AcceptData() {
    auto socket = std::make_shared<tcp::socket>(io_);
    data_acceptor_.async_accept(*socket, [this, socket](const asio::error_code& ec) {
      if (ec) return;
      asio::error_code ignored;
      if (data_) data_->close(ignored);
      data_ = socket;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ++data_connections_;
        data_closed_ = false;
        cv_.notify_all();
      }
      ReadDataHeader(socket);
      AcceptData();
    });
  }

  void DataClosed(const std::shared_ptr<tcp::socket>& socket) {
    if (socket != data_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    data_closed_ = true;
    cv_.notify_all();
  }

  void ReadDataHeader(std::shared_ptr<tcp::socket> socket) {
    WhenReadable(socket, [this, socket] {
      auto header = std::make_shared<std::vector<uint8_t>>(wire::kMediaHeaderSize);
      asio::async_read(*socket, asio::buffer(*header),
                       [this, socket, header](const asio::error_code& ec, size_t) {
                         if (ec) return DataClosed(socket);
                         const auto decoded = wire::DecodeMediaHeader(header->data(), header->size());
                         if (decoded->type != 0 || decoded->length > wire::kMediaMaxBody) {
                           Fault("illegal data header, type " + std::to_string(decoded->type) +
                                 " length " + std::to_string(decoded->length));
                           asio::error_code ignored;
                           socket->close(ignored);
                           return;
                         }
                         body_.assign(decoded->length, 0);
                         body_read_ = 0;
                         ReadDataBody(socket, *decoded);
                       });
    });
  }

  void ReadDataBody(std::shared_ptr<tcp::socket> socket, wire::MediaHeader header) {
    if (body_read_ == body_.size()) return OnSample(socket, header);
    WhenReadable(socket, [this, socket, header] {
      size_t rate = 0;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        rate = read_rate_;
      }
      size_t chunk = body_.size() - body_read_;
      // A throttled read takes a hundredth of a second's worth at a time.
      if (rate > 0) chunk = std::max<size_t>(1, std::min(chunk, rate / 100));
      asio::async_read(*socket, asio::buffer(body_.data() + body_read_, chunk),
                       [this, socket, header, rate](const asio::error_code& ec, size_t n) {
                         if (ec) return DataClosed(socket);
                         body_read_ += n;
                         if (rate == 0) return ReadDataBody(socket, header);
                         throttle_.expires_after(std::chrono::microseconds(n * 1000000 / rate));
                         throttle_.async_wait([this, socket, header](const asio::error_code& wait_ec) {
                           if (!wait_ec) ReadDataBody(socket, header);
                         });
                       });
    });
  }

  // Runs `next` now, or once reading is no longer paused.
  void WhenReadable(std::shared_ptr<tcp::socket> socket, std::function<void()> next) {
    bool paused = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      paused = reading_paused_;
    }
    if (!paused) return next();
    throttle_.expires_after(std::chrono::milliseconds(10));
    throttle_.async_wait([this, socket, next](const asio::error_code& ec) {
      if (!ec && socket->is_open()) WhenReadable(socket, next);
    });
  }

  void OnSample(std::shared_ptr<tcp::socket> socket, const wire::MediaHeader& header) {
    Sample sample;
    sample.stamp = header.stamp;
    sample.size = body_.size();
    sample.last_byte_us = NowUs();
    if (file_.is_open()) file_.write(reinterpret_cast<const char*>(body_.data()), body_.size());
    {
      std::lock_guard<std::mutex> lock(mutex_);
      sample.offset = stream_.size();
      if (options_.keep_bytes) stream_.insert(stream_.end(), body_.begin(), body_.end());
      samples_.push_back(sample);
      cv_.notify_all();
    }
    ReadDataHeader(socket);
  }

  void Fault(const std::string& what) {
    LOG_ERROR("fault: {}", what);
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back(what);
    cv_.notify_all();
  }

  Options options_;
  asio::io_context io_;
  tcp::acceptor cmd_acceptor_{io_};
  tcp::acceptor data_acceptor_{io_};
  asio::steady_timer throttle_{io_};
  std::thread thread_;
  uint16_t cmd_port_ = 0;
  uint16_t data_port_ = 0;

  // io-thread state
  std::shared_ptr<tcp::socket> cmd_;
  std::shared_ptr<tcp::socket> data_;
  std::deque<std::vector<uint8_t>> write_queue_;
  bool writing_ = false;
  std::vector<uint8_t> body_;
  size_t body_read_ = 0;
  std::ofstream file_;

  // shared, under mutex_
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool stopped_ = false;
  std::optional<int> start_result_ = options_.start_result;
  std::optional<std::string> start_answer_text_;
  uint16_t width_ = options_.screen_width;
  uint16_t height_ = options_.screen_height;
  size_t read_rate_ = 0;
  bool reading_paused_ = false;
  std::vector<Command> commands_;
  std::vector<Sample> samples_;
  std::vector<uint8_t> stream_;
  std::vector<std::string> faults_;
  std::optional<Json> init_context_;
  int cmd_connections_ = 0;
  int data_connections_ = 0;
  bool data_closed_ = false;
};

VideoSide::VideoSide() : VideoSide(Options()) {}
VideoSide::VideoSide(Options options) : impl_(std::make_shared<Impl>(std::move(options))) {}
VideoSide::~VideoSide() { Stop(); }
bool VideoSide::Start() { return impl_->Start(); }
void VideoSide::Stop() { impl_->Stop(); }

OfferedService VideoSide::Offer(std::shared_ptr<VideoSide> side) {
  return {kClientServiceId, kReceiverServiceId, "{}", std::move(side)};
}

std::optional<std::string> VideoSide::OnLaunch(int, const std::string& init_context) {
  const Json context = Json::parse(init_context, nullptr, false);
  std::lock_guard<std::mutex> lock(impl_->mutex_);
  if (init_context != R"({"version":1})") impl_->faults_.push_back("bad offer: " + init_context);
  if (!context.is_discarded()) impl_->init_context_ = context;
  impl_->cv_.notify_all();
  if (impl_->options_.setting_text) return *impl_->options_.setting_text;
  if (impl_->options_.setting) return impl_->options_.setting->dump();
  return Json{{"cmdPort", impl_->cmd_port_},
              {"codec", impl_->options_.codecs},
              {"dataPort", impl_->data_port_},
              {"version", impl_->options_.version}}
      .dump();
}

void VideoSide::OnServiceMessage(int, const std::string& message) {
  std::lock_guard<std::mutex> lock(impl_->mutex_);
  impl_->faults_.push_back("service message on video: " + message);
}

uint16_t VideoSide::CommandPort() const { return impl_->cmd_port_; }
uint16_t VideoSide::DataPort() const { return impl_->data_port_; }

void VideoSide::SetStartAnswer(std::optional<int> result, uint16_t width, uint16_t height) {
  std::lock_guard<std::mutex> lock(impl_->mutex_);
  impl_->start_result_ = result;
  impl_->width_ = width;
  impl_->height_ = height;
}

void VideoSide::SetStartAnswerText(std::optional<std::string> body) {
  std::lock_guard<std::mutex> lock(impl_->mutex_);
  impl_->start_answer_text_ = std::move(body);
}

void VideoSide::SetReadRate(size_t bytes_per_second) {
  std::lock_guard<std::mutex> lock(impl_->mutex_);
  impl_->read_rate_ = bytes_per_second;
}

void VideoSide::SetReadingPaused(bool paused) {
  std::lock_guard<std::mutex> lock(impl_->mutex_);
  impl_->reading_paused_ = paused;
}

bool VideoSide::SendCommand(uint16_t id, const std::string& body) {
  auto impl = impl_;
  return impl_->Post([impl, id, body] { impl->WriteCommand(id, body); });
}

bool VideoSide::SendReceiverStart(int display_mode) {
  return SendCommand(0x51, Json{{"displayMode", display_mode}}.dump());
}

bool VideoSide::SendResolutionChange(int width, int height) {
  return SendCommand(0x54, Json{{"screenHeight", height}, {"screenWidth", width}}.dump());
}

bool VideoSide::SendRaw(const std::vector<uint8_t>& bytes) {
  auto impl = impl_;
  return impl_->Post([impl, bytes] { impl->WriteBytes(bytes); });
}

bool VideoSide::SendGarbage() {
  const std::string text = "GET / HTTP/1.1\r\n\r\n";
  return SendRaw(std::vector<uint8_t>(text.begin(), text.end()));
}

void VideoSide::CloseCommandConnection() {
  auto impl = impl_;
  impl_->Post([impl] {
    asio::error_code ec;
    if (impl->cmd_) impl->cmd_->close(ec);
  });
}

void VideoSide::CloseDataConnection() {
  auto impl = impl_;
  impl_->Post([impl] {
    asio::error_code ec;
    if (impl->data_) impl->data_->close(ec);
  });
}

std::optional<VideoSide::Command> VideoSide::WaitForCommand(uint16_t id,
                                                            std::chrono::milliseconds timeout,
                                                            size_t nth) {
  std::unique_lock<std::mutex> lock(impl_->mutex_);
  std::optional<Command> found;
  impl_->cv_.wait_for(lock, timeout, [&] {
    size_t seen = 0;
    for (const auto& command : impl_->commands_) {
      if (command.id == id && seen++ == nth) {
        found = command;
        return true;
      }
    }
    return impl_->stopped_;
  });
  return found;
}

std::vector<VideoSide::Command> VideoSide::Commands() const {
  std::lock_guard<std::mutex> lock(impl_->mutex_);
  return impl_->commands_;
}

bool VideoSide::WaitForSamples(size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(impl_->mutex_);
  return impl_->cv_.wait_for(lock, timeout, [&] { return impl_->samples_.size() >= count; });
}

size_t VideoSide::SampleCount() const {
  std::lock_guard<std::mutex> lock(impl_->mutex_);
  return impl_->samples_.size();
}

std::vector<VideoSide::Sample> VideoSide::Samples() const {
  std::lock_guard<std::mutex> lock(impl_->mutex_);
  return impl_->samples_;
}

std::vector<uint8_t> VideoSide::Stream(size_t from) const {
  std::lock_guard<std::mutex> lock(impl_->mutex_);
  if (from >= impl_->samples_.size()) return {};
  return std::vector<uint8_t>(impl_->stream_.begin() + static_cast<std::ptrdiff_t>(impl_->samples_[from].offset),
                              impl_->stream_.end());
}

std::optional<nlohmann::json> VideoSide::InitContext() const {
  std::lock_guard<std::mutex> lock(impl_->mutex_);
  return impl_->init_context_;
}

bool VideoSide::WaitForConnections(int command, int data, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(impl_->mutex_);
  return impl_->cv_.wait_for(lock, timeout, [&] {
    return impl_->cmd_connections_ >= command && impl_->data_connections_ >= data;
  });
}

int VideoSide::CommandConnections() const {
  std::lock_guard<std::mutex> lock(impl_->mutex_);
  return impl_->cmd_connections_;
}

int VideoSide::DataConnections() const {
  std::lock_guard<std::mutex> lock(impl_->mutex_);
  return impl_->data_connections_;
}

bool VideoSide::WaitForDataClosed(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(impl_->mutex_);
  return impl_->cv_.wait_for(lock, timeout, [&] { return impl_->data_closed_; });
}

std::vector<std::string> VideoSide::Faults() const {
  std::lock_guard<std::mutex> lock(impl_->mutex_);
  return impl_->faults_;
}

}  // namespace receiver
