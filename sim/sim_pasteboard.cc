#include "sim/sim_pasteboard.h"

#include <algorithm>

namespace brimlane::sim {
namespace {

// An item as listed: it shares the pasteboard's bytes until a type is read.
class ListedItem : public PasteboardItem {
 public:
  ListedItem(std::shared_ptr<const SimPasteboardItem> item, Timeline& timeline,
             Scheduler& scheduler)
      : item_(std::move(item)), timeline_(timeline), scheduler_(scheduler) {}

  std::vector<std::string> types() const override {
    std::vector<std::string> names;
    names.reserve(item_->types.size());
    for (const SimPasteboardType& t : item_->types) names.push_back(t.type);
    return names;
  }

  std::optional<Bytes> dataForType(const std::string& type) const override {
    const SimPasteboardType* offering = item_->offering(type);
    if (!offering) return std::nullopt;
    if (offering->providedAfter > SimTime::zero()) {
      timeline_.record(Source::kPasteboard, "wait for data",
                       "The host waits for " + type + ", which its owner provides on demand.");
      scheduler_.sleepMainThread(offering->providedAfter);
    }
    return offering->data;
  }

 private:
  std::shared_ptr<const SimPasteboardItem> item_;
  Timeline& timeline_;
  Scheduler& scheduler_;
};

// "An item is written: a, b." in one allocation: a restore writes every item
// of the user's clipboard, and this runs for each of them.
std::string describeWrite(const SimPasteboardItem& item) {
  constexpr std::string_view kPrefix = "An item is written: ";
  constexpr std::string_view kNoTypes = "no types";
  std::size_t size = kPrefix.size() + kNoTypes.size() + 1;
  for (const SimPasteboardType& t : item.types) size += t.type.size() + 2;
  std::string text;
  text.reserve(size);
  text += kPrefix;
  for (const SimPasteboardType& t : item.types) {
    if (text.size() > kPrefix.size()) text += ", ";
    text += t.type;
  }
  if (text.size() == kPrefix.size()) text += kNoTypes;
  text += '.';
  return text;
}

}  // namespace

Bytes toBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

SimPasteboardItem SimPasteboardItem::plainText(std::string_view text) {
  return {{{std::string(kPasteboardTypeString), toBytes(text)}}};
}

const SimPasteboardType* SimPasteboardItem::offering(std::string_view type) const {
  for (const SimPasteboardType& t : types) {
    if (t.type == type) return &t;
  }
  return nullptr;
}

std::optional<Bytes> SimPasteboardItem::dataFor(std::string_view type) const {
  const SimPasteboardType* found = offering(type);
  return found ? found->data : std::nullopt;
}

SimPasteboardItem SimPasteboardItem::offered() const {
  SimPasteboardItem item;
  for (const SimPasteboardType& t : types) {
    const bool seen =
        std::any_of(item.types.begin(), item.types.end(),
                    [&](const SimPasteboardType& kept) { return kept.type == t.type; });
    if (seen) continue;
    if (std::optional<Bytes> data = dataFor(t.type))
      item.types.push_back({t.type, std::move(data)});
  }
  return item;
}

std::optional<std::vector<std::unique_ptr<PasteboardItem>>> SimPasteboard::pasteboardItems() {
  if (failItemList) return std::nullopt;
  std::vector<std::unique_ptr<PasteboardItem>> listed;
  listed.reserve(items_.size());
  for (const auto& item : items_) {
    listed.push_back(std::make_unique<ListedItem>(item, timeline_, scheduler_));
  }
  return listed;
}

void SimPasteboard::clearContents() {
  items_.clear();
  ++changeCount_;
  timeline_.record(Source::kPasteboard, "clear", "The pasteboard is cleared.");
}

void SimPasteboard::writeItem(std::span<const PasteboardEntry> entries) {
  auto item = std::make_shared<SimPasteboardItem>();
  item->types.reserve(entries.size());
  for (const PasteboardEntry& entry : entries) {
    bytesWritten_ += entry.data.size();
    Bytes bytes(entry.data.begin(), entry.data.end());
    // Setting a type again on the same item replaces its bytes.
    auto existing = std::find_if(item->types.begin(), item->types.end(),
                                 [&](const SimPasteboardType& t) { return t.type == entry.type; });
    if (existing != item->types.end()) {
      existing->data = std::move(bytes);
    } else {
      item->types.push_back({std::string(entry.type), std::move(bytes)});
    }
  }
  ++changeCount_;
  timeline_.record(Source::kPasteboard, "write item", describeWrite(*item));
  items_.push_back(std::move(item));
}

std::optional<std::string> SimPasteboard::stringForTypeString() {
  for (const auto& item : items_) {
    for (const SimPasteboardType& t : item->types) {
      if (t.type == kPasteboardTypeString && t.data) {
        return std::string(t.data->begin(), t.data->end());
      }
    }
  }
  return std::nullopt;
}

void SimPasteboard::setStringForTypeString(std::string_view text) {
  // The string goes on the first item, which is made if there is none.
  SimPasteboardItem first = items_.empty() ? SimPasteboardItem{} : *items_.front();
  std::erase_if(first.types,
                [](const SimPasteboardType& t) { return t.type == kPasteboardTypeString; });
  first.types.push_back({std::string(kPasteboardTypeString), toBytes(text)});
  bytesWritten_ += text.size();
  auto item = std::make_shared<const SimPasteboardItem>(std::move(first));
  if (items_.empty()) {
    items_.push_back(std::move(item));
  } else {
    items_.front() = std::move(item);
  }
  ++changeCount_;
  timeline_.record(Source::kPasteboard, "set string",
                   "Plain text is written (" + std::to_string(text.size()) + " bytes).");
}

std::vector<SimPasteboardItem> SimPasteboard::items() const {
  std::vector<SimPasteboardItem> copy;
  copy.reserve(items_.size());
  for (const auto& item : items_) copy.push_back(*item);
  return copy;
}

void SimPasteboard::setItems(std::vector<SimPasteboardItem> items, std::string_view writer) {
  items_.clear();
  for (SimPasteboardItem& item : items) {
    items_.push_back(std::make_shared<const SimPasteboardItem>(std::move(item)));
  }
  ++changeCount_;
  timeline_.record(Source::kPasteboard, "replaced",
                   std::string(writer) + " puts " + std::to_string(items_.size()) +
                       " item(s) on the pasteboard.");
  if (onForeignWrite) onForeignWrite();
}

}  // namespace brimlane::sim
