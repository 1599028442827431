// The main window of the interface file: hidden from the moment it loads and
// deaf to every request to come forward.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace brimlane::sim {
namespace {

using ::testing::ElementsAre;

TEST(MainWindow, IsHiddenWithAnEmptyFrameOnceLoaded) {
  SimDesktop desktop;
  desktop.loadMainInterface();

  SimMainWindow& window = *desktop.simMainWindow();
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(window.frame(), Rect{});
  // Hidden twice over, then emptied, after the class's own loading response.
  EXPECT_THAT(window.calls(), ElementsAre("setIsVisible:YES", "awakeFromNib", "setIsVisible:NO",
                                          "orderOut", "setFrame:display:NO"));
}

TEST(MainWindow, NoWindowOfTheHostIsVisibleBeforeLaunchFinishes) {
  SimDesktop desktop;
  desktop.loadMainInterface();
  EXPECT_FALSE(desktop.simMainWindow()->isVisible());
  EXPECT_TRUE(desktop.windows().panels().empty());
  EXPECT_EQ(desktop.windows().keyWindow, nullptr);
}

TEST(MainWindow, IgnoresRequestsToComeToTheFront) {
  SimDesktop desktop;
  desktop.launch();
  MainFlutterWindow& window = *desktop.mainWindow();
  const std::size_t callsBefore = desktop.simMainWindow()->calls().size();
  const void* keyBefore = desktop.windows().keyWindow;

  window.makeKeyAndOrderFront();
  window.orderFront();

  EXPECT_FALSE(desktop.simMainWindow()->isVisible());
  EXPECT_EQ(desktop.simMainWindow()->calls().size(), callsBefore);
  EXPECT_EQ(desktop.windows().keyWindow, keyBefore);
  EXPECT_EQ(desktop.simMainWindow()->frame(), Rect{});
}

}  // namespace
}  // namespace brimlane::sim
