// Conversions between the seam's plain values and Foundation's: strings,
// rectangles and sizes. Objective-C++ only.
#pragma once

#import <Foundation/Foundation.h>

#include <cstdlib>
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

// The same text in UTF-16 storage. CFStringCreateWithCharacters would store
// text of only ASCII characters in 8 bits again; the variant that takes over
// the buffer keeps it as it is, and frees it with the string.
inline NSString* withUtf16Storage(NSString* string) {
  const NSUInteger length = string.length;
  auto* characters = static_cast<UniChar*>(malloc(length * sizeof(UniChar)));
  if (!characters) return string;
  [string getCharacters:characters range:NSMakeRange(0, length)];
  CFStringRef utf16 = CFStringCreateWithCharactersNoCopy(kCFAllocatorDefault, characters, length,
                                                         kCFAllocatorMalloc);
  return utf16 ? CFBridgingRelease(utf16) : string;
}

// Bytes that are not UTF-8 give the empty string rather than nil, which most
// AppKit setters do not accept.
//
// Text with a NUL in it gets UTF-16 storage. FlutterMacOS's standard codec
// writes a string from the C string that CFStringGetCStringPtr hands out and
// measures it with strlen; Core Foundation hands one out for the 8-bit storage
// it gives text of only ASCII characters, so such a string would reach the UI
// cut at its first NUL. For UTF-16 storage it hands out none, and the codec
// converts the whole string.
inline NSString* toNSString(std::string_view text) {
  NSString* string = [[NSString alloc] initWithBytes:text.data()
                                              length:text.size()
                                            encoding:NSUTF8StringEncoding];
  if (!string) return @"";
  if (text.find('\0') == std::string_view::npos) return string;
  return withUtf16Storage(string);
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
