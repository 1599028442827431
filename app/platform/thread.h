// The calling thread itself: blocking it for a while.
#pragma once

#include "app/platform/types.h"

namespace brimlane {

class Thread {
 public:
  virtual ~Thread() = default;

  // Blocks the calling thread; on the main thread no event and no queued work
  // is handled meanwhile, while other processes go on.
  virtual void sleepForTimeInterval(Seconds interval) = 0;
};

}  // namespace brimlane
