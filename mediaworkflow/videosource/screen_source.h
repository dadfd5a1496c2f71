#pragma once

#include "mediaworkflow/element.h"

namespace mediaworkflow::videosource {

// The first stage of the pipeline, as the pipeline owner sees it.
class ScreenSource : public Element {
 public:
  virtual bool Start() = 0;
  virtual bool Stop() = 0;
};

}  // namespace mediaworkflow::videosource
