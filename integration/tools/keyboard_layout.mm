// Selects a keyboard layout for the end-to-end run, puts the user's input
// source back afterwards, and says which keys type "c" and "v" with Command in
// the layout that is current. The run builds it (Carbon and Foundation) and
// calls it around each case it drives under another layout, and when it
// cleans up.
//
//   keyboard-layout select SOURCE_ID STATE
//     Enables the input source SOURCE_ID if it is not enabled, selects it,
//     waits for the current input source and keyboard layout to read back as
//     SOURCE_ID, and only then reads the Command keys.
//     {"ok":true,"selected":ID,"name":LOCALIZED_NAME,"source":ID,"layout":ID,
//      "keys":KEYS}
//   keyboard-layout restore STATE
//     Selects the input source that was current before the first select,
//     disables what select enabled, and reads the selection back.
//     {"ok":true,"restored":ID,"disabled":[ID...],"source":ID,"layout":ID}, or
//     {"ok":true,"restored":null,"reason":"nothing to put back","source":ID,
//      "layout":ID} when there is no STATE
//   keyboard-layout current
//     {"ok":true,"source":ID,"layout":ID,"keys":KEYS}
//
// Each prints exactly one JSON object, on one line of standard output; a
// failure prints {"ok":false,"status":"refused"|"failed","reason":S}. "source"
// is the current keyboard input source and "layout" the keyboard layout it
// types with (the same under a layout, another under an input method); either
// is null when the system names none. KEYS is
//   {"c":N|null,"v":N|null,"from":"layout"|"asciiCapable"|null}
// the virtual key codes that type "c" and "v" while Command alone is held, and
// the layout they were read in (see commandKeys).
//
// STATE is a file of lines "original ID" (the user's input source, written
// once, before anything changes) and "enabled ID" (each source select
// enabled), so that a restore from another process, or after a run that was
// killed, knows what to undo. restore removes it once everything is back.
//
// Exit status: 0 done; 1 failed: the user's input source could not be put
// back, or the state could not be written ("status":"failed"); 2 usage, on
// standard error; 3 the system did not let the layout be changed
// ("status":"refused"; the run reports its layout cases as skipped, with the
// printed reason).
#include <Carbon/Carbon.h>
#import <Foundation/Foundation.h>

#include <cstdio>
#include <initializer_list>
#include <iterator>

#include "json_lines.h"

namespace {

using brimlane_tools::printAnswer;

constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kRefused = 3;

// Other processes learn of a new selection through a notification, and the
// current source can read back stale for a moment after a switch: it is read
// again, with the run loop turning, for up to 2 s.
constexpr int kReadBackTries = 20;
constexpr CFTimeInterval kReadBackInterval = 0.1;

// Virtual key codes go up to 127; the character keys are all below that.
constexpr UInt16 kKeyCodeCount = 128;
// UCKeyTranslate takes the Carbon modifier bits shifted down by eight.
constexpr UInt32 kCommandModifierState = (cmdKey >> 8) & 0xFF;

id orNull(id value) {
  return value ?: NSNull.null;
}

int refused(NSString* reason) {
  return printAnswer(
      kRefused,
      @{@"ok" : @NO,
        @"status" : @"refused",
        @"reason" : reason});
}

int failed(NSString* reason) {
  return printAnswer(
      kFailed,
      @{@"ok" : @NO,
        @"status" : @"failed",
        @"reason" : reason});
}

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

// This reading is the tool's own, written without the host's keyboard code:
// the run checks the host's Command keystrokes against it, and a fault in the
// host's reading could not vouch for itself. It reads a shortcut the way
// applications do: the character a key types with Command alone held, in the
// current keyboard layout's 'uchr' data.
struct CommandKeys {
  bool hasData = false;
  NSNumber* c = nil;
  NSNumber* v = nil;
};

// The lowest key code that types exactly `character` while Command alone is
// held, or nil.
NSNumber* keyTypingWithCommand(const UCKeyboardLayout* layout, UniChar character) {
  const UInt32 keyboardType = LMGetKbdType();
  for (UInt16 keyCode = 0; keyCode < kKeyCodeCount; ++keyCode) {
    UInt32 deadKeyState = 0;
    UniChar typed[4];
    UniCharCount length = 0;
    // No new dead-key state is set (UnicodeUtilities.h), so each key is read
    // on its own, and a key that would start an accent is never taken for
    // the letter that a following key would make of it.
    const OSStatus status = UCKeyTranslate(layout, keyCode, kUCKeyActionDown, kCommandModifierState,
                                           keyboardType, kUCKeyTranslateNoDeadKeysMask,
                                           &deadKeyState, std::size(typed), &length, typed);
    if (status == noErr && length == 1 && typed[0] == character) return @(keyCode);
  }
  return nil;
}

CommandKeys readCommandKeys(id source) {
  CommandKeys keys;
  if (!source) return keys;
  // Held for as long as the bytes are read: the data belongs to the source,
  // which ARC may let go of after its last use.
  NS_VALID_UNTIL_END_OF_SCOPE NSData* uchr = (__bridge NSData*)TISGetInputSourceProperty(
      (__bridge TISInputSourceRef)source, kTISPropertyUnicodeKeyLayoutData);
  // A layout with only the old 'KCHR' data has none to read.
  if (uchr.length == 0) return keys;
  const auto* layout = static_cast<const UCKeyboardLayout*>(uchr.bytes);
  keys.hasData = true;
  keys.c = keyTypingWithCommand(layout, u'c');
  keys.v = keyTypingWithCommand(layout, u'v');
  return keys;
}

NSDictionary* describeKeys(const CommandKeys& keys, NSString* from) {
  return @{@"c" : orNull(keys.c), @"v" : orNull(keys.v), @"from" : orNull(from)};
}

// Both keys come from one layout, so that "from" says where each was read:
// the current keyboard layout (under an input method, the one it types with)
// when it has Unicode data and types both; otherwise the ASCII-capable layout
// the system types Latin letters with, as the host falls back on it too.
NSDictionary* commandKeys() {
  id layout = CFBridgingRelease(TISCopyCurrentKeyboardLayoutInputSource());
  const CommandKeys inLayout = readCommandKeys(layout);
  if (inLayout.c && inLayout.v) return describeKeys(inLayout, @"layout");
  id asciiCapable = CFBridgingRelease(TISCopyCurrentASCIICapableKeyboardLayoutInputSource());
  const CommandKeys inASCIICapable = readCommandKeys(asciiCapable);
  if (inASCIICapable.hasData) return describeKeys(inASCIICapable, @"asciiCapable");
  if (inLayout.hasData) return describeKeys(inLayout, @"layout");
  return describeKeys(CommandKeys(), nil);
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
    if (!original) return refused(@"the system names no current keyboard input source");
    if (!appendState(statePath, [@"original " stringByAppendingString:original])) {
      return failed([@"cannot write " stringByAppendingString:statePath]);
    }
  }
  id source = findSource(sourceID);
  if (!source) return refused([sourceID stringByAppendingString:@" is not installed"]);
  if (!booleanProperty(source, kTISPropertyInputSourceIsEnabled)) {
    if (!booleanProperty(source, kTISPropertyInputSourceIsEnableCapable)) {
      return refused([sourceID stringByAppendingString:@" cannot be enabled by a program"]);
    }
    const OSStatus status = TISEnableInputSource((__bridge TISInputSourceRef)source);
    if (status != noErr) return refused(answered("TISEnableInputSource", sourceID, status));
    // Written at once, so that a restore disables it whatever happens next.
    if (!appendState(statePath, [@"enabled " stringByAppendingString:sourceID])) {
      return failed([@"cannot write " stringByAppendingString:statePath]);
    }
  }
  if (!booleanProperty(source, kTISPropertyInputSourceIsSelectCapable)) {
    return refused([sourceID stringByAppendingString:@" cannot be selected by a program"]);
  }
  const OSStatus status = TISSelectInputSource((__bridge TISInputSourceRef)source);
  if (status != noErr) return refused(answered("TISSelectInputSource", sourceID, status));
  // A keyboard layout is its own layout: both must read back as the one
  // selected before the keys are read, or they would be another layout's.
  if (!readsBack(sourceID, sourceID)) {
    return refused([NSString stringWithFormat:@"%@ was selected, but reads back as %@ after 2 s",
                                              sourceID, describeCurrent()]);
  }
  return printAnswer(
      0, @{
        @"ok" : @YES,
        @"selected" : sourceID,
        @"name" : orNull(stringProperty(source, kTISPropertyLocalizedName)),
        @"source" : orNull(currentSourceID()),
        @"layout" : orNull(currentLayoutID()),
        @"keys" : commandKeys(),
      });
}

int restore(NSString* statePath) {
  NSString* state = [NSString stringWithContentsOfFile:statePath
                                              encoding:NSUTF8StringEncoding
                                                 error:nil];
  if (!state) {
    return printAnswer(
        0, @{
          @"ok" : @YES,
          @"restored" : NSNull.null,
          @"reason" : @"nothing to put back",
          @"source" : orNull(currentSourceID()),
          @"layout" : orNull(currentLayoutID()),
        });
  }
  NSString* original = stateEntries(state, @"original").firstObject;
  if (!original) return failed([statePath stringByAppendingString:@" names no original"]);
  id source = findSource(original);
  if (!source) return failed([original stringByAppendingString:@" is no longer installed"]);
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
    return failed([NSString stringWithFormat:@"%@ not put back: %@", original,
                                             answered("TISSelectInputSource", original, status)]);
  }
  if (!readsBack(original, nil)) {
    return failed([NSString stringWithFormat:@"%@ not put back: reads back as %@ after 2 s",
                                             original, describeCurrent()]);
  }
  [NSFileManager.defaultManager removeItemAtPath:statePath error:nil];
  return printAnswer(
      0, @{
        @"ok" : @YES,
        @"restored" : original,
        @"disabled" : disabled,
        @"source" : orNull(currentSourceID()),
        @"layout" : orNull(currentLayoutID()),
      });
}

int current() {
  return printAnswer(
      0, @{
        @"ok" : @YES,
        @"source" : orNull(currentSourceID()),
        @"layout" : orNull(currentLayoutID()),
        @"keys" : commandKeys(),
      });
}

}  // namespace

int main(int argc, const char* argv[]) {
  @autoreleasepool {
    // An argument that is not UTF-8 reads as nil, and is a usage error.
    NSMutableArray<NSString*>* arguments = [NSMutableArray array];
    for (int i = 1; i < argc; ++i) {
      NSString* argument = [NSString stringWithUTF8String:argv[i]];
      if (!argument) break;
      [arguments addObject:argument];
    }
    NSString* command = arguments.firstObject ?: @"";
    const NSUInteger count = static_cast<NSUInteger>(argc - 1);
    if (arguments.count == count) {
      if ([command isEqualToString:@"select"] && count == 3) {
        return selectSource(arguments[1], arguments[2]);
      }
      if ([command isEqualToString:@"restore"] && count == 2) return restore(arguments[1]);
      if ([command isEqualToString:@"current"] && count == 1) return current();
    }
    std::fprintf(stderr,
                 "usage: keyboard-layout select SOURCE_ID STATE | restore STATE | current\n");
    return kUsage;
  }
}
