#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/audio/pulse_audio_system.h"
#include "tests/platform/audio/pulse_test_server.h"

namespace audiosource {

// The system-sound source against a private sound server (see PulseTestServer); skips
// where none can be started.
class SourcePulseLiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!server_.StartPrivate(&why, ServerToStart())) GTEST_SKIP() << why;
    system_ = std::make_shared<platform::audio::PulseAudioSystem>();
  }

  // The server a test runs on: PulseAudio's own unless it says otherwise.
  virtual ServerSpec ServerToStart() const { return ServerSpec(); }

  std::string DefaultId() {
    platform::audio::Endpoint e;
    EXPECT_EQ(system_->GetDefaultEndpoint(&e), platform::audio::AudioResult::kOk);
    return e.id;
  }

  PulseTestServer server_;
  std::shared_ptr<platform::audio::PulseAudioSystem> system_;
};

}  // namespace audiosource
