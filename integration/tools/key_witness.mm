// Watches every key press of the login session for the end-to-end run, so that
// the run can tell whether anything was typed anywhere while it watched.
// integration/run builds it and starts it in the background.
//
//   key-witness LOG
//
// Writes to LOG one line "listening NS KIND" once its tap is in place, then a
// line "keyDown NS KEYCODE FLAGS SOURCE_PID" for each key press, and runs until
// it is ended. NS is CLOCK_UPTIME_RAW in nanoseconds, the clock the run's other
// tools write, so that lines of different processes compare.
//
// The tap is at the session: CGEventPost at the HID tap (where the host posts
// its Command-V) passes an event through every tap after that point, while
// CGEventPostToPid (the capture's Command-C) reaches only taps on that process
// (CGEvent.h). A tap sees key presses only for a process trusted for
// Accessibility, or allowed Input Monitoring; without either it gets no tap,
// prints why and exits 3, and the run judges by what else it can see.
#include <ApplicationServices/ApplicationServices.h>
#import <Foundation/Foundation.h>
#include <time.h>

#include <cstdio>

namespace {

constexpr int kNoTap = 3;
constexpr int kUsage = 2;

FILE* logFile = nullptr;
CFMachPortRef tap = nullptr;

unsigned long long now() {
  return clock_gettime_nsec_np(CLOCK_UPTIME_RAW);
}

CGEventRef onEvent(CGEventTapProxy, CGEventType type, CGEventRef event, void*) {
  // The system turns a tap off that it judges too slow, or at the user's
  // request; a witness that stopped watching would see nothing typed.
  if (type == kCGEventTapDisabledByTimeout || type == kCGEventTapDisabledByUserInput) {
    std::fprintf(logFile, "reenabled %llu\n", now());
    CGEventTapEnable(tap, true);
    return event;
  }
  if (type == kCGEventKeyDown) {
    std::fprintf(logFile, "keyDown %llu %lld 0x%llx %lld\n", now(),
                 CGEventGetIntegerValueField(event, kCGKeyboardEventKeycode),
                 static_cast<unsigned long long>(CGEventGetFlags(event)),
                 CGEventGetIntegerValueField(event, kCGEventSourceUnixProcessID));
  }
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
      std::fprintf(stderr, "key-witness: cannot write %s\n", argv[1]);
      return kUsage;
    }
    std::setvbuf(logFile, nullptr, _IOLBF, 0);
    const CGEventMask keyDown = CGEventMaskBit(kCGEventKeyDown);
    // A passive listener first: it can never hold up a key. Where only the
    // Accessibility trust is there, an active filter that passes every event
    // on unchanged is allowed when a listener is not.
    const char* kind = "listener";
    tap = CGEventTapCreate(kCGSessionEventTap, kCGTailAppendEventTap, kCGEventTapOptionListenOnly,
                           keyDown, onEvent, nullptr);
    if (!tap) {
      kind = "filter";
      tap = CGEventTapCreate(kCGSessionEventTap, kCGTailAppendEventTap, kCGEventTapOptionDefault,
                             keyDown, onEvent, nullptr);
    }
    if (!tap) {
      std::fprintf(logFile,
                   "no-tap %llu this process may not watch key presses (neither Accessibility "
                   "nor Input Monitoring)\n",
                   now());
      return kNoTap;
    }
    CFRunLoopSourceRef source = CFMachPortCreateRunLoopSource(kCFAllocatorDefault, tap, 0);
    CFRunLoopAddSource(CFRunLoopGetCurrent(), source, kCFRunLoopCommonModes);
    CFRelease(source);
    std::fprintf(logFile, "listening %llu %s\n", now(), kind);
    CFRunLoopRun();
    return 0;
  }
}
