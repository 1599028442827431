// The floating panel: how it is built, and how it comes on screen and goes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace brimlane::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FloatingPanelTest : public HostTest {};

TEST_F(FloatingPanelTest, IsBuiltWithEveryPropertyInOrder) {
  EXPECT_THAT(
      std::vector<std::string>(panel().calls().begin(), panel().calls().begin() + 15),
      ElementsAre("initWithContentRect:styleMask:backing:defer:", "setContentViewController",
                  "setContentSize", "setTitle", "setLevel", "setCollectionBehavior",
                  "setHidesOnDeactivate", "setFloatingPanel", "setOpaque", "setBackgroundColor",
                  "setTitleVisibility", "setTitlebarAppearsTransparent",
                  "setTitlebarSeparatorStyle", "setMovableByWindowBackground", "setHasShadow"));
  const SimPanel& p = panel();
  EXPECT_EQ(p.styleMask, 0x800Bu);  // titled, closable, resizable, full-size content
  EXPECT_EQ(p.backing, BackingStoreType::kBuffered);
  EXPECT_FALSE(p.deferred);
  EXPECT_EQ(p.contentViewController, host().flutterVC);
  EXPECT_EQ(p.title, "Brimlane");
  EXPECT_EQ(p.level, 3);
  EXPECT_EQ(p.collectionBehavior, 265u);  // all Spaces, transient, full-screen auxiliary
  EXPECT_FALSE(p.hidesOnDeactivate);
  EXPECT_TRUE(p.floatingPanel);
  EXPECT_FALSE(p.opaque);
  EXPECT_EQ(p.backgroundColor, Color::kClear);
  EXPECT_EQ(p.titleVisibility, WindowTitleVisibility::kHidden);
  EXPECT_TRUE(p.titlebarAppearsTransparent);
  EXPECT_EQ(p.titlebarSeparatorStyle, TitlebarSeparatorStyle::kNone);
  EXPECT_FALSE(p.movableByWindowBackground);
  EXPECT_TRUE(p.hasShadow);
}

TEST_F(FloatingPanelTest, ShowsTheUiOverATranslucentBackground) {
  const auto& controller = desktop.engine().viewControllers().front();
  ASSERT_EQ(panel().contentView(), controller->view());
  EXPECT_EQ(controller->backgroundColor, Color::kClear);

  // Behind the surface the UI draws on.
  const auto& content = static_cast<SimView&>(*controller->view());
  ASSERT_EQ(content.subviews.size(), 2u);
  EXPECT_EQ(static_cast<SimView&>(*content.subviews.back()).name, "UI surface");
  const auto& background = static_cast<SimVisualEffectView&>(*content.subviews.front());
  EXPECT_EQ(background.blendingMode, VisualEffectBlendingMode::kBehindWindow);
  EXPECT_EQ(background.state, VisualEffectState::kActive);
  EXPECT_EQ(background.material, VisualEffectMaterial::kSidebar);
  EXPECT_FALSE(background.translatesAutoresizingMaskIntoConstraints);

  // All four edges pinned, in a single activation.
  ASSERT_EQ(desktop.windows().constraintBatches.size(), 1u);
  std::vector<LayoutAnchor> anchors;
  for (const LayoutConstraint& c : desktop.windows().constraintBatches.front()) {
    EXPECT_EQ(c.first.get(), &background);
    EXPECT_EQ(c.second, controller->view());
    anchors.push_back(c.anchor);
  }
  EXPECT_THAT(anchors, ElementsAre(LayoutAnchor::kTop, LayoutAnchor::kBottom,
                                   LayoutAnchor::kLeading, LayoutAnchor::kTrailing));
}

TEST_F(FloatingPanelTest, WorksWithoutAContentView) {
  SimDesktop other;
  other.windows().panelsLackContentView = true;
  other.launch();
  EXPECT_TRUE(other.windows().panel()->isVisible());
  EXPECT_THAT(other.windows().constraintBatches, IsEmpty());
  EXPECT_EQ(other.engine().viewControllers().front()->backgroundColor, Color::kClear);
  EXPECT_EQ(other.delegate()->floatingPanel.get(), other.windows().panel());
}

TEST_F(FloatingPanelTest, StaysOnScreenWhenTheHostIsDeactivated) {
  ASSERT_EQ(desktop.workspace().frontmost(), &notes);
  EXPECT_TRUE(panel().isVisible());
  EXPECT_FALSE(desktop.windows().isKey(&panel()));
}

struct SizeCase {
  Size userSize;
  Size shownSize;
  friend void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.userSize.width << "x" << c.userSize.height;
  }
};

class PanelSizeTest : public FloatingPanelTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(PanelSizeTest, ShowsAUsableSizeCentred) {
  panel().userResize(GetParam().userSize);
  panel().userMove({5, 5});
  host().hidePanel();

  host().showPanel();

  const Size shown = GetParam().shownSize;
  EXPECT_EQ(panel().frame(), (Rect{{(1440 - shown.width) / 2, (900 - shown.height) / 2}, shown}));
  EXPECT_TRUE(panel().isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PanelSizeTest,
    ::testing::Values(SizeCase{{300, 400}, {300, 400}}, SizeCase{{99, 600}, {600, 600}},
                      SizeCase{{600, 99}, {600, 600}}, SizeCase{{99, 99}, {600, 600}},
                      SizeCase{{100, 100}, {100, 100}}, SizeCase{{1000, 100}, {1000, 100}}));

TEST_F(FloatingPanelTest, ShowingSizesCentresOrdersFrontThenActivates) {
  panel().userResize({50, 50});
  const std::size_t calls = panel().calls().size();
  const std::size_t events = desktop.timeline().events().size();

  host().showPanel();

  EXPECT_THAT(std::vector<std::string>(panel().calls().begin() + static_cast<long>(calls),
                                       panel().calls().end()),
              ElementsAre("setContentSize", "center", "makeKeyAndOrderFront"));
  std::vector<std::string> after;
  for (std::size_t i = events; i < desktop.timeline().events().size(); ++i) {
    after.push_back(desktop.timeline().events()[i].event);
  }
  EXPECT_THAT(after, ElementsAre("resize", "center", "show", "activate"));
  EXPECT_TRUE(desktop.windows().isKey(&panel()));
  EXPECT_EQ(desktop.workspace().frontmost(), &desktop.workspace().host());
}

TEST_F(FloatingPanelTest, ShowingAVisiblePanelBringsItBackToTheCentre) {
  host().showPanel();
  panel().userMove({10, 700});
  desktop.activate(notes);

  host().showPanel();

  EXPECT_EQ(panel().frame().origin, (Point{420, 150}));
  EXPECT_TRUE(desktop.windows().isKey(&panel()));
}

TEST_F(FloatingPanelTest, HidingKeepsTheHostActiveAndTheUiAsItWas) {
  host().showPanel();
  const auto controller = host().flutterVC;

  host().hidePanel();
  EXPECT_FALSE(panel().isVisible());
  EXPECT_EQ(desktop.workspace().frontmost(), &desktop.workspace().host());
  host().showPanel();

  EXPECT_EQ(host().flutterVC, controller);
  EXPECT_EQ(desktop.engine().viewControllers().size(), 1u);
  EXPECT_EQ(panel().contentViewController, controller);
}

TEST_F(FloatingPanelTest, WithoutAPanelShowingAndHidingDoNothing) {
  SimDesktop other;
  other.loadMainInterface();
  other.delegate()->showPanel();
  other.delegate()->hidePanel();
  EXPECT_TRUE(other.windows().panels().empty());
  EXPECT_EQ(other.workspace().frontmost(), &other.workspace().host());
  EXPECT_EQ(other.scheduler().pendingMainTasks(), 0u);
}

}  // namespace
}  // namespace brimlane::sim
