// Main-queue work over dispatch_async and dispatch_after on the main queue.
#include "macos/mac_main_queue.h"

#include <dispatch/dispatch.h>

namespace brimlane {

void MacMainQueue::async(Work work) {
  __block Work pending = std::move(work);
  dispatch_async(dispatch_get_main_queue(), ^{
    pending();
  });
}

void MacMainQueue::asyncAfter(Seconds delay, Work work) {
  __block Work pending = std::move(work);
  const auto nanoseconds = static_cast<std::int64_t>(delay.count() * NSEC_PER_SEC);
  dispatch_after(dispatch_time(DISPATCH_TIME_NOW, nanoseconds), dispatch_get_main_queue(), ^{
    pending();
  });
}

}  // namespace brimlane
