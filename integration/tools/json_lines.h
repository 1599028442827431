// What every tool of the end-to-end run writes: JSON objects, one a line,
// with the time in seconds since the Unix epoch. Included by each tool, which
// the harness builds as a program of its own from its one source file.
#pragma once

#import <Foundation/Foundation.h>
#include <time.h>

#include <cstdio>

namespace brimlane_tools {

// Seconds since the Unix epoch, to the microsecond. An exact decimal rather
// than a double, so that the JSON carries the microseconds as they were read
// and not however a double happens to print.
inline NSNumber* now() {
  timespec clock;
  clock_gettime(CLOCK_REALTIME, &clock);
  const unsigned long long micros = static_cast<unsigned long long>(clock.tv_sec) * 1000000ULL +
                                    static_cast<unsigned long long>(clock.tv_nsec) / 1000ULL;
  return [NSDecimalNumber decimalNumberWithMantissa:micros exponent:-6 isNegative:NO];
}

// One JSON object on one line, or nil when the object is not one JSON can
// carry. Keys sorted, so that a line reads the same each time.
inline NSData* jsonLine(NSDictionary* object) {
  if (![NSJSONSerialization isValidJSONObject:object]) return nil;
  NSMutableData* line = [[NSJSONSerialization
      dataWithJSONObject:object
                 options:NSJSONWritingSortedKeys | NSJSONWritingWithoutEscapingSlashes
                   error:nil] mutableCopy];
  [line appendBytes:"\n" length:1];
  return line;
}

// Writes one JSON object on one line of `file` and flushes it, so that the
// harness may read the file while the tool runs, and a tool that is killed
// has lost nothing. False when the object could not be written.
inline bool writeJsonLine(std::FILE* file, NSDictionary* object) {
  NSData* line = jsonLine(object);
  if (!line) return false;
  std::fwrite(line.bytes, 1, line.length, file);
  return std::fflush(file) == 0;
}

// Appends {"event": EVENT, "time": now, FIELDS…} to `file`. Fields that JSON
// cannot carry (a text with a lone UTF-16 surrogate, say) give the line
// without them, so that the harness is never left waiting for a line that
// never comes.
inline void logEvent(std::FILE* file, NSString* event, NSDictionary* fields = @{}) {
  if (!file) return;
  @autoreleasepool {
    NSMutableDictionary* object = [fields mutableCopy];
    object[@"event"] = event;
    object[@"time"] = now();
    if (writeJsonLine(file, object)) return;
    writeJsonLine(file, @{
      @"event" : event,
      @"time" : object[@"time"],
      @"unwritable" : @"this event's fields could not be written as JSON",
    });
  }
}

// Prints the one JSON object a run of a tool answers with on standard output
// and returns `status`; an object that cannot be written (nothing should
// make one) turns into a failure, so that the harness reads a failure rather
// than nothing.
inline int printAnswer(int status, NSDictionary* object) {
  constexpr int kFailed = 1;
  NSData* line = jsonLine(object);
  if (!line) {
    status = kFailed;
    line = jsonLine(@{
      @"ok" : @NO,
      @"status" : @"failed",
      @"reason" : @"the answer could not be written as JSON",
    });
  }
  std::fwrite(line.bytes, 1, line.length, stdout);
  std::fflush(stdout);
  return status;
}

}  // namespace brimlane_tools
