#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/receiver/service_handler.h"

// The receiver's side of the audio mirror service, plugged into the SessionReceiver as
// the handler of "audio_mirror.s":
//
//   launch: init context {"version":1} -> setup {"cmdPort","codec","dataPort","version"}
//   TCP command server (media packets):
//     client -> 1 kStart {"channelCount","codec","displayMode","frameCountPerPacket",
//                         "sampleRate","sendCount"}    checked member by member
//            <- 101 {"repeatSend","resultType"}       as scripted
//     client -> 2 kStop                               <- 102 {"resultType":0}
//            <- 151 {"displayMode"} / 152              sent by hand
//     client -> 252 {"resultType"}
//   UDP sink: every datagram's header, sequence numbers (0 after each start, then +1),
//   the repeat count (byte-identical repeats), and each Opus packet through libopus.
namespace receiver {

class AudioReceiver : public ServiceHandler {
 public:
  struct Options {
    std::string address = "127.0.0.1";
    std::vector<std::string> codecs = {"opus"};
    uint16_t version = 1;
    // The answer to kStart; nullopt leaves "repeatSend" out. answer_start false: none.
    bool answer_start = true;
    std::optional<uint32_t> repeat_send = 1u;
    int result_type = 0;
  };

  struct Command {
    uint16_t id = 0;
    std::string body;
    nlohmann::json json;  // null when the body is not JSON
  };

  struct Stats {
    uint64_t datagrams = 0;        // every datagram received
    uint64_t packets = 0;          // distinct packets (repeats counted once)
    uint64_t decoded = 0;          // packets libopus decoded into 1920 stereo frames
    uint64_t starts = 0;           // streams begun at sequence 0
    std::vector<std::string> faults;  // header, sequence, repeat and decode faults
  };

  AudioReceiver();
  explicit AudioReceiver(Options options);
  ~AudioReceiver() override;  // Stop()
  AudioReceiver(const AudioReceiver&) = delete;
  AudioReceiver& operator=(const AudioReceiver&) = delete;

  bool Start();
  void Stop();
  uint16_t CommandPort() const;
  uint16_t DataPort() const;

  // --- ServiceHandler ---
  std::optional<std::string> OnLaunch(int connection, const std::string& init_context) override;
  void OnServiceMessage(int connection, const std::string& message) override;

  // --- Script and commands ---
  void SetStartAnswer(bool answer, std::optional<uint32_t> repeat_send, int result_type);
  // Answers kStart with this body, verbatim, instead (nullopt: back to SetStartAnswer's).
  void SetStartAnswerText(std::optional<std::string> body);
  bool SendReceiverStart(int display_mode);
  bool SendReceiverStop();
  bool SendCommand(uint16_t id, const std::string& body);

  // --- Records ---
  std::vector<std::string> LaunchContexts() const;
  bool WaitForCommandLink(std::chrono::milliseconds timeout);
  // The `nth` (0-based) command with this id, waiting up to `timeout`.
  std::optional<Command> WaitForCommand(uint16_t id, std::chrono::milliseconds timeout,
                                        size_t nth = 0);
  // Member-by-member faults of every kStart received (empty when all were right).
  std::vector<std::string> StartFaults() const;
  // Command-link framing faults (short reads, oversized lengths).
  std::vector<std::string> LinkFaults() const;
  bool WaitForPackets(uint64_t decoded, std::chrono::milliseconds timeout);
  Stats GetStats() const;
  // The decoded sound so far, 48 kHz stereo interleaved.
  std::vector<float> DecodedPcm() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace receiver
