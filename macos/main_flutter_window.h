// The main interface file's window: the Objective-C face of the host's hidden
// main window. Objective-C++ only.
#pragma once

#import <AppKit/AppKit.h>

@interface MainFlutterWindow : NSWindow
@end
