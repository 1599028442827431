// Saving the user's clipboard and giving it back, item by item.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

namespace brimlane::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

// The types of one item with their bytes, order ignored.
std::vector<std::pair<std::string, std::string>> contents(const SimPasteboardItem& item) {
  std::vector<std::pair<std::string, std::string>> result;
  for (const SimPasteboardType& t : item.types) {
    result.emplace_back(t.type, t.data ? std::string(t.data->begin(), t.data->end()) : "<none>");
  }
  std::sort(result.begin(), result.end());
  return result;
}

class PasteboardSnapshotTest : public HostTest {
 protected:
  // Snapshot, let `meanwhile` happen, restore; the pasteboard's steps during
  // the restore are returned.
  std::vector<std::string> roundTrip(
      std::vector<SimPasteboardItem> before, std::function<void()> meanwhile = [] {}) {
    desktop.pasteboard().setItems(std::move(before), "The user");
    const SavedPasteboard saved = host().snapshotPasteboard();
    meanwhile();
    const std::size_t earlier = steps(desktop.timeline(), {Source::kPasteboard}).size();
    host().restoreClipboard(saved);
    const std::vector<std::string> all = steps(desktop.timeline(), {Source::kPasteboard});
    return {all.begin() + static_cast<long>(earlier), all.end()};
  }

  void otherAppWrites() {
    desktop.pasteboard().setItems({SimPasteboardItem::plainText("other")}, "Mail");
  }
};

TEST_F(PasteboardSnapshotTest, GivesBackEveryItemWithEveryTypeAndItsBytes) {
  const std::vector<SimPasteboardItem> before{
      {{{"public.utf8-plain-text", toBytes("text")},
        {"public.html", toBytes("<b>text</b>")},
        {"public.rtf", toBytes("{\\rtf1 text}")}}},
      {{{"public.png", pngBytes()}}},
  };

  EXPECT_THAT(roundTrip(before, [&] { otherAppWrites(); }),
              ElementsAre("pasteboard: clear", "pasteboard: write item", "pasteboard: write item"));

  const std::vector<SimPasteboardItem> after = desktop.pasteboard().items();
  ASSERT_EQ(after.size(), 2u);
  EXPECT_THAT(contents(after[0]),
              ElementsAre(std::pair<std::string, std::string>{"public.html", "<b>text</b>"},
                          std::pair<std::string, std::string>{"public.rtf", "{\\rtf1 text}"},
                          std::pair<std::string, std::string>{"public.utf8-plain-text", "text"}));
  EXPECT_EQ(after[1], before[1]);
}

TEST_F(PasteboardSnapshotTest, LeavesOutWhatCannotBeRead) {
  roundTrip({
      {{{"com.example.promise", std::nullopt}}},  // delivers nothing at all
      {{{"public.png", std::nullopt}, {"public.utf8-plain-text", toBytes("kept")}}},
  });
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(SimPasteboardItem::plainText("kept")));
}

TEST_F(PasteboardSnapshotTest, KeepsARepeatedTypeOnce) {
  roundTrip({{{{"public.utf8-plain-text", toBytes("same")},
               {"public.utf8-plain-text", toBytes("same")}}}});
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(SimPasteboardItem::plainText("same")));
}

TEST_F(PasteboardSnapshotTest, KeepsEmptyBytesAsBytes) {
  roundTrip({{{{"public.utf8-plain-text", Bytes{}}}}});
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(SimPasteboardItem::plainText("")));
}

struct NothingSavedCase {
  const char* name;
  bool noItemList;
  std::vector<SimPasteboardItem> before;  // with an item list: what it holds
  friend void PrintTo(const NothingSavedCase& c, std::ostream* os) { *os << c.name; }
};

class NothingSavedTest : public PasteboardSnapshotTest,
                         public ::testing::WithParamInterface<NothingSavedCase> {};

TEST_P(NothingSavedTest, RestoreLeavesWhateverIsThere) {
  const NothingSavedCase& c = GetParam();
  desktop.pasteboard().failItemList = c.noItemList;
  std::vector<std::string> restoreSteps = roundTrip(c.before, [&] {
    desktop.pasteboard().failItemList = false;
    otherAppWrites();
  });
  EXPECT_TRUE(restoreSteps.empty());
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(SimPasteboardItem::plainText("other")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NothingSavedTest,
    ::testing::Values(NothingSavedCase{"EmptyPasteboard", false, {}},
                      NothingSavedCase{"OnlyUnreadableItems", false, {{{{"x", std::nullopt}}}}},
                      NothingSavedCase{"NoItemList", true, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PasteboardSnapshotTest, NoItemListGivesNoSnapshotAtAll) {
  desktop.pasteboard().failItemList = true;
  EXPECT_FALSE(host().snapshotPasteboard().has_value());
  desktop.pasteboard().failItemList = false;
  desktop.pasteboard().setItems({}, "The user");
  const SavedPasteboard empty = host().snapshotPasteboard();
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->empty());
}

TEST_F(PasteboardSnapshotTest, WritesEachByteOnceWhenRestoring) {
  const std::string payload(100'000, 'x');
  desktop.pasteboard().setItems({SimPasteboardItem::plainText(payload)}, "The user");
  const SavedPasteboard saved = host().snapshotPasteboard();
  const std::size_t before = desktop.pasteboard().bytesWritten();
  host().restoreClipboard(saved);
  host().restoreClipboard(saved);  // a snapshot is not used up by its restore
  EXPECT_EQ(desktop.pasteboard().bytesWritten() - before, 2 * payload.size());
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(SimPasteboardItem::plainText(payload)));
}

// What the wipe hook saw: each buffer's size and whether it was all zeros.
std::vector<std::pair<std::size_t, bool>> wiped;

TEST_F(PasteboardSnapshotTest, ReleasedSnapshotsLeaveNoBytesBehind) {
  wiped.clear();
  WipedBytes::onWiped = [](const std::uint8_t* data, std::size_t size) {
    wiped.emplace_back(size, std::all_of(data, data + size, [](std::uint8_t b) { return b == 0; }));
  };
  desktop.pasteboard().setItems({{{{"public.utf8-plain-text", toBytes("hunter2")},
                                   {"com.example.secret", toBytes("s3cr3t!!")}}}},
                                "The user");
  {
    const SavedPasteboard saved = host().snapshotPasteboard();
    host().restoreClipboard(saved);
    EXPECT_TRUE(wiped.empty());
  }
  WipedBytes::onWiped = nullptr;
  EXPECT_THAT(wiped, UnorderedElementsAre(std::pair<std::size_t, bool>{7, true},
                                          std::pair<std::size_t, bool>{8, true}));
}

}  // namespace
}  // namespace brimlane::sim
