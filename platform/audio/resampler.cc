#include "platform/audio/resampler.h"

#include <soxr.h>

#include <algorithm>
#include <cstring>

namespace platform::audio {

namespace {

// Frames converted per step; bounds the scratch buffers whatever the caller hands in.
constexpr size_t kChunkFrames = 1024;
// Output frames drained per step; a chunk upsampled 8000 -> 48000 fits in six drains.
constexpr size_t kOutFrames = 2048;

constexpr float kHalf = 0.70710678f;  // -3 dB for centre and surround channels

enum Speaker { FL, FR, FC, LFE, BL, BR, SL, SR, BC };

// Speaker of each channel for the usual layout of each count (wave channel-mask order).
const Speaker* LayoutFor(uint32_t channels) {
  static const Speaker k3[] = {FL, FR, FC};
  static const Speaker k4[] = {FL, FR, BL, BR};
  static const Speaker k5[] = {FL, FR, FC, BL, BR};
  static const Speaker k6[] = {FL, FR, FC, LFE, BL, BR};
  static const Speaker k7[] = {FL, FR, FC, LFE, BC, SL, SR};
  static const Speaker k8[] = {FL, FR, FC, LFE, BL, BR, SL, SR};
  switch (channels) {
    case 3: return k3;
    case 4: return k4;
    case 5: return k5;
    case 6: return k6;
    case 7: return k7;
    case 8: return k8;
    default: return nullptr;
  }
}

void Gains(Speaker s, float* l, float* r) {
  switch (s) {
    case FL: *l = 1.0f; *r = 0.0f; break;
    case FR: *l = 0.0f; *r = 1.0f; break;
    case FC: case BC: *l = kHalf; *r = kHalf; break;
    case LFE: *l = 0.0f; *r = 0.0f; break;
    case BL: case SL: *l = kHalf; *r = 0.0f; break;
    case BR: case SR: *l = 0.0f; *r = kHalf; break;
  }
}

float ReadSample(const uint8_t* p, SampleType type) {
  switch (type) {
    case SampleType::kInt16: {
      int16_t v;
      std::memcpy(&v, p, 2);
      return static_cast<float>(v) / 32768.0f;
    }
    case SampleType::kInt24: {
      int32_t v = static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 |
                                       static_cast<uint32_t>(p[1]) << 16 |
                                       static_cast<uint32_t>(p[2]) << 24);
      return static_cast<float>(v >> 8) / 8388608.0f;
    }
    case SampleType::kInt32: {
      int32_t v;
      std::memcpy(&v, p, 4);
      return static_cast<float>(static_cast<double>(v) / 2147483648.0);
    }
    case SampleType::kFloat32: {
      float v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
  return 0.0f;
}

}  // namespace

uint32_t MixFormat::BytesPerSample() const {
  switch (type) {
    case SampleType::kInt16: return 2;
    case SampleType::kInt24: return 3;
    case SampleType::kInt32: return 4;
    case SampleType::kFloat32: return 4;
  }
  return 4;
}

void Resampler::MixFrame(const float* in, uint32_t channels, float* left, float* right) {
  if (channels == 1) {
    *left = *right = in[0];
    return;
  }
  if (channels == 2) {
    *left = in[0];
    *right = in[1];
    return;
  }
  const Speaker* layout = LayoutFor(channels);
  if (layout == nullptr) {
    // An unusual count: the first two channels are taken as front left and right.
    *left = in[0];
    *right = in[1];
    return;
  }
  float l = 0.0f, r = 0.0f, gain_l = 0.0f, gain_r = 0.0f;
  for (uint32_t c = 0; c < channels; ++c) {
    float gl = 0.0f, gr = 0.0f;
    Gains(layout[c], &gl, &gr);
    l += gl * in[c];
    r += gr * in[c];
    gain_l += gl;
    gain_r += gr;
  }
  // Normalised so that full scale on every channel stays full scale, never beyond.
  *left = l / gain_l;
  *right = r / gain_r;
}

Resampler::Resampler() = default;

Resampler::~Resampler() {
  if (soxr_ != nullptr) soxr_delete(soxr_);
}

bool Resampler::Init(const MixFormat& input, uint32_t output_rate) {
  ready_ = false;
  if (input.channels == 0 || input.sample_rate == 0 || output_rate == 0) return false;
  if (soxr_ != nullptr) {
    soxr_delete(soxr_);
    soxr_ = nullptr;
  }
  input_ = input;
  output_rate_ = output_rate;
  carry_.clear();
  unpacked_.assign(kChunkFrames * input.channels, 0.0f);
  stereo_.assign(kChunkFrames * 2, 0.0f);
  if (input.sample_rate != output_rate) {
    soxr_error_t error = nullptr;
    soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_ = soxr_create(input.sample_rate, output_rate, 2, &error, &io, &quality, nullptr);
    if (error != nullptr || soxr_ == nullptr) {
      soxr_ = nullptr;
      return false;
    }
    out_.assign(kOutFrames * 2, 0.0f);
  }
  ready_ = true;
  return true;
}

double Resampler::Delay() const { return soxr_ != nullptr ? soxr_delay(soxr_) : 0.0; }

bool Resampler::Process(const uint8_t* data, size_t size, const Output& output) {
  if (!ready_) return false;
  const size_t align = input_.BlockAlign();
  if (!carry_.empty()) {
    size_t take = std::min(size, align - carry_.size());
    carry_.insert(carry_.end(), data, data + take);
    data += take;
    size -= take;
    if (carry_.size() < align) return true;
    std::vector<uint8_t> frame;
    frame.swap(carry_);
    if (!ConvertChunk(frame.data(), 1, output)) return false;
  }
  while (size >= align) {
    size_t frames = std::min(size / align, kChunkFrames);
    if (!ConvertChunk(data, frames, output)) return false;
    data += frames * align;
    size -= frames * align;
  }
  carry_.assign(data, data + size);
  return true;
}

bool Resampler::ConvertChunk(const uint8_t* data, size_t frames, const Output& output) {
  const uint32_t channels = input_.channels;
  const uint32_t bps = input_.BytesPerSample();
  for (size_t i = 0; i < frames * channels; ++i) unpacked_[i] = ReadSample(data + i * bps, input_.type);
  for (size_t f = 0; f < frames; ++f) {
    MixFrame(&unpacked_[f * channels], channels, &stereo_[2 * f], &stereo_[2 * f + 1]);
  }
  if (soxr_ == nullptr) {
    if (output) output(stereo_.data(), frames);
    return true;
  }
  const float* in = stereo_.data();
  size_t left = frames;
  // Feed the chunk and keep draining: the resampler hands out at most kOutFrames per
  // call, and it has all it can give when it returns less than that.
  for (;;) {
    size_t consumed = 0, produced = 0;
    soxr_error_t error = soxr_process(soxr_, in, left, &consumed, out_.data(), kOutFrames, &produced);
    if (error != nullptr) return false;
    if (produced > 0 && output) output(out_.data(), produced);
    in += consumed * 2;
    left -= consumed;
    if (left == 0 && produced < kOutFrames) break;
  }
  return true;
}

}  // namespace platform::audio
