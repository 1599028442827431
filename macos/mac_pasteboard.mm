// Pasteboard over NSPasteboard: the general pasteboard looked up on every call,
// its items read type by type, and new items written one at a time.
#include "macos/mac_pasteboard.h"

#include "macos/mac_conversions.h"

namespace brimlane {
namespace {

class MacPasteboardItem : public PasteboardItem {
 public:
  explicit MacPasteboardItem(NSPasteboardItem* item) : item_(item) {}

  std::vector<std::string> types() const override {
    std::vector<std::string> names;
    for (NSPasteboardType type in item_.types) names.push_back(toString(type));
    return names;
  }

  std::optional<Bytes> dataForType(const std::string& type) const override {
    NSData* data = nil;
    // The bytes of a promised type come from its owner when they are asked
    // for, and a misbehaving owner can make this raise; that must not take
    // the host down with it.
    @try {
      data = [item_ dataForType:toNSString(type)];
    } @catch (id) {
      return std::nullopt;
    }
    if (!data) return std::nullopt;
    const auto* bytes = static_cast<const std::uint8_t*>(data.bytes);
    return Bytes(bytes, bytes + data.length);
  }

 private:
  NSPasteboardItem* item_;
};

}  // namespace

MacPasteboard::MacPasteboard()
    : provider_(^{
        return NSPasteboard.generalPasteboard;
      }) {}

MacPasteboard::MacPasteboard(Provider provider) : provider_(provider) {}

std::optional<std::vector<std::unique_ptr<PasteboardItem>>> MacPasteboard::pasteboardItems() {
  NSArray<NSPasteboardItem*>* items = pasteboard().pasteboardItems;
  if (!items) return std::nullopt;
  std::vector<std::unique_ptr<PasteboardItem>> listed;
  listed.reserve(items.count);
  for (NSPasteboardItem* item in items) listed.push_back(std::make_unique<MacPasteboardItem>(item));
  return listed;
}

void MacPasteboard::clearContents() {
  [pasteboard() clearContents];
}

void MacPasteboard::writeItem(std::span<const PasteboardEntry> entries) {
  NSPasteboardItem* item = [[NSPasteboardItem alloc] init];
  for (const PasteboardEntry& entry : entries) {
    [item setData:[NSData dataWithBytes:entry.data.data() length:entry.data.size()]
          forType:toNSString(entry.type)];
  }
  [pasteboard() writeObjects:@[ item ]];
}

std::optional<std::string> MacPasteboard::stringForTypeString() {
  return toOptionalString([pasteboard() stringForType:NSPasteboardTypeString]);
}

void MacPasteboard::setStringForTypeString(std::string_view text) {
  [pasteboard() setString:toNSString(text) forType:NSPasteboardTypeString];
}

}  // namespace brimlane
