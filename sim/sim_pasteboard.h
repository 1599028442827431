// The simulated general pasteboard: ordered items, each with ordered types,
// where a type may deliver no bytes and a type name may repeat.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/platform/pasteboard.h"
#include "sim/scheduler.h"
#include "sim/timeline.h"

namespace brimlane::sim {

struct SimPasteboardType {
  std::string type;
  std::optional<Bytes> data;  // nothing: the owner delivers no bytes for it
  // How long the owner takes to provide the bytes when they are asked for:
  // an application may put a type on the pasteboard as a promise and make
  // the data only when someone reads it. The host's main thread waits for it
  // when it reads the item, and other processes go on meanwhile.
  SimTime providedAfter{0};
  friend bool operator==(const SimPasteboardType&, const SimPasteboardType&) = default;
};

struct SimPasteboardItem {
  std::vector<SimPasteboardType> types;
  friend bool operator==(const SimPasteboardItem&, const SimPasteboardItem&) = default;

  static SimPasteboardItem plainText(std::string_view text);

  // The offering a reader of `type` gets: with a repeated name, the first.
  const SimPasteboardType* offering(std::string_view type) const;
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
  SimPasteboard(Timeline& timeline, Scheduler& scheduler)
      : timeline_(timeline), scheduler_(scheduler) {}

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
  Scheduler& scheduler_;
  int changeCount_ = 0;
  std::size_t bytesWritten_ = 0;
};

}  // namespace brimlane::sim
