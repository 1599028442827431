// UTF-8 as Unicode defines it, and as the Mac's string class reads it. The
// simulated engine needs the second to hand the host what FlutterMacOS would;
// the simulator's JSON output needs the first.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace brimlane::sim {

// Whether the bytes are well-formed UTF-8: no overlong forms, no surrogates
// (U+D800 to U+DFFF), nothing above U+10FFFF and no sequence cut short.
bool isUtf8(std::string_view bytes);

// The text of an NSString made from these bytes with NSUTF8StringEncoding,
// written back as UTF-8, or nothing where that initialiser gives nil.
//
// Core Foundation's UTF-8 reader, behind NSString, is strict with two
// exceptions taken from its public source: one byte order mark (EF BB BF) at
// the start is dropped, and a lone A9 byte (the copyright sign of MacRoman,
// kept readable for old applications) becomes U+FFFD instead of failing the
// whole string. Everything else that is not well-formed gives nil.
std::optional<std::string> nsStringFromUtf8(std::string_view bytes);

}  // namespace brimlane::sim
