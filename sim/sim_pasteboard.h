// The simulated general pasteboard: ordered items, each with ordered types,
// where a type may deliver no bytes and a type name may repeat.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/platform/pasteboard.h"
#include "sim/timeline.h"

namespace brimlane::sim {

struct SimPasteboardType {
  std::string type;
  std::optional<Bytes> data;  // nothing: the owner delivers no bytes for it
  friend bool operator==(const SimPasteboardType&, const SimPasteboardType&) = default;
};

struct SimPasteboardItem {
  std::vector<SimPasteboardType> types;
  friend bool operator==(const SimPasteboardItem&, const SimPasteboardItem&) = default;

  static SimPasteboardItem plainText(std::string_view text);

  // The bytes a reader gets for `type`: with a repeated name the owner answers
  // with the first offering, and a type may deliver nothing.
  std::optional<Bytes> dataFor(std::string_view type) const;
  // The item as a reader of it finds it: each type name once, in the order
  // first listed, with the bytes `dataFor` gives; names that deliver nothing
  // are left out.
  SimPasteboardItem offered() const;
};

Bytes toBytes(std::string_view text);

class SimPasteboard : public Pasteboard {
 public:
  explicit SimPasteboard(Timeline& timeline) : timeline_(timeline) {}

  // Pasteboard
  std::optional<std::vector<std::unique_ptr<PasteboardItem>>> pasteboardItems() override;
  void clearContents() override;
  void writeItem(std::span<const PasteboardEntry> entries) override;
  std::optional<std::string> stringForTypeString() override;
  void setStringForTypeString(std::string_view text) override;

  // What is on the pasteboard now.
  std::vector<SimPasteboardItem> items() const;
  // Replaces the contents, as another process writing would.
  void setItems(std::vector<SimPasteboardItem> items, std::string_view writer);
  // Told after anyone but the host (a user, an application's copy) has
  // replaced the contents.
  std::function<void()> onForeignWrite;
  // The platform gives no item list while this is set.
  bool failItemList = false;

  int changeCount() const { return changeCount_; }
  // Bytes copied into the pasteboard by writes since the start.
  std::size_t bytesWritten() const { return bytesWritten_; }

 private:
  std::vector<std::shared_ptr<const SimPasteboardItem>> items_;
  Timeline& timeline_;
  int changeCount_ = 0;
  std::size_t bytesWritten_ = 0;
};

}  // namespace brimlane::sim
