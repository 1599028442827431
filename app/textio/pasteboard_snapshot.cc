// Saving the general pasteboard item by item, and writing it back.
#include "app/app_delegate.h"

namespace brimlane {

SavedPasteboard AppDelegate::snapshotPasteboard() {
  std::optional<std::vector<std::unique_ptr<PasteboardItem>>> items =
      services_.pasteboard.pasteboardItems();
  if (!items) return std::nullopt;

  std::vector<SavedPasteboardItem> saved;
  saved.reserve(items->size());
  for (const std::unique_ptr<PasteboardItem>& item : *items) {
    SavedPasteboardItem entries;
    for (std::string& type : item->types()) {
      // A type the owner cannot deliver is skipped; a repeated name keeps the
      // bytes read last. The name is read first and then moved into the
      // snapshot: the list of names is ours and not needed afterwards.
      if (std::optional<Bytes> bytes = item->dataForType(type)) {
        entries.insert_or_assign(std::move(type), WipedBytes(std::move(*bytes)));
      }
    }
    if (!entries.empty()) saved.push_back(std::move(entries));
  }
  return saved;
}

void AppDelegate::restoreClipboard(const SavedPasteboard& savedItems) {
  // Nothing saved means nothing to give back: whatever the borrowing
  // operation left on the pasteboard stays there.
  if (!savedItems || savedItems->empty()) return;

  Pasteboard& pasteboard = services_.pasteboard;
  pasteboard.clearContents();
  std::vector<PasteboardEntry> entries;
  for (const SavedPasteboardItem& item : *savedItems) {
    entries.clear();
    for (const auto& [type, bytes] : item) entries.push_back({type, bytes.view()});
    pasteboard.writeItem(entries);
  }
}

}  // namespace brimlane
