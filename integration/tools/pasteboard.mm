// Reads and writes the general pasteboard item by item and type by type, so
// that the end-to-end run can put a clipboard of several items and types in
// place before the host captures, and check that the host gave every item and
// type back after it pasted. The run builds it (AppKit).
//
//   pasteboard read
//     {"changeCount":N,"items":ITEMS_ARRAY}
//   pasteboard write FILE
//     Clears the pasteboard and writes FILE's items to it, one
//     NSPasteboardItem each, with every type's data as it is.
//     {"ok":true,"changeCount":N}, or {"ok":false,"reason":S}
//   pasteboard wait FILE SECONDS
//     Reads the pasteboard at once and again whenever its change count moves,
//     every 10 ms, until it holds exactly FILE's items: as many items, each
//     with the same types in the same order, each type with the same bytes.
//     {"equal":true,"time":T,"changeCount":N,"seen":SEEN}, or after SECONDS
//     {"equal":false,"time":T,"changeCount":N,"items":ITEMS_ARRAY,"seen":SEEN}
//     where the items are the last read, and SEEN lists every reading, the
//     first among them: [{"time":T,"changeCount":N,"types":[[UTI,...],...]}]
//
// FILE holds {"items":ITEMS_ARRAY} (other keys are ignored, so the output of
// read will do); ITEMS_ARRAY is
//   [{"types":[{"type":UTI,"base64":DATA},...]},...]
// items in pasteboard order, types in the order of each item's types, and
// DATA what dataForType: gave, in base64, or null where it gave nothing (which
// wait matches and write refuses). T is seconds since the Unix epoch to the
// microsecond (CLOCK_REALTIME, the clock of the run's other tools and of the
// harness itself).
//
// Each command prints exactly one JSON object, on one line of standard output.
// Exit status: 0 done, or equal; 1 the pasteboard refused a write, or wait
// ended unequal; 2 usage (on standard error), or FILE unreadable
// ({"ok":false,"reason":S}).
#import <AppKit/AppKit.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "json_lines.h"

namespace {

using brimlane_tools::printAnswer;
using brimlane_tools::now;

constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr useconds_t kPollInterval = 10000;
// A reading is taken again when the change count moved while it was taken,
// so that its items and its change count belong together; a pasteboard that
// never holds still is read this many times at most.
constexpr int kStableReadTries = 10;

// Seconds on a clock that a change of the wall clock cannot move, for the
// deadline of wait.
double monotonicSeconds() {
  timespec clock;
  clock_gettime(CLOCK_MONOTONIC, &clock);
  return static_cast<double>(clock.tv_sec) + static_cast<double>(clock.tv_nsec) / 1e9;
}

int unreadable(NSString* path, NSString* why) {
  return printAnswer(
      kUsage, @{
        @"ok" : @NO,
        @"reason" : [NSString stringWithFormat:@"%@: %@", path, why],
      });
}

// One type of one item: its UTI, and its bytes or NSNull. Both what a file
// says and what the pasteboard holds are put this way, so that comparing
// them compares every type's name, place and bytes (NSData compares bytes).
NSArray* typeEntry(NSString* type, NSData* data) {
  return @[ type, data ?: NSNull.null ];
}

struct Reading {
  NSInteger changeCount = 0;
  // One array of type entries per item, in pasteboard order.
  NSArray<NSArray<NSArray*>*>* items = @[];
};

Reading readOnce(NSPasteboard* pasteboard) {
  Reading reading;
  reading.changeCount = pasteboard.changeCount;
  NSMutableArray* items = [NSMutableArray array];
  for (NSPasteboardItem* item in pasteboard.pasteboardItems) {
    NSMutableArray* types = [NSMutableArray array];
    for (NSPasteboardType type in item.types) {
      [types addObject:typeEntry(type, [item dataForType:type])];
    }
    [items addObject:types];
  }
  reading.items = items;
  return reading;
}

// Items read while the change count moved may be half old and half new;
// such a reading is taken again.
Reading readPasteboard(NSPasteboard* pasteboard) {
  Reading reading;
  for (int attempt = 0; attempt < kStableReadTries; ++attempt) {
    reading = readOnce(pasteboard);
    if (pasteboard.changeCount == reading.changeCount) break;
  }
  return reading;
}

NSArray* describeItems(NSArray<NSArray<NSArray*>*>* items) {
  NSMutableArray* described = [NSMutableArray array];
  for (NSArray<NSArray*>* item in items) {
    NSMutableArray* types = [NSMutableArray array];
    for (NSArray* entry in item) {
      NSData* data = [entry[1] isKindOfClass:NSData.class] ? entry[1] : nil;
      [types addObject:@{
        @"type" : entry[0],
        @"base64" : data ? [data base64EncodedStringWithOptions:0] : NSNull.null,
      }];
    }
    [described addObject:@{@"types" : types}];
  }
  return described;
}

NSArray* typeNames(NSArray<NSArray<NSArray*>*>* items) {
  NSMutableArray* names = [NSMutableArray array];
  for (NSArray<NSArray*>* item in items) {
    NSMutableArray* types = [NSMutableArray array];
    for (NSArray* entry in item) [types addObject:entry[0]];
    [names addObject:types];
  }
  return names;
}

// FILE's items as type entries, or nil with the reason in `why`. A type whose
// data is null is allowed only where `allowNull` says so: it can be waited
// for, as what a type that cannot be read looks like, but not written.
NSArray<NSArray<NSArray*>*>* readItemsFile(NSString* path, bool allowNull, NSString** why) {
  NSError* error = nil;
  NSData* contents = [NSData dataWithContentsOfFile:path options:0 error:&error];
  if (!contents) {
    *why = error.localizedDescription;
    return nil;
  }
  id document = [NSJSONSerialization JSONObjectWithData:contents options:0 error:&error];
  if (!document) {
    *why = [@"not JSON: " stringByAppendingString:error.localizedDescription];
    return nil;
  }
  NSArray* items = [document isKindOfClass:NSDictionary.class] ? document[@"items"] : nil;
  if (![items isKindOfClass:NSArray.class]) {
    *why = @"not an object with an \"items\" array";
    return nil;
  }
  NSMutableArray* parsed = [NSMutableArray array];
  for (NSUInteger index = 0; index < items.count; ++index) {
    NSDictionary* item = items[index];
    NSArray* types = [item isKindOfClass:NSDictionary.class] ? item[@"types"] : nil;
    if (![types isKindOfClass:NSArray.class]) {
      *why = [NSString
          stringWithFormat:@"item %lu has no \"types\" array", static_cast<unsigned long>(index)];
      return nil;
    }
    NSMutableArray* entries = [NSMutableArray array];
    for (NSDictionary* type in types) {
      NSString* name = [type isKindOfClass:NSDictionary.class] ? type[@"type"] : nil;
      id base64 = [type isKindOfClass:NSDictionary.class] ? type[@"base64"] : nil;
      if (![name isKindOfClass:NSString.class]) {
        *why = [NSString stringWithFormat:@"item %lu has a type without a \"type\" string",
                                          static_cast<unsigned long>(index)];
        return nil;
      }
      NSData* data = nil;
      if ([base64 isKindOfClass:NSString.class]) {
        data = [[NSData alloc] initWithBase64EncodedString:base64 options:0];
        if (!data) {
          *why = [NSString stringWithFormat:@"item %lu, %@: \"base64\" is not base64",
                                            static_cast<unsigned long>(index), name];
          return nil;
        }
      } else if (!allowNull || base64 != NSNull.null) {
        *why = [NSString stringWithFormat:@"item %lu, %@: \"base64\" is not %@",
                                          static_cast<unsigned long>(index), name,
                                          allowNull ? @"a string or null" : @"a string"];
        return nil;
      }
      [entries addObject:typeEntry(name, data)];
    }
    [parsed addObject:entries];
  }
  return parsed;
}

int readCommand() {
  const Reading reading = readPasteboard(NSPasteboard.generalPasteboard);
  return printAnswer(
      0, @{
        @"changeCount" : @(reading.changeCount),
        @"items" : describeItems(reading.items),
      });
}

int writeCommand(NSString* path) {
  NSString* why = nil;
  NSArray<NSArray<NSArray*>*>* items = readItemsFile(path, false, &why);
  if (!items) return unreadable(path, why);
  // Every item is made before the pasteboard is cleared, so that a type the
  // pasteboard will not take leaves the user's clipboard as it was.
  NSMutableArray<NSPasteboardItem*>* objects = [NSMutableArray array];
  for (NSUInteger index = 0; index < items.count; ++index) {
    NSPasteboardItem* item = [[NSPasteboardItem alloc] init];
    NSMutableSet<NSString*>* names = [NSMutableSet set];
    for (NSArray* entry in items[index]) {
      // A second setData:forType: for a type would replace the first, and
      // the item would not be what the file says.
      if ([names containsObject:entry[0]]) {
        return unreadable(path,
                          [NSString stringWithFormat:@"item %lu names %@ twice",
                                                     static_cast<unsigned long>(index), entry[0]]);
      }
      [names addObject:entry[0]];
      if (![item setData:entry[1] forType:entry[0]]) {
        // NSPasteboardItem takes only types that are valid UTIs.
        return printAnswer(
            kFailed, @{
              @"ok" : @NO,
              @"reason" : [NSString stringWithFormat:@"item %lu: setData:forType: refused %@",
                                                     static_cast<unsigned long>(index), entry[0]],
            });
      }
    }
    [objects addObject:item];
  }
  NSPasteboard* pasteboard = NSPasteboard.generalPasteboard;
  [pasteboard clearContents];
  // No items is a clipboard that clearContents has emptied already.
  if (objects.count > 0 && ![pasteboard writeObjects:objects]) {
    return printAnswer(
        kFailed, @{
          @"ok" : @NO,
          @"reason" : [NSString stringWithFormat:@"writeObjects: refused the %lu items of %@",
                                                 static_cast<unsigned long>(objects.count), path],
        });
  }
  return printAnswer(
      0,
      @{@"ok" : @YES,
        @"changeCount" : @(pasteboard.changeCount)});
}

int waitCommand(NSString* path, double seconds) {
  NSString* why = nil;
  NSArray<NSArray<NSArray*>*>* expected = readItemsFile(path, true, &why);
  if (!expected) return unreadable(path, why);
  NSPasteboard* pasteboard = NSPasteboard.generalPasteboard;
  const double deadline = monotonicSeconds() + seconds;
  NSMutableArray* seen = [NSMutableArray array];
  Reading last;
  bool read = false;
  for (;;) {
    @autoreleasepool {
      if (!read || pasteboard.changeCount != last.changeCount) {
        last = readPasteboard(pasteboard);
        read = true;
        [seen addObject:@{
          @"time" : now(),
          @"changeCount" : @(last.changeCount),
          @"types" : typeNames(last.items),
        }];
        if ([last.items isEqualToArray:expected]) {
          return printAnswer(
              0, @{
                @"equal" : @YES,
                @"time" : now(),
                @"changeCount" : @(last.changeCount),
                @"seen" : seen,
              });
        }
      }
    }
    if (monotonicSeconds() >= deadline) break;
    usleep(kPollInterval);
  }
  return printAnswer(
      kFailed, @{
        @"equal" : @NO,
        @"time" : now(),
        @"changeCount" : @(last.changeCount),
        @"items" : describeItems(last.items),
        @"seen" : seen,
      });
}

// A number of seconds: finite, not negative, and nothing after it.
bool parseSeconds(const char* text, double& seconds) {
  char* end = nullptr;
  seconds = std::strtod(text, &end);
  return end != text && *end == '\0' && std::isfinite(seconds) && seconds >= 0;
}

int usage() {
  std::fprintf(stderr, "usage: pasteboard read | write FILE | wait FILE SECONDS\n");
  return kUsage;
}

}  // namespace

int main(int argc, const char* argv[]) {
  @autoreleasepool {
    NSString* command = argc > 1 ? [NSString stringWithUTF8String:argv[1]] : nil;
    NSString* path = argc > 2 ? [NSString stringWithUTF8String:argv[2]] : nil;
    if ([command isEqualToString:@"read"] && argc == 2) return readCommand();
    if ([command isEqualToString:@"write"] && argc == 3 && path) return writeCommand(path);
    double seconds = 0;
    if ([command isEqualToString:@"wait"] && argc == 4 && path && parseSeconds(argv[3], seconds)) {
      return waitCommand(path, seconds);
    }
    return usage();
  }
}
