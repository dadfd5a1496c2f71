#pragma once

#include "mediaworkflow/element.h"

namespace mediaworkflow::encoder {

// Base of the encoding stage.
class VideoEncoder : public Element {};

}  // namespace mediaworkflow::encoder
