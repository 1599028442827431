// What the user copies and pastes never leaves the pasteboard and the
// documents it was meant for: nothing of it is printed or logged.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace brimlane::sim {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(Privacy, ClipboardAndSelectionTextIsNeverPrinted) {
  const std::string sentinel = "correct-horse-battery-staple-4417";
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  {
    SimDesktop desktop;
    SimApp& vault = desktop.launchApp("Vault");
    vault.selection = "selected " + sentinel;
    desktop.pasteboard().setItems({SimPasteboardItem::plainText("copied " + sentinel)}, "The user");
    desktop.activate(vault);
    desktop.launch();
    desktop.activate(vault);
    desktop.pressKeys(17, kCmdKey | kShiftKey);
    desktop.engine().call(kSelectionChannel, {"getSelection", ChannelValue()});
    desktop.engine().call(kSelectionChannel, {"pasteText", ChannelValue("pasted " + sentinel)});
    desktop.loginItems().registerRefusal = "refused";
    desktop.engine().call(kSystemChannel, {"setLaunchAtLogin", ChannelValue(true)});
    desktop.runUntilIdle();

    EXPECT_EQ(vault.document, "pasted " + sentinel);
    EXPECT_EQ(plainText(desktop.pasteboard()), "copied " + sentinel);
    for (const std::string& line : desktop.standardOutput().lines) {
      EXPECT_THAT(line, Not(HasSubstr(sentinel)));
    }
    EXPECT_EQ(desktop.standardOutput().lines.size(), 1u);
  }
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_THAT(out, Not(HasSubstr(sentinel)));
  EXPECT_THAT(err, Not(HasSubstr(sentinel)));
}

}  // namespace
}  // namespace brimlane::sim
