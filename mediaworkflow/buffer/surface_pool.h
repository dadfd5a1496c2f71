#pragma once

#include <memory>

#include <concurrentqueue/concurrentqueue.h>

#include "platform/screen/surface.h"

namespace mediaworkflow::buffer {

// Pixel surfaces of one capture back-end, reused per size. Frames return their
// surface from whichever thread drops them last, so the pool is multi-producer; only
// the capture thread takes from it. Held by shared_ptr so a frame that outlives its
// back-end still has somewhere to put its surface.
using SurfacePool = moodycamel::ConcurrentQueue<std::shared_ptr<platform::screen::Surface>>;

}  // namespace mediaworkflow::buffer
