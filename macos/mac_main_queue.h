// The main dispatch queue over Grand Central Dispatch. Objective-C++ only.
#pragma once

#include "app/platform/main_queue.h"

namespace brimlane {

class MacMainQueue : public MainQueue {
 public:
  void async(Work work) override;
  void asyncAfter(Seconds delay, Work work) override;
};

}  // namespace brimlane
