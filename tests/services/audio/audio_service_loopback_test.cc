// The whole audio service against the reference receiver on loopback: the
// session-protocol client with the audio service registered connects to a receiver
// that offers "audio_mirror.s"; the receiver's audio side checks every command and
// datagram and decodes the sound with libopus.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "crcp/config.h"
#include "crcp/crcp.h"
#include "crcp/service_manager.h"
#include "platform/audio/pulse_audio_system.h"
#include "platform/audio/sim_audio_system.h"
#include "services/audio/audio_sender_service.h"
#include "services/audio/source/audio_source_handler.h"
#include "tests/platform/audio/audio_fixtures.h"
#include "tests/platform/audio/pulse_test_server.h"
#include "tests/receiver/audio_receiver.h"
#include "tests/receiver/nested_json.h"
#include "tests/receiver/session_receiver.h"
#include "tests/support/event_recorder.h"

namespace crcp::audio {
namespace {

using namespace std::chrono_literals;
using platform::audio::MixFormat;
using platform::audio::SampleType;
using Strings = std::vector<std::string>;

constexpr auto kWait = 10s;

class RecordingListener : public ClientListener, public testing_support::EventRecorder {
 public:
  RecordingListener() : EventRecorder(kWait) {}
  void OnError(int code) override { Add("error " + std::to_string(code)); }
  void OnPlay() override { Add("play"); }
  void OnTeardown() override { Add("teardown"); }
};

class AudioServiceLoopbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Config::Instance().SetPorts(27480, 27489);
    Config::Instance().SetBindAddress("127.0.0.1");
    sim_->AddEndpoint("speaker", "hda#speaker", kFormat);

    ASSERT_TRUE(audio_->Start());
    receiver_.OfferService({"audio_mirror.c", "audio_mirror.s", "", audio_});
    ASSERT_TRUE(receiver_.Start());

    service_ = std::make_shared<AudioSenderService>(
        std::make_shared<audiosource::AudioSourceHandler>(MakeSystem()));
    service_->SetListener(listener_);
    registry_->AddService(service_);
    crcp_ = std::make_unique<Crcp>("client-uuid", registry_);

    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    int code = 1;
    ASSERT_TRUE(crcp_->Connect("127.0.0.1", receiver_.Port(), [&](const std::string& id, int result) {
      std::lock_guard<std::mutex> lock(mutex);
      session_id_ = id;
      code = result;
      done = true;
      cv.notify_all();
    }));
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(cv.wait_for(lock, kWait, [&] { return done; }));
    ASSERT_EQ(code, 0);
  }

  void TearDown() override {
    crcp_.reset();
    service_.reset();
    receiver_.Stop();
    audio_->Stop();
    Config::Instance().SetBindAddress("");
  }

  virtual std::shared_ptr<platform::audio::AudioSystem> MakeSystem() { return sim_; }

  void QueueTone(double seconds) {
    const uint32_t frames = kFormat.sample_rate / 100;
    for (int i = 0; i < static_cast<int>(seconds * 100); ++i)
      sim_->QueuePacket(audio_fixtures::MakeTone(kFormat, frames, 1000.0, 0.5, &phase_), frames);
  }

  // Audio the receiver got so far: no fault of any kind, and a clean 1 kHz tone.
  void ExpectCleanTone() {
    const auto stats = audio_->GetStats();
    EXPECT_TRUE(stats.faults.empty()) << ::testing::PrintToString(stats.faults);
    EXPECT_TRUE(audio_->StartFaults().empty()) << ::testing::PrintToString(audio_->StartFaults());
    EXPECT_TRUE(audio_->LinkFaults().empty());
    EXPECT_EQ(stats.decoded, stats.packets);
    const auto pcm = audio_->DecodedPcm();
    ASSERT_GE(pcm.size() / 2, 1920u * 10);
    const float* steady = pcm.data() + 2 * 1920 * 5;
    EXPECT_NEAR(audio_fixtures::ZeroCrossingFrequency(steady, 9600, 48000.0), 1000.0, 3.0);
  }

  const MixFormat kFormat{44100, 2, SampleType::kInt16};
  double phase_ = 0.0;
  std::shared_ptr<platform::audio::SimAudioSystem> sim_ =
      std::make_shared<platform::audio::SimAudioSystem>();
  std::shared_ptr<receiver::AudioReceiver> audio_ = std::make_shared<receiver::AudioReceiver>();
  receiver::SessionReceiver receiver_;
  std::shared_ptr<RecordingListener> listener_ = std::make_shared<RecordingListener>();
  std::shared_ptr<ServiceManager> registry_ = std::make_shared<ServiceManager>();
  std::shared_ptr<AudioSenderService> service_;
  std::unique_ptr<Crcp> crcp_;
  std::string session_id_;
};

TEST_F(AudioServiceLoopbackTest, SoundReachesTheReceiverAndStopsOnBothSidesRequests) {
  EXPECT_EQ(audio_->LaunchContexts(), Strings{R"({"version":1})"});
  ASSERT_TRUE(audio_->WaitForCommandLink(kWait));
  auto controller = service_->GetController(session_id_);
  ASSERT_NE(controller, nullptr);

  // The owner's start: the receiver accepts it with the requested repeat count.
  QueueTone(1.2);
  controller->Play(0);
  ASSERT_TRUE(listener_->WaitForCount(1));
  ASSERT_TRUE(audio_->WaitForPackets(25, kWait));
  const auto start = audio_->WaitForCommand(1, kWait);
  ASSERT_TRUE(start);
  EXPECT_EQ(start->body,
            R"({"channelCount":2,"codec":"opus","displayMode":0,"frameCountPerPacket":1920,)"
            R"("sampleRate":48000,"sendCount":1})");
  ExpectCleanTone();
  controller->Teardown();
  ASSERT_TRUE(audio_->WaitForCommand(2, kWait));
  EXPECT_EQ(listener_->Events(), (Strings{"play", "teardown"}));

  // The owner stopped sharing: the receiver's start is refused, nothing is captured.
  ASSERT_TRUE(audio_->SendReceiverStart(0));
  std::this_thread::sleep_for(200ms);
  EXPECT_FALSE(audio_->WaitForCommand(1, 0ms, 1));

  // While the owner shares, the receiver's start after its own stop, answered with a
  // repeat count the client did not ask for: the client sends every datagram once, and
  // the sequence begins at 0 again.
  const uint64_t shared = audio_->GetStats().decoded;
  QueueTone(0.2);
  controller->Play(0);
  ASSERT_TRUE(listener_->WaitForCount(3));
  ASSERT_TRUE(audio_->WaitForPackets(shared + 4, kWait));
  ASSERT_TRUE(audio_->SendReceiverStop());
  ASSERT_TRUE(listener_->WaitForCount(4));
  audio_->SetStartAnswer(true, 3u, 0);
  const uint64_t before = audio_->GetStats().decoded;
  QueueTone(0.4);
  ASSERT_TRUE(audio_->SendReceiverStart(0));
  ASSERT_TRUE(listener_->WaitForCount(5));
  ASSERT_TRUE(audio_->WaitForPackets(before + 8, kWait));
  ASSERT_TRUE(audio_->SendReceiverStop());
  const auto stop_answer = audio_->WaitForCommand(252, kWait, 1);
  ASSERT_TRUE(stop_answer);
  EXPECT_EQ(stop_answer->body, R"({"resultType":0})");
  ASSERT_TRUE(listener_->WaitForCount(6));
  EXPECT_EQ(listener_->Events(),
            (Strings{"play", "teardown", "play", "teardown", "play", "teardown"}));
  const auto stats = audio_->GetStats();
  EXPECT_EQ(stats.starts, 3u);
  EXPECT_TRUE(stats.faults.empty()) << ::testing::PrintToString(stats.faults);
  EXPECT_TRUE(audio_->StartFaults().empty());

  // A refused start reaches the listener with the receiver's code; nothing is sent.
  audio_->SetStartAnswer(true, 1u, 4);
  controller->Teardown();
  controller->Play(0);
  ASSERT_TRUE(listener_->WaitForCount(7));
  EXPECT_EQ(listener_->Events().back(), "error 4");
  EXPECT_EQ(audio_->GetStats().starts, 3u);

  // Closing the session ends the service's part of it.
  crcp_->CloseSession(session_id_);
  for (int i = 0; i < 500 && service_->GetController(session_id_); ++i)
    std::this_thread::sleep_for(10ms);
  EXPECT_EQ(service_->GetController(session_id_), nullptr);
}

// Command bodies nested 100,000 levels deep are malformed bodies: the start answer and
// the receiver's start are reported as unreadable, as text that is not JSON is, and the
// command link goes on to a good start.
TEST_F(AudioServiceLoopbackTest, DeeplyNestedCommandBodiesAreMalformedBodies) {
  ASSERT_TRUE(audio_->WaitForCommandLink(kWait));
  auto controller = service_->GetController(session_id_);
  ASSERT_NE(controller, nullptr);
  Strings expected;
  size_t starts = 0;
  for (const std::string& text : {std::string("{"), receiver::NestedJson(receiver::kHostileDepth)}) {
    audio_->SetStartAnswerText(text);
    controller->Play(0);
    ASSERT_TRUE(audio_->WaitForCommand(1, kWait, starts++));
    expected.insert(expected.end(), {"error -1600", "error -1"});
    ASSERT_TRUE(listener_->WaitForCount(expected.size()));
    ASSERT_TRUE(audio_->SendCommand(151, text));  // the receiver's start
    expected.push_back("error -1600");
    ASSERT_TRUE(listener_->WaitForCount(expected.size()));
  }
  EXPECT_EQ(listener_->Events(), expected);
  audio_->SetStartAnswerText(std::nullopt);
  QueueTone(0.4);
  controller->Play(0);
  ASSERT_TRUE(listener_->WaitForCount(expected.size() + 1));
  EXPECT_EQ(listener_->Events().back(), "play");
}

// The same road from a real sound server: what a private PulseAudio server plays reaches
// the reference receiver and decodes as the tone. Skips where no server can be started.
class AudioServicePulseLiveTest : public AudioServiceLoopbackTest {
 protected:
  void SetUp() override {
    std::string why;
    if (!server_.StartPrivate(&why)) GTEST_SKIP() << why;
    AudioServiceLoopbackTest::SetUp();
  }
  std::shared_ptr<platform::audio::AudioSystem> MakeSystem() override {
    return std::make_shared<platform::audio::PulseAudioSystem>();
  }

  PulseTestServer server_;
};

TEST_F(AudioServicePulseLiveTest, ServerSoundDecodesAtTheReceiver) {
  TonePlayer player;
  ASSERT_TRUE(player.ok());
  auto controller = service_->GetController(session_id_);
  ASSERT_NE(controller, nullptr);
  controller->Play(0);
  ASSERT_TRUE(listener_->WaitForCount(1));
  // A fresh null sink first renders one long block before it follows the capture's
  // low latency; the tone is measured at the end.
  ASSERT_TRUE(audio_->WaitForPackets(100, 30s));
  controller->Teardown();
  const auto stats = audio_->GetStats();
  EXPECT_TRUE(stats.faults.empty()) << ::testing::PrintToString(stats.faults);
  EXPECT_TRUE(audio_->StartFaults().empty());
  const auto pcm = audio_->DecodedPcm();
  ASSERT_GE(pcm.size(), 2u * 9600);
  const float* tail = pcm.data() + pcm.size() - 2 * 9600;
  EXPECT_NEAR(audio_fixtures::ZeroCrossingFrequency(tail, 9600, 48000.0), 1000.0, 3.0);
}

}  // namespace
}  // namespace crcp::audio
