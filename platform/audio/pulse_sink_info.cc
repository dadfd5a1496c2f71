#include "platform/audio/pulse_sink_info.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace platform::audio {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The hardware an endpoint is connected to, in the "vid_xxxx&pid_xxxx" form of USB
// instance ids, so that the same device list matches on every platform.
std::string ConnectedId(const pa_sink_info* i) {
  const char* bus = pa_proplist_gets(i->proplist, PA_PROP_DEVICE_BUS);
  const char* vendor = pa_proplist_gets(i->proplist, PA_PROP_DEVICE_VENDOR_ID);
  const char* product = pa_proplist_gets(i->proplist, PA_PROP_DEVICE_PRODUCT_ID);
  if (bus != nullptr && std::strcmp(bus, "usb") == 0 && vendor != nullptr && product != nullptr) {
    return "usb#vid_" + Lower(vendor) + "&pid_" + Lower(product);
  }
  const char* path = pa_proplist_gets(i->proplist, PA_PROP_DEVICE_BUS_PATH);
  if (path != nullptr) return path;
  return i->name != nullptr ? i->name : "";
}

}  // namespace

float VolumeScalar(const pa_cvolume& v) {
  float level = static_cast<float>(pa_cvolume_max(&v)) / static_cast<float>(PA_VOLUME_NORM);
  return std::min(1.0f, std::max(0.0f, level));
}

SinkInfo FromPa(const pa_sink_info* i) {
  SinkInfo s;
  s.index = i->index;
  s.name = i->name != nullptr ? i->name : "";
  s.monitor = i->monitor_source_name != nullptr ? i->monitor_source_name : "";
  s.connected = ConnectedId(i);
  s.spec = i->sample_spec;
  s.volume = i->volume;
  s.muted = i->mute != 0;
  s.hw_volume = (i->flags & PA_SINK_HW_VOLUME_CTRL) != 0;
  s.owner_module = i->owner_module;
  const char* diverted_from = pa_proplist_gets(i->proplist, kDivertedFromProperty);
  if (diverted_from != nullptr) s.diverted_from = diverted_from;
  const char* diverted_record = pa_proplist_gets(i->proplist, kDivertedRecordProperty);
  if (diverted_record != nullptr) s.diverted_record = diverted_record;
  return s;
}

bool IsStandInName(const std::string& name) {
  const std::string prefix = std::string(kMutedSinkName) + ".";
  return name == kMutedSinkName || name.compare(0, prefix.size(), prefix) == 0;
}

bool IsStandIn(const SinkInfo& sink) { return IsStandInName(sink.name) || !sink.diverted_from.empty(); }

pa_channel_map WaveLayout(uint32_t channels) {
  static const pa_channel_position_t k[9][8] = {
      {},
      {PA_CHANNEL_POSITION_MONO},
      {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT},
      {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_FRONT_CENTER},
      {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_REAR_LEFT,
       PA_CHANNEL_POSITION_REAR_RIGHT},
      {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_FRONT_CENTER,
       PA_CHANNEL_POSITION_REAR_LEFT, PA_CHANNEL_POSITION_REAR_RIGHT},
      {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_FRONT_CENTER,
       PA_CHANNEL_POSITION_LFE, PA_CHANNEL_POSITION_REAR_LEFT, PA_CHANNEL_POSITION_REAR_RIGHT},
      {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_FRONT_CENTER,
       PA_CHANNEL_POSITION_LFE, PA_CHANNEL_POSITION_REAR_CENTER, PA_CHANNEL_POSITION_SIDE_LEFT,
       PA_CHANNEL_POSITION_SIDE_RIGHT},
      {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_FRONT_CENTER,
       PA_CHANNEL_POSITION_LFE, PA_CHANNEL_POSITION_REAR_LEFT, PA_CHANNEL_POSITION_REAR_RIGHT,
       PA_CHANNEL_POSITION_SIDE_LEFT, PA_CHANNEL_POSITION_SIDE_RIGHT},
  };
  pa_channel_map map;
  pa_channel_map_init(&map);
  map.channels = static_cast<uint8_t>(channels);
  for (uint32_t c = 0; c < channels; ++c) map.map[c] = k[channels][c];
  return map;
}

}  // namespace platform::audio
