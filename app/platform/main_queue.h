// The main dispatch queue: work that runs on the main thread once the thread is
// free, at once or after a delay.
#pragma once

#include <functional>

#include "app/platform/types.h"

namespace brimlane {

class MainQueue {
 public:
  using Work = std::function<void()>;

  virtual ~MainQueue() = default;

  virtual void async(Work work) = 0;
  // Runs `work` on the main thread, not before `delay` has passed.
  virtual void asyncAfter(Seconds delay, Work work) = 0;
};

}  // namespace brimlane
