// The application's delegate as the main interface file creates it: the
// Objective-C face of the host's own delegate. Objective-C++ only.
#pragma once

#import <FlutterMacOS/FlutterMacOS.h>

#include <memory>

namespace brimlane {
class AppDelegate;
}

@interface AppDelegate : FlutterAppDelegate

// The host's delegate, which this object owns and forwards to.
- (std::shared_ptr<brimlane::AppDelegate>)hostDelegate;

@end
