// Clipboard contents as scenario lines write them: plain text in quotes, or
// an item of typed entries, TYPE="TEXT", TYPE=hex:HEX or TYPE=nodata.
#pragma once

#include <string_view>

#include "sim/cli/line_reader.h"
#include "sim/sim_pasteboard.h"

namespace brimlane::sim::cli {

// TYPE=VALUE entries, one item, up to the end of the line or to the word
// `until`; at least one.
SimPasteboardItem readEntries(LineReader& r, std::string_view until = {});
// "TEXT" as one item of plain text, or entries as above.
SimPasteboardItem readContents(LineReader& r, std::string_view until = {});

}  // namespace brimlane::sim::cli
