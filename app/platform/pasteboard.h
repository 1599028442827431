// The system-wide general pasteboard, looked up afresh on every call so that
// the host never holds on to a stale pasteboard object. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/platform/types.h"

namespace brimlane {

// The pasteboard type under which plain text travels ("public.utf8-plain-text").
inline constexpr std::string_view kPasteboardTypeString = "public.utf8-plain-text";

// One item as it was on the pasteboard when the item list was read.
class PasteboardItem {
 public:
  virtual ~PasteboardItem() = default;

  // The item's type identifiers, in the item's own order; a name may repeat.
  virtual std::vector<std::string> types() const = 0;

  // The item's bytes for one type, copied out of the pasteboard, or nothing
  // when the owner delivers none for it.
  virtual std::optional<Bytes> dataForType(const std::string& type) const = 0;
};

// One type and its bytes, to be set on a new pasteboard item.
struct PasteboardEntry {
  std::string_view type;
  std::span<const std::uint8_t> data;
};

class Pasteboard {
 public:
  virtual ~Pasteboard() = default;

  // The current items in pasteboard order, or nothing when the platform gives
  // no list at all.
  virtual std::optional<std::vector<std::unique_ptr<PasteboardItem>>> pasteboardItems() = 0;

  // Afterwards the pasteboard holds no items.
  virtual void clearContents() = 0;

  // Creates one new, empty item, sets each entry on it and appends it after
  // the items already on the pasteboard (one write of a one-item list).
  virtual void writeItem(std::span<const PasteboardEntry> entries) = 0;

  // The plain-text string on the pasteboard, or nothing.
  virtual std::optional<std::string> stringForTypeString() = 0;

  // Offers the text as plain text on the pasteboard (after a clear: one item).
  virtual void setStringForTypeString(std::string_view text) = 0;
};

}  // namespace brimlane
