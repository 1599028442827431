// The record of the application the user works in, kept apart from the host.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace brimlane::sim {
namespace {

class LastActiveAppTest : public HostTest {
 protected:
  ProcessId recordedPid() {
    return host().lastActiveApp ? host().lastActiveApp->processIdentifier() : -1;
  }
};

TEST_F(LastActiveAppTest, FollowsTheUserFromApplicationToApplication) {
  EXPECT_EQ(recordedPid(), notes.pid);
  desktop.activate(mail);
  EXPECT_EQ(recordedPid(), mail.pid);
  desktop.activate(desktop.workspace().host());
  EXPECT_EQ(recordedPid(), mail.pid);
}

TEST_F(LastActiveAppTest, SummonRecordsTheFrontmostApplication) {
  desktop.workspace().postsActivationNotifications = false;
  desktop.activate(mail);
  ASSERT_EQ(recordedPid(), notes.pid);
  desktop.pressKeys(17, kCmdKey | kShiftKey);
  EXPECT_EQ(recordedPid(), mail.pid);
}

TEST_F(LastActiveAppTest, SummonWhileTheHostIsFrontmostKeepsTheRecord) {
  desktop.activate(desktop.workspace().host());
  desktop.pressKeys(17, kCmdKey | kShiftKey);
  EXPECT_EQ(recordedPid(), notes.pid);
}

TEST_F(LastActiveAppTest, KeepsAnApplicationThatHasQuit) {
  desktop.activate(desktop.workspace().host());
  desktop.quit(notes);
  EXPECT_EQ(recordedPid(), notes.pid);
  EXPECT_EQ(host().lastActiveApp->bundleIdentifier(), "com.example.notes");
  desktop.activate(mail);
  EXPECT_EQ(recordedPid(), mail.pid);
}

struct NotificationCase {
  const char* name;
  std::function<std::optional<UserInfo>(SimDesktop&)> userInfo;
  friend void PrintTo(const NotificationCase& c, std::ostream* os) { *os << c.name; }
};

class MalformedNotificationTest : public LastActiveAppTest,
                                  public ::testing::WithParamInterface<NotificationCase> {};

TEST_P(MalformedNotificationTest, LeavesTheRecordAlone) {
  desktop.workspace().postNotification(
      {std::string(kWorkspaceDidActivateApplicationNotification), GetParam().userInfo(desktop)});
  desktop.runDue();
  EXPECT_EQ(recordedPid(), notes.pid);
}

const std::string kAppKey(kWorkspaceApplicationKey);

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedNotificationTest,
    ::testing::Values(
        NotificationCase{"NoUserInfo", [](SimDesktop&) { return std::nullopt; }},
        NotificationCase{"EmptyUserInfo", [](SimDesktop&) { return UserInfo{}; }},
        NotificationCase{"NoApplicationKey",
                         [](SimDesktop& d) {
                           return UserInfo{{"NSApplication", d.workspace().runningApplication(
                                                                 *d.workspace().find("Mail"))}};
                         }},
        NotificationCase{"ValueOfAnotherClass",
                         [](SimDesktop&) {
                           return UserInfo{{kAppKey, OtherObject{"NSString"}}};
                         }},
        NotificationCase{"NullApplication",
                         [](SimDesktop&) {
                           return UserInfo{{kAppKey, std::shared_ptr<RunningApplication>()}};
                         }},
        NotificationCase{
            "TheHostItself",
            [](SimDesktop& d) {
              return UserInfo{{kAppKey, d.workspace().runningApplication(d.workspace().host())}};
            }},
        NotificationCase{"AnotherCopyOfTheHost",
                         [](SimDesktop& d) {
                           SimApp& copy = d.workspace().launchApp("Copy", "com.brimlane.app", 900);
                           return UserInfo{{kAppKey, d.workspace().runningApplication(copy)}};
                         }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LastActiveAppTest, TheHostsIdentifierIsReadAfreshEachTime) {
  // Once the host has no identifier of its own, an application without one
  // counts as the host, and one with any identifier does not.
  SimApp& nameless = desktop.workspace().launchApp("Nameless", std::nullopt, 901);
  desktop.activate(nameless);
  EXPECT_EQ(recordedPid(), 901);
  desktop.workspace().setHostBundleIdentifier(std::nullopt);
  desktop.activate(mail);
  desktop.activate(nameless);
  EXPECT_EQ(recordedPid(), mail.pid);
}

}  // namespace
}  // namespace brimlane::sim
