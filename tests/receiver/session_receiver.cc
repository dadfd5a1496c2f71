#include "tests/receiver/session_receiver.h"

#include <array>
#include <condition_variable>
#include <exception>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include <asio.hpp>

#include "tests/receiver/wire_message_body.h"
#include "utils/logger.h"

namespace receiver {
namespace {

const char* const kLogTag = "RECEIVER::session_receiver";

// Bound on how long a caller waits for the io thread to carry out a send or close.
constexpr Milliseconds kIoCallTimeout{5000};
constexpr Milliseconds kHeartBeatInterval{250};

uint64_t NowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

std::string Hex(const uint8_t* data, size_t size) {
  std::string out;
  for (size_t i = 0; i < size; ++i) out += fmt::format(i == 0 ? "{:02X}" : " {:02X}", data[i]);
  return out;
}

nlohmann::json ApplyScript(nlohmann::json built, const AnswerScript& script) {
  if (script.content) return *script.content;
  if (built.is_object()) {
    for (auto it = script.set.begin(); it != script.set.end(); ++it) built[it.key()] = it.value();
    for (const auto& name : script.omit) built.erase(name);
  }
  return built;
}

// The client's handshake request carries exactly these members:
//   "authKey" string, "heartBeatPort" unsigned 16-bit, "key" "tolv", "uuid" string,
//   "version" integer 0, "version_name" string.
std::vector<std::string> CheckHandshakeRequest(const nlohmann::json& request) {
  std::vector<std::string> faults;
  if (!request.is_object()) return {"not an object"};
  auto string_member = [&](const char* name) {
    auto it = request.find(name);
    if (it == request.end() || !it->is_string())
      faults.push_back(fmt::format("\"{}\" missing or not a string", name));
    return it;
  };
  string_member("version_name");
  string_member("uuid");
  string_member("authKey");
  auto key = string_member("key");
  if (key != request.end() && key->is_string() && *key != "tolv")
    faults.push_back("\"key\" is not \"tolv\"");
  auto version = request.find("version");
  if (version == request.end() || !version->is_number_integer() || *version != 0)
    faults.push_back("\"version\" missing or not the integer 0");
  auto port = request.find("heartBeatPort");
  if (port == request.end() || !port->is_number_unsigned() || port->get<uint64_t>() > 0xFFFF)
    faults.push_back("\"heartBeatPort\" missing or not an unsigned 16-bit number");
  for (auto it = request.begin(); it != request.end(); ++it) {
    static const char* const kKnown[] = {"authKey", "heartBeatPort", "key",
                                         "uuid",    "version",       "version_name"};
    bool known = false;
    for (const char* name : kKnown) known = known || it.key() == name;
    if (!known) faults.push_back(fmt::format("unexpected member \"{}\"", it.key()));
  }
  return faults;
}

}  // namespace

// All socket work happens on one io thread owned by this object; callers reach it by
// posting and waiting (bounded). Completion handlers capture `this` because the io
// thread is joined, and what it left queued is drained, before the members go away.
class SessionReceiver::Impl {
 public:
  struct Conn {
    explicit Conn(asio::ip::tcp::socket s) : socket(std::move(s)) {}
    int number = 0;
    asio::ip::tcp::socket socket;
    std::array<uint8_t, wire::kMessageHeaderSize> header_bytes{};
    wire::MessageHeader header;
    std::vector<uint8_t> body;
    uint32_t expected_seq = 1;
    uint32_t next_send_seq = 1;
    bool open = true;
    std::string peer_address;
    uint16_t client_beat_port = 0;  // the handshake request's "heartBeatPort"; 0: none
    bool launch_answered = false;
    std::vector<std::shared_ptr<ServiceHandler>> launched;
  };

  explicit Impl(Options options)
      : options_(std::move(options)), acceptor_(io_), udp_(io_), beat_timer_(io_) {}

  ~Impl() { Stop(); }

  bool Start() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (started_) return !stopped_;
      started_ = true;
    }
    std::error_code ec;
    auto address = asio::ip::make_address(options_.address, ec);
    if (ec) {
      LOG_ERROR("Bad listen address {}: {}", options_.address, ec.message());
      return FailStart();
    }
    asio::ip::tcp::endpoint tcp_endpoint(address, options_.port);
    acceptor_.open(tcp_endpoint.protocol(), ec);
    if (!ec) acceptor_.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec) acceptor_.bind(tcp_endpoint, ec);
    if (!ec) acceptor_.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
      LOG_ERROR("Fail to listen at {}:{}, {}", options_.address, options_.port, ec.message());
      return FailStart();
    }
    asio::ip::udp::endpoint udp_endpoint(address, options_.heart_beat_port);
    udp_.open(udp_endpoint.protocol(), ec);
    if (!ec) udp_.bind(udp_endpoint, ec);
    if (ec) {
      LOG_ERROR("Fail to bind heart beat {}:{}, {}", options_.address, options_.heart_beat_port,
                ec.message());
      return FailStart();
    }
    port_ = acceptor_.local_endpoint(ec).port();
    heart_beat_port_ = udp_.local_endpoint(ec).port();
    LOG_INFO("Receiver listens at {}:{}, heart beat at {}", options_.address, port_,
             heart_beat_port_);

    DoAccept();
    DoReceiveHeartBeat();
    ArmBeatTimer();
    running_ = true;
    thread_ = std::thread([this] { RunIo(); });
    return true;
  }

  void Stop() {
    if (io_.get_executor().running_in_this_thread()) {
      // The io thread cannot join itself; the owner's Stop or destructor does it.
      LOG_ERROR("Stop called from the receiver's own io thread, ignored");
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!started_ || stopped_) {
        stopped_ = true;
        return;
      }
      stopped_ = true;
    }
    running_ = false;
    if (thread_.joinable()) {
      asio::post(io_, [this] {
        ShutdownOnIo();
        io_.stop();
      });
      thread_.join();
    }
    // Handlers still queued (aborted reads, the timer) run here and see stopping_; the
    // sockets they hold are then released while the io context is still whole.
    ShutdownOnIo();
    io_.restart();
    try {
      io_.poll();
    } catch (const std::exception& e) {
      LOG_ERROR("Exception while draining the receiver's io context: {}", e.what());
    }
    conns_.clear();
    newest_.reset();
    changed_.notify_all();
  }

  uint16_t Port() const { return port_; }
  uint16_t HeartBeatPort() const { return heart_beat_port_; }

  // --- Script. ---
  void OfferService(OfferedService service) {
    std::lock_guard<std::mutex> lock(mutex_);
    services_.push_back(std::move(service));
  }
  void ClearServices() {
    std::lock_guard<std::mutex> lock(mutex_);
    services_.clear();
  }
  void SetUuid(const std::string& uuid) {
    std::lock_guard<std::mutex> lock(mutex_);
    options_.uuid = uuid;
  }
  void SetHandshakeScript(AnswerScript script) {
    std::lock_guard<std::mutex> lock(mutex_);
    handshake_script_ = std::move(script);
  }
  void SetLaunchScript(AnswerScript script) {
    std::lock_guard<std::mutex> lock(mutex_);
    launch_script_ = std::move(script);
  }
  void SetAnswerHello(bool answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answer_hello_ = answer;
  }
  void SetRefuseSecondLaunch(bool refuse) {
    std::lock_guard<std::mutex> lock(mutex_);
    refuse_second_launch_ = refuse;
  }
  void SetEventObserver(std::function<void(const ReceiverEvent&)> observer) {
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = std::move(observer);
  }

  nlohmann::json BuildHandshakeAnswer() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return BuildHandshakeAnswerLocked();
  }

  // --- Connection. ---
  bool WaitForConnection(Milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return stopped_ || accepted_ > 0; }) &&
           accepted_ > 0;
  }
  bool WaitForClosed(Milliseconds timeout, int connection) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto closed = [&] {
      if (connection == 0) return accepted_ > 0 && newest_closed_;
      return closed_.count(connection) > 0;
    };
    return changed_.wait_for(lock, timeout, [&] { return stopped_ || closed(); }) && closed();
  }
  int ConnectionCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return accepted_;
  }
  bool IsConnected() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return accepted_ > 0 && !newest_closed_;
  }

  bool SendMessage(uint16_t id, const nlohmann::json& content, int connection) {
    return RunOnIo([this, id, content, connection] {
      auto conn = Find(connection);
      return conn && SendOnIo(conn, id, content);
    });
  }
  bool SendMessageText(uint16_t id, const std::string& content_text, int connection) {
    return RunOnIo([this, id, content_text, connection] {
      auto conn = Find(connection);
      return conn && SendBodyOnIo(conn, id, wire::EncodeMessageBodyText(id, content_text));
    });
  }
  bool SendRaw(const std::vector<uint8_t>& bytes, int connection) {
    return RunOnIo([this, bytes, connection] {
      auto conn = Find(connection);
      return conn && WriteOnIo(conn, bytes);
    });
  }
  void SetNextSequence(uint32_t sequence, int connection) {
    RunOnIo([this, sequence, connection] {
      auto conn = Find(connection);
      if (!conn) return false;
      conn->next_send_seq = sequence;
      return true;
    });
  }
  void CloseConnection(int connection) {
    RunOnIo([this, connection] {
      auto conn = Find(connection);
      if (conn) CloseOnIo(conn, ReceiverEvent::Kind::kClosedHere, "closed by the receiver");
      return true;
    });
  }

  // --- Records. ---
  std::optional<ReceivedMessage> WaitForMessage(uint16_t id, Milliseconds timeout, size_t nth) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::optional<ReceivedMessage> found;
    changed_.wait_for(lock, timeout, [&] {
      size_t seen = 0;
      for (const auto& m : messages_) {
        if (m.id == id && seen++ == nth) {
          found = m;
          return true;
        }
      }
      return stopped_;
    });
    return found;
  }
  std::vector<ReceivedMessage> Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }
  std::optional<ProtocolError> WaitForProtocolError(Milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return stopped_ || !errors_.empty(); });
    if (errors_.empty()) return std::nullopt;
    return errors_.front();
  }
  std::vector<ProtocolError> ProtocolErrors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
  }

  // --- Heart beat. ---
  void SetHeartBeatSending(bool sending) {
    std::lock_guard<std::mutex> lock(mutex_);
    beat_sending_ = sending;
  }
  void SetNextHeartBeat(uint64_t seq_num) {
    std::lock_guard<std::mutex> lock(mutex_);
    next_beat_ = seq_num;
  }
  void SetHeartBeatTarget(const std::string& address, uint16_t port) {
    std::lock_guard<std::mutex> lock(mutex_);
    beat_address_ = address;
    beat_port_ = port;
    beat_target_fixed_ = true;
  }
  bool SendHeartBeatDatagram(const std::vector<uint8_t>& bytes) {
    return RunOnIo([this, bytes] {
      std::string address;
      uint16_t port = 0;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        address = beat_address_;
        port = beat_port_;
      }
      return SendDatagramOnIo(bytes.data(), bytes.size(), address, port);
    });
  }
  void SetHeartBeatSource(const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    beat_source_ = address;
  }
  uint64_t HeartBeatsSent() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return beats_sent_;
  }
  bool WaitForHeartBeats(size_t count, Milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout,
                             [&] { return stopped_ || legal_beats_ >= count; }) &&
           legal_beats_ >= count;
  }
  std::vector<ReceivedHeartBeat> HeartBeats() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return heart_beats_;
  }

 private:
  bool FailStart() {
    std::error_code ec;
    acceptor_.close(ec);
    udp_.close(ec);
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    return false;
  }

  // 0 names the newest connection.
  std::shared_ptr<Conn> Find(int connection) const {
    if (connection == 0) return newest_;
    auto it = conns_.find(connection);
    return it == conns_.end() ? nullptr : it->second;
  }

  void RunIo() {
    for (;;) {
      try {
        io_.run();
        return;
      } catch (const std::exception& e) {
        LOG_ERROR("Exception on the receiver's io thread: {}", e.what());
      } catch (...) {
        LOG_ERROR("Unknown exception on the receiver's io thread");
      }
    }
  }

  // Runs `fn` on the io thread and returns its result; false when the receiver is not
  // running or the io thread did not get to it in time.
  bool RunOnIo(std::function<bool()> fn) {
    if (io_.get_executor().running_in_this_thread()) return fn();
    if (!running_) return false;
    auto done = std::make_shared<std::promise<bool>>();
    auto result = done->get_future();
    asio::post(io_, [fn = std::move(fn), done] {
      bool ok = false;
      try {
        ok = fn();
      } catch (const std::exception& e) {
        LOG_ERROR("Exception in a receiver call: {}", e.what());
      }
      done->set_value(ok);
    });
    if (result.wait_for(kIoCallTimeout) != std::future_status::ready) return false;
    return result.get();
  }

  void ShutdownOnIo() {
    stopping_ = true;
    std::error_code ec;
    acceptor_.close(ec);
    udp_.close(ec);
    stranger_udp_.reset();
    beat_timer_.cancel();
    for (auto& entry : conns_) {
      if (entry.second->open)
        CloseOnIo(entry.second, ReceiverEvent::Kind::kClosedHere, "receiver stopped");
    }
  }

  void Emit(ReceiverEvent::Kind kind, int connection, std::string text) {
    std::function<void(const ReceiverEvent&)> observer;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      observer = observer_;
    }
    if (!observer || stopping_) return;
    ReceiverEvent event;
    event.kind = kind;
    event.connection = connection;
    event.text = std::move(text);
    observer(event);
  }

  // --- Control connection. ---
  void DoAccept() {
    acceptor_.async_accept([this](const std::error_code& ec, asio::ip::tcp::socket socket) {
      if (stopping_ || ec == asio::error::operation_aborted) return;
      if (ec) {
        LOG_ERROR("Accept failed: {}", ec.message());
        DoAccept();
        return;
      }
      auto conn = std::make_shared<Conn>(std::move(socket));
      std::error_code peer_ec;
      auto peer = conn->socket.remote_endpoint(peer_ec);
      conn->peer_address = peer_ec ? std::string() : peer.address().to_string();
      {
        std::lock_guard<std::mutex> lock(mutex_);
        conn->number = ++accepted_;
        newest_closed_ = false;
      }
      conns_[conn->number] = conn;
      newest_ = conn;
      LOG_INFO("[{}] Accepted a control connection from {}:{}", conn->number, conn->peer_address,
               peer_ec ? 0 : peer.port());
      changed_.notify_all();
      Emit(ReceiverEvent::Kind::kAccepted, conn->number,
           fmt::format("accepted {}:{}", conn->peer_address, peer_ec ? 0 : peer.port()));
      ReadHeader(conn);
      DoAccept();
    });
  }

  void ReadHeader(const std::shared_ptr<Conn>& conn) {
    if (!conn->open || stopping_) return;
    asio::async_read(conn->socket, asio::buffer(conn->header_bytes),
                     [this, conn](const std::error_code& ec, size_t) { OnHeader(conn, ec); });
  }

  void OnHeader(const std::shared_ptr<Conn>& conn, const std::error_code& ec) {
    if (stopping_ || !conn->open) return;
    if (ec) {
      OnReadError(conn, ec);
      return;
    }
    wire::DecodeMessageHeader(conn->header_bytes.data(), conn->header_bytes.size(),
                              &conn->header);
    const wire::MessageHeader& h = conn->header;
    if (!wire::IsLegalMessageHeader(h)) {
      Fail(conn, fmt::format("illegal header: {}", wire::ToString(h)));
      return;
    }
    if (h.sequence_num != conn->expected_seq) {
      Fail(conn, fmt::format("out-of-sequence header, expected {}: {}", conn->expected_seq,
                             Hex(conn->header_bytes.data(), conn->header_bytes.size())));
      return;
    }
    ++conn->expected_seq;
    if (h.len > wire::kMaxBodySize) {
      Fail(conn, fmt::format("body length {} beyond {}", h.len, wire::kMaxBodySize));
      return;
    }
    conn->body.assign(h.len, 0);
    if (h.len == 0) {
      OnBody(conn, {});
      return;
    }
    asio::async_read(conn->socket, asio::buffer(conn->body),
                     [this, conn](const std::error_code& body_ec, size_t) {
                       OnBody(conn, body_ec);
                     });
  }

  void OnBody(const std::shared_ptr<Conn>& conn, const std::error_code& ec) {
    if (stopping_ || !conn->open) return;
    if (ec) {
      OnReadError(conn, ec);
      return;
    }
    wire::MessageBody body;
    wire::BodyError error = wire::DecodeMessageBody(conn->body.data(), conn->body.size(), &body);
    std::string text(conn->body.begin(), conn->body.end());
    if (error != wire::BodyError::kNone) {
      Fail(conn, fmt::format("{}: {}", wire::ToString(error), text));
      return;
    }
    ReceivedMessage message;
    message.connection = conn->number;
    message.header = conn->header;
    message.id = body.id;
    message.content = body.content;
    message.body = text;
    LOG_INFO("[{}] Received seq {} id {}: {}", conn->number, conn->header.sequence_num, body.id,
             text);
    Emit(ReceiverEvent::Kind::kMessage, conn->number,
         fmt::format("seq {} id {}: {}", conn->header.sequence_num, body.id, text));
    // Recorded after it was handled, so that a waiter that sees the message also sees
    // its answer sent, its handler called and its faults recorded.
    Dispatch(conn, message);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      messages_.push_back(std::move(message));
    }
    changed_.notify_all();
    ReadHeader(conn);
  }

  void OnReadError(const std::shared_ptr<Conn>& conn, const std::error_code& ec) {
    if (ec == asio::error::operation_aborted) return;
    LOG_INFO("[{}] Control connection ended: {}", conn->number, ec.message());
    CloseOnIo(conn, ReceiverEvent::Kind::kClosedByPeer, ec.message());
  }

  // A framing or format fault of the client: recorded, then the connection is closed,
  // as nothing after a broken frame can be trusted.
  void Fail(const std::shared_ptr<Conn>& conn, const std::string& what) {
    RecordError(conn->number, what);
    CloseOnIo(conn, ReceiverEvent::Kind::kClosedHere, "protocol error");
  }

  void RecordError(int connection, const std::string& what) {
    LOG_ERROR("[{}] Protocol error: {}", connection, what);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      errors_.push_back(ProtocolError{connection, what});
    }
    changed_.notify_all();
    Emit(ReceiverEvent::Kind::kProtocolError, connection, what);
  }

  void CloseOnIo(const std::shared_ptr<Conn>& conn, ReceiverEvent::Kind kind,
                 const std::string& why) {
    if (!conn->open) return;
    conn->open = false;
    std::error_code ec;
    conn->socket.shutdown(asio::ip::tcp::socket::shutdown_both, ec);
    conn->socket.close(ec);
    auto launched = std::move(conn->launched);
    conn->launched.clear();
    for (auto& handler : launched) handler->OnConnectionClosed(conn->number);
    Emit(kind, conn->number, why);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_.insert(conn->number);
    }
    if (conn == newest_) {
      std::lock_guard<std::mutex> lock(mutex_);
      newest_closed_ = true;
      // The client's heart beat goes with its session.
      beat_sending_ = false;
    }
    changed_.notify_all();
  }

  bool WriteOnIo(const std::shared_ptr<Conn>& conn, const std::vector<uint8_t>& bytes) {
    if (!conn->open) return false;
    std::error_code ec;
    asio::write(conn->socket, asio::buffer(bytes), ec);
    if (ec) {
      LOG_ERROR("[{}] Write failed: {}", conn->number, ec.message());
      return false;
    }
    return true;
  }

  bool SendOnIo(const std::shared_ptr<Conn>& conn, uint16_t id, const nlohmann::json& content) {
    return SendBodyOnIo(conn, id, wire::EncodeMessageBody(id, content));
  }
  bool SendBodyOnIo(const std::shared_ptr<Conn>& conn, uint16_t id, const std::string& body) {
    if (!conn->open) return false;
    auto header = wire::MakeMessageHeader(conn->next_send_seq++,
                                          static_cast<uint32_t>(body.size()), NowMs());
    LOG_INFO("[{}] Send seq {} id {}: {}", conn->number, header.sequence_num, id, body);
    return WriteOnIo(conn, wire::EncodeMessagePacket(header, body));
  }

  // --- Requests. ---
  void Dispatch(const std::shared_ptr<Conn>& conn, const ReceivedMessage& message) {
    switch (message.id) {
      case wire::kShakeHand:
        OnShakeHand(conn, message.content);
        break;
      case wire::kLaunchService:
        OnLaunchService(conn, message.content);
        break;
      case wire::kHello: {
        if (!message.content.is_null()) RecordFormatFault(conn, "hello is not null", message.content);
        bool answer = false;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          answer = answer_hello_;
        }
        if (answer) SendOnIo(conn, wire::kHelloResponse, nullptr);
        break;
      }
      case wire::kServiceMessage:
        OnServiceMessage(conn, message.content);
        break;
      default:
        break;
    }
  }

  nlohmann::json BuildHandshakeAnswerLocked() const {
    nlohmann::json services = nlohmann::json::array();
    for (const auto& s : services_) services.push_back(s.client_service_id);
    nlohmann::json port = heart_beat_port_;
    if (options_.heart_beat_port_as_double) port = static_cast<double>(heart_beat_port_);
    nlohmann::json answer = {{"version_name", options_.version_name},
                             {"uuid", options_.uuid},
                             {"heartBeatPort", port},
                             {"services", services}};
    return ApplyScript(answer, handshake_script_);
  }

  void OnShakeHand(const std::shared_ptr<Conn>& conn, const nlohmann::json& request) {
    AnswerScript script;
    nlohmann::json answer;
    bool auto_beat = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      script = handshake_script_;
      answer = BuildHandshakeAnswerLocked();
      auto_beat = options_.auto_heart_beat;
      auto port = request.is_object() ? request.find("heartBeatPort") : request.end();
      if (request.is_object() && port != request.end() && port->is_number_unsigned() &&
          port->get<uint64_t>() <= 0xFFFF) {
        conn->client_beat_port = port->get<uint16_t>();
        if (!beat_target_fixed_) {
          beat_address_ = conn->peer_address;
          beat_port_ = port->get<uint16_t>();
        }
      }
    }
    for (const auto& fault : CheckHandshakeRequest(request))
      RecordFormatFault(conn, "handshake request: " + fault, request);
    if (script.reply == Reply::kClose) {
      CloseOnIo(conn, ReceiverEvent::Kind::kClosedHere, "scripted close on handshake");
      return;
    }
    if (script.reply == Reply::kSilent) return;
    if (script.content_text) {
      const uint16_t id = script.answer_id.value_or(wire::kShakeHandResponse);
      SendBodyOnIo(conn, id, wire::EncodeMessageBodyText(id, *script.content_text));
    } else {
      SendOnIo(conn, script.answer_id.value_or(wire::kShakeHandResponse), answer);
    }
    if (auto_beat && conn == newest_) {
      std::lock_guard<std::mutex> lock(mutex_);
      beat_sending_ = true;
    }
  }

  void OnLaunchService(const std::shared_ptr<Conn>& conn, const nlohmann::json& request) {
    AnswerScript script;
    std::vector<OfferedService> services;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      script = launch_script_;
      services = services_;
    }
    if (script.reply == Reply::kClose) {
      CloseOnIo(conn, ReceiverEvent::Kind::kClosedHere, "scripted close on launch");
      return;
    }
    if (RefuseSecondLaunch(conn)) return;
    if (!request.is_object()) RecordFormatFault(conn, "launch request is not an object", request);
    nlohmann::json answer = nlohmann::json::object();
    if (request.is_object()) {
      for (auto it = request.begin(); it != request.end(); ++it) {
        if (!it->is_string())
          RecordFormatFault(conn, "launch request member is not a string", *it);
      }
      for (const auto& service : services) {
        auto member = request.find(service.receiver_service_id);
        if (member == request.end() || !member->is_string()) continue;
        std::optional<std::string> context = service.setup_context;
        if (service.handler) {
          context = service.handler->OnLaunch(conn->number, member->get<std::string>());
          if (context) conn->launched.push_back(service.handler);
        }
        if (context) answer[service.client_service_id] = *context;
      }
    }
    if (script.reply == Reply::kSilent) return;
    conn->launch_answered = true;
    if (script.content_text) {
      const uint16_t id = script.answer_id.value_or(wire::kLaunchServiceResponse);
      SendBodyOnIo(conn, id, wire::EncodeMessageBodyText(id, *script.content_text));
      return;
    }
    SendOnIo(conn, script.answer_id.value_or(wire::kLaunchServiceResponse),
             ApplyScript(answer, script));
  }

  // A receiver that serves one session at a time: a launch while an earlier connection
  // whose launch was answered is still open closes the newcomer, and the earlier one
  // stays the session.
  bool RefuseSecondLaunch(const std::shared_ptr<Conn>& conn) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!refuse_second_launch_) return false;
    }
    std::shared_ptr<Conn> live;
    for (const auto& entry : conns_) {
      if (entry.second != conn && entry.second->open && entry.second->launch_answered)
        live = entry.second;
    }
    if (!live) return false;
    bool sending = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      sending = beat_sending_;
    }
    CloseOnIo(conn, ReceiverEvent::Kind::kClosedHere, "second launch refused");
    newest_ = live;
    std::lock_guard<std::mutex> lock(mutex_);
    newest_closed_ = false;
    beat_sending_ = sending;
    if (!beat_target_fixed_ && live->client_beat_port != 0) {
      beat_address_ = live->peer_address;
      beat_port_ = live->client_beat_port;
    }
    return true;
  }

  void OnServiceMessage(const std::shared_ptr<Conn>& conn, const nlohmann::json& content) {
    wire::ServiceMessage message;
    if (!wire::DecodeServiceMessage(content, &message)) {
      RecordFormatFault(conn, "bad service message", content);
      return;
    }
    std::shared_ptr<ServiceHandler> handler;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (const auto& s : services_) {
        if (s.receiver_service_id == message.service_id) {
          handler = s.handler;
          break;
        }
      }
    }
    if (handler) {
      handler->OnServiceMessage(conn->number, message.message);
    } else {
      LOG_WARN("[{}] No handler for service message to {}", conn->number, message.service_id);
    }
  }

  // A content fault inside a well-framed message: recorded, the connection stays up.
  void RecordFormatFault(const std::shared_ptr<Conn>& conn, const std::string& what,
                         const nlohmann::json& content) {
    RecordError(conn->number, fmt::format("{}: {}", what, content.dump()));
  }

  // --- Heart beat. ---
  void DoReceiveHeartBeat() {
    udp_.async_receive_from(asio::buffer(beat_buffer_), beat_sender_,
                            [this](const std::error_code& ec, size_t size) {
                              OnHeartBeat(ec, size);
                            });
  }

  void OnHeartBeat(const std::error_code& ec, size_t size) {
    if (stopping_ || ec == asio::error::operation_aborted) return;
    if (ec) {
      LOG_WARN("Heart beat receive failed: {}", ec.message());
      DoReceiveHeartBeat();
      return;
    }
    ReceivedHeartBeat beat;
    beat.bytes.assign(beat_buffer_.begin(), beat_buffer_.begin() + size);
    beat.from_port = beat_sender_.port();
    beat.decoded = wire::DecodeHeartBeat(beat.bytes.data(), beat.bytes.size(), &beat.beat);
    beat.legal = beat.decoded && wire::IsLegalHeartBeat(beat.beat);
    size_t legal = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (beat.legal) ++legal_beats_;
      legal = legal_beats_;
      heart_beats_.push_back(beat);
    }
    changed_.notify_all();
    if (!beat.legal) {
      LOG_WARN("Received a bad heart beat from port {}: {}", beat.from_port,
               Hex(beat.bytes.data(), beat.bytes.size()));
    } else if (legal < 10 || beat.beat.seq_num % 100 == 0) {
      LOG_INFO("Received heart beat No.{} from port {}", beat.beat.seq_num, beat.from_port);
    }
    Emit(ReceiverEvent::Kind::kHeartBeat, 0,
         beat.decoded ? wire::ToString(beat.beat)
                      : fmt::format("{} bytes: {}", size, Hex(beat.bytes.data(), size)));
    DoReceiveHeartBeat();
  }

  void ArmBeatTimer() {
    beat_timer_.expires_after(kHeartBeatInterval);
    beat_timer_.async_wait([this](const std::error_code& ec) {
      if (stopping_ || ec) return;
      OnBeatTimer();
      ArmBeatTimer();
    });
  }

  void OnBeatTimer() {
    std::string address;
    std::string source;
    uint16_t port = 0;
    uint64_t seq = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!beat_sending_ || beat_port_ == 0) return;
      address = beat_address_;
      port = beat_port_;
      source = beat_source_;
      seq = next_beat_++;
    }
    auto bytes = wire::EncodeHeartBeat(wire::MakeHeartBeat(seq));
    const bool sent = source.empty()
                          ? SendDatagramOnIo(bytes.data(), bytes.size(), address, port)
                          : SendFromOnIo(source, bytes.data(), bytes.size(), address, port);
    if (sent) {
      std::lock_guard<std::mutex> lock(mutex_);
      ++beats_sent_;
    }
  }

  bool SendDatagramOnIo(const uint8_t* data, size_t size, const std::string& address,
                        uint16_t port) {
    std::error_code ec;
    auto ip = asio::ip::make_address(address.empty() ? options_.address : address, ec);
    if (ec || port == 0) {
      LOG_ERROR("No heart beat target ({}:{})", address, port);
      return false;
    }
    udp_.send_to(asio::buffer(data, size), asio::ip::udp::endpoint(ip, port), 0, ec);
    if (ec) {
      LOG_ERROR("Fail to send heart beat to {}:{}, {}", address, port, ec.message());
      return false;
    }
    return true;
  }

  // A datagram from another local address; the socket is bound on first use and kept.
  bool SendFromOnIo(const std::string& source, const uint8_t* data, size_t size,
                    const std::string& address, uint16_t port) {
    std::error_code ec;
    auto from = asio::ip::make_address(source, ec);
    auto to = asio::ip::make_address(address.empty() ? options_.address : address, ec);
    if (ec || port == 0) return false;
    if (!stranger_udp_ || stranger_source_ != source) {
      auto socket = std::make_unique<asio::ip::udp::socket>(io_);
      socket->open(asio::ip::udp::v4(), ec);
      if (!ec) socket->bind({from, 0}, ec);
      if (ec) {
        LOG_ERROR("Fail to bind a heart beat source at {}: {}", source, ec.message());
        return false;
      }
      stranger_udp_ = std::move(socket);
      stranger_source_ = source;
    }
    stranger_udp_->send_to(asio::buffer(data, size), asio::ip::udp::endpoint(to, port), 0, ec);
    return !ec;
  }

  // Declared first so that it is destroyed last: every socket below lives on it.
  asio::io_context io_;
  Options options_;  // uuid is guarded by mutex_ (SetUuid); the rest is fixed at Start
  asio::ip::tcp::acceptor acceptor_;
  asio::ip::udp::socket udp_;
  asio::steady_timer beat_timer_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  uint16_t port_ = 0;             // written before the io thread starts
  uint16_t heart_beat_port_ = 0;  // likewise

  // Owned by the io thread (or by Stop once it has joined).
  bool stopping_ = false;
  std::map<int, std::shared_ptr<Conn>> conns_;
  std::shared_ptr<Conn> newest_;
  std::array<uint8_t, 1024> beat_buffer_{};
  std::unique_ptr<asio::ip::udp::socket> stranger_udp_;  // see SendFromOnIo
  std::string stranger_source_;
  asio::ip::udp::endpoint beat_sender_;

  // Shared with callers.
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool started_ = false;
  bool stopped_ = false;
  std::vector<OfferedService> services_;
  AnswerScript handshake_script_;
  AnswerScript launch_script_;
  bool answer_hello_ = true;
  bool refuse_second_launch_ = false;
  std::function<void(const ReceiverEvent&)> observer_;
  int accepted_ = 0;
  bool newest_closed_ = false;
  std::set<int> closed_;
  std::vector<ReceivedMessage> messages_;
  std::vector<ProtocolError> errors_;
  std::vector<ReceivedHeartBeat> heart_beats_;
  size_t legal_beats_ = 0;
  bool beat_sending_ = false;
  bool beat_target_fixed_ = false;
  std::string beat_address_;
  uint16_t beat_port_ = 0;
  uint64_t next_beat_ = 1;
  uint64_t beats_sent_ = 0;
  std::string beat_source_;  // empty: the receiver's own socket
};

SessionReceiver::SessionReceiver() : SessionReceiver(Options()) {}
SessionReceiver::SessionReceiver(Options options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}
SessionReceiver::~SessionReceiver() { impl_->Stop(); }

bool SessionReceiver::Start() { return impl_->Start(); }
void SessionReceiver::Stop() { impl_->Stop(); }
uint16_t SessionReceiver::Port() const { return impl_->Port(); }
uint16_t SessionReceiver::HeartBeatPort() const { return impl_->HeartBeatPort(); }

void SessionReceiver::OfferService(OfferedService service) {
  impl_->OfferService(std::move(service));
}
void SessionReceiver::ClearServices() { impl_->ClearServices(); }
void SessionReceiver::SetUuid(const std::string& uuid) { impl_->SetUuid(uuid); }
void SessionReceiver::SetHandshakeScript(AnswerScript script) {
  impl_->SetHandshakeScript(std::move(script));
}
void SessionReceiver::SetLaunchScript(AnswerScript script) {
  impl_->SetLaunchScript(std::move(script));
}
void SessionReceiver::SetAnswerHello(bool answer) { impl_->SetAnswerHello(answer); }
void SessionReceiver::SetRefuseSecondLaunch(bool refuse) { impl_->SetRefuseSecondLaunch(refuse); }
void SessionReceiver::SetEventObserver(std::function<void(const ReceiverEvent&)> observer) {
  impl_->SetEventObserver(std::move(observer));
}
nlohmann::json SessionReceiver::BuildHandshakeAnswer() const {
  return impl_->BuildHandshakeAnswer();
}

bool SessionReceiver::WaitForConnection(Milliseconds timeout) {
  return impl_->WaitForConnection(timeout);
}
bool SessionReceiver::WaitForClosed(Milliseconds timeout, int connection) {
  return impl_->WaitForClosed(timeout, connection);
}
int SessionReceiver::ConnectionCount() const { return impl_->ConnectionCount(); }
bool SessionReceiver::IsConnected() const { return impl_->IsConnected(); }
bool SessionReceiver::SendMessage(uint16_t id, const nlohmann::json& content, int connection) {
  return impl_->SendMessage(id, content, connection);
}
bool SessionReceiver::SendMessageText(uint16_t id, const std::string& content_text,
                                      int connection) {
  return impl_->SendMessageText(id, content_text, connection);
}
bool SessionReceiver::SendServiceMessage(const std::string& client_service_id,
                                         const std::string& message, int connection) {
  return impl_->SendMessage(wire::kServiceMessage,
                            wire::MakeServiceMessage(client_service_id, message), connection);
}
bool SessionReceiver::SendHello(int connection) {
  return impl_->SendMessage(wire::kHello, nullptr, connection);
}
bool SessionReceiver::SendRaw(const std::vector<uint8_t>& bytes, int connection) {
  return impl_->SendRaw(bytes, connection);
}
void SessionReceiver::SetNextSequence(uint32_t sequence, int connection) {
  impl_->SetNextSequence(sequence, connection);
}
void SessionReceiver::CloseConnection(int connection) { impl_->CloseConnection(connection); }

std::optional<ReceivedMessage> SessionReceiver::WaitForMessage(uint16_t id, Milliseconds timeout,
                                                               size_t nth) {
  return impl_->WaitForMessage(id, timeout, nth);
}
std::vector<ReceivedMessage> SessionReceiver::Messages() const { return impl_->Messages(); }
std::optional<ProtocolError> SessionReceiver::WaitForProtocolError(Milliseconds timeout) {
  return impl_->WaitForProtocolError(timeout);
}
std::vector<ProtocolError> SessionReceiver::ProtocolErrors() const {
  return impl_->ProtocolErrors();
}

void SessionReceiver::SetHeartBeatSending(bool sending) { impl_->SetHeartBeatSending(sending); }
void SessionReceiver::SetNextHeartBeat(uint64_t seq_num) { impl_->SetNextHeartBeat(seq_num); }
void SessionReceiver::SetHeartBeatTarget(const std::string& address, uint16_t port) {
  impl_->SetHeartBeatTarget(address, port);
}
bool SessionReceiver::SendHeartBeatDatagram(const std::vector<uint8_t>& bytes) {
  return impl_->SendHeartBeatDatagram(bytes);
}
void SessionReceiver::SetHeartBeatSource(const std::string& address) {
  impl_->SetHeartBeatSource(address);
}
uint64_t SessionReceiver::HeartBeatsSent() const { return impl_->HeartBeatsSent(); }
bool SessionReceiver::WaitForHeartBeats(size_t count, Milliseconds timeout) {
  return impl_->WaitForHeartBeats(count, timeout);
}
std::vector<ReceivedHeartBeat> SessionReceiver::HeartBeats() const {
  return impl_->HeartBeats();
}

}  // namespace receiver
