// An application for the end-to-end run to capture from and paste back into,
// which logs what it receives, and can quit while the paste is on its way.
// The run builds it (AppKit) into TextTarget.app, bundle identifier
// com.brimlane.integration.text-target, so that Launch Services opens it as an
// application like any other, and opens it with
//
//   open -n TextTarget.app --args --log LOG --text-file FILE --title TITLE
//                                 [--quit-when-reactivated]
//
// It shows FILE's text (UTF-8, exactly as it is) in a window titled TITLE,
// with all of it selected, and comes to the front. Without
// --quit-when-reactivated it is a plain target, or a bystander that nothing
// should be typed into, and stays until it is ended. With it, once it has
// copied (the host's capture) and has then been brought to the front again
// (the host re-activates the application it pastes into before it types
// Command-V), it quits at once, through the same -[NSApplication terminate:]
// as the Quit menu item.
//
// Appends to LOG one JSON object a line, each flushed as it is written, each
// with "time": seconds since the Unix epoch to the microsecond (CLOCK_REALTIME,
// the clock of the run's other tools and of the harness itself):
//   {"event":"started","pid":N}        first, before anything else happens
//   {"event":"active"}                 it became active before its first
//                                      copy (or later, but not as below)
//   {"event":"resigned"}               it stopped being active
//   {"event":"copied","text":S}        its Copy ran, on the selected text S
//   {"event":"active-again"}           the first activation after each copy
//   {"event":"key","keyCode":N,"flags":N,"characters":S,
//    "charactersIgnoringModifiers":S}  every key press it receives, key
//                                      equivalents included; flags is
//                                      modifierFlags
//   {"event":"text","text":S}          its text after a change, a paste among
//                                      them
//   {"event":"quitting"}               with --quit-when-reactivated, on
//                                      active-again, just before terminate:
//   {"event":"failed","reason":S}      FILE could not be read as UTF-8
//   {"event":"exited"}                 the last thing a normal exit does
// An event whose fields JSON cannot carry is logged with its event and time
// and "unwritable" in place of its fields. Exit status: 0 quit; 1 FILE could
// not be read; 2 usage, or LOG cannot be opened (on standard error, as
// nothing can be logged). A process that is gone without "exited" was killed
// or crashed.
#import <AppKit/AppKit.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "json_lines.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

FILE* logFile = nullptr;

void logEvent(NSString* event, NSDictionary* fields = @{}) {
  brimlane_tools::logEvent(logFile, event, fields);
}

// Registered with atexit rather than done in applicationWillTerminate:,
// because it comes later: -[NSApplication terminate:] sends
// applicationWillTerminate: and only then ends the process with exit(), which
// runs the atexit handlers, in the reverse order of their registration. This
// one is registered in main right after "started", before the application
// object exists, so it runs after every handler registered once AppKit is
// running; it also covers an exit that never passes through terminate:. What
// exit() still does after it (handlers that libraries registered as they were
// loaded, before main) is not the target's own. Only a kill, or a crash, ends
// the process without it.
void logExited() {
  logEvent(@"exited");
}

id orNull(id value) {
  return value ?: NSNull.null;
}

struct Options {
  NSString* log = nil;
  NSString* textFile = nil;
  NSString* title = nil;
  bool quitWhenReactivated = false;
};

// Arguments after --args. An old Launch Services adds a -psn_ argument of its
// own, which is not the run's.
bool parseOptions(int argc, const char* argv[], Options& options) {
  for (int i = 1; i < argc; ++i) {
    NSString* argument = [NSString stringWithUTF8String:argv[i]];
    if (!argument) return false;
    if ([argument hasPrefix:@"-psn_"]) continue;
    if ([argument isEqualToString:@"--quit-when-reactivated"]) {
      if (options.quitWhenReactivated) return false;
      options.quitWhenReactivated = true;
      continue;
    }
    NSString* __strong* slot = nullptr;
    if ([argument isEqualToString:@"--log"]) slot = &options.log;
    if ([argument isEqualToString:@"--text-file"]) slot = &options.textFile;
    if ([argument isEqualToString:@"--title"]) slot = &options.title;
    if (!slot || *slot || i + 1 == argc) return false;
    *slot = [NSString stringWithUTF8String:argv[++i]];
    if (!*slot) return false;
  }
  return options.log && options.textFile && options.title;
}

}  // namespace

// Notes its own copies, which tell the first activation from the paste's.
@interface TargetTextView : NSTextView
@property(nonatomic, copy) void (^didCopy)(NSString* selected);
@end

@implementation TargetTextView
- (void)copy:(id)sender {
  // The selection as Copy takes it; the target never makes a discontiguous
  // one, so the first range is all of it.
  NSString* selected = [self.string substringWithRange:self.selectedRange];
  [super copy:sender];
  if (self.didCopy) self.didCopy(selected);
}
@end

@interface TargetDelegate : NSObject <NSApplicationDelegate, NSTextViewDelegate>
- (instancetype)initWithText:(NSString*)text
                       title:(NSString*)title
         quitWhenReactivated:(bool)quitWhenReactivated;
@end

@implementation TargetDelegate {
  NSString* _text;
  NSString* _title;
  bool _quitWhenReactivated;
  NSWindow* _window;
  id _keyMonitor;
  // A copy has run and no activation has followed it yet.
  bool _awaitingReactivation;
}

- (instancetype)initWithText:(NSString*)text
                       title:(NSString*)title
         quitWhenReactivated:(bool)quitWhenReactivated {
  if ((self = [super init])) {
    _text = [text copy];
    _title = [title copy];
    _quitWhenReactivated = quitWhenReactivated;
  }
  return self;
}

- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  NSApp.mainMenu = [self makeMainMenu];
  const NSRect frame = NSMakeRect(0, 0, 560, 240);
  _window =
      [[NSWindow alloc] initWithContentRect:frame
                                  styleMask:NSWindowStyleMaskTitled | NSWindowStyleMaskResizable
                                    backing:NSBackingStoreBuffered
                                      defer:NO];
  _window.title = _title;
  // Nothing of it may come back at a later launch.
  _window.restorable = NO;
  NSScrollView* scrollView = [[NSScrollView alloc] initWithFrame:frame];
  scrollView.hasVerticalScroller = YES;
  scrollView.autoresizingMask = NSViewWidthSizable | NSViewHeightSizable;
  TargetTextView* textView = [[TargetTextView alloc]
      initWithFrame:NSMakeRect(0, 0, scrollView.contentSize.width, scrollView.contentSize.height)];
  textView.minSize = NSMakeSize(0, scrollView.contentSize.height);
  textView.maxSize = NSMakeSize(CGFLOAT_MAX, CGFLOAT_MAX);
  textView.verticallyResizable = YES;
  textView.autoresizingMask = NSViewWidthSizable;
  textView.textContainer.widthTracksTextView = YES;
  // The run compares the text character for character: plain text, so a
  // paste takes the plain-text flavour, and none of the edits AppKit may
  // make of its own around a paste or while typing.
  textView.richText = NO;
  textView.smartInsertDeleteEnabled = NO;
  textView.automaticQuoteSubstitutionEnabled = NO;
  textView.automaticDashSubstitutionEnabled = NO;
  textView.automaticTextReplacementEnabled = NO;
  textView.automaticSpellingCorrectionEnabled = NO;
  textView.automaticLinkDetectionEnabled = NO;
  textView.automaticDataDetectionEnabled = NO;
  textView.automaticTextCompletionEnabled = NO;
  textView.string = _text;
  textView.delegate = self;
  __weak TargetDelegate* weakSelf = self;
  textView.didCopy = ^(NSString* selected) {
    TargetDelegate* strongSelf = weakSelf;
    if (!strongSelf) return;
    strongSelf->_awaitingReactivation = true;
    logEvent(@"copied", @{@"text" : selected});
  };
  scrollView.documentView = textView;
  _window.contentView = scrollView;
  [_window center];
  [_window makeKeyAndOrderFront:nil];
  [_window makeFirstResponder:textView];
  [textView selectAll:nil];
  // Every key press the application receives, key equivalents included: a
  // Command-C or Command-V that reached it shows here with the key code it
  // carried.
  _keyMonitor = [NSEvent addLocalMonitorForEventsMatchingMask:NSEventMaskKeyDown
                                                      handler:^NSEvent*(NSEvent* event) {
                                                        [weakSelf logKey:event];
                                                        return event;
                                                      }];
  // open brings a new application forward already; this covers a launch that
  // did not.
  [NSApp activateIgnoringOtherApps:YES];
}

- (void)logKey:(NSEvent*)event {
  logEvent(@"key", @{
    @"keyCode" : @(event.keyCode),
    @"flags" : @(event.modifierFlags),
    @"characters" : orNull(event.characters),
    @"charactersIgnoringModifiers" : orNull(event.charactersIgnoringModifiers),
  });
}

- (void)applicationDidBecomeActive:(NSNotification*)notification {
  if (!_awaitingReactivation) {
    logEvent(@"active");
    return;
  }
  _awaitingReactivation = false;
  logEvent(@"active-again");
  if (!_quitWhenReactivated) return;
  // At once, with no delay: a quit put off for a moment would, on a loaded
  // machine, fall wherever the machine's load put it, and the host's check
  // could pass for reasons that are not the host's.
  logEvent(@"quitting");
  [NSApp terminate:nil];
}

- (void)applicationDidResignActive:(NSNotification*)notification {
  logEvent(@"resigned");
}

- (void)textDidChange:(NSNotification*)notification {
  logEvent(@"text", @{@"text" : static_cast<NSTextView*>(notification.object).string});
}

// The window is not restorable; this only says that the application would
// restore securely, which keeps AppKit from warning in the log at launch.
- (BOOL)applicationSupportsSecureRestorableState:(NSApplication*)application {
  return YES;
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
    Options options;
    if (!parseOptions(argc, argv, options)) {
      std::fprintf(stderr, "usage: TextTarget --log LOG --text-file FILE --title TITLE "
                           "[--quit-when-reactivated]\n");
      return kUsage;
    }
    logFile = std::fopen(options.log.fileSystemRepresentation, "a");
    if (!logFile) {
      std::fprintf(stderr, "TextTarget: cannot append to %s\n", options.log.UTF8String);
      return kUsage;
    }
    // First, so that the run knows the process before anything else happens.
    logEvent(
        @"started",
        @{@"pid" : @(getpid())});
    std::atexit(logExited);
    // Exactly as the file has it: no trimming, and no other encoding tried.
    NSError* error = nil;
    NSData* bytes = [NSData dataWithContentsOfFile:options.textFile options:0 error:&error];
    NSString* text =
        bytes ? [[NSString alloc] initWithData:bytes encoding:NSUTF8StringEncoding] : nil;
    if (!text) {
      NSString* reason = bytes ? [NSString stringWithFormat:@"%@ is not UTF-8", options.textFile]
                               : [NSString stringWithFormat:@"cannot read %@: %@", options.textFile,
                                                            error.localizedDescription];
      std::fprintf(stderr, "TextTarget: %s\n", reason.UTF8String);
      logEvent(@"failed", @{@"reason" : reason});
      return kFailed;
    }
    NSApplication* application = NSApplication.sharedApplication;
    application.activationPolicy = NSApplicationActivationPolicyRegular;
    TargetDelegate* delegate = [[TargetDelegate alloc] initWithText:text
                                                              title:options.title
                                                quitWhenReactivated:options.quitWhenReactivated];
    application.delegate = delegate;
    [application run];
    return 0;
  }
}
