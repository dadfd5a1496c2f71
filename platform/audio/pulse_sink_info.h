#pragma once

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <string>

namespace platform::audio {

// The sink that stands in for a muted output while its sound is still captured.
inline constexpr const char* kMutedSinkName = "castora_muted_output";
// The stand-in carries the name of the output it stands in for, so that whoever finds it
// left behind (a run that was killed) can give that output its streams and the default.
inline constexpr const char* kDivertedFromProperty = "castora.diverted_from";
// The token of the record that names the output it stands in for now (DiversionRecord).
inline constexpr const char* kDivertedRecordProperty = "castora.diverted_record";

// What the sound system needs of one of the server's sinks.
struct SinkInfo {
  uint32_t index = PA_INVALID_INDEX;
  std::string name;
  std::string monitor;
  std::string connected;
  pa_sample_spec spec{};
  pa_cvolume volume{};
  bool muted = false;
  bool hw_volume = false;
  uint32_t owner_module = PA_INVALID_INDEX;
  std::string diverted_from;  // the stand-in's: the output whose streams it took first
  std::string diverted_record;  // the stand-in's: the token of the record of the output now
};

SinkInfo FromPa(const pa_sink_info* i);

// A stand-in sink: ours, or one an earlier run left (by its name, which the server
// numbers when it is taken: "castora_muted_output.2", or by the output it names). Never
// an output of its own.
bool IsStandIn(const SinkInfo& sink);
bool IsStandInName(const std::string& name);

// The loudest channel's volume as a level in [0, 1].
float VolumeScalar(const pa_cvolume& v);

// The channel positions of the wave layout that the resampler mixes down from.
pa_channel_map WaveLayout(uint32_t channels);

}  // namespace platform::audio
