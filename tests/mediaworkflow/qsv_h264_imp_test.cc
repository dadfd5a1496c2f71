#include "mediaworkflow/encoder/qsv_h264_imp.h"

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mediaworkflow/buffer/mem_h264_sample.h"
#include "mediaworkflow/encoder/h264_encoder.h"
#include "mediaworkflow/encoder/hardware_probe.h"
#include "mediaworkflow/encoder/mfx_status.h"
#include "tests/mediaworkflow/scripted_media_sdk_session.h"
#include "tests/support/log_capture.h"

namespace mediaworkflow::encoder {
namespace {

using testing_util::ScriptedMediaSdkSession;
using testing_util::SessionScript;

class SolidImage : public buffer::ImageBuffer {
 public:
  SolidImage(int w, int h, uint8_t value)
      : w_(w), h_(h), px_(static_cast<size_t>(w) * h * 4, value) {}
  bool GetSize(int* w, int* h) override {
    *w = w_;
    *h = h_;
    return true;
  }
  int GetFormat() override { return 3; }
  int GetStride() override { return w_ * 4; }
  uint8_t* GetData() override { return px_.data(); }

 private:
  int w_, h_;
  std::vector<uint8_t> px_;
};

// --- Video parameters ---

TEST(QsvVideoParamTest, SizeAndRateControlForBothModes) {
  struct Case {
    bool quality;
    int w, h, bitrate;
    mfxU16 width, height, crop_w, crop_h, target_kbps, max_kbps, target_usage;
  };
  const Case cases[] = {
      // Surfaces are whole macroblocks; the picture is cropped back to the output.
      {false, 1366, 768, 0, 1376, 768, 1366, 768, 1366 * 768 / 450 + 3000, 0, 7},
      {false, 1920, 1080, 0, 1920, 1088, 1920, 1080, 7608, 0, 7},
      {true, 1920, 1080, 0, 1920, 1088, 1920, 1080, 1920 * 1080 / 400 + 3600, 0, 1},
      // The target is capped, the maximum is taken from the bitrate as asked.
      {true, 1920, 1080, 20000, 1920, 1088, 1920, 1080, 10000, 24000, 1},
      {false, 1920, 1080, 20000, 1920, 1088, 1920, 1080, 10000, 22000, 7},
      {false, 1280, 720, 4000, 1280, 720, 1280, 720, 4000, 4400, 7},
      {true, 1, 17, 3000, 16, 32, 1, 17, 3000, 3600, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.w << "x" << c.h << " quality " << c.quality << " bitrate " << c.bitrate);
    QSVH264Imp::VideoParams p;
    QSVH264Imp::FillVideoParam(QSVH264Imp::kSystemMemory, c.quality, c.w, c.h, 25, c.bitrate, &p);
    const mfxInfoMFX& m = p.video.mfx;
    EXPECT_EQ(m.FrameInfo.Width, c.width);
    EXPECT_EQ(m.FrameInfo.Height, c.height);
    EXPECT_EQ(m.FrameInfo.CropX, 0);
    EXPECT_EQ(m.FrameInfo.CropY, 0);
    EXPECT_EQ(m.FrameInfo.CropW, c.crop_w);
    EXPECT_EQ(m.FrameInfo.CropH, c.crop_h);
    EXPECT_EQ(m.TargetKbps, c.target_kbps);
    EXPECT_EQ(m.MaxKbps, c.max_kbps);
    EXPECT_EQ(m.TargetUsage, c.target_usage);
    EXPECT_EQ(m.FrameInfo.FrameRateExtN, 25u);
    EXPECT_EQ(m.FrameInfo.FrameRateExtD, 1u);
  }
}

TEST(QsvVideoParamTest, FixedFieldsAndTheCodingOption) {
  QSVH264Imp::VideoParams p;
  QSVH264Imp::FillVideoParam(QSVH264Imp::kSystemMemory, false, 640, 480, 30, 0, &p);
  const mfxVideoParam& v = p.video;
  EXPECT_EQ(v.AsyncDepth, 1);
  EXPECT_EQ(v.mfx.CodecId, static_cast<mfxU32>(MFX_CODEC_AVC));
  EXPECT_EQ(v.mfx.CodecProfile, 100);
  EXPECT_EQ(v.mfx.GopPicSize, 0xFFFF);
  EXPECT_EQ(v.mfx.GopRefDist, 1);
  EXPECT_EQ(v.mfx.GopOptFlag, MFX_GOP_CLOSED);
  EXPECT_EQ(v.mfx.RateControlMethod, MFX_RATECONTROL_VBR);
  EXPECT_EQ(v.mfx.NumSlice, 1);
  EXPECT_EQ(v.mfx.NumRefFrame, 1);
  EXPECT_EQ(v.mfx.FrameInfo.FourCC, static_cast<mfxU32>(MFX_FOURCC_NV12));
  EXPECT_EQ(v.mfx.FrameInfo.ChromaFormat, MFX_CHROMAFORMAT_YUV420);
  EXPECT_EQ(v.mfx.FrameInfo.PicStruct, MFX_PICSTRUCT_PROGRESSIVE);
  EXPECT_EQ(v.mfx.BufferSizeInKB, 0);
  ASSERT_EQ(v.NumExtParam, 1);
  const mfxExtBuffer* ext = v.ExtParam[0];
  EXPECT_EQ(ext->BufferId, static_cast<mfxU32>(MFX_MAKEFOURCC('C', 'D', 'O', 'P')));
  EXPECT_EQ(ext->BufferSz, 64u);
  mfxExtCodingOption expected{};
  expected.Header = *ext;
  expected.MaxDecFrameBuffering = 1;
  EXPECT_EQ(std::memcmp(ext, &expected, sizeof(expected)), 0);  // all else zero
}

TEST(QsvVideoParamTest, ImplementationIoPatternAndAdapterByMemoryType) {
  struct Case {
    int type;
    mfxIMPL impl;
    mfxU16 io;
  };
  const Case cases[] = {
      {QSVH264Imp::kD3D11Memory, 0x304, MFX_IOPATTERN_IN_VIDEO_MEMORY},
      {QSVH264Imp::kD3D9Memory, 0x204, MFX_IOPATTERN_IN_VIDEO_MEMORY},
      {QSVH264Imp::kSystemMemory, 0x4, MFX_IOPATTERN_IN_SYSTEM_MEMORY},
  };
  for (const Case& c : cases) {
    QSVH264Imp::VideoParams p;
    QSVH264Imp::FillVideoParam(c.type, false, 640, 480, 30, 0, &p);
    EXPECT_EQ(p.video.IOPattern, c.io) << c.type;
    EXPECT_EQ(QSVH264Imp::SessionImpl(c.type), c.impl) << c.type;
  }
  EXPECT_EQ(QSVH264Imp::AdapterNumber(MFX_IMPL_HARDWARE | MFX_IMPL_VIA_D3D11), 0u);
  EXPECT_EQ(QSVH264Imp::AdapterNumber(MFX_IMPL_HARDWARE2), 1u);
  EXPECT_EQ(QSVH264Imp::AdapterNumber(MFX_IMPL_HARDWARE3 | MFX_IMPL_VIA_D3D9), 2u);
  EXPECT_EQ(QSVH264Imp::AdapterNumber(MFX_IMPL_HARDWARE4), 3u);
  EXPECT_EQ(QSVH264Imp::AdapterNumber(MFX_IMPL_SOFTWARE), 0u);
}

// --- The memory-type loop ---

class QsvInitTest : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::LogCapture::Get().Clear(); }
  QSVH264Imp& Make() {
    qsv_ = std::make_unique<QSVH264Imp>(std::make_unique<ScriptedMediaSdkSession>(script_));
    return *qsv_;
  }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(script_->mutex);
    return script_->calls;
  }
  std::shared_ptr<SessionScript> script_ = std::make_shared<SessionScript>();
  std::unique_ptr<QSVH264Imp> qsv_;
};

TEST_F(QsvInitTest, VideoMemoryHasNoDeviceHereSoSystemMemoryOpens) {
  QSVH264Imp& qsv = Make();
  testing::internal::CaptureStderr();
  ASSERT_EQ(qsv.Init(1366, 768, 1366, 768, 30, 0), 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(qsv.memory_type(), QSVH264Imp::kSystemMemory);
  EXPECT_TRUE(qsv.opened());
  EXPECT_EQ(qsv.surface_count(), 3);
  const std::vector<std::string> expected = {
      // D3D11 and D3D9: the session opens, the device does not, the session closes.
      "Close",         "Init 0x304",    "CreateEncoder", "QueryIMPL",  "Close",
      "Init 0x204",    "CreateEncoder", "QueryIMPL",     "Close",      "Init 0x4",
      "CreateEncoder", "Query",         "QueryIOSurf",   "EncodeInit", "GetVideoParam"};
  EXPECT_EQ(Calls(), expected);
  // Each device failure is printed with its status, then the step that failed.
  EXPECT_NE(err.find("[ERROR], sts=MFX_ERR_DEVICE_FAILED(-17), CreateHWDevice failed at "
                     "qsv_h264_imp.cc:"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("\nReturn on error: error code -17,\tqsv_h264_imp.cc\t"), std::string::npos)
      << err;
  // The session got the parameters of the system-memory configuration.
  EXPECT_EQ(script_->queried.IOPattern, MFX_IOPATTERN_IN_SYSTEM_MEMORY);
  EXPECT_EQ(script_->queried.mfx.FrameInfo.Width, 1376);
  EXPECT_EQ(script_->queried_ext_count, 1);
  EXPECT_EQ(script_->queried_option.MaxDecFrameBuffering, 1);
  EXPECT_TRUE(testing_support::LogCapture::Get().WaitFor("Quick Sync encoder open on system memory"));
}

TEST_F(QsvInitTest, EachFailingStepEndsInFailureAndAClosedEncoder) {
  struct Case {
    const char* call;
    mfxStatus status;
    const char* logged;  // the step and status the log names
  };
  const Case cases[] = {
      {"Query", MFX_ERR_INVALID_VIDEO_PARAM, "Query failed with MFX_ERR_INVALID_VIDEO_PARAM"},
      {"QueryIOSurf", MFX_ERR_UNSUPPORTED, "surface allocation failed with MFX_ERR_UNSUPPORTED"},
      {"EncodeInit", MFX_ERR_INCOMPATIBLE_VIDEO_PARAM,
       "encoder Init failed with MFX_ERR_INCOMPATIBLE_VIDEO_PARAM"},
      {"GetVideoParam", MFX_ERR_NOT_INITIALIZED,
       "GetVideoParam failed with MFX_ERR_NOT_INITIALIZED"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    script_ = std::make_shared<SessionScript>();
    script_->results[c.call] = {c.status};
    QSVH264Imp& qsv = Make();
    testing::internal::CaptureStderr();
    EXPECT_EQ(qsv.Init(640, 480, 640, 480, 30, 0), -1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(qsv.opened());
    EXPECT_EQ(qsv.surface_count(), 0);
    EXPECT_EQ(Calls().back(), "Close");
    EXPECT_NE(err.find("Return on error: error code " + std::to_string(c.status)),
              std::string::npos)
        << err;
    EXPECT_TRUE(testing_support::LogCapture::Get().WaitFor(std::string("system memory: ") + c.logged));
    // A closed encoder refuses to encode rather than touching freed surfaces.
    EXPECT_NE(qsv.Encode(std::make_shared<SolidImage>(640, 480, 0), false), 0);
  }
}

TEST_F(QsvInitTest, NoSessionNoSurfacesOrAWarningEach) {
  // Every configuration's session refused: the probe's case, on all three.
  script_->unsupported_impls = {0x304, 0x204, 0x4};
  EXPECT_EQ(Make().Init(640, 480, 640, 480, 30, 0), -1);
  EXPECT_EQ(script_->Count("CreateEncoder"), 0u);
  EXPECT_TRUE(testing_support::LogCapture::Get().WaitFor(
      "Quick Sync on system memory: MFXInit failed with MFX_ERR_UNSUPPORTED"));

  // The allocator cannot make a frame set of no frames.
  script_ = std::make_shared<SessionScript>();
  script_->frames_suggested = 0;
  EXPECT_EQ(Make().Init(640, 480, 640, 480, 30, 0), -1);
  EXPECT_EQ(script_->Count("EncodeInit"), 0u);

  // Warnings are not failures: the parameters were adjusted, the encoder opens.
  script_ = std::make_shared<SessionScript>();
  script_->results["Query"] = {MFX_WRN_INCOMPATIBLE_VIDEO_PARAM};
  script_->results["EncodeInit"] = {MFX_WRN_PARTIAL_ACCELERATION};
  EXPECT_EQ(Make().Init(640, 480, 640, 480, 30, 0), 0);
  EXPECT_TRUE(qsv_->opened());
}

// A render node's display, as the session sees it: a handle, and its end recorded
// among the session's calls.
class FakeVaDisplay : public VaDisplay {
 public:
  explicit FakeVaDisplay(std::shared_ptr<SessionScript> script) : script_(std::move(script)) {}
  ~FakeVaDisplay() override {
    std::lock_guard<std::mutex> lock(script_->mutex);
    script_->calls.push_back("display terminated");
  }
  mfxHDL handle() const override { return const_cast<int*>(&kHandle); }
  static const int kHandle;

 private:
  std::shared_ptr<SessionScript> script_;
};
const int FakeVaDisplay::kHandle = 0;

// A Linux runtime encodes only on the VA display it was handed: each session gets it
// before anything is made on it, it is opened once and ends after the last session;
// a session that refuses it fails that configuration (and so, at the end, the
// element goes to x264). Without a display the sessions are left as they were.
TEST_F(QsvInitTest, EachSessionIsHandedTheVaDisplayFirst) {
  int opens = 0;
  auto make = [&](bool have_display) {
    qsv_ = std::make_unique<QSVH264Imp>(std::make_unique<ScriptedMediaSdkSession>(script_),
                                        [&, have_display]() -> std::unique_ptr<VaDisplay> {
                                          ++opens;
                                          if (!have_display) return nullptr;
                                          return std::make_unique<FakeVaDisplay>(script_);
                                        });
    return qsv_.get();
  };
  testing::internal::CaptureStderr();
  ASSERT_EQ(make(true)->Init(640, 480, 640, 480, 30, 0), 0);
  ASSERT_EQ(qsv_->Init(640, 480, 640, 480, 30, 0), 0);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(opens, 1);
  auto calls = Calls();
  size_t sessions = 0;
  for (size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].rfind("Init ", 0) != 0) continue;
    ++sessions;
    ASSERT_LT(i + 1, calls.size());
    EXPECT_EQ(calls[i + 1], "SetHandle") << "after " << calls[i];
  }
  EXPECT_EQ(sessions, 6u);  // three configurations, twice
  ASSERT_EQ(script_->handles.size(), sessions);
  for (const auto& [type, handle] : script_->handles) {
    EXPECT_EQ(type, MFX_HANDLE_VA_DISPLAY);
    EXPECT_EQ(handle, &FakeVaDisplay::kHandle);
  }
  qsv_.reset();
  calls = Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[calls.size() - 2], "Close");
  EXPECT_EQ(calls.back(), "display terminated");

  script_ = std::make_shared<SessionScript>();
  script_->results["SetHandle"] = {MFX_ERR_UNSUPPORTED, MFX_ERR_UNSUPPORTED, MFX_ERR_UNSUPPORTED};
  testing::internal::CaptureStderr();
  EXPECT_EQ(make(true)->Init(640, 480, 640, 480, 30, 0), -1);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(script_->Count("CreateEncoder"), 0u);
  EXPECT_TRUE(testing_support::LogCapture::Get().WaitFor(
      "Quick Sync on system memory: SetHandle of the VA display failed with MFX_ERR_UNSUPPORTED"));

  script_ = std::make_shared<SessionScript>();
  testing::internal::CaptureStderr();
  EXPECT_EQ(make(false)->Init(640, 480, 640, 480, 30, 0), 0);
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(script_->handles.empty());
}

// --- Encoding ---

class QsvEncodeTest : public QsvInitTest {
 protected:
  void Open(int w = 64, int h = 32) {
    QSVH264Imp& qsv = Make();
    qsv.SetOutputCallback([this](std::shared_ptr<buffer::H264Sample> s) {
      uint8_t* d = nullptr;
      int n = 0;
      s->GetData(&d, &n);
      samples_.emplace_back(d, d + n);
      capture_times_.push_back(s->capture_time_us());
    });
    testing::internal::CaptureStderr();
    ASSERT_EQ(qsv.Init(w, h, w, h, 30, 0), 0);
    testing::internal::GetCapturedStderr();
  }
  int Encode(bool key = false, uint8_t value = 0xFF) {
    return qsv_->Encode(std::make_shared<SolidImage>(64, 32, value), key);
  }
  std::vector<std::vector<uint8_t>> samples_;
  std::vector<int64_t> capture_times_;
};

TEST_F(QsvEncodeTest, SampleIsHandedOutWithTheEncodedSize) {
  script_->payload_size = 1234;
  Open();
  auto frame = std::make_shared<SolidImage>(64, 32, 0xFF);
  frame->set_capture_time_us(777);
  ASSERT_EQ(qsv_->Encode(frame, false), 0);
  ASSERT_EQ(samples_.size(), 1u);
  EXPECT_EQ(samples_[0].size(), 1234u);
  EXPECT_EQ(samples_[0][4], 0x41);
  EXPECT_EQ(capture_times_[0], 777);
  // The white frame reached the surface as NV12 luma.
  EXPECT_GE(script_->first_luma.at(0), 230);
}

TEST_F(QsvEncodeTest, BusyDeviceIsRetriedAndSyncWaitsOutExecution) {
  Open();
  script_->results["EncodeFrameAsync"] = {MFX_WRN_DEVICE_BUSY, MFX_WRN_DEVICE_BUSY, MFX_ERR_NONE};
  script_->results["SyncOperation"] = {MFX_WRN_IN_EXECUTION, MFX_WRN_IN_EXECUTION, MFX_ERR_NONE};
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Encode(), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2));
  EXPECT_EQ(script_->Count("EncodeFrameAsync"), 3u);
  EXPECT_EQ(script_->Count("SyncOperation"), 3u);
  EXPECT_EQ(samples_.size(), 1u);
}

TEST_F(QsvEncodeTest, AFailingCallIsReturnedWithNoSample) {
  struct Case {
    const char* call;
    mfxStatus status;
  };
  const Case cases[] = {
      {"EncodeFrameAsync", MFX_ERR_DEVICE_FAILED},
      {"EncodeFrameAsync", MFX_ERR_UNDEFINED_BEHAVIOR},
      {"SyncOperation", MFX_ERR_GPU_HANG},
      {"SyncOperation", MFX_ERR_ABORTED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    script_ = std::make_shared<SessionScript>();
    samples_.clear();
    Open();
    script_->results[c.call] = {c.status};
    EXPECT_EQ(Encode(), c.status);
    EXPECT_TRUE(samples_.empty());
    EXPECT_TRUE(testing_support::LogCapture::Get().WaitFor(std::string("Quick Sync ") + c.call +
                                                      " failed with " + MfxStatusName(c.status)));
  }
}

TEST_F(QsvEncodeTest, KeyFrameIsAskedForThatFrameOnly) {
  Open();
  ASSERT_EQ(Encode(true), 0);
  ASSERT_EQ(Encode(false), 0);
  EXPECT_EQ(script_->frame_types, (std::vector<mfxU16>{193, 0}));
  EXPECT_EQ(samples_.at(0)[4], 0x65);
}

TEST_F(QsvEncodeTest, NoFreeSurfaceIsAnErrorNotAnOverwrite) {
  script_->frames_suggested = 2;
  script_->hold_surfaces = true;  // the device keeps every surface it was given
  Open();
  ASSERT_EQ(Encode(), 0);
  ASSERT_EQ(Encode(), 0);
  EXPECT_NE(Encode(), 0);
  EXPECT_EQ(script_->Count("EncodeFrameAsync"), 2u);
}

TEST_F(QsvEncodeTest, BitstreamLengthIsTheSampleBufferNeverMore) {
  struct Case {
    mfxU16 buffer_kb;
    mfxU32 max_length;
  };
  const Case cases[] = {
      {100, 100000},
      {2097, 2097000},
      {5000, buffer::MemH264Sample::kMaxSize},  // the SDK's size would overrun the buffer
      {0, buffer::MemH264Sample::kMaxSize},     // no size given: the whole buffer
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.buffer_kb);
    script_ = std::make_shared<SessionScript>();
    script_->buffer_size_kb = c.buffer_kb;
    Open();
    EXPECT_EQ(qsv_->bitstream_capacity(), static_cast<int>(c.max_length));
    ASSERT_EQ(Encode(), 0);
    EXPECT_EQ(script_->max_lengths.at(0), c.max_length);
  }
}

TEST_F(QsvEncodeTest, OversizedAccessUnitIsDroppedAndAKeyFrameFollows) {
  script_->buffer_size_kb = 2;  // 2000-byte samples
  script_->payload_size = 3000;
  Open();
  EXPECT_EQ(Encode(), 0);  // dropped, not an error
  EXPECT_TRUE(samples_.empty());
  script_->payload_size = 500;
  EXPECT_EQ(Encode(), 0);
  ASSERT_EQ(samples_.size(), 1u);
  EXPECT_EQ(samples_[0][4], 0x65);
  EXPECT_EQ(Encode(), 0);
  EXPECT_EQ(script_->frame_types, (std::vector<mfxU16>{0, 193, 0}));

  // When the key frame after a drop does not fit either, the buffer is too small for
  // this stream: the error goes to the caller, which moves to x264.
  script_->payload_size = 3000;
  EXPECT_EQ(Encode(), 0);
  EXPECT_EQ(Encode(), MFX_ERR_NOT_ENOUGH_BUFFER);
  EXPECT_EQ(script_->frame_types.back(), 193);
  EXPECT_EQ(samples_.size(), 2u);
}

TEST_F(QsvEncodeTest, NothingDueAndNotOpen) {
  QSVH264Imp unopened(std::make_unique<ScriptedMediaSdkSession>(script_));
  EXPECT_EQ(unopened.Encode(std::make_shared<SolidImage>(64, 32, 0), false), -2);

  Open();
  // The encoder keeps the frame and has no output yet: fine, nothing handed out.
  script_->results["EncodeFrameAsync"] = {MFX_ERR_MORE_DATA};
  EXPECT_EQ(Encode(), 0);
  EXPECT_TRUE(samples_.empty());
  EXPECT_EQ(script_->Count("SyncOperation"), 0u);
}

// --- What the encoding stage logs about its back-end ---

TEST(EncoderBackEndLogTest, SaysWhichBackEndRunsAndWhy) {
  if (HardwareEncoderAvailable()) GTEST_SKIP() << "this machine has a Quick Sync device";
  auto failing = std::make_shared<SessionScript>();
  failing->results["EncodeFrameAsync"] = {MFX_ERR_DEVICE_FAILED};
  struct Case {
    const char* name;
    H264Encoder::ImplFactory factory;  // null: the default, which asks the probe
    std::vector<std::string> logged;
  };
  const Case cases[] = {
      {"default", nullptr,
       {"Quick Sync not available (MFXInit: MFX_ERR_", "encoding with x264 at 64x32"}},
      {"forced on the dispatcher", [] { return std::make_unique<QSVH264Imp>(); },
       {"Quick Sync on D3D11 video memory: MFXInit failed with MFX_ERR_",
        "Quick Sync on system memory: MFXInit failed with MFX_ERR_",
        "encode config error in:64,32 out:64,32", "encoding with x264 at 64x32"}},
      {"failing encode",
       [failing] {
         return std::make_unique<QSVH264Imp>(std::make_unique<ScriptedMediaSdkSession>(failing));
       },
       {"Quick Sync encoder open on system memory at 64x32", "encoding with Quick Sync at 64x32",
        "Quick Sync EncodeFrameAsync failed with MFX_ERR_DEVICE_FAILED",
        "hw true EncodeFrame errno -17", "encoding with x264 at 64x32"}},
  };
  auto& log = testing_support::LogCapture::Get();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log.Clear();
    auto images = std::make_shared<ImageQueue>();
    auto samples = std::make_shared<SampleQueue>();
    H264Encoder encoder;
    if (c.factory) encoder.SetHardwareFactory(c.factory);
    encoder.SetInput(images);
    encoder.SetOutput(samples);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(encoder.Start());
    images->Enqueue(std::make_shared<SolidImage>(64, 32, 0x80));
    for (const std::string& piece : c.logged) EXPECT_TRUE(log.WaitFor(piece)) << piece;
    images->Stop();
    samples->Stop();
    encoder.Stop();
    testing::internal::GetCapturedStderr();
  }
}

}  // namespace
}  // namespace mediaworkflow::encoder
