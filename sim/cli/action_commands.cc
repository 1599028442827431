// Action commands: what the user, other applications, the UI code and time
// do once the scene is set.
#include <array>
#include <utility>

#include "sim/cli/command_table.h"
#include "sim/cli/pasteboard_entries.h"

namespace brimlane::sim::cli {
namespace {

std::string channelNamed(const std::string& word) {
  if (word == "selection") return "com.brimlane.app/selection";
  if (word == "system") return "com.brimlane.app/system";
  throw ReadError("expected selection or system, found \"" + word + "\"");
}

Command readLoad(ScenarioState& s, LineReader& r) {
  r.end();
  if (s.loadRead || s.launchRead) {
    throw ReadError("the interface file is loaded once, before launch");
  }
  s.loadRead = true;
  return [&s] { s.desktop.loadMainInterface(); };
}

// A second launch would build a second panel, status item and hot key beside
// the first ones, which nothing of a real desktop can do: refused.
Command readLaunch(ScenarioState& s, LineReader& r) {
  r.end();
  if (s.launchRead) throw ReadError("the host is launched once per scenario");
  s.launchRead = true;
  return [&s] {
    if (!s.desktop.mainWindow()) s.desktop.loadMainInterface();
    s.desktop.finishLaunching();
  };
}

Command readActivate(ScenarioState& s, LineReader& r) {
  const std::string name = r.word("an application name or host");
  bool notify = true;
  if (!r.atEnd()) {
    r.keyword("no-notification");
    notify = false;
  }
  return [&s, name, notify] { s.desktop.activate(s.appNamed(name), notify); };
}

Command readQuit(ScenarioState& s, LineReader& r) {
  const std::string name = r.word("an application name");
  if (name == "host") throw ReadError("the host quits only through its menu");
  std::optional<std::string> forward;
  if (r.punct(",")) {
    forward = r.word("the application that comes forward, or host");
    r.keyword("comes");
    r.keyword("forward");
  }
  return [&s, name, forward] {
    SimApp& app = s.appNamed(name);
    SimApp* next = forward ? &s.appNamed(*forward) : nullptr;
    if (forward) {
      // Something comes forward only in place of the frontmost application.
      const SimApp* front = s.desktop.workspace().frontmost();
      if (front != &app || !app.running) {
        s.fail(name + " in front as it quits, for " + *forward + " to come forward",
               front ? front->name + " in front" : std::string("nothing in front"));
        return;
      }
      if (!next->running) {
        s.fail(*forward + " running, to come forward", *forward + " has quit");
        return;
      }
    }
    s.desktop.quit(app, next);
  };
}

Command readPress(ScenarioState& s, LineReader& r) {
  std::vector<KeyCombination> presses;
  do {
    presses.push_back(r.combination("a key combination such as cmd+shift+t"));
  } while (!r.atEnd());
  return [&s, presses] {
    // One after the other, before the main queue gets to run.
    for (const KeyCombination& press : presses) {
      s.pressStatuses.push_back(s.desktop.hotKeys().press(press.keyCode, press.hotKeyModifiers));
    }
    s.desktop.runDue();
  };
}

Command readClickStatus(ScenarioState& s, LineReader& r) {
  const std::string button = r.oneOf({"left", "right", "noevent"});
  if (button == "noevent") {
    return [&s] {
      s.desktop.statusBar().clickWithoutEvent();
      s.desktop.runDue();
    };
  }
  std::vector<std::string> modifiers;
  while (!r.atEnd()) modifiers.push_back(r.oneOf({"cmd", "shift", "option", "ctrl"}));
  const MouseButton mouse = button == "left" ? MouseButton::kLeft : MouseButton::kRight;
  return [&s, mouse, modifiers] { s.desktop.clickStatusItem(mouse, modifiers); };
}

// What the user does to the panel's frame.
template <bool kResize>
Command readPanelFrame(ScenarioState& s, LineReader& r) {
  const double a = r.number(kResize ? "a width" : "an x");
  const double b = r.number(kResize ? "a height" : "a y");
  return [&s, a, b] {
    SimPanel* panel = s.desktop.windows().panel();
    if (!panel) {
      s.fail(kResize ? "a panel to resize" : "a panel to move", "none");
      return;
    }
    kResize ? panel->userResize({a, b}) : panel->userMove({a, b});
  };
}

Command readClosePanel(ScenarioState& s, LineReader&) {
  return [&s] {
    if (SimPanel* panel = s.desktop.windows().panel()) panel->userClose();
  };
}

Command readRaiseMainWindow(ScenarioState& s, LineReader& r) {
  const bool key = r.oneOf({"front", "key"}) == "key";
  return [&s, key] {
    MainFlutterWindow* window = s.desktop.mainWindow();
    if (!window) {
      s.fail("a main window to raise", "none: the interface file is not loaded");
      return;
    }
    key ? window->makeKeyAndOrderFront() : window->orderFront();
    s.desktop.runDue();
  };
}

Command readReopen(ScenarioState& s, LineReader& r) {
  bool visibleWindows = false;
  if (!r.atEnd()) {
    r.keyword("visible-windows");
    visibleWindows = true;
  }
  return [&s, visibleWindows] { s.lastReopen = s.desktop.reopen(visibleWindows); };
}

Command readDelegateGone(ScenarioState& s, LineReader&) {
  return [&s] { s.desktop.releaseDelegate(); };
}

// The user info of an activation notification, as the workspace sends it or
// as an untidy sender might.
Command readNotifyActivation(ScenarioState& s, LineReader& r) {
  const std::string what = r.word(
      "an application name, no-user-info, empty-user-info, "
      "no-application or wrong-kind");
  return [&s, what] {
    Notification notification{std::string(kWorkspaceDidActivateApplicationNotification),
                              std::nullopt};
    const std::string key(kWorkspaceApplicationKey);
    if (what == "empty-user-info") {
      notification.userInfo = UserInfo{};
    } else if (what == "no-application") {
      notification.userInfo = UserInfo{{"NSWorkspaceOtherKey", OtherObject{"NSString"}}};
    } else if (what == "wrong-kind") {
      notification.userInfo = UserInfo{{key, OtherObject{"NSString"}}};
    } else if (what != "no-user-info") {
      notification.userInfo =
          UserInfo{{key, s.desktop.workspace().runningApplication(s.appNamed(what))}};
    }
    s.desktop.timeline().record(Source::kWorkspace, "notify",
                                "An activation notification arrives (" + what + ").");
    s.desktop.workspace().postNotification(std::move(notification));
    s.desktop.runDue();
  };
}

Command readCall(ScenarioState& s, LineReader& r) {
  const std::string channel = channelNamed(r.word("selection or system"));
  const std::string method = r.peekString() ? r.string("a method name") : r.word("a method name");
  ChannelValue arguments = r.atEnd() ? ChannelValue() : r.value();
  return [&s, channel, method, arguments] {
    s.desktop.application().setCurrentEvent(s.callEvent);
    s.lastCall = s.desktop.engine().call(channel, MethodCall{method, arguments});
    s.desktop.application().setCurrentEvent(nullptr);
    s.desktop.runDue();
  };
}

Command readSend(ScenarioState& s, LineReader& r) {
  const std::string channel = channelNamed(r.word("selection or system"));
  r.keyword("hex");
  Bytes bytes = r.hexAfter("hex");
  return [&s, channel, bytes] {
    s.desktop.application().setCurrentEvent(s.callEvent);
    s.lastCall = s.desktop.engine().send(channel, bytes);
    s.desktop.application().setCurrentEvent(nullptr);
    s.desktop.runDue();
  };
}

Command readOtherAppWrites(ScenarioState& s, LineReader& r) {
  const SimPasteboardItem item = readContents(r, "after");
  SimTime delay = SimTime::zero();
  if (!r.atEnd()) {
    r.keyword("after");
    delay = toSimTime(r.seconds("a delay"));
  }
  return [&s, item, delay] {
    s.desktop.scheduler().postWorld(
        delay, [&s, item] { s.desktop.pasteboard().setItems({item}, "Another application"); });
    s.desktop.runDue();
  };
}

// The user copies something in another application. What the user's
// clipboard was when the scenario set it up stays the one `expect clipboard
// unchanged` compares with.
Command readUserCopies(ScenarioState& s, LineReader& r) {
  const SimPasteboardItem item = readContents(r);
  return [&s, item] { s.desktop.pasteboard().setItems({item}, "The user copies and"); };
}

// A line run at a moment of virtual time instead of now. What happens in the
// world (an application quitting, the user switching, another process
// writing the pasteboard, an expectation looking) happens at that moment,
// also while the host's main thread is blocked; what reaches the host through
// its run loop waits, as on a Mac, until the main thread is free.
Command readAt(ScenarioState& s, LineReader& r) {
  const SimTime at = toSimTime(r.seconds("a time"));
  std::vector<Token> rest = r.rest();
  if (rest.empty()) throw ReadError("expected a command to run at that time");
  const std::variant<Dispatch, std::string> picked = dispatch(rest);
  if (const auto* error = std::get_if<std::string>(&picked)) throw ReadError(*error);
  const CommandSpec& spec = *std::get<Dispatch>(picked).command;
  if (spec.words == "wait" || spec.words == "at") {
    throw ReadError("`" + std::string(spec.words) + "` cannot be timed");
  }
  std::variant<Command, std::string> read = readTokens(s, std::move(rest));
  if (const auto* error = std::get_if<std::string>(&read)) throw ReadError(*error);
  return [&s, at, command = std::get<Command>(std::move(read)), throughHost = spec.throughHost] {
    Scheduler& scheduler = s.desktop.scheduler();
    if (at < s.desktop.now()) {
      s.fail("a time still to come",
             formatTime(at) + ", with the time at " + formatTime(s.desktop.now()));
      return;
    }
    const int line = s.line;
    s.timedPending.push_back({line, at});
    scheduler.postWorld(at - s.desktop.now(), [&s, command, throughHost, line] {
      std::erase_if(s.timedPending,
                    [line](const ScenarioState::Timed& t) { return t.line == line; });
      auto run = [&s, command, line] {
        // A failure names the line that timed the command.
        const int running = std::exchange(s.line, line);
        command();
        s.line = running;
      };
      if (throughHost && !s.desktop.scheduler().mainQueueEnded()) {
        s.desktop.scheduler().postMain(SimTime::zero(), run);
      } else {
        run();
      }
    });
    s.desktop.runDue();
  };
}

Command readWait(ScenarioState& s, LineReader& r) {
  const Seconds duration = r.seconds("a duration");
  return [&s, duration] { s.desktop.advance(duration); };
}

constexpr CommandSpec kActions[] = {
    {"load", "",
     "The interface file is loaded: the delegate and the main window exist, not yet launched.",
     readLoad, true},
    {"launch", "", "The host finishes launching (loading first if needed); once per scenario.",
     readLaunch, true},
    {"activate", "NAME|host [no-notification]",
     "The user switches to an application, or to the host; the system may post no notification.",
     readActivate},
    {"quit", "NAME[, NAME|host comes forward]",
     "An application quits; in its place comes the latest one with a window, or the one named.",
     readQuit},
    {"press", "COMBINATION …",
     "The user presses key combinations in turn, quicker than the main queue runs.", readPress,
     true},
    {"click status", "left|right [cmd] [shift] [option] [ctrl]|noevent",
     "The user clicks the status item, or its action arrives with no event.", readClickStatus,
     true},
    {"resize panel", "W H", "The user resizes the panel by its frame.", readPanelFrame<true>, true},
    {"move panel", "X Y", "The user drags the panel to a new origin.", readPanelFrame<false>, true},
    {"close panel", "", "The user closes the panel with its close button.", readClosePanel, true},
    {"raise main-window", "front|key",
     "Someone sends the main window orderFront: or makeKeyAndOrderFront:.", readRaiseMainWindow,
     true},
    {"reopen", "[visible-windows]",
     "The user opens the host again while it runs; the platform may say it has visible windows.",
     readReopen, true},
    {"delegate gone", "", "The interface file lets go of the host's delegate.", readDelegateGone,
     true},
    {"notify activation", "NAME|no-user-info|empty-user-info|no-application|wrong-kind",
     "An activation notification naming NAME (not made frontmost), or an untidy one.",
     readNotifyActivation},
    {"call", "selection|system METHOD [VALUE]",
     "The UI calls a method on a channel; the answer is kept for `expect answer`.", readCall, true},
    {"send", "selection|system hex:HEX",
     "The UI sends any bytes at all on a channel; the answer is kept for `expect answer`.",
     readSend, true},
    {"other-app writes", "\"TEXT\"|TYPE=VALUE … [after S]",
     "Another application writes one item to the clipboard, now or S seconds from now.",
     readOtherAppWrites},
    {"user copies", "\"TEXT\"|TYPE=VALUE …",
     "The user copies one item in another application; `unchanged` still means the set-up one.",
     readUserCopies},
    {"at", "S COMMAND",
     "Runs any other line but `wait` at virtual time S, even while the host's main thread waits.",
     readAt},
    {"wait", "S", "Virtual time goes on by S seconds, and whatever falls due runs.", readWait},
};

}  // namespace

std::span<const CommandSpec> actionCommands() {
  return kActions;
}

}  // namespace brimlane::sim::cli
