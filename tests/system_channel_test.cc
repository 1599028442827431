// The system channel and launch at login, as the UI code calls them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace brimlane::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const DecodedReply kBooleanRequired = errorReply("INVALID_ARGUMENT", "Boolean argument required");

class SystemChannelTest : public HostTest {
 protected:
  UiCallOutcome call(const std::string& method, ChannelValue arguments = ChannelValue()) {
    return callChannel(kSystemChannel, method, std::move(arguments));
  }
  SimLoginItems& login() { return desktop.loginItems(); }
};

TEST_F(SystemChannelTest, SwitchesTheLoginItemOnAndOff) {
  EXPECT_THAT(call("getLaunchAtLogin"), AnsweredOnceWith(kFalse));
  EXPECT_THAT(call("setLaunchAtLogin", ChannelValue(true)), AnsweredOnceWith(kNull));
  EXPECT_THAT(call("getLaunchAtLogin", ChannelValue("ignored")), AnsweredOnceWith(kTrue));
  EXPECT_THAT(call("setLaunchAtLogin", ChannelValue(false)), AnsweredOnceWith(kNull));
  EXPECT_THAT(call("getLaunchAtLogin"), AnsweredOnceWith(kFalse));
  EXPECT_THAT(login().calls, ElementsAre("status", "register", "status", "unregister", "status"));
  EXPECT_THAT(desktop.standardOutput().lines, IsEmpty());
}

TEST_F(SystemChannelTest, AsksTheSystemEvenWhenNothingWouldChange) {
  login().status = kAppServiceStatusEnabled;
  EXPECT_THAT(call("setLaunchAtLogin", ChannelValue(true)), AnsweredOnceWith(kNull));
  login().status = kAppServiceStatusNotRegistered;
  EXPECT_THAT(call("setLaunchAtLogin", ChannelValue(false)), AnsweredOnceWith(kNull));
  EXPECT_THAT(login().calls, ElementsAre("register", "unregister"));
}

TEST_F(SystemChannelTest, BeforeMacOS13LaunchAtLoginIsOff) {
  login().osVersion = {12, 6, 0};
  login().status = kAppServiceStatusEnabled;  // whatever the service would say
  EXPECT_THAT(call("setLaunchAtLogin", ChannelValue(true)), AnsweredOnceWith(kNull));
  EXPECT_THAT(call("getLaunchAtLogin"), AnsweredOnceWith(kFalse));
  EXPECT_THAT(login().calls, IsEmpty());
  EXPECT_THAT(desktop.standardOutput().lines, IsEmpty());
}

TEST_F(SystemChannelTest, Exactly13Suffices) {
  login().osVersion = {13, 0, 0};
  EXPECT_THAT(call("setLaunchAtLogin", ChannelValue(true)), AnsweredOnceWith(kNull));
  EXPECT_THAT(call("getLaunchAtLogin"), AnsweredOnceWith(kTrue));
}

struct RefusalCase {
  const char* name;
  bool enable;
  AppServiceStatus statusBefore;
  friend void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }
};

class LoginRefusalTest : public SystemChannelTest,
                         public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(LoginRefusalTest, AnswersNullAndWritesOneLine) {
  const RefusalCase& c = GetParam();
  login().status = c.statusBefore;
  login().registerRefusal = "Operation not permitted";
  login().unregisterRefusal = "Invalid argument";

  EXPECT_THAT(call("setLaunchAtLogin", ChannelValue(c.enable)), AnsweredOnceWith(kNull));

  EXPECT_THAT(desktop.standardOutput().lines,
              ElementsAre(std::string("Failed to update launch at login: ") +
                          (c.enable ? "Operation not permitted" : "Invalid argument")));
  EXPECT_THAT(call("getLaunchAtLogin"),
              AnsweredOnceWith(c.statusBefore == kAppServiceStatusEnabled ? kTrue : kFalse));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoginRefusalTest,
    ::testing::Values(RefusalCase{"RegisterRefused", true, kAppServiceStatusNotRegistered},
                      RefusalCase{"UnregisterOfAnUnregisteredItem", false,
                                  kAppServiceStatusNotRegistered},
                      RefusalCase{"UnregisterRefused", false, kAppServiceStatusEnabled}),
    [](const auto& info) { return std::string(info.param.name); });

class LoginStatusTest : public SystemChannelTest,
                        public ::testing::WithParamInterface<AppServiceStatus> {};

TEST_P(LoginStatusTest, OnlyEnabledCountsAsOn) {
  login().status = GetParam();
  EXPECT_THAT(call("getLaunchAtLogin"), AnsweredOnceWith(GetParam() == 1 ? kTrue : kFalse));
}

INSTANTIATE_TEST_SUITE_P(Statuses, LoginStatusTest, ::testing::Values(-1, 0, 1, 2, 3, 4, 100));

struct BadFlagCase {
  const char* name;
  ChannelValue arguments;
  friend void PrintTo(const BadFlagCase& c, std::ostream* os) { *os << c.name; }
};

class SetLaunchAtLoginArgumentTest : public SystemChannelTest,
                                     public ::testing::WithParamInterface<BadFlagCase> {};

TEST_P(SetLaunchAtLoginArgumentTest, RefusesAnythingButABoolean) {
  EXPECT_THAT(call("setLaunchAtLogin", GetParam().arguments), AnsweredOnceWith(kBooleanRequired));
  EXPECT_THAT(login().calls, IsEmpty());
  EXPECT_EQ(login().status, kAppServiceStatusNotRegistered);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SetLaunchAtLoginArgumentTest,
    ::testing::Values(BadFlagCase{"Null", ChannelValue()},
                      BadFlagCase{"TheWordTrue", ChannelValue("true")},
                      BadFlagCase{"Zero", ChannelValue(std::int32_t{0})},
                      BadFlagCase{"One", ChannelValue(std::int32_t{1})},
                      BadFlagCase{"OneAsInt64", ChannelValue(std::int64_t{1})},
                      BadFlagCase{"OnePointZero", ChannelValue(1.0)},
                      BadFlagCase{"List", ChannelValue(ChannelList{ChannelValue(true)})},
                      BadFlagCase{"MapWithFlag", ChannelValue(ChannelMap{{ChannelValue("enabled"),
                                                                          ChannelValue(true)}})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SystemChannelTest, UnknownNamesAreNotImplemented) {
  for (const char* method : {"checkPermission", "getSelection", "pasteText", "SetLaunchAtLogin",
                             "getlaunchatlogin", ""}) {
    EXPECT_THAT(call(method, ChannelValue(true)), AnsweredOnceWith(notImplementedReply()))
        << method;
  }
  EXPECT_THAT(login().calls, IsEmpty());
}

TEST_F(SystemChannelTest, WithTheHostGoneNothingIsAsked) {
  login().status = kAppServiceStatusEnabled;
  desktop.releaseDelegate();
  EXPECT_THAT(call("setLaunchAtLogin", ChannelValue(false)), AnsweredOnceWith(kNull));
  EXPECT_THAT(call("setLaunchAtLogin", ChannelValue("no")), AnsweredOnceWith(kBooleanRequired));
  EXPECT_THAT(call("getLaunchAtLogin"), AnsweredOnceWith(kFalse));
  EXPECT_THAT(login().calls, IsEmpty());
  EXPECT_EQ(login().status, kAppServiceStatusEnabled);
}

}  // namespace
}  // namespace brimlane::sim
