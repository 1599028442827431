// Thread over +[NSThread sleepForTimeInterval:].
#include "macos/mac_thread.h"

#import <Foundation/Foundation.h>

namespace brimlane {

void MacThread::sleepForTimeInterval(Seconds interval) {
  [NSThread sleepForTimeInterval:interval.count()];
}

}  // namespace brimlane
