// Sleeping the calling thread over NSThread. Objective-C++ only.
#pragma once

#include "app/platform/thread.h"

namespace brimlane {

class MacThread : public Thread {
 public:
  void sleepForTimeInterval(Seconds interval) override;
};

}  // namespace brimlane
