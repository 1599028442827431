// Watches every key press of the login session for the end-to-end run, so that
// the run can tell what was typed, and where, while it watched. The run builds
// it (ApplicationServices and Foundation) and starts it in the background.
//
//   key-witness LOG
//
// Appends to LOG one JSON object a line, each flushed as it is written, each
// with "time": seconds since the Unix epoch to the microsecond (CLOCK_REALTIME,
// the clock of the run's other tools and of the harness itself):
//   {"event":"chose","tap":"listener"|"filter"|"none","listenAccess":B,
//    "accessibility":B}                         first, before any tap is made
//   {"event":"no-tap","reason":S}               no tap; the witness exits 3
//   {"event":"listening","tap":KIND}            the tap is on the run loop
//   {"event":"keyDown","keyCode":N,"flags":N,"sourcePid":N,"autorepeat":B}
//                                               every key press, flags being
//                                               the whole CGEventGetFlags value
//   {"event":"reenabled","why":"timeout"|"user input"}
//                                               the system had turned it off
// It runs until it is ended (SIGTERM). Exit status: 2 usage, or LOG cannot be
// opened; 3 no tap.
//
// Which tap, chosen only with calls that never prompt: CGPreflightListenEventAccess
// (Input Monitoring) allows a listen-only tap, which can never hold up a key;
// failing that, AXIsProcessTrusted (Accessibility) allows an active filter,
// which passes every event on unchanged. With neither, CGEventTapCreate is not
// called at all: asking for a tap without the access may put the system's
// dialog on the screen (WWDC19 session 701), which nobody on a hosted Mac will
// answer. "listening" does not prove the witness sees anything (a listen-only
// tap may be made and then get no events); the run proves it by a control
// keystroke of its own that must show up here.
//
// The tap is at the session (kCGSessionEventTap). What it can see, in
// CGEvent.h's words. Taps sit, in order, "at the point where HIDSystem events
// enter the server, at the point where HIDSystem and remote control events
// enter a session, at the point where events have been annotated to flow to a
// specific application, or at the point where events are delivered to the
// application".
// - CGEventPost "posts the specified event immediately before any event taps
//   instantiated for that location, and the event passes through any such
//   taps". The host posts its Command-V at the HID tap, the first of those
//   points, so the Command-V goes on into the session and passes this tap.
// - CGEventPostToPid "posts the specified event immediately before any event
//   taps instantiated for the specified process, and the event passes through
//   any such taps". The capture's Command-C is posted that way, to the target
//   alone, after the session's taps, so this witness cannot see it; the run
//   reads that one in the target application's own log.
#include <ApplicationServices/ApplicationServices.h>
#import <Foundation/Foundation.h>
#include <time.h>

#include <cstdio>

#include "json_lines.h"

namespace {

constexpr int kUsage = 2;
constexpr int kNoTap = 3;

FILE* logFile = nullptr;
CFMachPortRef tap = nullptr;

void logEvent(NSString* event, NSDictionary* fields = @{}) {
  brimlane_tools::logEvent(logFile, event, fields);
}

CGEventRef onEvent(CGEventTapProxy, CGEventType type, CGEventRef event, void*) {
  // CFRunLoopRun drains no autorelease pool of its own, and the witness runs
  // for as long as the run does.
  @autoreleasepool {
    // The system turns a tap off that it judges too slow, or at the user's
    // request; a witness that stopped watching would see nothing typed.
    if (type == kCGEventTapDisabledByTimeout || type == kCGEventTapDisabledByUserInput) {
      CGEventTapEnable(tap, true);
      logEvent(@"reenabled",
               @{@"why" : type == kCGEventTapDisabledByTimeout ? @"timeout" : @"user input"});
      return event;
    }
    if (type == kCGEventKeyDown) {
      logEvent(
          @"keyDown", @{
            @"keyCode" : @(CGEventGetIntegerValueField(event, kCGKeyboardEventKeycode)),
            @"flags" : @(static_cast<unsigned long long>(CGEventGetFlags(event))),
            @"sourcePid" : @(CGEventGetIntegerValueField(event, kCGEventSourceUnixProcessID)),
            @"autorepeat" : @(CGEventGetIntegerValueField(event, kCGKeyboardEventAutorepeat) != 0),
          });
    }
  }
  // A filter passes every event on as it came; a listener's answer is ignored.
  return event;
}

}  // namespace

int main(int argc, const char* argv[]) {
  @autoreleasepool {
    if (argc != 2) {
      std::fprintf(stderr, "usage: key-witness LOG\n");
      return kUsage;
    }
    logFile = std::fopen(argv[1], "a");
    if (!logFile) {
      std::fprintf(stderr, "key-witness: cannot append to %s\n", argv[1]);
      return kUsage;
    }
    // Neither call prompts; which tap may be asked for follows from them
    // alone, never from trying.
    const bool listenAccess = CGPreflightListenEventAccess();
    const bool accessibility = AXIsProcessTrusted();
    NSString* kind = listenAccess ? @"listener" : accessibility ? @"filter" : @"none";
    logEvent(
        @"chose", @{
          @"tap" : kind,
          @"listenAccess" : @(listenAccess),
          @"accessibility" : @(accessibility),
        });
    if (!listenAccess && !accessibility) {
      logEvent(@"no-tap", @{
        @"reason" : @"this process has neither Input Monitoring (CGPreflightListenEventAccess) "
                    @"nor Accessibility (AXIsProcessTrusted); no tap was asked for, since asking "
                    @"may show the system's dialog"
      });
      return kNoTap;
    }
    tap = CGEventTapCreate(kCGSessionEventTap, kCGTailAppendEventTap,
                           listenAccess ? kCGEventTapOptionListenOnly : kCGEventTapOptionDefault,
                           CGEventMaskBit(kCGEventKeyDown), onEvent, nullptr);
    if (!tap) {
      logEvent(@"no-tap", @{
        @"reason" : [NSString
            stringWithFormat:@"CGEventTapCreate returned NULL for a %@ tap at the session, "
                             @"although %@ said this process may have one",
                             listenAccess ? @"listen-only (listener)" : @"filter",
                             listenAccess ? @"CGPreflightListenEventAccess" : @"AXIsProcessTrusted"]
      });
      return kNoTap;
    }
    CFRunLoopSourceRef source = CFMachPortCreateRunLoopSource(kCFAllocatorDefault, tap, 0);
    CFRunLoopAddSource(CFRunLoopGetCurrent(), source, kCFRunLoopCommonModes);
    CFRelease(source);
    logEvent(@"listening", @{@"tap" : kind});
    CFRunLoopRun();
    return 0;
  }
}
