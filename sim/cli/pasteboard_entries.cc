#include "sim/cli/pasteboard_entries.h"

namespace brimlane::sim::cli {

SimPasteboardItem readEntries(LineReader& r, std::string_view until) {
  SimPasteboardItem item;
  while (!r.atEnd() && (until.empty() || !r.peekWord(until))) {
    const std::string entry = r.word("TYPE=VALUE");
    const std::size_t equals = entry.find('=');
    if (equals == std::string::npos || equals == 0) {
      throw ReadError("expected TYPE=VALUE, found \"" + entry + "\"");
    }
    const std::string type = entry.substr(0, equals);
    const std::string value = entry.substr(equals + 1);
    if (value == "nodata") {
      item.types.push_back({type, std::nullopt});
    } else if (value == "hex") {
      item.types.push_back({type, r.hexAfter("hex")});
    } else if (value.empty() && r.peekString() && r.peek()->joined) {
      item.types.push_back({type, toBytes(r.string("the type's text"))});
    } else {
      throw ReadError("the value of " + type + " must be \"text\", hex:HEX or nodata");
    }
  }
  if (item.types.empty()) throw ReadError("expected at least one TYPE=VALUE");
  return item;
}

SimPasteboardItem readContents(LineReader& r, std::string_view until) {
  if (r.peekString()) return SimPasteboardItem::plainText(r.string("the text"));
  return readEntries(r, until);
}

}  // namespace brimlane::sim::cli
