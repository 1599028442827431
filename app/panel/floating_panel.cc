// The floating panel: the host's only visible window, holding the UI engine's
// view over a translucent background.
#include "app/app_delegate.h"
#include "app/engine/generated_plugin_registrant.h"

namespace brimlane {
namespace {

constexpr Rect kPanelContentRect{{0, 0}, {600, 600}};
constexpr Size kPanelContentSize{600, 600};
constexpr WindowStyleMask kPanelStyle = kWindowStyleMaskTitled | kWindowStyleMaskClosable |
                                        kWindowStyleMaskResizable |
                                        kWindowStyleMaskFullSizeContentView;
// On every Space, beside full-screen applications, and never in window cycling.
constexpr WindowCollectionBehavior kPanelCollectionBehavior =
    kWindowCollectionBehaviorCanJoinAllSpaces | kWindowCollectionBehaviorTransient |
    kWindowCollectionBehaviorFullScreenAuxiliary;

}  // namespace

void AppDelegate::setupFloatingPanel() {
  const std::shared_ptr<FlutterViewController> controller =
      services_.embedding.createViewController();
  flutterVC = controller;
  RegisterGeneratedPlugins(*controller, services_.embedding, services_.standardOutput);

  const std::shared_ptr<Panel> panel = services_.windows.createPanel(
      kPanelContentRect, kPanelStyle, BackingStoreType::kBuffered, /*defer=*/false);
  panel->setContentViewController(controller);
  panel->setContentSize(kPanelContentSize);
  panel->setTitle("Brimlane");
  panel->setLevel(kFloatingWindowLevel);
  panel->setCollectionBehavior(kPanelCollectionBehavior);
  // The host hides the panel itself; deactivation alone must not.
  panel->setHidesOnDeactivate(false);
  panel->setFloatingPanel(true);
  panel->setOpaque(false);
  panel->setBackgroundColor(Color::kClear);
  // The UI draws its own title area into the full-size content view.
  panel->setTitleVisibility(WindowTitleVisibility::kHidden);
  panel->setTitlebarAppearsTransparent(true);
  panel->setTitlebarSeparatorStyle(TitlebarSeparatorStyle::kNone);
  // The UI decides where a drag starts ("startWindowDrag"), not every click.
  panel->setMovableByWindowBackground(false);
  panel->setHasShadow(true);

  const std::shared_ptr<VisualEffectView> background = services_.windows.createVisualEffectView();
  background->setBlendingMode(VisualEffectBlendingMode::kBehindWindow);
  background->setState(VisualEffectState::kActive);
  background->setMaterial(VisualEffectMaterial::kSidebar);

  if (const std::shared_ptr<View> content = panel->contentView()) {
    // The controller's view is the content view itself, not one of its
    // subviews, so "below it" puts the background behind every subview.
    content->addSubview(background, WindowOrderingMode::kBelow, controller->view());
    background->setTranslatesAutoresizingMaskIntoConstraints(false);
    services_.windows.activateConstraints({
        {background, content, LayoutAnchor::kTop},
        {background, content, LayoutAnchor::kBottom},
        {background, content, LayoutAnchor::kLeading},
        {background, content, LayoutAnchor::kTrailing},
    });
  }

  // Lets the translucent background show wherever the UI draws nothing.
  controller->setBackgroundColor(Color::kClear);
  floatingPanel = panel;
}

}  // namespace brimlane
