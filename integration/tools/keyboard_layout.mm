// Selects a keyboard layout for the end-to-end run, and puts the user's input
// source back afterwards. integration/run builds it and calls it around each
// capture it drives under another layout, and from its exit trap.
//
//   keyboard-layout select SOURCE_ID STATE
//     Enables the input source SOURCE_ID if it is not enabled, selects it, and
//     reads the current input source and keyboard layout back. Prints what is
//     selected, or why the system did not let it be.
//   keyboard-layout restore STATE
//     Selects the input source that was current before the first select,
//     disables what select enabled, and reads the selection back.
//   keyboard-layout current
//     Prints the current input source and keyboard layout.
//
// STATE is a file of lines "original ID" (the user's input source, written
// once, before anything changes) and "enabled ID" (each source select
// enabled), so that a restore from another process, or after a run that was
// killed, knows what to undo. restore removes it once everything is back.
//
// Exit status: 0 done; 1 the user's input source could not be put back, or
// the state could not be written; 2 usage; 3 the system did not let the layout
// be changed (the run reports its checks as skipped, with the printed reason).
#include <Carbon/Carbon.h>
#import <Foundation/Foundation.h>

#include <cstdio>
#include <initializer_list>

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kRefused = 3;

// Other processes learn of a new selection through a notification, and the
// current source can read back stale for a moment after a switch: it is read
// again, with the run loop turning, for up to 2 s.
constexpr int kReadBackTries = 20;
constexpr CFTimeInterval kReadBackInterval = 0.1;

NSString* stringProperty(id source, CFStringRef key) {
  const auto value =
      static_cast<CFStringRef>(TISGetInputSourceProperty((__bridge TISInputSourceRef)source, key));
  return value ? (__bridge NSString*)value : nil;
}

bool booleanProperty(id source, CFStringRef key) {
  const auto value =
      static_cast<CFBooleanRef>(TISGetInputSourceProperty((__bridge TISInputSourceRef)source, key));
  return value && CFBooleanGetValue(value);
}

// The input source with that identifier, enabled or only installed, or nil.
// Enabled sources are asked first: asking for every installed one makes the
// system cache data for each (TextInputSources.h).
id findSource(NSString* sourceID) {
  NSDictionary* filter = @{(__bridge NSString*)kTISPropertyInputSourceID : sourceID};
  for (const Boolean includeAllInstalled : {false, true}) {
    NSArray* list = CFBridgingRelease(
        TISCreateInputSourceList((__bridge CFDictionaryRef)filter, includeAllInstalled));
    if (list.count > 0) return list.firstObject;
  }
  return nil;
}

NSString* currentSourceID() {
  id current = CFBridgingRelease(TISCopyCurrentKeyboardInputSource());
  return current ? stringProperty(current, kTISPropertyInputSourceID) : nil;
}

// Under an input method this is the layout the method types with.
NSString* currentLayoutID() {
  id layout = CFBridgingRelease(TISCopyCurrentKeyboardLayoutInputSource());
  return layout ? stringProperty(layout, kTISPropertyInputSourceID) : nil;
}

NSString* describeCurrent() {
  return [NSString stringWithFormat:@"input source %@, keyboard layout %@",
                                    currentSourceID() ?: @"(none)", currentLayoutID() ?: @"(none)"];
}

// Waits for the current input source, and the current keyboard layout when
// one is named, to read back as expected.
bool readsBack(NSString* sourceID, NSString* layoutID) {
  for (int attempt = 0; attempt < kReadBackTries; ++attempt) {
    if ([currentSourceID() isEqualToString:sourceID] &&
        (!layoutID || [currentLayoutID() isEqualToString:layoutID])) {
      return true;
    }
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, kReadBackInterval, false);
  }
  return false;
}

int say(int status, NSString* message) {
  std::printf("%s\n", message.UTF8String);
  return status;
}

// What a Text Input Sources call that did not take answered.
NSString* answered(const char* call, NSString* sourceID, OSStatus status) {
  return
      [NSString stringWithFormat:@"%s(%@) answered %d", call, sourceID, static_cast<int>(status)];
}

bool appendState(NSString* statePath, NSString* line) {
  NSString* before =
      [NSString stringWithContentsOfFile:statePath encoding:NSUTF8StringEncoding error:nil] ?: @"";
  NSString* after = [before stringByAppendingFormat:@"%@\n", line];
  return [after writeToFile:statePath atomically:YES encoding:NSUTF8StringEncoding error:nil];
}

// The identifiers recorded under a word ("original" or "enabled"), in order.
NSArray<NSString*>* stateEntries(NSString* state, NSString* word) {
  NSMutableArray<NSString*>* entries = [NSMutableArray array];
  NSString* prefix = [word stringByAppendingString:@" "];
  for (NSString* line in [state componentsSeparatedByString:@"\n"]) {
    if ([line hasPrefix:prefix]) [entries addObject:[line substringFromIndex:prefix.length]];
  }
  return entries;
}

int selectSource(NSString* sourceID, NSString* statePath) {
  // The user's input source is written down before anything changes, and
  // only by the first select of a run, so that it is the user's own and not
  // a layout an earlier select left current.
  if (![NSFileManager.defaultManager fileExistsAtPath:statePath]) {
    NSString* original = currentSourceID();
    if (!original) return say(kRefused, @"the system names no current keyboard input source");
    if (!appendState(statePath, [@"original " stringByAppendingString:original])) {
      return say(kFailed, [@"cannot write " stringByAppendingString:statePath]);
    }
  }
  id source = findSource(sourceID);
  if (!source) return say(kRefused, [sourceID stringByAppendingString:@" is not installed"]);
  if (!booleanProperty(source, kTISPropertyInputSourceIsEnabled)) {
    if (!booleanProperty(source, kTISPropertyInputSourceIsEnableCapable)) {
      return say(kRefused, [sourceID stringByAppendingString:@" cannot be enabled by a program"]);
    }
    const OSStatus status = TISEnableInputSource((__bridge TISInputSourceRef)source);
    if (status != noErr) return say(kRefused, answered("TISEnableInputSource", sourceID, status));
    // Written at once, so that a restore disables it whatever happens next.
    if (!appendState(statePath, [@"enabled " stringByAppendingString:sourceID])) {
      return say(kFailed, [@"cannot write " stringByAppendingString:statePath]);
    }
  }
  if (!booleanProperty(source, kTISPropertyInputSourceIsSelectCapable)) {
    return say(kRefused, [sourceID stringByAppendingString:@" cannot be selected by a program"]);
  }
  const OSStatus status = TISSelectInputSource((__bridge TISInputSourceRef)source);
  if (status != noErr) return say(kRefused, answered("TISSelectInputSource", sourceID, status));
  // A keyboard layout is its own layout: both must read back as the one
  // selected, or the keys the host finds would be another layout's.
  if (!readsBack(sourceID, sourceID)) {
    return say(kRefused,
               [NSString stringWithFormat:@"%@ was selected, but reads back as %@ after 2 s",
                                          sourceID, describeCurrent()]);
  }
  return say(0, [NSString stringWithFormat:@"selected %@ (%@)", sourceID,
                                           stringProperty(source, kTISPropertyLocalizedName)]);
}

int restore(NSString* statePath) {
  NSString* state = [NSString stringWithContentsOfFile:statePath
                                              encoding:NSUTF8StringEncoding
                                                 error:nil];
  if (!state) return say(0, [@"nothing to put back; " stringByAppendingString:describeCurrent()]);
  NSString* original = stateEntries(state, @"original").firstObject;
  if (!original) return say(kFailed, [statePath stringByAppendingString:@" names no original"]);
  id source = findSource(original);
  if (!source) return say(kFailed, [original stringByAppendingString:@" is no longer installed"]);
  // Selected before anything is disabled, so that the system never has to
  // choose a source of its own in between.
  const OSStatus status = TISSelectInputSource((__bridge TISInputSourceRef)source);
  NSMutableArray<NSString*>* disabled = [NSMutableArray array];
  for (NSString* enabledID in stateEntries(state, @"enabled")) {
    if ([enabledID isEqualToString:original]) continue;
    id enabled = findSource(enabledID);
    if (enabled && TISDisableInputSource((__bridge TISInputSourceRef)enabled) == noErr) {
      [disabled addObject:enabledID];
    }
  }
  // An input method's layout is whatever it uses, so only the source itself
  // must read back.
  if (status != noErr) {
    return say(kFailed,
               [NSString stringWithFormat:@"%@ not put back: %@", original,
                                          answered("TISSelectInputSource", original, status)]);
  }
  if (!readsBack(original, nil)) {
    return say(kFailed, [NSString stringWithFormat:@"%@ not put back: reads back as %@ after 2 s",
                                                   original, describeCurrent()]);
  }
  [NSFileManager.defaultManager removeItemAtPath:statePath error:nil];
  NSString* message = [@"put back " stringByAppendingString:original];
  if (disabled.count > 0) {
    message = [message
        stringByAppendingFormat:@"; disabled %@", [disabled componentsJoinedByString:@", "]];
  }
  return say(0, message);
}

}  // namespace

int main(int argc, const char* argv[]) {
  @autoreleasepool {
    NSString* command = argc > 1 ? @(argv[1]) : @"";
    if ([command isEqualToString:@"select"] && argc == 4) {
      return selectSource(@(argv[2]), @(argv[3]));
    }
    if ([command isEqualToString:@"restore"] && argc == 3) return restore(@(argv[2]));
    if ([command isEqualToString:@"current"] && argc == 2) return say(0, describeCurrent());
    std::fprintf(stderr,
                 "usage: keyboard-layout select SOURCE_ID STATE | restore STATE | current\n");
    return kUsage;
  }
}
