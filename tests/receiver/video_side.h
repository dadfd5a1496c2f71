#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/receiver/service_handler.h"
#include "tests/receiver/wire_media_packet.h"

namespace receiver {

// The receiver's side of the video mirror service. The client offers "video_mirror.s"
// with the init context {"version":1}; the launch answer is this side's setting
//   {"cmdPort":N,"codec":["h264"],"dataPort":N,"version":1}
// and the client then connects to both ports on `address`.
//
// Command connection (media packets, JSON bodies, replies carry the request id << 8):
//   client -> receiver   1 start {"codec","displayMode"}  answered 0x100
//                          {"resultType","screenHeight","screenWidth"}
//                        2 pause (no body)                answered 0x200 {"resultType":0}
//                        3 stop (no body)                 answered 0x300 {"resultType":0}
//                        4 {"keepAspectRatio"}, 5 {"bandwidth","rto","rtt","score"}
//                        0x5100..0x5400 {"resultType"}: the client's replies
//   receiver -> client   0x51 start {"displayMode"}, 0x52 pause, 0x53 stop,
//                        0x54 {"screenHeight","screenWidth"}, 0x55 key frame request
// Data connection: media packets of type 0, each body one H.264 access unit; written
// to `h264_path` when set. Reading can be throttled to exercise back-pressure.
//
// Everything runs on this side's own io thread; Send* post to it.
class VideoSide : public ServiceHandler {
 public:
  struct Options {
    std::string address = "127.0.0.1";
    std::vector<std::string> codecs = {"h264"};
    int version = 1;
    // Replaces the whole launch answer when set (the ports are not added).
    std::optional<nlohmann::json> setting;
    // Replaces the launch answer with this text, verbatim (wins over `setting`).
    std::optional<std::string> setting_text;
    uint16_t screen_width = 1280;
    uint16_t screen_height = 720;
    // The start answer's resultType; nullopt: the start is not answered.
    std::optional<int> start_result = 0;
    std::string h264_path;
    bool keep_bytes = true;  // keep every sample's bytes for the test
  };

  struct Command {
    wire::MediaHeader header;
    uint16_t id = 0;
    std::string body;
    nlohmann::json json;  // null for an empty body
  };

  struct Sample {
    uint64_t stamp = 0;
    size_t size = 0;
    int64_t last_byte_us = 0;  // steady clock, when the body's last byte was read
    size_t offset = 0;         // where its bytes start in Stream()
  };

  VideoSide();
  explicit VideoSide(Options options);
  ~VideoSide() override;  // Stop()
  VideoSide(const VideoSide&) = delete;
  VideoSide& operator=(const VideoSide&) = delete;

  // Binds both listeners and starts the io thread.
  bool Start();
  // Closes everything and joins the io thread. Idempotent.
  void Stop();

  static OfferedService Offer(std::shared_ptr<VideoSide> side);
  std::optional<std::string> OnLaunch(int connection, const std::string& init_context) override;
  void OnServiceMessage(int connection, const std::string& message) override;

  uint16_t CommandPort() const;
  uint16_t DataPort() const;

  // --- Script ---
  void SetStartAnswer(std::optional<int> result, uint16_t width, uint16_t height);
  // Answers start with this body, verbatim, instead (nullopt: back to SetStartAnswer's).
  void SetStartAnswerText(std::optional<std::string> body);
  // Data read at most this many bytes per second; 0: as fast as it comes.
  void SetReadRate(size_t bytes_per_second);
  // While paused nothing is read from the data connection.
  void SetReadingPaused(bool paused);

  // --- To the client ---
  bool SendCommand(uint16_t id, const std::string& body = std::string());
  bool SendReceiverStart(int display_mode);
  bool SendReceiverPause() { return SendCommand(0x52); }
  bool SendReceiverStop() { return SendCommand(0x53); }
  bool SendResolutionChange(int width, int height);
  bool SendKeyFrameRequest() { return SendCommand(0x55); }
  bool SendRaw(const std::vector<uint8_t>& bytes);
  // Bytes that are no media packet ("GET / HTTP/1.1\r\n\r\n": its "length" field is
  // far beyond any body) on the command connection; the client can read nothing after.
  bool SendGarbage();
  void CloseCommandConnection();
  void CloseDataConnection();

  // --- Records ---
  std::optional<Command> WaitForCommand(uint16_t id, std::chrono::milliseconds timeout, size_t nth = 0);
  std::vector<Command> Commands() const;
  bool WaitForSamples(size_t count, std::chrono::milliseconds timeout);
  size_t SampleCount() const;
  std::vector<Sample> Samples() const;
  // Every sample's bytes back to back (when keep_bytes), from sample `from` on.
  std::vector<uint8_t> Stream(size_t from = 0) const;
  std::optional<nlohmann::json> InitContext() const;
  bool WaitForConnections(int command, int data, std::chrono::milliseconds timeout);
  int CommandConnections() const;
  int DataConnections() const;
  // True once the newest data connection was closed by the client.
  bool WaitForDataClosed(std::chrono::milliseconds timeout);
  std::vector<std::string> Faults() const;

  class Impl;

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace receiver
