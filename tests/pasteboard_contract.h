// What the host relies on from any Pasteboard, written once as a typed test
// suite so that the same checks can run against every implementation. A
// platform type gives `Pasteboard& pasteboard()` on a pasteboard that nothing
// else uses.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "app/platform/pasteboard.h"

namespace brimlane::contract {

inline Bytes bytesOf(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

// A type no other application offers.
inline const std::string kPrivateType = "com.brimlane.contract.private";
inline const std::string kPlainText{kPasteboardTypeString};

template <class Platform>
class PasteboardContractTest : public ::testing::Test {
 protected:
  Pasteboard& pasteboard() { return platform_.pasteboard(); }

  std::vector<std::unique_ptr<PasteboardItem>> items() {
    auto items = pasteboard().pasteboardItems();
    EXPECT_TRUE(items.has_value()) << "the platform gave no item list";
    return items ? std::move(*items) : std::vector<std::unique_ptr<PasteboardItem>>{};
  }

 private:
  Platform platform_;
};

TYPED_TEST_SUITE_P(PasteboardContractTest);

TYPED_TEST_P(PasteboardContractTest, ClearingLeavesNoItems) {
  Pasteboard& pasteboard = this->pasteboard();
  pasteboard.clearContents();
  pasteboard.setStringForTypeString("something");
  pasteboard.clearContents();
  EXPECT_TRUE(this->items().empty());
  EXPECT_EQ(pasteboard.stringForTypeString(), std::nullopt);
}

TYPED_TEST_P(PasteboardContractTest, EachWriteAppendsOneItemWithItsTypesAndBytes) {
  Pasteboard& pasteboard = this->pasteboard();
  pasteboard.clearContents();
  const Bytes text = bytesOf("first");
  const Bytes binary{0x00, 0x01, 0xFE, 0xFF};
  const Bytes second = bytesOf("second");
  const PasteboardEntry firstItem[] = {{kPlainText, text}, {kPrivateType, binary}};
  const PasteboardEntry secondItem[] = {{kPrivateType, second}};
  pasteboard.writeItem(firstItem);
  pasteboard.writeItem(secondItem);

  const auto items = this->items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_THAT(items[0]->types(), ::testing::IsSupersetOf({kPlainText, kPrivateType}));
  EXPECT_EQ(items[0]->dataForType(kPlainText), text);
  EXPECT_EQ(items[0]->dataForType(kPrivateType), binary);
  EXPECT_THAT(items[1]->types(), ::testing::Contains(kPrivateType));
  EXPECT_EQ(items[1]->dataForType(kPrivateType), second);
  EXPECT_EQ(items[1]->dataForType(kPlainText), std::nullopt);
}

TYPED_TEST_P(PasteboardContractTest, PlainTextGoesOnAsUtf8AndComesBackUnchanged) {
  Pasteboard& pasteboard = this->pasteboard();
  const std::string text = "Grüße ✓\n  two lines ";
  pasteboard.clearContents();
  pasteboard.setStringForTypeString(text);

  EXPECT_EQ(pasteboard.stringForTypeString(), text);
  const auto items = this->items();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0]->dataForType(kPlainText), bytesOf(text));
}

TYPED_TEST_P(PasteboardContractTest, PlainTextWrittenAsBytesReadsAsAString) {
  Pasteboard& pasteboard = this->pasteboard();
  pasteboard.clearContents();
  const Bytes text = bytesOf("from bytes");
  const PasteboardEntry item[] = {{kPlainText, text}};
  pasteboard.writeItem(item);
  EXPECT_EQ(pasteboard.stringForTypeString(), "from bytes");
}

TYPED_TEST_P(PasteboardContractTest, NoStringWithoutPlainText) {
  Pasteboard& pasteboard = this->pasteboard();
  pasteboard.clearContents();
  const Bytes binary{0x89, 'P', 'N', 'G'};
  const PasteboardEntry item[] = {{kPrivateType, binary}};
  pasteboard.writeItem(item);
  EXPECT_EQ(pasteboard.stringForTypeString(), std::nullopt);
}

REGISTER_TYPED_TEST_SUITE_P(PasteboardContractTest, ClearingLeavesNoItems,
                            EachWriteAppendsOneItemWithItsTypesAndBytes,
                            PlainTextGoesOnAsUtf8AndComesBackUnchanged,
                            PlainTextWrittenAsBytesReadsAsAString, NoStringWithoutPlainText);

}  // namespace brimlane::contract
