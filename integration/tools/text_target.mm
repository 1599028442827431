// An application for the end-to-end run to capture from and paste back into,
// which quits while the paste is on its way. integration/run builds it into a
// bundle and opens it with
//
//   open -n QuittingTarget.app --args LOG TEXT DELAY
//
// It shows TEXT selected in a window of its own and comes to the front. Once
// it has copied (the host's capture) and has then been brought to the front
// again (the host re-activates the application it pastes into, 0.3 s before
// it types Command-V), it quits DELAY seconds later, through the same
// -[NSApplication terminate:] as the Quit menu item. So the quit falls inside
// the host's 0.3 s, at a point the run chooses, measured from the host's own
// act and not from anything the run could see late.
//
// It writes to LOG one line per event, "EVENT NS [DETAIL]", NS being
// CLOCK_UPTIME_RAW in nanoseconds (the clock of the run's key witness):
// started (with its pid), active, resigned, copied, active-again, quitting,
// key (every key press it receives: key code and flags) and text (its text
// after any change, a paste among them).
#import <AppKit/AppKit.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

namespace {

FILE* logFile = nullptr;

void logEvent(NSString* event, NSString* detail = nil) {
  if (!logFile) return;
  std::fprintf(logFile, "%s %llu%s%s\n", event.UTF8String, clock_gettime_nsec_np(CLOCK_UPTIME_RAW),
               detail ? " " : "", detail ? detail.UTF8String : "");
}

}  // namespace

// Notes its own copies, which tell the first activation from the paste's.
@interface TargetTextView : NSTextView
@property(nonatomic, copy) void (^didCopy)(void);
@end

@implementation TargetTextView
- (void)copy:(id)sender {
  [super copy:sender];
  if (self.didCopy) self.didCopy();
}
@end

@interface TargetDelegate : NSObject <NSApplicationDelegate, NSTextViewDelegate>
- (instancetype)initWithText:(NSString*)text quitDelay:(NSTimeInterval)delay;
@end

@implementation TargetDelegate {
  NSString* _text;
  NSTimeInterval _quitDelay;
  NSWindow* _window;
  id _keyMonitor;
  bool _copied;
  bool _quitScheduled;
}

- (instancetype)initWithText:(NSString*)text quitDelay:(NSTimeInterval)delay {
  if ((self = [super init])) {
    _text = [text copy];
    _quitDelay = delay;
  }
  return self;
}

- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  NSApp.mainMenu = [self makeMainMenu];
  _window = [[NSWindow alloc] initWithContentRect:NSMakeRect(0, 0, 480, 200)
                                        styleMask:NSWindowStyleMaskTitled
                                          backing:NSBackingStoreBuffered
                                            defer:NO];
  _window.title = @"Brimlane quitting target";
  // Nothing of it may come back at a later launch.
  _window.restorable = NO;
  TargetTextView* textView = [[TargetTextView alloc] initWithFrame:NSMakeRect(0, 0, 480, 200)];
  textView.string = _text;
  textView.delegate = self;
  __weak TargetDelegate* weakSelf = self;
  textView.didCopy = ^{
    TargetDelegate* strongSelf = weakSelf;
    if (!strongSelf) return;
    strongSelf->_copied = true;
    logEvent(@"copied");
  };
  _window.contentView = textView;
  [_window center];
  [_window makeKeyAndOrderFront:nil];
  [_window makeFirstResponder:textView];
  [textView selectAll:nil];
  // Every key press the application receives, key equivalents included: a
  // Command-V that reached it before it quit shows here.
  _keyMonitor = [NSEvent
      addLocalMonitorForEventsMatchingMask:NSEventMaskKeyDown
                                   handler:^NSEvent*(NSEvent* event) {
                                     logEvent(@"key",
                                              [NSString stringWithFormat:@"%u 0x%lx", event.keyCode,
                                                                         static_cast<unsigned long>(
                                                                             event.modifierFlags)]);
                                     return event;
                                   }];
  // open brings a new application forward already; this covers a launch that
  // did not.
  [NSApp activateIgnoringOtherApps:YES];
}

- (void)applicationDidBecomeActive:(NSNotification*)notification {
  if (!_copied) {
    logEvent(@"active");
    return;
  }
  logEvent(@"active-again");
  if (_quitScheduled) return;
  _quitScheduled = true;
  [self performSelector:@selector(quit) withObject:nil afterDelay:_quitDelay];
}

- (void)applicationDidResignActive:(NSNotification*)notification {
  logEvent(@"resigned");
}

- (void)textDidChange:(NSNotification*)notification {
  logEvent(@"text", static_cast<NSTextView*>(notification.object).string);
}

- (void)quit {
  logEvent(@"quitting");
  [NSApp terminate:nil];
}

// Copy and paste reach a text view through the menu's key equivalents, so the
// application has the menu items a user's would.
- (NSMenu*)makeMainMenu {
  NSMenu* mainMenu = [[NSMenu alloc] init];
  NSMenu* appMenu = [[NSMenu alloc] init];
  [appMenu addItemWithTitle:@"Quit" action:@selector(terminate:) keyEquivalent:@"q"];
  [mainMenu addItemWithTitle:@"" action:nil keyEquivalent:@""].submenu = appMenu;
  NSMenu* editMenu = [[NSMenu alloc] initWithTitle:@"Edit"];
  [editMenu addItemWithTitle:@"Copy" action:@selector(copy:) keyEquivalent:@"c"];
  [editMenu addItemWithTitle:@"Paste" action:@selector(paste:) keyEquivalent:@"v"];
  [editMenu addItemWithTitle:@"Select All" action:@selector(selectAll:) keyEquivalent:@"a"];
  [mainMenu addItemWithTitle:@"Edit" action:nil keyEquivalent:@""].submenu = editMenu;
  return mainMenu;
}

@end

int main(int argc, const char* argv[]) {
  @autoreleasepool {
    // Arguments after --args; an old Launch Services adds a -psn_ argument of
    // its own.
    NSMutableArray<NSString*>* arguments = [NSMutableArray array];
    for (int i = 1; i < argc; ++i) {
      NSString* argument = @(argv[i]);
      if (![argument hasPrefix:@"-psn_"]) [arguments addObject:argument];
    }
    if (arguments.count != 3) {
      std::fprintf(stderr, "usage: QuittingTarget LOG TEXT DELAY\n");
      return 2;
    }
    logFile = std::fopen(arguments[0].UTF8String, "a");
    if (!logFile) return 2;
    std::setvbuf(logFile, nullptr, _IOLBF, 0);
    // First, so that the run knows the process before anything else happens.
    logEvent(@"started", [NSString stringWithFormat:@"%d", getpid()]);
    NSApplication* application = NSApplication.sharedApplication;
    application.activationPolicy = NSApplicationActivationPolicyRegular;
    TargetDelegate* delegate = [[TargetDelegate alloc] initWithText:arguments[1]
                                                          quitDelay:arguments[2].doubleValue];
    application.delegate = delegate;
    [application run];
    return 0;
  }
}
