// Whole video shares: the client's video service, launched by the session-protocol
// client, against the receiver's video side on loopback, capturing the simulated
// desktop. The received stream is decoded with ffmpeg.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>
#include <nlohmann/json.hpp>

#include "crcp/config.h"
#include "crcp/crcp.h"
#include "crcp/service_manager.h"
#include "platform/display/sim_virtual_display_driver.h"
#include "platform/screen/sim_desktop.h"
#include "services/video/mirror_sender_service.h"
#include "services/video/screen_utils.h"
#include "services/video/source/mwf_screen_source.h"
#include "tests/receiver/nested_json.h"
#include "tests/receiver/session_receiver.h"
#include "tests/receiver/video_side.h"
#include "tests/support/event_recorder.h"

namespace receiver {
namespace {

using nlohmann::json;
using std::chrono::milliseconds;
constexpr milliseconds kWait{10000};

class Events : public crcp::video::ClientListener, public testing_support::EventRecorder {
 public:
  void OnError(const std::string& id, int code) override { Add(id + " error " + std::to_string(code)); }
  void OnPlay(const std::string& id) override { Add(id + " play"); }
  void OnPause(const std::string& id) override { Add(id + " pause"); }
  void OnTeardown(const std::string& id) override { Add(id + " teardown"); }
};

// NAL unit types of an Annex B access unit.
std::vector<int> NalTypes(const uint8_t* data, size_t size) {
  std::vector<int> types;
  for (size_t i = 0; i + 3 < size; ++i) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      types.push_back(data[i + 3] & 0x1F);
      i += 3;
    }
  }
  return types;
}

bool HasNal(const std::vector<uint8_t>& stream, const VideoSide::Sample& sample, int type) {
  const auto types = NalTypes(stream.data() + sample.offset, sample.size);
  return std::find(types.begin(), types.end(), type) != types.end();
}

std::string Run(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
  pclose(pipe);
  return out;
}

struct Probe {
  std::string size;  // "WxH" of the first video stream
  int frames = -1;
  std::string errors;
};

// Decodes an H.264 elementary stream with ffmpeg.
Probe Decode(const std::vector<uint8_t>& stream, const std::string& name) {
  const std::string path = ::testing::TempDir() + "/" + name + ".h264";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(stream.data()),
                                              static_cast<std::streamsize>(stream.size()));
  Probe probe;
  const std::string info =
      Run("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
          "stream=width,height,nb_read_frames -of csv=p=0:s=x '" + path + "' 2>&1");
  int w = 0, h = 0, frames = 0;
  if (std::sscanf(info.c_str(), "%dx%dx%d", &w, &h, &frames) == 3) {
    probe.size = std::to_string(w) + "x" + std::to_string(h);
    probe.frames = frames;
  }
  probe.errors = Run("ffmpeg -v error -i '" + path + "' -f null - 2>&1");
  return probe;
}

// Samples that carry a picture (the codec extra data comes as a sample of its own).
int PictureCount(const std::vector<uint8_t>& stream, const std::vector<VideoSide::Sample>& samples,
                 size_t from = 0) {
  int pictures = 0;
  for (size_t i = from; i < samples.size(); ++i) {
    if (HasNal(stream, samples[i], 1) || HasNal(stream, samples[i], 5)) ++pictures;
  }
  return pictures;
}

// What the receiver has got, samples and bytes read together: the bytes are cut where
// the samples end, since more may land between the two reads while the share goes on.
struct Received {
  std::vector<VideoSide::Sample> samples;
  std::vector<uint8_t> stream;
};

Received Snapshot(const VideoSide& side) {
  Received received{side.Samples(), side.Stream()};
  const size_t end =
      received.samples.empty() ? 0 : received.samples.back().offset + received.samples.back().size;
  received.stream.resize(std::min(received.stream.size(), end));
  return received;
}

uint64_t Fnv(const uint8_t* data, size_t size) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ull;
  return h;
}

// Records what the pipeline hands out, after the session's consumer (consumers run in
// name order): while that consumer is held back, nothing more arrives here.
class HandOutProbe {
 public:
  explicit HandOutProbe(std::shared_ptr<crcp::video::GlobalSourceController> source)
      : source_(std::move(source)) {
    source_->AddOutputCallback("zz-probe", [this](uint8_t* data, uint32_t size, uint64_t) {
      std::lock_guard<std::mutex> lock(mutex_);
      handed_out_.push_back(Fnv(data, size));
    });
  }
  ~HandOutProbe() { source_->Stop("zz-probe"); }

  std::vector<uint64_t> HandedOut() {
    std::lock_guard<std::mutex> lock(mutex_);
    return handed_out_;
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return handed_out_.size();
  }
  // Waits until nothing has been handed out for five rounds of 100 ms in a row: a
  // receiver that reads nothing holds the pipeline back once the socket buffers and the
  // ring are full. False when the pipeline still went on after 20 s.
  bool WaitUntilHeldBack() {
    int still = 0;
    for (int round = 0; round < 200 && still < 5; ++round) {
      const size_t before = Count();
      std::this_thread::sleep_for(milliseconds(100));
      still = before == Count() ? still + 1 : 0;
    }
    return still == 5;
  }

 private:
  const std::shared_ptr<crcp::video::GlobalSourceController> source_;
  std::mutex mutex_;
  std::vector<uint64_t> handed_out_;
};

class VideoShareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::screen::SimDesktop::ResetShared();
    platform::display::SimVirtualDisplayDriver::Shared()->SetScript({});
    crcp::Config::Instance().SetBindAddress("127.0.0.1");
    const uint16_t base = holder_.local_endpoint().port();
    crcp::Config::Instance().SetPorts(static_cast<uint16_t>(base + 1),
                                      static_cast<uint16_t>(base + 20));

    video_ = std::make_shared<crcp::video::MirrorSenderService>(
        std::make_shared<crcp::video::MWFScreenSource>());
    video_->SetListener(events_);
    manager_->AddService(video_);

    SessionReceiver::Options options;
    options.uuid = "room-display";
    receiver_ = std::make_unique<SessionReceiver>(options);
    // The receiver's screen: the stream is scaled down to fit it (the desktop is
    // 640x360).
    VideoSide::Options side_options;
    side_options.screen_width = 512;
    side_options.screen_height = 288;
    side_ = std::make_shared<VideoSide>(side_options);
    ASSERT_TRUE(side_->Start());
    receiver_->OfferService(VideoSide::Offer(side_));
    ASSERT_TRUE(receiver_->Start());

    client_ = std::make_unique<crcp::Crcp>("client-uuid", manager_);
    client_->SetAuthKey("ABC123");
    const auto result = Connect();
    ASSERT_EQ(result.second, crcp::Crcp::kConnected);
    session_id_ = result.first;
    controller_ = video_->GetController(session_id_);
    ASSERT_TRUE(controller_);
    ASSERT_TRUE(side_->WaitForConnections(1, 1, kWait));
  }

  void TearDown() override {
    controller_.reset();
    client_.reset();  // the session closes: the video service releases it
    if (video_) video_->Shutdown();
    if (receiver_) receiver_->Stop();
    if (side_) {
      EXPECT_TRUE(side_->Faults().empty()) << side_->Faults().front();
      side_->Stop();
    }
    crcp::Config::Instance().SetBindAddress("");
  }

  // Connects the client to the receiver: the session id and the result code ("", 1
  // when no result came).
  std::pair<std::string, int> Connect() {
    auto result = std::make_shared<std::promise<std::pair<std::string, int>>>();
    auto done = result->get_future();
    if (!client_->Connect("127.0.0.1", receiver_->Port(),
                          [result](const std::string& id, int code) { result->set_value({id, code}); })) {
      return {"", 1};
    }
    // The handshake gives up after 5 s.
    if (done.wait_for(kWait) != std::future_status::ready) return {"", 1};
    return done.get();
  }

  // Starts mirroring and waits for the answer to reach the listener.
  void Play(uint16_t mode, size_t nth_start = 0) {
    controller_->Play(mode);
    const auto start = side_->WaitForCommand(0x1, kWait, nth_start);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->body, R"({"codec":"h264","displayMode":)" + std::to_string(mode) + "}");
    EXPECT_EQ(events_->Next(), session_id_ + " play");
  }

  // Waits until the receiver has `more` samples beyond what it has now.
  void WaitForMoreSamples(size_t more) {
    ASSERT_TRUE(side_->WaitForSamples(side_->SampleCount() + more, kWait));
  }

  asio::io_context io_;
  asio::ip::udp::socket holder_{io_, {asio::ip::make_address_v4("127.0.0.1"), 0}};
  std::shared_ptr<Events> events_ = std::make_shared<Events>();
  std::shared_ptr<crcp::video::MirrorSenderService> video_;
  std::shared_ptr<crcp::ServiceManager> manager_ = std::make_shared<crcp::ServiceManager>();
  std::unique_ptr<SessionReceiver> receiver_;
  std::shared_ptr<VideoSide> side_;
  std::unique_ptr<crcp::Crcp> client_;
  std::string session_id_;
  std::shared_ptr<crcp::video::MirrorSenderSession::IController> controller_;
};

// A launch answer whose video setting nests 100,000 levels deep is a malformed setting:
// the session comes up without video, as it does when the setting is not JSON.
TEST(VideoSettingTest, DeeplyNestedSettingIsAMalformedSetting) {
  crcp::Config::Instance().SetBindAddress("127.0.0.1");
  asio::io_context io;
  asio::ip::udp::socket holder{io, {asio::ip::make_address_v4("127.0.0.1"), 0}};
  const uint16_t base = holder.local_endpoint().port();
  crcp::Config::Instance().SetPorts(static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 20));
  for (const std::string& text : {std::string("{"), NestedJson(kHostileDepth)}) {
    auto video = std::make_shared<crcp::video::MirrorSenderService>(
        std::make_shared<crcp::video::MWFScreenSource>());
    auto manager = std::make_shared<crcp::ServiceManager>();
    manager->AddService(video);
    VideoSide::Options side_options;
    side_options.setting_text = text;
    auto side = std::make_shared<VideoSide>(side_options);
    ASSERT_TRUE(side->Start());
    SessionReceiver receiver;
    receiver.OfferService(VideoSide::Offer(side));
    ASSERT_TRUE(receiver.Start());
    {
      crcp::Crcp client("client-uuid", manager);
      client.SetAuthKey("ABC123");
      std::mutex mutex;
      std::condition_variable cv;
      std::optional<std::pair<std::string, int>> result;
      ASSERT_TRUE(client.Connect("127.0.0.1", receiver.Port(), [&](const std::string& id, int code) {
        std::lock_guard<std::mutex> lock(mutex);
        result = {id, code};
        cv.notify_all();
      }));
      std::unique_lock<std::mutex> lock(mutex);
      ASSERT_TRUE(cv.wait_for(lock, kWait, [&] { return result.has_value(); }));
      EXPECT_EQ(result->second, crcp::Crcp::kConnected) << text.size();
      EXPECT_FALSE(video->GetController(result->first)) << text.size();
    }
    EXPECT_FALSE(side->WaitForConnections(1, 0, milliseconds(200))) << text.size();
    EXPECT_TRUE(receiver.ProtocolErrors().empty());
    video->Shutdown();
    receiver.Stop();
    side->Stop();
  }
  crcp::Config::Instance().SetBindAddress("");
}

TEST_F(VideoShareTest, OfferAndSetting) {
  EXPECT_EQ(side_->InitContext(), (json{{"version", 1}}));
  EXPECT_EQ(side_->CommandConnections(), 1);
  EXPECT_EQ(side_->DataConnections(), 1);
  EXPECT_FALSE(video_->GetController("no-such-session"));
}

TEST_F(VideoShareTest, WholeShare) {
  controller_->KeepAspectRatio(true);
  const auto aspect = side_->WaitForCommand(0x4, kWait);
  ASSERT_TRUE(aspect);
  EXPECT_EQ(aspect->body, R"({"keepAspectRatio":true})");

  // Start: the stream arrives at the size the receiver asked for, in order (it decodes
  // frame for frame).
  Play(1);
  WaitForMoreSamples(20);
  {
    const Received received = Snapshot(*side_);
    EXPECT_TRUE(HasNal(received.stream, received.samples.front(), 7))
        << "the stream begins with its parameter sets";
    const Probe probe = Decode(received.stream, "start");
    EXPECT_EQ(probe.size, "512x288");
    EXPECT_EQ(probe.frames, PictureCount(received.stream, received.samples));
    EXPECT_EQ(probe.errors, "");
  }

  // A key-frame request is answered by an IDR picture.
  {
    const size_t before = side_->SampleCount();
    ASSERT_TRUE(side_->SendKeyFrameRequest());
    bool idr = false;
    for (size_t seen = before; !idr && side_->WaitForSamples(seen + 1, kWait); ++seen) {
      const auto samples = side_->Samples();
      idr = HasNal(side_->Stream(), samples[seen], 5);
      ASSERT_LT(seen, before + 100) << "no IDR after the key-frame request";
    }
    EXPECT_TRUE(idr);
  }

  // A resolution change: answered, and the stream continues at the new size.
  {
    ASSERT_TRUE(side_->SendResolutionChange(320, 240));
    const auto reply = side_->WaitForCommand(0x5400, kWait);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->body, R"({"resultType":0})");
    const size_t after = side_->SampleCount();
    std::optional<size_t> sps;
    for (size_t seen = after; !sps && side_->WaitForSamples(seen + 1, kWait); ++seen) {
      if (HasNal(side_->Stream(), side_->Samples()[seen], 7)) sps = seen;
      ASSERT_LT(seen, after + 100) << "the encoder did not restart at the new size";
    }
    ASSERT_TRUE(sps);
    WaitForMoreSamples(10);
    const Probe probe = Decode(side_->Stream(*sps), "resized");
    EXPECT_EQ(probe.size, "320x180") << "fitted, aspect kept";
    EXPECT_EQ(probe.errors, "");
  }

  // Pause: the command goes out and no sample follows.
  EXPECT_TRUE(controller_->Pause());
  ASSERT_TRUE(side_->WaitForCommand(0x2, kWait));
  EXPECT_EQ(events_->Next(), session_id_ + " pause");
  std::this_thread::sleep_for(milliseconds(400));  // what was on the wire has landed
  const size_t paused = side_->SampleCount();
  std::this_thread::sleep_for(milliseconds(400));
  EXPECT_EQ(side_->SampleCount(), paused);

  // Resume restarts the stream, at once decodable.
  Play(1, 1);
  WaitForMoreSamples(10);
  {
    const Probe probe = Decode(side_->Stream(paused), "resumed");
    EXPECT_EQ(probe.errors, "");
    EXPECT_GT(probe.frames, 0);
  }

  // The receiver stops: answered with success and reported as a teardown.
  ASSERT_TRUE(side_->SendReceiverStop());
  const auto stop_reply = side_->WaitForCommand(0x5300, kWait);
  ASSERT_TRUE(stop_reply);
  EXPECT_EQ(stop_reply->body, R"({"resultType":0})");
  EXPECT_EQ(events_->Next(), session_id_ + " teardown");

  // A second stop finds nothing to stop.
  ASSERT_TRUE(side_->SendReceiverStop());
  const auto second = side_->WaitForCommand(0x5300, kWait, 1);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->body, R"({"resultType":-1301})");
  EXPECT_TRUE(receiver_->ProtocolErrors().empty());
}

// Command bodies nested 100,000 levels deep are malformed bodies: the start answer, the
// receiver's start and its resolution change are reported as unreadable, as text that is
// not JSON is, and the command link goes on to a good share.
TEST_F(VideoShareTest, DeeplyNestedCommandBodiesAreMalformedBodies) {
  size_t starts = 0;
  for (const std::string& text : {std::string("{"), NestedJson(kHostileDepth)}) {
    side_->SetStartAnswerText(text);
    controller_->Play(0);
    ASSERT_TRUE(side_->WaitForCommand(0x1, kWait, starts++));
    EXPECT_EQ(events_->Next(), session_id_ + " error -1600") << text.size();
    for (const uint16_t command : {0x51, 0x54}) {
      ASSERT_TRUE(side_->SendCommand(command, text));
      EXPECT_EQ(events_->Next(), session_id_ + " error -1600") << command << " " << text.size();
    }
  }
  side_->SetStartAnswerText(std::nullopt);
  Play(0, starts);
  WaitForMoreSamples(3);
}

TEST_F(VideoShareTest, ReceiverStartsAndUserStops) {
  ASSERT_TRUE(side_->SendReceiverStart(0));
  const auto start = side_->WaitForCommand(0x1, kWait);
  ASSERT_TRUE(start);
  EXPECT_EQ(start->body, R"({"codec":"h264","displayMode":0})");
  EXPECT_EQ(events_->Next(), session_id_ + " play");
  WaitForMoreSamples(5);
  // The receiver pauses: answered, reported; a second pause finds nothing playing.
  ASSERT_TRUE(side_->SendReceiverPause());
  const auto paused = side_->WaitForCommand(0x5200, kWait);
  ASSERT_TRUE(paused);
  EXPECT_EQ(paused->body, R"({"resultType":0})");
  EXPECT_EQ(events_->Next(), session_id_ + " pause");
  ASSERT_TRUE(side_->SendReceiverPause());
  const auto again = side_->WaitForCommand(0x5200, kWait, 1);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->body, R"({"resultType":-1201})");
  // A resolution change without a width is refused with an error and no reply.
  ASSERT_TRUE(side_->SendResolutionChange(0, 720));
  EXPECT_EQ(events_->Next(), session_id_ + " error -1400");

  EXPECT_TRUE(controller_->Teardown());
  ASSERT_TRUE(side_->WaitForCommand(0x3, kWait));
  // The session is released with the session protocol's session: the controller
  // then does nothing.
  client_->CloseSession(session_id_);
  ASSERT_TRUE(side_->WaitForDataClosed(kWait));
  EXPECT_FALSE(controller_->Teardown());
}

// A receiver that reads slowly slows the stream down; nothing is lost or reordered on
// the way.
TEST_F(VideoShareTest, ThrottledReceiverLosesNothing) {
  auto source = video_->source_manager()->GetSourceController("h264");
  ASSERT_TRUE(source);
  HandOutProbe probe(source);

  side_->SetReadRate(40 * 1024);
  Play(1);
  WaitForMoreSamples(20);

  side_->SetReadingPaused(true);
  EXPECT_TRUE(probe.WaitUntilHeldBack()) << "the pipeline went on while the receiver read nothing";
  side_->SetReadingPaused(false);
  WaitForMoreSamples(20);

  // Everything handed out so far arrives, byte for byte and in order.
  const std::vector<uint64_t> expected = probe.HandedOut();
  side_->SetReadRate(0);
  ASSERT_TRUE(side_->WaitForSamples(expected.size(), kWait));
  const Received received = Snapshot(*side_);
  for (size_t i = 0; i < expected.size(); ++i) {
    const auto& sample = received.samples[i];
    ASSERT_EQ(Fnv(received.stream.data() + sample.offset, sample.size), expected[i]) << "sample " << i;
  }
  const Probe decoded = Decode(received.stream, "throttled");
  EXPECT_EQ(decoded.errors, "");
  EXPECT_EQ(decoded.frames, PictureCount(received.stream, received.samples));
  EXPECT_TRUE(controller_->Teardown());
}

// A change of the encoder restarts the pipeline while the receiver reads nothing: the
// sample waiting for room in the ring is turned away by the restart. Once the new
// pipeline is held back as well, the congestion is reported again (link statistics with
// score 1), as it is before any restart.
TEST_F(VideoShareTest, CongestionIsReportedAfterAPipelineRestart) {
  auto source = video_->source_manager()->GetSourceController("h264");
  ASSERT_TRUE(source);
  HandOutProbe probe(source);
  Play(1);
  WaitForMoreSamples(5);
  side_->SetReadingPaused(true);
  ASSERT_TRUE(probe.WaitUntilHeldBack());
  controller_->EnableHWAccel(false);  // on by default: the pipeline restarts
  ASSERT_TRUE(source->IsRunning());

  size_t reports = 0;
  for (const auto& command : side_->Commands()) reports += command.id == 0x5;
  // The report is made every 10 s while the ring stays full.
  const auto report = side_->WaitForCommand(0x5, 3 * kWait, reports);
  ASSERT_TRUE(report) << "no congestion report after the restart";
  EXPECT_EQ(report->body, R"({"bandwidth":0,"rto":0,"rtt":0,"score":1})");
  side_->SetReadingPaused(false);
  WaitForMoreSamples(5);
  EXPECT_TRUE(controller_->Teardown());
}

// A second connect to the same receiver gets the same session id. One that fails (the
// receiver refuses the second launch, or never answers it) leaves the live share
// streaming; one that succeeds replaces it.
TEST_F(VideoShareTest, ReconnectReplacesTheLiveShareOnlyOnSuccess) {
  Play(1);
  WaitForMoreSamples(5);
  // The receiver's heart beat stays with the live session whatever the newcomer does.
  const auto shake = receiver_->WaitForMessage(0, kWait);
  ASSERT_TRUE(shake);
  receiver_->SetHeartBeatTarget("127.0.0.1", shake->content["heartBeatPort"].get<uint16_t>());

  receiver_->SetRefuseSecondLaunch(true);
  EXPECT_EQ(Connect().second, crcp::Crcp::kHandshakeFailed) << "refused launch";
  receiver_->SetRefuseSecondLaunch(false);
  WaitForMoreSamples(10);

  AnswerScript silent;
  silent.reply = Reply::kSilent;
  receiver_->SetLaunchScript(silent);
  EXPECT_EQ(Connect().second, crcp::Crcp::kHandshakeFailed) << "unanswered launch";
  receiver_->SetLaunchScript(AnswerScript{});
  receiver_->SetHeartBeatSending(true);
  WaitForMoreSamples(10);
  EXPECT_EQ(side_->DataConnections(), 1);
  EXPECT_FALSE(receiver_->WaitForClosed(milliseconds(0), 1)) << "the live session was closed";

  // Success: the old session goes, the new one's video connects afresh and streams.
  const auto [id, code] = Connect();
  ASSERT_EQ(code, crcp::Crcp::kConnected);
  EXPECT_EQ(id, session_id_);
  EXPECT_TRUE(receiver_->WaitForClosed(kWait, 1));
  const auto newest = receiver_->WaitForMessage(0, kWait, 3);
  ASSERT_TRUE(newest);
  receiver_->SetHeartBeatTarget("127.0.0.1", newest->content["heartBeatPort"].get<uint16_t>());
  ASSERT_TRUE(side_->WaitForConnections(2, 2, kWait));
  auto replaced = controller_;
  controller_ = video_->GetController(id);
  ASSERT_TRUE(controller_);
  EXPECT_NE(controller_, replaced);
  EXPECT_FALSE(replaced->Teardown()) << "the old session's video is gone";
  events_->Clear();
  controller_->Play(1);
  ASSERT_TRUE(side_->WaitForCommand(0x1, kWait, 1));
  WaitForMoreSamples(5);
  EXPECT_TRUE(controller_->Teardown());
}

// The extended screen: the virtual monitor is plugged into the (simulated) desktop,
// resized to 1920x1080 and captured; choosing the main screen pulls it out again.
TEST_F(VideoShareTest, ExtendedScreen) {
  auto desktop = platform::screen::SimDesktop::Shared();
  Play(1);
  WaitForMoreSamples(5);
  controller_->ChooseScreenNum(true);
  auto monitors = desktop->GetMonitors();
  ASSERT_EQ(monitors.size(), 2u);
  EXPECT_EQ(monitors[1].name, crcp::video::ScreenUtils::kVirtualMonitorName);
  EXPECT_EQ(monitors[1].rect.width, 1920);
  EXPECT_EQ(monitors[1].rect.height, 1080);
  EXPECT_EQ(monitors[1].rect.left, monitors[0].rect.width) << "placed beside the main screen";
  const size_t opened = side_->SampleCount();
  WaitForMoreSamples(10);
  // The restarted pipeline begins with a decodable picture of its own.
  size_t first_sps = opened;
  const auto samples = side_->Samples();
  const auto stream = side_->Stream();
  while (first_sps < samples.size() && !HasNal(stream, samples[first_sps], 7)) ++first_sps;
  ASSERT_LT(first_sps, samples.size());
  EXPECT_EQ(Decode(side_->Stream(first_sps), "extended").errors, "");

  controller_->ChooseScreenNum(false);
  EXPECT_EQ(desktop->GetMonitors().size(), 1u);
  WaitForMoreSamples(5);
  EXPECT_TRUE(controller_->Teardown());
}

}  // namespace
}  // namespace receiver
