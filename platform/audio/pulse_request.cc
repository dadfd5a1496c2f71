#include "platform/audio/pulse_request.h"

namespace platform::audio {

void OnPulseSuccess(pa_context*, int success, void* userdata) {
  auto* holder = static_cast<PulseRequestHolder<int>*>(userdata);
  (*holder)->Finish(success != 0);
  delete holder;
}

void OnPulseServerInfo(pa_context*, const pa_server_info* i, void* userdata) {
  auto* holder = static_cast<PulseRequestHolder<std::string>*>(userdata);
  if (i != nullptr && i->default_sink_name != nullptr) {
    // Under the lock: a caller that timed out may be reading the value.
    std::lock_guard<std::mutex> lock((*holder)->mutex);
    (*holder)->value = i->default_sink_name;
  }
  (*holder)->Finish(i != nullptr);
  delete holder;
}

void OnPulseSinkInfo(pa_context*, const pa_sink_info* i, int eol, void* userdata) {
  auto* holder = static_cast<PulseRequestHolder<std::vector<SinkInfo>>*>(userdata);
  if (eol == 0 && i != nullptr) {
    std::lock_guard<std::mutex> lock((*holder)->mutex);
    (*holder)->value.push_back(FromPa(i));
    return;
  }
  (*holder)->Finish(eol > 0);
  delete holder;
}

void OnPulseModuleLoaded(pa_context*, uint32_t index, void* userdata) {
  auto* holder = static_cast<PulseRequestHolder<uint32_t>*>(userdata);
  {
    std::lock_guard<std::mutex> lock((*holder)->mutex);
    (*holder)->value = index;
  }
  (*holder)->Finish(index != PA_INVALID_INDEX);
  delete holder;
}

void OnPulseSinkInputInfo(pa_context*, const pa_sink_input_info* i, int eol, void* userdata) {
  auto* holder = static_cast<PulseRequestHolder<std::vector<std::pair<uint32_t, uint32_t>>>*>(userdata);
  if (eol == 0 && i != nullptr) {
    std::lock_guard<std::mutex> lock((*holder)->mutex);
    (*holder)->value.emplace_back(i->index, i->sink);
    return;
  }
  (*holder)->Finish(eol > 0);
  delete holder;
}

}  // namespace platform::audio
