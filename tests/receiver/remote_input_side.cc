#include "tests/receiver/remote_input_side.h"

#include <utility>

#include "tests/receiver/session_receiver.h"
#include "utils/logger.h"

namespace receiver {

namespace {
const char* const kLogTag = "RECEIVER::remote_input";
constexpr const char* kClientServiceId = "remote_input.r";
constexpr const char* kReceiverServiceId = "remote_input.s";

bool IsClientControlId(uint64_t id) { return id == 0 || id == 2 || id == 100 || id == 102; }

// {"content":{"result":bool},"id":100}: a start answer that says whether it was taken.
bool IsStartAnswerWithResult(const nlohmann::json& m) {
  if (!m.is_object() || m.size() != 2 || !m.contains("id") || !m.contains("content")) return false;
  const auto& content = m["content"];
  return m["id"].is_number_unsigned() && m["id"].get<uint64_t>() == 100 && content.is_object() &&
         content.size() == 1 && content.contains("result") && content["result"].is_boolean();
}
}  // namespace

RemoteInputSide::RemoteInputSide(SessionReceiver* receiver, Options options)
    : receiver_(receiver), options_(std::move(options)) {}

RemoteInputSide::~RemoteInputSide() = default;

OfferedService RemoteInputSide::Offer(std::shared_ptr<RemoteInputSide> side) {
  return {kClientServiceId, kReceiverServiceId, "{}", std::move(side)};
}

std::optional<std::string> RemoteInputSide::OnLaunch(int connection,
                                                     const std::string& init_context) {
  const nlohmann::json context = nlohmann::json::parse(init_context, nullptr, false);
  std::lock_guard<std::mutex> lock(mutex_);
  const bool ok = context.is_object() && context.size() == 2 && context.contains("data_port") &&
                  context["data_port"].is_number_unsigned() && context["data_port"] > 0 &&
                  context["data_port"] <= 65535 && context.contains("version") &&
                  context["version"].is_string();
  if (!ok) {
    Fault("bad init context: " + init_context);
    return std::nullopt;
  }
  LOG_INFO("[{}] client's data port {}, version {}", connection, context["data_port"].dump(),
           context["version"].get<std::string>());
  init_contexts_[connection] = context;
  last_launch_ = connection;
  cv_.notify_all();
  return options_.setup_context;
}

void RemoteInputSide::OnServiceMessage(int connection, const std::string& message) {
  const nlohmann::json parsed = nlohmann::json::parse(message, nullptr, false);
  std::optional<bool> accept;
  uint16_t id = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool ok = (parsed.is_object() && parsed.size() == 1 && parsed.contains("id") &&
                     parsed["id"].is_number_unsigned() &&
                     IsClientControlId(parsed["id"].get<uint64_t>())) ||
                    IsStartAnswerWithResult(parsed);
    if (!ok) {
      Fault("bad control message: " + message);
      return;
    }
    id = parsed["id"].get<uint16_t>();
    LOG_INFO("[{}] control message {}", connection, message);
    controls_.push_back({connection, message, id});
    accept = options_.accept_start;
    cv_.notify_all();
  }
  // Answered from the io thread, on the connection the request came from.
  if (id == 0 && accept) SendControl(100, {{"result", *accept}}, connection);
  if (id == 2) SendControl(102, nullptr, connection);
}

void RemoteInputSide::SetAcceptStart(std::optional<bool> accept) {
  std::lock_guard<std::mutex> lock(mutex_);
  options_.accept_start = accept;
}

bool RemoteInputSide::SendControl(uint16_t id, const nlohmann::json& content, int connection) {
  nlohmann::json message = {{"id", id}};
  if (!content.is_null()) message["content"] = content;
  return receiver_->SendServiceMessage(kClientServiceId, message.dump(), connection);
}

bool RemoteInputSide::RequestStartThenBreakSequence(int connection) {
  if (!RequestStart(connection)) return false;
  // Far ahead of anything a test sends; the hello only carries the bad number.
  receiver_->SetNextSequence(0x40000000, connection);
  return receiver_->SendHello(connection);
}

bool RemoteInputSide::SendInputEvents(const std::vector<wire::TouchEvent>& events, int connection) {
  auto bytes = wire::EncodeInputDatagram(events);
  return bytes && SendDatagram(*bytes, connection);
}

bool RemoteInputSide::SendDatagram(const std::vector<uint8_t>& bytes, int connection) {
  const auto port = DataPort(connection);
  if (!port) return false;
  std::string source;
  std::string target;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    source = options_.source_address;
    target = options_.target_address;
  }
  std::error_code ec;
  const auto target_address = asio::ip::make_address_v4(target, ec);
  if (ec) return false;
  std::lock_guard<std::mutex> lock(socket_mutex_);
  if (!socket_) {
    const auto source_address = asio::ip::make_address_v4(source, ec);
    if (ec) return false;
    auto socket = std::make_unique<asio::ip::udp::socket>(io_);
    socket->open(asio::ip::udp::v4(), ec);
    if (!ec) socket->bind({source_address, 0}, ec);
    if (ec) return false;
    socket_ = std::move(socket);
  }
  socket_->send_to(asio::buffer(bytes), {target_address, *port}, 0, ec);
  return !ec;
}

std::optional<uint16_t> RemoteInputSide::DataPort(int connection) const {
  auto context = InitContext(connection);
  if (!context) return std::nullopt;
  return (*context)["data_port"].get<uint16_t>();
}

std::optional<nlohmann::json> RemoteInputSide::InitContext(int connection) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = init_contexts_.find(connection == 0 ? last_launch_ : connection);
  if (it == init_contexts_.end()) return std::nullopt;
  return it->second;
}

bool RemoteInputSide::WaitForLaunch(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, timeout, [&] { return last_launch_ != 0; });
}

std::optional<RemoteInputSide::ControlRecord> RemoteInputSide::WaitForControl(
    uint16_t id, std::chrono::milliseconds timeout, size_t nth) {
  std::unique_lock<std::mutex> lock(mutex_);
  std::optional<ControlRecord> found;
  cv_.wait_for(lock, timeout, [&] {
    size_t seen = 0;
    for (const auto& c : controls_) {
      if (c.id == id && seen++ == nth) {
        found = c;
        return true;
      }
    }
    return false;
  });
  return found;
}

std::vector<RemoteInputSide::ControlRecord> RemoteInputSide::Controls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return controls_;
}

std::vector<std::string> RemoteInputSide::Faults() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_;
}

void RemoteInputSide::Fault(const std::string& what) {
  LOG_WARN("{}", what);
  faults_.push_back(what);
  cv_.notify_all();
}

}  // namespace receiver
