// The host's launch: the order of its steps, the state it leaves behind, and
// the delegate's answers to the application's questions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "test_support.h"

namespace brimlane::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class LaunchTest : public ::testing::Test {
 protected:
  SimDesktop desktop;
};

TEST_F(LaunchTest, FieldsAreEmptyUntilLaunchHasFinished) {
  desktop.loadMainInterface();
  const std::shared_ptr<AppDelegate> delegate = desktop.delegate();
  ASSERT_NE(delegate, nullptr);
  EXPECT_EQ(delegate->selectionChannel, nullptr);
  EXPECT_EQ(delegate->systemChannel, nullptr);
  EXPECT_EQ(delegate->statusItem, nullptr);
  EXPECT_EQ(delegate->lastActiveApp, nullptr);
  EXPECT_FALSE(delegate->hotKeyRef.has_value());
  EXPECT_EQ(delegate->floatingPanel, nullptr);
  EXPECT_EQ(delegate->flutterVC, nullptr);
  EXPECT_EQ(desktop.windows().panel(), nullptr);
  EXPECT_EQ(desktop.statusBar().item(), nullptr);
}

TEST_F(LaunchTest, StepsRunInOrderEachOnce) {
  SimApp& notes = desktop.launchApp("Notes");
  desktop.activate(notes);
  const std::size_t before = desktop.timeline().events().size();

  desktop.launch();

  std::vector<std::string> launchSteps = steps(desktop.timeline());
  launchSteps.erase(launchSteps.begin(), launchSteps.begin() + static_cast<long>(before));
  EXPECT_THAT(launchSteps, ElementsAre("launch: loaded",                         //
                                       "launch: engine",                         // view controller
                                       "launch: plugin", "launch: plugin",       //
                                       "launch: plugin", "launch: plugin",       //
                                       "launch: plugin",                         //
                                       "stderr: line",                           // which way
                                       "panel: create", "panel: resize",         //
                                       "menu bar: status item",                  //
                                       "channel: open", "channel: open",         //
                                       "workspace: observe",                     //
                                       "hot key: install", "hot key: register",  //
                                       "panel: center", "panel: show",           //
                                       "workspace: activate",                    // the host
                                       "launch: finished"));
  EXPECT_THAT(desktop.engine().channelsOpened(),
              ElementsAre("com.brimlane.app/selection", "com.brimlane.app/system"));
}

TEST_F(LaunchTest, LeavesThePanelOnScreenKeyAndTheHostActive) {
  SimApp& notes = desktop.launchApp("Notes");
  desktop.activate(notes);

  desktop.launch();

  const SimPanel* panel = desktop.windows().panel();
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_TRUE(desktop.windows().isKey(panel));
  EXPECT_EQ(panel->frame(), (Rect{{420, 150}, {600, 600}}));  // centred on 1440 × 900
  EXPECT_EQ(desktop.workspace().frontmost(), &desktop.workspace().host());
  EXPECT_EQ(desktop.engine().baseLaunchNotifications(), 1);
  // No selection is captured at launch.
  EXPECT_THAT(desktop.keyboard().posted(), IsEmpty());
  EXPECT_THAT(desktop.engine().received(), IsEmpty());
}

TEST_F(LaunchTest, FillsEveryField) {
  desktop.launch();
  const std::shared_ptr<AppDelegate> delegate = desktop.delegate();
  EXPECT_NE(delegate->selectionChannel, nullptr);
  EXPECT_NE(delegate->systemChannel, nullptr);
  EXPECT_NE(delegate->statusItem, nullptr);
  EXPECT_TRUE(delegate->hotKeyRef.has_value());
  EXPECT_EQ(delegate->floatingPanel.get(), desktop.windows().panel());
  EXPECT_EQ(delegate->flutterVC, desktop.engine().viewControllers().front());
  EXPECT_TRUE(desktop.engine().hasHandler("com.brimlane.app/selection"));
  EXPECT_TRUE(desktop.engine().hasHandler("com.brimlane.app/system"));
}

constexpr const char* kByRegistrant =
    "Brimlane: plug-ins registered by the generated plug-in registrant";
constexpr const char* kByName =
    "Brimlane: no generated plug-in registrant in this application; plug-ins looked up by class "
    "name";

// How the application holds its plug-ins, and what the host registers.
struct PluginCase {
  const char* name;
  std::optional<std::vector<std::string>> registrant;  // nothing: no generated registrant
  std::set<std::string> missingClasses;
  std::vector<std::string> registered;  // "Class" by the registrant, "Class (module)" by name
  std::vector<std::string> errorLines;
  friend void PrintTo(const PluginCase& c, std::ostream* os) { *os << c.name; }
};

class LaunchPluginTest : public LaunchTest, public ::testing::WithParamInterface<PluginCase> {};

TEST_P(LaunchPluginTest, RegistersEachPluginOnceWithItsOwnRegistrar) {
  const PluginCase& c = GetParam();
  desktop.engine().generatedRegistrant = c.registrant;
  desktop.engine().missingPluginClasses = c.missingClasses;

  desktop.launch();

  std::vector<std::string> registered;
  for (const RegisteredPlugin& plugin : desktop.engine().registeredPlugins()) {
    EXPECT_EQ(plugin.registrarKey, plugin.className);
    EXPECT_EQ(plugin.byRegistrant, c.registrant.has_value());
    registered.push_back(plugin.module.empty() ? plugin.className
                                               : plugin.className + " (" + plugin.module + ")");
  }
  EXPECT_EQ(registered, c.registered);
  EXPECT_EQ(desktop.standardOutput().errorLines, c.errorLines);
  EXPECT_THAT(desktop.standardOutput().lines, IsEmpty());
  EXPECT_EQ(desktop.engine().viewControllers().size(), 1u);
}

const std::vector<std::string> kFivePlugins{
    "DeviceInfoPlusMacosPlugin", "FlutterSecureStorageDarwinPlugin", "FPPPackageInfoPlusPlugin",
    "PathProviderPlugin", "UrlLauncherPlugin"};

INSTANTIATE_TEST_SUITE_P(
    Routes, LaunchPluginTest,
    ::testing::Values(
        PluginCase{
            "RegistrantOfAPubspecWithTheFive", kFivePlugins, {}, kFivePlugins, {kByRegistrant}},
        // The registrant follows the UI's pubspec: a plug-in the host has never
        // heard of is registered, and one that calls its platform through FFI
        // has nothing to register and is left out.
        PluginCase{"RegistrantOfAnotherPubspec",
                   std::vector<std::string>{"DeviceInfoPlusMacosPlugin", "SharePlusMacosPlugin",
                                            "UrlLauncherPlugin"},
                   {"PathProviderPlugin"},
                   {"DeviceInfoPlusMacosPlugin", "SharePlusMacosPlugin", "UrlLauncherPlugin"},
                   {kByRegistrant}},
        PluginCase{"RegistrantOfAPubspecWithoutPlugins",
                   std::vector<std::string>{},
                   {},
                   {},
                   {kByRegistrant}},
        PluginCase{"NoRegistrantLooksTheFiveUpByName",
                   std::nullopt,
                   {},
                   {"DeviceInfoPlusMacosPlugin (device_info_plus)",
                    "FlutterSecureStorageDarwinPlugin (flutter_secure_storage_darwin)",
                    "FPPPackageInfoPlusPlugin (package_info_plus)",
                    "PathProviderPlugin (path_provider_foundation)",
                    "UrlLauncherPlugin (url_launcher_macos)"},
                   {kByName}},
        PluginCase{"NoRegistrantAndAClassMissing",
                   std::nullopt,
                   {"PathProviderPlugin", "UrlLauncherPlugin"},
                   {"DeviceInfoPlusMacosPlugin (device_info_plus)",
                    "FlutterSecureStorageDarwinPlugin (flutter_secure_storage_darwin)",
                    "FPPPackageInfoPlusPlugin (package_info_plus)"},
                   {kByName,
                    "Brimlane: the plug-in PathProviderPlugin is not in this application; the UI "
                    "runs without it",
                    "Brimlane: the plug-in UrlLauncherPlugin is not in this application; the UI "
                    "runs without it"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct SeedCase {
  const char* name;
  bool otherAppFrontmost;
  std::optional<std::string> otherBundle;
  std::optional<std::string> hostBundle;
  bool recorded;
  friend void PrintTo(const SeedCase& c, std::ostream* os) { *os << c.name; }
};

class LaunchSeedTest : public LaunchTest, public ::testing::WithParamInterface<SeedCase> {};

TEST_P(LaunchSeedTest, RecordsTheFrontmostApplicationUnlessItIsTheHost) {
  const SeedCase& c = GetParam();
  desktop.workspace().setHostBundleIdentifier(c.hostBundle);
  SimApp& other = desktop.workspace().launchApp("Other", c.otherBundle, 700);
  if (c.otherAppFrontmost) desktop.activate(other);

  desktop.launch();

  const std::shared_ptr<AppDelegate> delegate = desktop.delegate();
  if (c.recorded) {
    ASSERT_NE(delegate->lastActiveApp, nullptr);
    EXPECT_EQ(delegate->lastActiveApp->processIdentifier(), 700);
  } else {
    EXPECT_EQ(delegate->lastActiveApp, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LaunchSeedTest,
    ::testing::Values(
        SeedCase{"HostFrontmost", false, "com.example.other", "com.brimlane.app", false},
        SeedCase{"OtherFrontmost", true, "com.example.other", "com.brimlane.app", true},
        SeedCase{"OtherWithoutBundle", true, std::nullopt, "com.brimlane.app", true},
        SeedCase{"NeitherHasABundle", true, std::nullopt, std::nullopt, false},
        SeedCase{"AnotherCopyOfTheHost", true, "com.brimlane.app", "com.brimlane.app", false},
        SeedCase{"BundleDiffersOnlyInCase", true, "com.Brimlane.app", "com.brimlane.app", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LaunchTest, HostActivationAtTheEndOfLaunchKeepsTheRecord) {
  SimApp& notes = desktop.launchApp("Notes");
  desktop.activate(notes);
  desktop.launch();
  desktop.runUntilIdle();
  EXPECT_EQ(desktop.delegate()->lastActiveApp->processIdentifier(), notes.pid);
}

TEST_F(LaunchTest, GoesOnWithoutAStatusItemOrAHotKey) {
  desktop.statusBar().failStatusItem = true;
  desktop.hotKeys().installStatus = kParamErr;
  desktop.hotKeys().registerStatus = kEventHotKeyExistsErr;

  desktop.launch();

  const std::shared_ptr<AppDelegate> delegate = desktop.delegate();
  EXPECT_EQ(delegate->statusItem, nullptr);
  EXPECT_FALSE(delegate->hotKeyRef.has_value());
  EXPECT_NE(delegate->selectionChannel, nullptr);
  EXPECT_TRUE(desktop.windows().panel()->isVisible());
  EXPECT_EQ(desktop.engine().baseLaunchNotifications(), 1);
}

TEST_F(LaunchTest, AnswersTheApplicationsQuestions) {
  desktop.launch();
  const std::shared_ptr<AppDelegate> delegate = desktop.delegate();
  // Closing the panel must not end a menu-bar utility.
  EXPECT_FALSE(delegate->applicationShouldTerminateAfterLastWindowClosed());
  EXPECT_TRUE(delegate->applicationSupportsSecureRestorableState());
}

class ReopenTest : public LaunchTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ReopenTest, PresentsTheHiddenPanelWithoutCapturing) {
  const bool hasVisibleWindows = GetParam();
  SimApp& notes = desktop.launchApp("Notes");
  desktop.launch();
  SimPanel& panel = *desktop.windows().panel();
  panel.userResize({300, 99});
  panel.userClose();
  desktop.activate(notes);
  notes.selection = "never copied";
  const std::shared_ptr<RunningApplication> recorded = desktop.delegate()->lastActiveApp;
  ASSERT_NE(recorded, nullptr);

  EXPECT_TRUE(desktop.reopen(hasVisibleWindows));

  EXPECT_TRUE(panel.isVisible());
  EXPECT_EQ(panel.frame().size, (Size{600, 600}));
  EXPECT_EQ(panel.frame().origin, (Point{420, 150}));
  EXPECT_TRUE(desktop.windows().isKey(&panel));
  EXPECT_EQ(desktop.workspace().frontmost(), &desktop.workspace().host());
  EXPECT_EQ(desktop.delegate()->lastActiveApp, recorded);
  EXPECT_THAT(desktop.keyboard().posted(), IsEmpty());
  EXPECT_THAT(desktop.engine().received(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(VisibleWindowsArgument, ReopenTest, ::testing::Bool());

TEST_F(LaunchTest, ReopenKeepsAPanelOfUsableSize) {
  desktop.launch();
  SimPanel& panel = *desktop.windows().panel();
  panel.userResize({300, 400});
  panel.userMove({10, 10});

  EXPECT_TRUE(desktop.reopen());

  EXPECT_EQ(panel.frame(), (Rect{{570, 250}, {300, 400}}));
}

TEST_F(LaunchTest, ReopenBeforeLaunchShowsNothing) {
  desktop.loadMainInterface();
  EXPECT_TRUE(desktop.reopen());
  EXPECT_EQ(desktop.windows().panel(), nullptr);
  EXPECT_FALSE(desktop.simMainWindow()->isVisible());
}

}  // namespace
}  // namespace brimlane::sim
