// The receiver's audio side must catch the client's faults, not only pass good streams:
// it is fed hand-made commands and datagrams here.
#include "tests/receiver/audio_receiver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <opus.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/receiver/wire_media_packet.h"

namespace receiver {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

int Connect(uint16_t port, int type) {
  const int fd = ::socket(AF_INET, type, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
  return fd;
}

bool SendAll(int fd, const Bytes& bytes) {
  return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

// One Opus packet of 40 ms stereo silence at 48 kHz.
Bytes OpusSilence() {
  int error = 0;
  OpusEncoder* encoder = opus_encoder_create(48000, 2, OPUS_APPLICATION_AUDIO, &error);
  std::vector<float> pcm(1920 * 2, 0.0f);
  Bytes out(1024);
  const int n = opus_encode_float(encoder, pcm.data(), 1920, out.data(), 1024);
  opus_encoder_destroy(encoder);
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}

Bytes Datagram(uint32_t seq, const Bytes& opus) {
  return wire::EncodeMediaPacket(seq, std::string(opus.begin(), opus.end()));
}

class AudioReceiverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(audio_.Start());
    const auto setup = nlohmann::json::parse(*audio_.OnLaunch(1, R"({"version":1})"));
    EXPECT_EQ(setup["cmdPort"], audio_.CommandPort());
    EXPECT_EQ(setup["dataPort"], audio_.DataPort());
    EXPECT_EQ(setup["codec"], nlohmann::json::array({"opus"}));
    EXPECT_EQ(setup["version"], 1);
    cmd_ = Connect(audio_.CommandPort(), SOCK_STREAM);
    udp_ = Connect(audio_.DataPort(), SOCK_DGRAM);
    ASSERT_TRUE(audio_.WaitForCommandLink(5s));
  }
  void TearDown() override {
    ::close(cmd_);
    ::close(udp_);
  }
  // Sends kStart and reads the answer.
  std::string Start(const std::string& body) {
    EXPECT_TRUE(SendAll(cmd_, wire::EncodeMediaPacket(1, body)));
    uint8_t header[16];
    pollfd p{cmd_, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0 || ::recv(cmd_, header, 16, MSG_WAITALL) != 16) return "";
    const wire::MediaHeader h = *wire::DecodeMediaHeader(header, 16);
    EXPECT_EQ(h.type, 101u);
    std::string answer(h.length, '\0');
    ::recv(cmd_, &answer[0], h.length, MSG_WAITALL);
    return answer;
  }

  AudioReceiver audio_;
  int cmd_ = -1;
  int udp_ = -1;
};

const char* const kGoodStart =
    R"({"channelCount":2,"codec":"opus","displayMode":0,"frameCountPerPacket":1920,"sampleRate":48000,"sendCount":2})";

TEST_F(AudioReceiverTest, GoodStreamPassesAndFaultsAreNamed) {
  audio_.SetStartAnswer(true, 2u, 0);
  EXPECT_EQ(Start(kGoodStart), R"({"repeatSend":2,"resultType":0})");
  const Bytes opus = OpusSilence();
  for (uint32_t seq = 0; seq < 3; ++seq) {
    ASSERT_TRUE(SendAll(udp_, Datagram(seq, opus)));
    ASSERT_TRUE(SendAll(udp_, Datagram(seq, opus)));
  }
  ASSERT_TRUE(audio_.WaitForPackets(3, 5s));
  auto stats = audio_.GetStats();
  EXPECT_EQ(stats.datagrams, 6u);
  EXPECT_EQ(stats.packets, 3u);
  EXPECT_EQ(stats.starts, 1u);
  EXPECT_TRUE(stats.faults.empty()) << ::testing::PrintToString(stats.faults);
  EXPECT_TRUE(audio_.StartFaults().empty());

  // Packet 3 sent once, a gap to 5 whose repeat differs, then a datagram with a wrong
  // length.
  ASSERT_TRUE(SendAll(udp_, Datagram(3, opus)));
  ASSERT_TRUE(SendAll(udp_, Datagram(5, opus)));
  Bytes changed = Datagram(5, opus);
  changed.back() ^= 1;
  ASSERT_TRUE(SendAll(udp_, changed));
  Bytes bad = Datagram(6, opus);
  bad.pop_back();
  ASSERT_TRUE(SendAll(udp_, bad));
  for (int i = 0; i < 500 && audio_.GetStats().datagrams < 10; ++i) std::this_thread::sleep_for(10ms);
  stats = audio_.GetStats();
  ASSERT_EQ(stats.faults.size(), 4u) << ::testing::PrintToString(stats.faults);
  EXPECT_EQ(stats.faults[0], "sequence 5 after 3");
  EXPECT_EQ(stats.faults[1], "packet 3 sent 1 times, expected 2");
  EXPECT_EQ(stats.faults[2], "repeat of 5 differs");
  EXPECT_EQ(stats.faults[3].rfind("datagram: length", 0), 0u);
}

TEST_F(AudioReceiverTest, StartBodyIsCheckedMemberByMember) {
  audio_.SetStartAnswer(true, std::nullopt, 0);
  EXPECT_EQ(Start(R"({"channelCount":1,"codec":"pcm","displayMode":-1,"extra":0,)"
                  R"("frameCountPerPacket":960,"sampleRate":44100})"),
            R"({"resultType":0})");
  const auto faults = audio_.StartFaults();
  EXPECT_EQ(faults, (std::vector<std::string>{
                        "kStart: unexpected member extra", "kStart: channelCount is not 2",
                        "kStart: codec is not one offered",
                        "kStart: displayMode is not a non-negative integer",
                        "kStart: frameCountPerPacket is not 1920", "kStart: sampleRate is not 48000",
                        "kStart: sendCount is not a positive integer"}));
  // A stream that does not begin at 0 is a fault too.
  ASSERT_TRUE(SendAll(udp_, Datagram(1, OpusSilence())));
  for (int i = 0; i < 500 && audio_.GetStats().datagrams < 1; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(audio_.GetStats().faults, (std::vector<std::string>{"stream does not begin at 0: 1"}));
}

}  // namespace
}  // namespace receiver
