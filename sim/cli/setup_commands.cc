// Set-up commands: the world the host runs in — the operating system, the
// applications and their selections, the user's clipboard, trust, and the
// failures the platform will answer with.
#include <algorithm>
#include <array>
#include <charconv>
#include <climits>

#include "sim/cli/command_table.h"
#include "sim/cli/pasteboard_entries.h"

namespace brimlane::sim::cli {
namespace {

// Names a scenario gives to something other than an application.
constexpr std::array<std::string_view, 7> kReservedNames{"host", "hid",  "none", "nobody",
                                                         "to",   "into", "from"};

Command readMacos(ScenarioState& s, LineReader& r) {
  const std::string text = r.word("a version such as 12.6");
  OperatingSystemVersion version;
  std::int64_t* parts[] = {&version.majorVersion, &version.minorVersion, &version.patchVersion};
  std::size_t start = 0;
  for (std::size_t i = 0; i < 3 && start <= text.size(); ++i) {
    const std::size_t dot = std::min(text.find('.', start), text.size());
    const auto [end, error] = std::from_chars(text.data() + start, text.data() + dot, *parts[i]);
    if (error != std::errc() || end != text.data() + dot) {
      throw ReadError("\"" + text + "\" is not a version such as 12.6 or 14.0.1");
    }
    start = dot + 1;
    if (dot == text.size()) break;
  }
  if (start < text.size()) throw ReadError("\"" + text + "\" has more than three parts");
  return [&s, version] { s.desktop.loginItems().osVersion = version; };
}

Command readHostBundle(ScenarioState& s, LineReader& r) {
  const std::string id = r.word("a bundle identifier or none");
  std::optional<std::string> bundle;
  if (id != "none") bundle = id;
  return [&s, bundle] { s.desktop.workspace().setHostBundleIdentifier(bundle); };
}

Command readRegistrant(ScenarioState& s, LineReader& r) {
  std::optional<std::vector<std::string>> classes;
  if (r.peekWord("none")) {
    r.word("none");
  } else {
    classes.emplace();
    while (!r.atEnd()) classes->push_back(r.word("a plug-in class"));
  }
  return [&s, classes] { s.desktop.engine().generatedRegistrant = classes; };
}

Command readPluginMissing(ScenarioState& s, LineReader& r) {
  const std::string className = r.word("a plug-in class");
  return [&s, className] { s.desktop.engine().missingPluginClasses.insert(className); };
}

Command readTrusted(ScenarioState& s, LineReader& r) {
  const bool trusted = r.yesOrNo();
  return [&s, trusted] { s.desktop.accessibility().setTrusted(trusted); };
}

Command readScreen(ScenarioState& s, LineReader& r) {
  const double width = r.number("a width");
  const double height = r.number("a height");
  return [&s, width, height] { s.desktop.windows().screen = {width, height}; };
}

Command readApp(ScenarioState& s, LineReader& r) {
  const std::string name = r.word("an application name");
  if (std::find(kReservedNames.begin(), kReservedNames.end(), name) != kReservedNames.end()) {
    throw ReadError("\"" + name + "\" is reserved and cannot name an application");
  }
  std::optional<std::string> bundle = "com.example." + name;
  std::optional<ProcessId> pid;
  while (!r.atEnd()) {
    if (r.oneOf({"bundle", "pid"}) == "bundle") {
      const std::string id = r.word("a bundle identifier or none");
      bundle = id == "none" ? std::nullopt : std::optional<std::string>(id);
    } else {
      const std::int64_t value = r.integer("a process identifier");
      if (value <= 0 || value > INT32_MAX) throw ReadError("a process identifier must be positive");
      pid = static_cast<ProcessId>(value);
    }
  }
  return [&s, name, bundle, pid] {
    // One that has quit can be started again, as a new process.
    if (const SimApp* running = s.desktop.workspace().find(name); running && running->running) {
      s.fail("a new application " + name, "one already running");
      return;
    }
    s.desktop.workspace().launchApp(name, bundle, pid ? *pid : s.newPid());
  };
}

Command readSelect(ScenarioState& s, LineReader& r) {
  const std::string name = r.word("an application name");
  const std::string text = r.string("the selected text");
  return [&s, name, text] { s.appNamed(name).selection = text; };
}

// `after S`, or the usual 0.05 s an application takes.
SimTime latencyAfter(LineReader& r) {
  if (r.atEnd()) return toSimTime(Seconds(0.05));
  r.keyword("after");
  return toSimTime(r.seconds("a delay"));
}

Command readCopy(ScenarioState& s, LineReader& r) {
  const std::string name = r.word("an application name");
  const std::string what = r.oneOf({"text", "image", "nothing"});
  const SimTime latency = latencyAfter(r);
  const CopyBehavior behavior = what == "text"    ? CopyBehavior::kText
                                : what == "image" ? CopyBehavior::kImage
                                                  : CopyBehavior::kNothing;
  return [&s, name, behavior, latency] {
    SimApp& app = s.appNamed(name);
    app.copies = behavior;
    app.copyLatency = latency;
  };
}

Command readPaste(ScenarioState& s, LineReader& r) {
  const std::string name = r.word("an application name");
  const SimTime latency = latencyAfter(r);
  return [&s, name, latency] { s.appNamed(name).pasteLatency = latency; };
}

// The user's clipboard becomes `items`, with an item list to read: every
// clipboard command sets the pasteboard afresh.
void setUserClipboard(ScenarioState& s, std::vector<SimPasteboardItem> items) {
  s.userClipboard = std::move(items);
  s.desktop.pasteboard().failItemList = false;
  s.desktop.pasteboard().setItems(s.userClipboard, "The user");
}

Command readClipboardText(ScenarioState& s, LineReader& r) {
  const std::string text = r.string("the clipboard's text");
  return [&s, text] { setUserClipboard(s, {SimPasteboardItem::plainText(text)}); };
}

Command readClipboardEmpty(ScenarioState& s, LineReader&) {
  return [&s] { setUserClipboard(s, {}); };
}

Command readClipboardNoList(ScenarioState& s, LineReader&) {
  return [&s] {
    setUserClipboard(s, {});
    s.desktop.pasteboard().failItemList = true;
  };
}

Command readClipboardItem(ScenarioState& s, LineReader& r) {
  const SimPasteboardItem item = readEntries(r);
  return [&s, item] {
    // Right after another item line this adds an item; otherwise it starts
    // a new clipboard.
    std::vector<SimPasteboardItem> items;
    if (s.clipboardItemCommand != 0 && s.clipboardItemCommand + 1 == s.commandsRun) {
      items = s.userClipboard;
    }
    items.push_back(item);
    setUserClipboard(s, std::move(items));
    s.clipboardItemCommand = s.commandsRun;
  };
}

// A failure the platform can be made to answer with, on or off.
struct Failure {
  std::string_view name;
  void (*set)(SimDesktop& desktop, bool on);
};

constexpr std::array<Failure, 7> kFailures{{
    {"event-source", [](SimDesktop& d, bool on) { d.keyboard().failEventSource = on; }},
    {"status-item", [](SimDesktop& d, bool on) { d.statusBar().failStatusItem = on; }},
    {"status-button", [](SimDesktop& d, bool on) { d.statusBar().failButton = on; }},
    {"symbol", [](SimDesktop& d, bool on) { d.statusBar().failSymbol = on; }},
    {"content-view", [](SimDesktop& d, bool on) { d.windows().panelsLackContentView = on; }},
    {"hotkey-install",
     [](SimDesktop& d, bool on) { d.hotKeys().installStatus = on ? kParamErr : kNoErr; }},
    {"hotkey-register",
     [](SimDesktop& d, bool on) {
       d.hotKeys().registerStatus = on ? kEventHotKeyExistsErr : kNoErr;
     }},
}};

// The keyboard event named by `copy|paste down|up`: by what it means, the
// copy or paste keystroke, on whichever key the layout puts it.
std::pair<char, bool> readKeyEvent(LineReader& r) {
  const char key = r.oneOf({"copy", "paste"}) == "copy" ? 'c' : 'v';
  const bool down = r.oneOf({"down", "up"}) == "down";
  return {key, down};
}

// One of kFailures, by name; `others` are the other names the line may use.
const Failure& readFailure(LineReader& r, std::string_view others = {}) {
  std::string names;
  for (const Failure& failure : kFailures) {
    names += (names.empty() ? "" : "|") + std::string(failure.name);
  }
  names += others;
  const std::string name = r.word(names.c_str());
  const auto failure = std::find_if(kFailures.begin(), kFailures.end(),
                                    [&](const Failure& f) { return f.name == name; });
  if (failure == kFailures.end()) throw ReadError("expected " + names + ", found \"" + name + "\"");
  return *failure;
}

Command readFail(ScenarioState& s, LineReader& r) {
  return [&s, set = readFailure(r).set] { set(s.desktop, true); };
}

Command readFailKeyEvent(ScenarioState& s, LineReader& r) {
  const std::pair<char, bool> event = readKeyEvent(r);
  return [&s, event] { s.desktop.keyboard().failKeyEvents.insert(event); };
}

Command readFailLoginRegister(ScenarioState& s, LineReader& r) {
  const std::string description = r.string("the system's description of the refusal");
  return [&s, description] { s.desktop.loginItems().registerRefusal = description; };
}

Command readFailLoginUnregister(ScenarioState& s, LineReader& r) {
  const std::string description = r.string("the system's description of the refusal");
  return [&s, description] { s.desktop.loginItems().unregisterRefusal = description; };
}

Command readUndoFail(ScenarioState& s, LineReader& r) {
  if (r.peekWord("key-event")) {
    r.word("key-event");
    const std::pair<char, bool> event = readKeyEvent(r);
    return [&s, event] { s.desktop.keyboard().failKeyEvents.erase(event); };
  }
  if (r.peekWord("login-register")) {
    r.word("login-register");
    return [&s] { s.desktop.loginItems().registerRefusal.reset(); };
  }
  if (r.peekWord("login-unregister")) {
    r.word("login-unregister");
    return [&s] { s.desktop.loginItems().unregisterRefusal.reset(); };
  }
  return [&s, set = readFailure(r, "|key-event|login-register|login-unregister").set] {
    set(s.desktop, false);
  };
}

Command readKeyboardLayout(ScenarioState& s, LineReader& r) {
  const std::optional<KeyboardLayout> layout =
      keyboardLayoutNamed(r.oneOf({"us", "dvorak", "dvorak-qwerty-command", "russian", "none"}));
  return [&s, layout = *layout] { s.desktop.keyboard().setLayout(layout); };
}

Command readLoginStatus(ScenarioState& s, LineReader& r) {
  const AppServiceStatus status = r.integer("a status number");
  return [&s, status] { s.desktop.loginItems().status = status; };
}

Command readMenuChoose(ScenarioState& s, LineReader& r) {
  const std::string title = r.string("the item's title");
  return [&s, title] { s.desktop.statusBar().menuAnswer.choose = title; };
}

Command readMenuDismiss(ScenarioState& s, LineReader&) {
  return [&s] { s.desktop.statusBar().menuAnswer.choose.reset(); };
}

Command readCurrentEvent(ScenarioState& s, LineReader& r) {
  const std::string name = r.oneOf({"left-mouse-down", "left-mouse-dragged", "none"});
  std::shared_ptr<Event> event;
  if (name != "none") {
    event = std::make_shared<SimEvent>(name == "left-mouse-down" ? EventType::kLeftMouseDown
                                                                 : EventType::kLeftMouseDragged);
  }
  return [&s, event] { s.callEvent = event; };
}

constexpr CommandSpec kSetUp[] = {
    {"macos", "VERSION", "The operating system's version, such as 12.6 or 14.0.1 (14.0 at first).",
     readMacos},
    {"host bundle", "ID|none", "The host's own bundle identifier (com.brimlane.app at first).",
     readHostBundle},
    {"registrant", "CLASS …|none",
     "The plug-ins the runner's generated registrant registers, in order (the host's five at "
     "first), or none: an application built without one.",
     readRegistrant},
    {"plugin missing", "CLASS",
     "The application holds no plug-in class of this name, for the host to look up.",
     readPluginMissing},
    {"trusted", "yes|no", "Whether the host is trusted for Accessibility (yes at first).",
     readTrusted},
    {"screen", "W H", "The screen's size in points (1440 × 900 at first).", readScreen},
    {"keyboard layout", "us|dvorak|dvorak-qwerty-command|russian|none",
     "The user's keyboard layout, through which applications read shortcuts (us at first).",
     readKeyboardLayout},
    {"app", "NAME [bundle ID|none] [pid N]",
     "Another application starts running, not yet active (com.example.NAME, pids from 501).",
     readApp},
    {"select", "NAME \"TEXT\"", "The text selected in an application; a copy there copies it.",
     readSelect},
    {"copy", "NAME text|image|nothing [after S]",
     "What a copy in the application puts on the clipboard, and how long it takes (0.05 s).",
     readCopy},
    {"paste", "NAME [after S]", "How long a paste in the application takes to read the clipboard.",
     readPaste},
    {"clipboard", "\"TEXT\"", "The user's clipboard becomes one item of plain text.",
     readClipboardText},
    {"clipboard empty", "", "The user's clipboard becomes empty.", readClipboardEmpty},
    {"clipboard nolist", "", "The user's clipboard becomes empty and gives no item list at all.",
     readClipboardNoList},
    {"clipboard item", "TYPE=\"TEXT\"|TYPE=hex:HEX|TYPE=nodata …",
     "The user's clipboard becomes this item; consecutive item lines make one clipboard.",
     readClipboardItem},
    {"fail",
     "event-source|status-item|status-button|symbol|content-view|hotkey-install|hotkey-register",
     "From now on the platform gives no such object, or refuses the hot key's handler or key.",
     readFail},
    {"fail key-event", "copy|paste down|up",
     "From now on the platform cannot make this half of the copy or paste keystroke.",
     readFailKeyEvent},
    {"fail login-register", "\"DESCRIPTION\"",
     "From now on the system refuses to register the login item, with this description.",
     readFailLoginRegister},
    {"fail login-unregister", "\"DESCRIPTION\"",
     "From now on the system refuses to unregister the login item, with this description.",
     readFailLoginUnregister},
    {"undo fail", "FAILURE", "Takes back a failure injected with `fail`: the platform works again.",
     readUndoFail},
    {"login status", "N", "The login item's status as the system reports it (0 at first; 1 = on).",
     readLoginStatus},
    {"menu choose", "\"TITLE\"",
     "The user chooses this item of every menu that pops up from now on.", readMenuChoose},
    {"menu dismiss", "", "The user dismisses every menu that pops up from now on, as at first.",
     readMenuDismiss},
    {"current-event", "left-mouse-down|left-mouse-dragged|none",
     "The event the application is handling while calls from the UI arrive (none at first).",
     readCurrentEvent},
};

}  // namespace

std::span<const CommandSpec> setUpCommands() {
  return kSetUp;
}

}  // namespace brimlane::sim::cli
