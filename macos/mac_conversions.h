// Conversions between the seam's plain values and Foundation's: strings,
// rectangles and sizes. Objective-C++ only.
#pragma once

#import <Foundation/Foundation.h>

#include <optional>
#include <string>
#include <string_view>

#include "app/platform/types.h"

namespace brimlane {

// The text as UTF-8 bytes. Lossy where the string holds what UTF-8 cannot
// carry (a lone surrogate), and a NUL inside the string is kept.
inline std::string toString(NSString* string) {
  if (!string) return {};
  NSData* bytes = [string dataUsingEncoding:NSUTF8StringEncoding allowLossyConversion:YES];
  return std::string(static_cast<const char*>(bytes.bytes), bytes.length);
}

inline std::optional<std::string> toOptionalString(NSString* string) {
  if (!string) return std::nullopt;
  return toString(string);
}

// Bytes that are not UTF-8 give the empty string rather than nil, which most
// AppKit setters do not accept.
inline NSString* toNSString(std::string_view text) {
  NSString* string = [[NSString alloc] initWithBytes:text.data()
                                              length:text.size()
                                            encoding:NSUTF8StringEncoding];
  return string ?: @"";
}

inline NSRect toNSRect(Rect rect) {
  return NSMakeRect(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
}

inline Rect toRect(NSRect rect) {
  return Rect{{rect.origin.x, rect.origin.y}, {rect.size.width, rect.size.height}};
}

inline NSSize toNSSize(Size size) {
  return NSMakeSize(size.width, size.height);
}

}  // namespace brimlane
