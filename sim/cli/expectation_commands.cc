// Expectation commands: what a person at the desktop, or the UI code, would
// see. Each compares what is there with what the line says and reports a
// failure with both.
#include <algorithm>
#include <array>
#include <cstdio>

#include "sim/cli/command_table.h"
#include "sim/cli/pasteboard_entries.h"
#include "sim/describe.h"
#include "sim/standard_codec.h"
#include "sim/utf8.h"

namespace brimlane::sim::cli {
namespace {

std::string join(const std::vector<std::string>& parts, const char* separator = ", ") {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
  return text.empty() ? "none" : text;
}

std::string formatNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string yesNo(bool value) {
  return value ? "yes" : "no";
}

// Compares what the line wants with what `got` shows, both written the
// same way.
Command expectShown(ScenarioState& s, std::string what, std::string want,
                    std::function<std::string()> got) {
  return [&s, what = std::move(what), want = std::move(want), got = std::move(got)] {
    const std::string shown = got();
    if (shown != want) s.fail(what + " " + want, shown);
  };
}

// A set of flags written as names, in the order of the table.
struct FlagName {
  std::string_view name;
  std::uint64_t bit;
};

std::string nameFlags(std::uint64_t bits, std::span<const FlagName> names) {
  std::vector<std::string> parts;
  for (const FlagName& flag : names) {
    if (bits & flag.bit) parts.emplace_back(flag.name);
    bits &= ~flag.bit;
  }
  if (bits) {
    char rest[32];
    std::snprintf(rest, sizeof rest, "0x%llx", static_cast<unsigned long long>(bits));
    parts.emplace_back(rest);
  }
  return join(parts, " ");
}

std::optional<std::uint64_t> flagNamed(std::string_view word, std::span<const FlagName> names) {
  for (const FlagName& flag : names) {
    if (flag.name == word) return flag.bit;
  }
  return std::nullopt;
}

std::string nameList(std::span<const FlagName> names) {
  std::string text;
  for (const FlagName& flag : names) text += (text.empty() ? "" : "|") + std::string(flag.name);
  return text;
}

// NAME … or none, to the end of the line.
std::uint64_t readFlags(LineReader& r, std::span<const FlagName> names) {
  if (r.peekWord("none")) {
    r.word("none");
    return 0;
  }
  std::uint64_t bits = 0;
  do {
    const std::string word = r.word(nameList(names).c_str());
    const std::optional<std::uint64_t> bit = flagNamed(word, names);
    if (!bit) throw ReadError("expected " + nameList(names) + ", found \"" + word + "\"");
    bits |= *bit;
  } while (!r.atEnd());
  return bits;
}

// ---- The clipboard, answers and the UI --------------------------------------

// The clipboard as a reader finds it: items in order, each type once and in
// any order, items that offer nothing left out.
std::vector<SimPasteboardItem> offeredItems(const std::vector<SimPasteboardItem>& items) {
  std::vector<SimPasteboardItem> offered;
  for (const SimPasteboardItem& item : items) {
    SimPasteboardItem kept = item.offered();
    std::sort(kept.types.begin(), kept.types.end(),
              [](const auto& a, const auto& b) { return a.type < b.type; });
    if (!kept.types.empty()) offered.push_back(std::move(kept));
  }
  return offered;
}

// A type's bytes as a clipboard line writes them: TYPE="TEXT" for text,
// TYPE=hex:HEX for other bytes, TYPE=nodata for none.
std::string showEntry(const std::string& type, const std::optional<Bytes>& data) {
  if (!data) return type + "=nodata";
  const std::string_view bytes(reinterpret_cast<const char*>(data->data()), data->size());
  const bool text = isUtf8(bytes) && std::none_of(bytes.begin(), bytes.end(), [](char c) {
                      return (c >= 0 && c < 0x20 && c != '\n' && c != '\t') || c == 0x7F;
                    });
  if (text) return type + "=" + quote(bytes);
  std::string hex = toHex(*data);
  std::erase(hex, ' ');
  return type + "=hex:" + hex;
}

// The bytes of each type the line names, as a reader of the pasteboard gets
// them: from the first item that lists the type.
Command expectClipboardEntries(ScenarioState& s, SimPasteboardItem want) {
  return [&s, want = std::move(want)] {
    const std::vector<SimPasteboardItem> items = s.desktop.pasteboard().items();
    for (const SimPasteboardType& entry : want.types) {
      std::optional<Bytes> got;
      for (const SimPasteboardItem& item : items) {
        const bool lists =
            std::any_of(item.types.begin(), item.types.end(),
                        [&](const SimPasteboardType& t) { return t.type == entry.type; });
        if (!lists) continue;
        got = item.dataFor(entry.type);
        break;
      }
      if (got != entry.data) {
        s.fail("clipboard " + showEntry(entry.type, entry.data), showEntry(entry.type, got));
      }
    }
  };
}

Command readExpectClipboard(ScenarioState& s, LineReader& r) {
  auto text = [&s] { return s.desktop.pasteboard().stringForTypeString(); };
  if (r.peek() && r.peek()->kind == Token::Kind::kWord &&
      r.peek()->text.find('=') != std::string::npos) {
    return expectClipboardEntries(s, readEntries(r));
  }
  if (r.peekString()) {
    const std::string want = r.string("the clipboard's text");
    return [&s, want, text] {
      const std::optional<std::string> got = text();
      if (got != want) s.fail("clipboard " + quote(want), got ? quote(*got) : "no text");
    };
  }
  const std::string how = r.oneOf({"empty", "items", "unchanged"});
  if (how == "empty") {
    return [&s] {
      const std::size_t items = s.desktop.pasteboard().items().size();
      if (items != 0) s.fail("an empty clipboard", std::to_string(items) + " item(s)");
    };
  }
  if (how == "items") {
    const std::int64_t count = r.count("a number of items");
    return [&s, count] {
      const std::size_t items = s.desktop.pasteboard().items().size();
      if (static_cast<std::int64_t>(items) != count) {
        s.fail(std::to_string(count) + " clipboard item(s)", std::to_string(items));
      }
    };
  }
  return [&s, text] {
    // Against what the user's clipboard offers: the host keeps one copy of a
    // repeated type name, so the user's own list may name it twice.
    const auto got = offeredItems(s.desktop.pasteboard().items());
    if (got != offeredItems(s.userClipboard)) {
      s.fail("the clipboard as the user left it",
             std::to_string(got.size()) + " item(s), plain text " + quote(text().value_or("")));
    }
  };
}

std::string describeReply(const std::optional<UiCallOutcome>& call) {
  if (!call) return "no call";
  if (!call->delivered) return "no handler";
  if (call->replies.size() != 1) return std::to_string(call->replies.size()) + " replies";
  const std::optional<DecodedReply> reply = call->reply();
  if (!reply) return "an undecodable reply";
  switch (reply->kind) {
    case DecodedReply::Kind::kSuccess:
      return describe(reply->value);
    case DecodedReply::Kind::kError:
      return "error " + quote(reply->code) + " " +
             (reply->message ? quote(*reply->message) : std::string("null"));
    case DecodedReply::Kind::kNotImplemented:
      return "not-implemented";
  }
  return "?";
}

Command readExpectAnswer(ScenarioState& s, LineReader& r) {
  auto reply = [&s] { return s.lastCall ? s.lastCall->reply() : std::nullopt; };
  if (r.peekWord("error")) {
    r.word("error");
    const std::string code = r.string("the error code");
    const std::string message = r.string("the error message");
    return [&s, reply, code, message] {
      const std::optional<DecodedReply> got = reply();
      if (!got || got->kind != DecodedReply::Kind::kError || got->code != code ||
          got->message != message || !got->details.isNull()) {
        s.fail("answer error " + quote(code) + " " + quote(message), describeReply(s.lastCall));
      }
    };
  }
  if (r.peekWord("not-implemented")) {
    r.word("not-implemented");
    return [&s, reply] {
      const std::optional<DecodedReply> got = reply();
      if (!got || got->kind != DecodedReply::Kind::kNotImplemented) {
        s.fail("answer not-implemented", describeReply(s.lastCall));
      }
    };
  }
  const ChannelValue expected = r.value();
  return [&s, reply, expected] {
    const std::optional<DecodedReply> got = reply();
    if (!got || got->kind != DecodedReply::Kind::kSuccess || !(got->value == expected)) {
      s.fail("answer " + describe(expected), describeReply(s.lastCall));
    }
  };
}

Command readExpectNoAnswer(ScenarioState& s, LineReader&) {
  return [&s] {
    if (!s.lastCall || !s.lastCall->replies.empty()) {
      s.fail("no answer", describeReply(s.lastCall));
    }
  };
}

Command readExpectUi(ScenarioState& s, LineReader& r) {
  std::vector<std::string> want;
  if (r.peekWord("none")) {
    r.word("none");
  } else {
    do {
      const std::string method = r.word("a method name or none");
      want.push_back(method + " " + describe(r.value()));
    } while (!r.atEnd());
  }
  return [&s, want] {
    std::vector<std::string> got;
    for (const UiMessage& message :
         ScenarioState::unread(s.desktop.engine().received(), s.uiRead)) {
      got.push_back(message.call.method + " " + describe(message.call.arguments));
    }
    if (got != want) s.fail("ui " + join(want), join(got));
  };
}

// ---- The panel --------------------------------------------------------------

Command readExpectPanel(ScenarioState& s, LineReader& r) {
  const std::string state = r.oneOf({"visible", "hidden", "size", "centred", "key"});
  double width = 0;
  double height = 0;
  if (state == "size") {
    width = r.number("a width");
    height = r.number("a height");
  }
  return [&s, state, width, height] {
    SimPanel* panel = s.desktop.windows().panel();
    if (!panel) {
      s.fail("panel " + state, "no panel");
      return;
    }
    const Rect frame = panel->frame();
    const bool key = s.desktop.windows().isKey(panel);
    const Size screen = s.desktop.windows().screen;
    const bool holds = state == "visible"  ? panel->isVisible()
                       : state == "hidden" ? !panel->isVisible()
                       : state == "size"   ? frame.size == Size{width, height}
                       : state == "centred"
                           ? frame.origin == Point{(screen.width - frame.size.width) / 2,
                                                   (screen.height - frame.size.height) / 2}
                           : key;
    if (holds) return;
    const std::string want =
        state == "size" ? "size " + formatNumber(width) + " " + formatNumber(height) : state;
    s.fail("panel " + want,
           "a " + formatNumber(frame.size.width) + " × " + formatNumber(frame.size.height) +
               " panel at (" + formatNumber(frame.origin.x) + ", " + formatNumber(frame.origin.y) +
               ")" + (panel->isVisible() ? ", visible" : ", hidden") + (key ? ", key" : ""));
  };
}

// A property of the panel: what the line wants against what `show` shows.
Command expectPanelShows(ScenarioState& s, std::string property, std::string want,
                         std::string (*show)(ScenarioState&, SimPanel&)) {
  return expectShown(s, "panel " + property, std::move(want), [&s, show] {
    SimPanel* panel = s.desktop.windows().panel();
    return panel ? show(s, *panel) : std::string("no panel");
  });
}

constexpr FlagName kStyleNames[] = {
    {"titled", kWindowStyleMaskTitled},
    {"closable", kWindowStyleMaskClosable},
    {"miniaturizable", kWindowStyleMaskMiniaturizable},
    {"resizable", kWindowStyleMaskResizable},
    {"nonactivating", kWindowStyleMaskNonactivatingPanel},
    {"full-size-content", kWindowStyleMaskFullSizeContentView},
};

Command readExpectPanelStyle(ScenarioState& s, LineReader& r) {
  return expectPanelShows(
      s, "style", nameFlags(readFlags(r, kStyleNames), kStyleNames),
      [](ScenarioState&, SimPanel& p) { return nameFlags(p.styleMask, kStyleNames); });
}

std::string nameLevel(WindowLevel level) {
  if (level == kNormalWindowLevel) return "normal";
  if (level == kFloatingWindowLevel) return "floating";
  return std::to_string(level);
}

Command readExpectPanelLevel(ScenarioState& s, LineReader& r) {
  std::string want;
  if (r.peekWord("floating") || r.peekWord("normal")) {
    want = r.word("floating|normal");
  } else {
    want = nameLevel(r.integer("floating, normal or a level number"));
  }
  return expectPanelShows(s, "level", want,
                          [](ScenarioState&, SimPanel& p) { return nameLevel(p.level); });
}

constexpr FlagName kCollectionNames[] = {
    {"all-spaces", kWindowCollectionBehaviorCanJoinAllSpaces},
    {"move-to-active-space", 1 << 1},
    {"managed", 1 << 2},
    {"transient", kWindowCollectionBehaviorTransient},
    {"stationary", 1 << 4},
    {"participates-in-cycle", 1 << 5},
    {"ignores-cycle", 1 << 6},
    {"full-screen-primary", 1 << 7},
    {"full-screen-auxiliary", kWindowCollectionBehaviorFullScreenAuxiliary},
};

Command readExpectPanelCollection(ScenarioState& s, LineReader& r) {
  return expectPanelShows(s, "collection",
                          nameFlags(readFlags(r, kCollectionNames), kCollectionNames),
                          [](ScenarioState&, SimPanel& p) {
                            return nameFlags(p.collectionBehavior, kCollectionNames);
                          });
}

Command readExpectPanelTitle(ScenarioState& s, LineReader& r) {
  const std::string title = r.string("the panel's title");
  const std::string visibility = r.oneOf({"visible", "hidden"});
  return expectPanelShows(
      s, "title", quote(title) + " " + visibility, [](ScenarioState&, SimPanel& p) {
        return quote(p.title) + " " +
               (p.titleVisibility == WindowTitleVisibility::kHidden ? "hidden" : "visible");
      });
}

std::string nameSeparator(TitlebarSeparatorStyle style) {
  switch (style) {
    case TitlebarSeparatorStyle::kAutomatic:
      return "automatic";
    case TitlebarSeparatorStyle::kNone:
      return "none";
    case TitlebarSeparatorStyle::kLine:
      return "line";
    case TitlebarSeparatorStyle::kShadow:
      return "shadow";
  }
  return "?";
}

Command readExpectPanelTitlebar(ScenarioState& s, LineReader& r) {
  std::string want = r.oneOf({"transparent", "plain"});
  r.keyword("separator");
  want += " separator " + r.oneOf({"automatic", "none", "line", "shadow"});
  return expectPanelShows(s, "titlebar", want, [](ScenarioState&, SimPanel& p) {
    return std::string(p.titlebarAppearsTransparent ? "transparent" : "plain") + " separator " +
           nameSeparator(p.titlebarSeparatorStyle);
  });
}

// A yes-or-no property of the panel, named as the line names it.
template <bool SimPanel::*kProperty, const char* kName>
Command readExpectPanelYesNo(ScenarioState& s, LineReader& r) {
  return expectPanelShows(s, kName, yesNo(r.yesOrNo()),
                          [](ScenarioState&, SimPanel& p) { return yesNo(p.*kProperty); });
}

constexpr char kMovesByBackground[] = "moves-by-background";
constexpr char kHidesOnDeactivate[] = "hides-on-deactivate";
constexpr char kFloatingPanel[] = "floating-panel";
constexpr char kOpaque[] = "opaque";
constexpr char kShadow[] = "shadow";

std::string nameColour(Color colour) {
  return colour == Color::kClear ? "clear" : "default";
}

Command readExpectPanelBackgroundColour(ScenarioState& s, LineReader& r) {
  return expectPanelShows(
      s, "background-colour", r.oneOf({"clear", "default"}),
      [](ScenarioState&, SimPanel& p) { return nameColour(p.backgroundColor); });
}

// The translucent background: the content view's back-most subview, a
// visual-effect view pinned to all four of its edges.
std::string showBackgroundView(ScenarioState& s, SimPanel& panel) {
  const std::shared_ptr<View> content = panel.contentView();
  const auto* contentView = dynamic_cast<const SimView*>(content.get());
  if (!contentView || contentView->subviews.empty()) return "none";
  const auto* effect =
      dynamic_cast<const SimVisualEffectView*>(contentView->subviews.front().get());
  if (!effect) return "none";
  std::string shown = std::string(effect->blendingMode == VisualEffectBlendingMode::kBehindWindow
                                      ? "behind-window"
                                      : "within-window") +
                      (effect->state == VisualEffectState::kActive     ? " active"
                       : effect->state == VisualEffectState::kInactive ? " inactive"
                                                                       : " follows-window") +
                      (effect->material == VisualEffectMaterial::kSidebar    ? " sidebar"
                       : effect->material == VisualEffectMaterial::kTitlebar ? " titlebar"
                       : effect->material == VisualEffectMaterial::kMenu     ? " menu"
                                                                             : " selection");
  const std::vector<LayoutAnchor> allEdges{LayoutAnchor::kTop, LayoutAnchor::kBottom,
                                           LayoutAnchor::kLeading, LayoutAnchor::kTrailing};
  const bool pinned = std::any_of(s.desktop.windows().constraintBatches.begin(),
                                  s.desktop.windows().constraintBatches.end(),
                                  [&](const std::vector<LayoutConstraint>& batch) {
                                    std::vector<LayoutAnchor> edges;
                                    for (const LayoutConstraint& c : batch) {
                                      if (c.first.get() == effect && c.second == content)
                                        edges.push_back(c.anchor);
                                    }
                                    std::sort(edges.begin(), edges.end());
                                    return edges == allEdges;
                                  });
  if (!pinned) shown += ", not pinned to the edges";
  if (effect->translatesAutoresizingMaskIntoConstraints)
    shown += ", sized by its autoresizing mask";
  return shown;
}

Command readExpectPanelBackgroundView(ScenarioState& s, LineReader& r) {
  std::string want;
  if (r.peekWord("none")) {
    want = r.word("none");
  } else {
    want = r.oneOf({"behind-window", "within-window"});
    want += " " + r.oneOf({"active", "inactive", "follows-window"});
    want += " " + r.oneOf({"sidebar", "titlebar", "menu", "selection"});
  }
  return expectPanelShows(s, "background-view", want, showBackgroundView);
}

Command readExpectPanelContent(ScenarioState& s, LineReader& r) {
  std::string want = r.oneOf({"ui", "none"});
  if (want == "ui") want += " " + r.oneOf({"clear", "default"});
  return expectPanelShows(s, "content", want, [](ScenarioState& s, SimPanel& panel) {
    const std::shared_ptr<View> content = panel.contentView();
    if (!content) return std::string("none");
    const auto& controllers = s.desktop.engine().viewControllers();
    const auto ui = std::find_if(controllers.begin(), controllers.end(), [&](const auto& vc) {
      return vc == panel.contentViewController && vc->view() == content;
    });
    if (ui == controllers.end()) return std::string("a view other than the UI's");
    return "ui " + nameColour((*ui)->backgroundColor);
  });
}

// ---- The main window, the engine and the delegate ----------------------------

Command readExpectMainWindow(ScenarioState& s, LineReader& r) {
  return expectShown(s, "main-window", r.oneOf({"hidden", "visible", "key"}), [&s]() {
    const SimMainWindow* window = s.desktop.simMainWindow();
    if (!window) return std::string("no main window");
    if (s.desktop.windows().keyWindow == window) return std::string("key");
    return std::string(window->isVisible() ? "visible" : "hidden");
  });
}

std::string nameFrame(Rect frame) {
  return formatNumber(frame.origin.x) + " " + formatNumber(frame.origin.y) + " " +
         formatNumber(frame.size.width) + " " + formatNumber(frame.size.height);
}

Command readExpectMainWindowFrame(ScenarioState& s, LineReader& r) {
  Rect frame;
  frame.origin.x = r.number("an x");
  frame.origin.y = r.number("a y");
  frame.size.width = r.number("a width");
  frame.size.height = r.number("a height");
  return expectShown(s, "main-window frame", nameFrame(frame), [&s] {
    const SimMainWindow* window = s.desktop.simMainWindow();
    return window ? nameFrame(window->frame()) : std::string("no main window");
  });
}

Command readExpectPlugins(ScenarioState& s, LineReader& r) {
  std::vector<std::string> want;
  if (r.peekWord("none")) {
    r.word("none");
  } else {
    do {
      want.push_back(r.word("a plug-in's key"));
    } while (!r.atEnd());
  }
  return expectShown(s, "plugins", join(want, " "), [&s] {
    std::vector<std::string> got;
    for (const RegisteredPlugin& plugin : s.desktop.engine().registeredPlugins()) {
      got.push_back(plugin.registrarKey == plugin.className
                        ? plugin.registrarKey
                        : plugin.registrarKey + "(as " + plugin.className + ")");
    }
    return join(got, " ");
  });
}

Command readExpectChannels(ScenarioState& s, LineReader& r) {
  std::vector<std::string> want;
  if (r.peekWord("none")) {
    r.word("none");
  } else {
    do {
      want.push_back(quote(r.string("a channel's name")));
    } while (!r.atEnd());
  }
  return expectShown(s, "channels", join(want, " "), [&s] {
    std::vector<std::string> got;
    for (const std::string& name : s.desktop.engine().channelsOpened()) {
      got.push_back(quote(name) + (s.desktop.engine().hasHandler(name) ? "" : "(no handler)"));
    }
    return join(got, " ");
  });
}

Command readExpectEngineLaunched(ScenarioState& s, LineReader& r) {
  return expectShown(s, "engine launched", std::to_string(r.count("a number of times")),
                     [&s] { return std::to_string(s.desktop.engine().baseLaunchNotifications()); });
}

// One of the delegate's answers to the application object.
Command expectDelegateAnswer(ScenarioState& s, std::string question, bool want,
                             bool (*answer)(const AppDelegate&)) {
  return expectShown(s, "delegate " + question, yesNo(want), [&s, answer] {
    const std::shared_ptr<AppDelegate> delegate = s.desktop.delegate();
    return delegate ? yesNo(answer(*delegate)) : std::string("no delegate");
  });
}

Command readExpectDelegateTerminates(ScenarioState& s, LineReader& r) {
  return expectDelegateAnswer(
      s, "terminates-after-last-window", r.yesOrNo(),
      [](const AppDelegate& d) { return d.applicationShouldTerminateAfterLastWindowClosed(); });
}

Command readExpectDelegateRestorable(ScenarioState& s, LineReader& r) {
  return expectDelegateAnswer(s, "secure-restorable-state", r.yesOrNo(), [](const AppDelegate& d) {
    return d.applicationSupportsSecureRestorableState();
  });
}

// ---- Applications -----------------------------------------------------------

Command readExpectActive(ScenarioState& s, LineReader& r) {
  return expectShown(s, "active", r.word("host or an application name"), [&s] {
    SimApp* front = s.desktop.workspace().frontmost();
    return front ? front->name : std::string("none");
  });
}

Command readExpectLastActive(ScenarioState& s, LineReader& r) {
  const std::string name = r.word("an application name or none");
  return expectShown(s, "last-active", name, [&s, name] {
    const std::shared_ptr<AppDelegate> host = s.desktop.delegate();
    if (!host || !host->lastActiveApp) return std::string("none");
    const ProcessId pid = host->lastActiveApp->processIdentifier();
    if (const SimApp* app = s.desktop.workspace().find(name); app && app->pid == pid) return name;
    const SimApp* running = s.desktop.workspace().findByPid(pid);
    return running ? running->name : "pid " + std::to_string(pid);
  });
}

constexpr FlagName kActivationOptionNames[] = {
    {"all-windows", 1 << 0},
    {"ignoring-other-apps", kApplicationActivateIgnoringOtherApps},
};

std::string nameActivationOptions(ApplicationActivationOptions options) {
  return options ? nameFlags(options, kActivationOptionNames) : "no-options";
}

Command readExpectActivated(ScenarioState& s, LineReader& r) {
  std::vector<std::string> want;
  if (r.peekWord("none")) {
    r.word("none");
  } else {
    do {
      const std::string name = r.word("an application name");
      ApplicationActivationOptions options = 0;
      if (r.peekWord("no-options")) {
        r.word("no-options");
      } else {
        do {
          const std::string word = r.word("all-windows|ignoring-other-apps|no-options");
          const std::optional<std::uint64_t> bit = flagNamed(word, kActivationOptionNames);
          if (!bit) {
            throw ReadError("expected all-windows|ignoring-other-apps|no-options, found \"" + word +
                            "\"");
          }
          options |= *bit;
        } while (r.peek() && r.peek()->kind == Token::Kind::kWord &&
                 flagNamed(r.peek()->text, kActivationOptionNames));
      }
      want.push_back(name + " " + nameActivationOptions(options));
    } while (!r.atEnd());
  }
  return [&s, want] {
    std::vector<std::string> got;
    for (const ActivationRequest& request :
         ScenarioState::unread(s.desktop.workspace().activationRequests, s.activationsRead)) {
      got.push_back(request.app + " " + nameActivationOptions(request.options));
    }
    if (got != want) s.fail("activated " + join(want), join(got));
  };
}

Command readExpectDocument(ScenarioState& s, LineReader& r) {
  const std::string name = r.word("an application name");
  const std::string text = r.string("the document's text");
  return expectShown(s, "document " + name, quote(text), [&s, name] {
    const SimApp* app = s.desktop.workspace().find(name);
    return app ? quote(app->document) : "no application " + name;
  });
}

// ---- Keystrokes -------------------------------------------------------------

constexpr std::array<std::pair<std::string_view, std::optional<EventSourceState>>, 4> kSources{{
    {"private", EventSourceState::kPrivate},
    {"combined-session", EventSourceState::kCombinedSessionState},
    {"hid-system", EventSourceState::kHIDSystemState},
    {"none", std::nullopt},
}};

std::string nameSource(std::optional<EventSourceState> state) {
  for (const auto& [name, source] : kSources) {
    if (source == state) return std::string(name);
  }
  return "state " + std::to_string(static_cast<int>(*state));
}

// A keystroke as an expectation states it; unstated parts match anything.
struct ExpectedKeystroke {
  bool toProcess;
  std::optional<std::string> target;  // nothing: whoever it reached
  KeyCode keyCode;
  EventFlags flags;
  std::optional<std::optional<EventSourceState>> source;  // nothing: not stated
};

// A key-down and its key-up, or a lone half, as they were posted.
struct PostedKeystroke {
  PostedKey key;
  bool both;
};

std::vector<PostedKeystroke> keystrokes(std::span<const PostedKey> posted) {
  std::vector<PostedKeystroke> result;
  for (const PostedKey& key : posted) {
    if (!key.keyDown && !result.empty() && !result.back().both && result.back().key.keyDown) {
      const PostedKey& down = result.back().key;
      if (down.keyCode == key.keyCode && down.flags == key.flags && down.pid == key.pid &&
          down.receiver == key.receiver && down.source == key.source) {
        result.back().both = true;
        continue;
      }
    }
    result.push_back({key, false});
  }
  return result;
}

// A keystroke as the line writes it: where it went, and the combination.
struct ShownKeystroke {
  std::string target;
  std::string combination;
};

// Who a keystroke reached: an application, nobody, or for one posted to a
// process that is not there, that process.
std::string reachedBy(const PostedKey& key) {
  if (!key.receiver.empty()) return key.receiver;
  if (key.pid && !key.dropped) return "pid " + std::to_string(*key.pid);
  return "nobody";
}

ShownKeystroke showKeystroke(const PostedKeystroke& k, bool withSource) {
  std::string target = withSource ? "from " + nameSource(k.key.source) + " " : "";
  target += (k.key.pid ? "to " : "into ") + reachedBy(k.key);
  std::string combination = nameKeystroke(k.key.keyCode, k.key.flags);
  if (!k.both) combination += k.key.keyDown ? "(down only)" : "(up only)";
  return {target, combination};
}

ShownKeystroke showExpected(const ExpectedKeystroke& k) {
  std::string target = k.source ? "from " + nameSource(*k.source) + " " : "";
  if (k.toProcess) {
    target += "to " + *k.target;
  } else {
    target += k.target ? "into " + *k.target : std::string("hid");
  }
  return {target, nameKeystroke(k.keyCode, k.flags)};
}

// Keystrokes that went the same way one after the other share their target:
// "to Notes cmd+c cmd+c, hid cmd+v".
std::string joinKeystrokes(const std::vector<ShownKeystroke>& keystrokes) {
  std::vector<std::string> groups;
  for (std::size_t i = 0; i < keystrokes.size(); ++i) {
    if (i > 0 && keystrokes[i].target == keystrokes[i - 1].target) {
      groups.back() += " " + keystrokes[i].combination;
    } else {
      groups.push_back(keystrokes[i].target + " " + keystrokes[i].combination);
    }
  }
  return join(groups);
}

bool matches(const ExpectedKeystroke& want, const PostedKeystroke& got) {
  return got.both && want.toProcess == got.key.pid.has_value() &&
         (!want.target || *want.target == reachedBy(got.key)) && want.keyCode == got.key.keyCode &&
         want.flags == got.key.flags && (!want.source || *want.source == got.key.source);
}

Command readExpectKeys(ScenarioState& s, LineReader& r) {
  std::vector<ExpectedKeystroke> want;
  if (r.peekWord("none")) {
    r.word("none");
  } else {
    std::optional<std::optional<EventSourceState>> source;
    do {
      if (r.peekWord("from")) {
        r.word("from");
        const std::string name = r.oneOf({"private", "combined-session", "hid-system", "none"});
        for (const auto& [sourceName, state] : kSources) {
          if (sourceName == name) source = state;
        }
      }
      ExpectedKeystroke target{true, std::nullopt, 0, 0, source};
      if (r.peekWord("hid")) {
        r.word("hid");
        target.toProcess = false;
      } else if (r.peekWord("into")) {
        r.word("into");
        target.toProcess = false;
        target.target = r.word("an application name or nobody");
      } else {
        if (r.peekWord("to")) r.word("to");
        target.target = r.word("an application name, to NAME, into NAME or hid");
      }
      // Combinations until the next word that names no key.
      do {
        const KeyCombination combination = r.combination("a key combination such as cmd+c");
        target.keyCode = combination.keyCode;
        target.flags = combination.eventFlags;
        want.push_back(target);
      } while (r.peek() && r.peek()->kind == Token::Kind::kWord &&
               std::holds_alternative<KeyCombination>(parseKeyCombination(r.peek()->text)));
    } while (!r.atEnd());
  }
  return [&s, want] {
    const std::vector<PostedKeystroke> got =
        keystrokes(ScenarioState::unread(s.desktop.keyboard().posted(), s.keysRead));
    bool holds = got.size() == want.size();
    for (std::size_t i = 0; holds && i < got.size(); ++i) holds = matches(want[i], got[i]);
    if (holds) return;
    const bool withSource =
        std::any_of(want.begin(), want.end(), [](const auto& k) { return k.source.has_value(); });
    std::vector<ShownKeystroke> wanted;
    for (const ExpectedKeystroke& k : want) wanted.push_back(showExpected(k));
    std::vector<ShownKeystroke> shown;
    for (const PostedKeystroke& k : got) shown.push_back(showKeystroke(k, withSource));
    s.fail("keys " + joinKeystrokes(wanted), joinKeystrokes(shown));
  };
}

// ---- Trust, drags and standard output -----------------------------------------

Command readExpectPrompts(ScenarioState& s, LineReader& r) {
  return expectShown(s, "prompts", std::to_string(r.count("a number of prompts")),
                     [&s] { return std::to_string(s.desktop.accessibility().prompts); });
}

Command readExpectTrustChecks(ScenarioState& s, LineReader& r) {
  return expectShown(s, "trust-checks", std::to_string(r.count("a number of checks")),
                     [&s] { return std::to_string(s.desktop.accessibility().silentChecks); });
}

Command readExpectDrags(ScenarioState& s, LineReader& r) {
  return expectShown(s, "drags", std::to_string(r.count("a number of drags")), [&s] {
    const SimPanel* panel = s.desktop.windows().panel();
    return std::to_string(panel ? panel->dragsStarted : 0);
  });
}

// The next line the host wrote to one of its streams, or that none is left.
Command expectNextLine(ScenarioState& s, LineReader& r, std::string stream,
                       std::vector<std::string> SimStandardOutput::*lines,
                       std::size_t ScenarioState::*read) {
  std::optional<std::string> line;
  if (r.peekWord("none")) {
    r.word("none");
  } else {
    line = r.string("the line");
  }
  return [&s, line, stream, lines, read] {
    const std::vector<std::string>& written = s.desktop.standardOutput().*lines;
    std::size_t& next = s.*read;
    const std::optional<std::string> got =
        next < written.size() ? std::optional<std::string>(written[next]) : std::nullopt;
    if (line) {
      if (got) ++next;
      if (got != line) s.fail(stream + " " + quote(*line), got ? quote(*got) : "no line");
    } else if (got) {
      s.fail("no line on " + stream, quote(*got));
    }
  };
}

Command readExpectStdout(ScenarioState& s, LineReader& r) {
  return expectNextLine(s, r, "stdout", &SimStandardOutput::lines, &ScenarioState::stdoutRead);
}

Command readExpectStderr(ScenarioState& s, LineReader& r) {
  return expectNextLine(s, r, "stderr", &SimStandardOutput::errorLines, &ScenarioState::stderrRead);
}

// ---- The menu bar and the status item ----------------------------------------

Command readExpectMenubar(ScenarioState& s, LineReader& r) {
  const std::string kind = r.oneOf({"image", "title", "none"});
  const std::string text =
      kind == "none" ? "" : r.string(kind == "image" ? "the symbol's name" : "the title");
  return [&s, kind, text] {
    const std::string got = s.desktop.statusBar().shows();
    if (kind == "none" ? !got.empty() : got != kind + " " + text) {
      s.fail("menubar " + (kind == "none" ? kind : kind + " " + quote(text)),
             got.empty() ? "nothing" : got);
    }
  };
}

// What the host's status item shows in one respect, or that it has none.
Command expectStatusItem(ScenarioState& s, std::string what, std::string want,
                         std::string (*show)(SimStatusItem&)) {
  return expectShown(s, "status-item " + what, std::move(want), [&s, show] {
    SimStatusItem* item = s.desktop.statusBar().item();
    return item ? show(*item) : std::string("no status item");
  });
}

std::string nameLength(double length) {
  if (length == kSquareStatusItemLength) return "square";
  if (length == -1.0) return "variable";
  return formatNumber(length);
}

Command readExpectStatusItemLength(ScenarioState& s, LineReader& r) {
  std::string want;
  if (r.peekWord("square") || r.peekWord("variable")) {
    want = r.word("square|variable");
  } else {
    want = nameLength(r.number("square, variable or a length in points"));
  }
  return expectStatusItem(s, "length", want,
                          [](SimStatusItem& item) { return nameLength(item.length); });
}

Command readExpectStatusItemImage(ScenarioState& s, LineReader& r) {
  std::string want;
  if (r.peekWord("none")) {
    want = r.word("none");
  } else {
    want = quote(r.string("the symbol's name"));
    want += " " + quote(r.string("its accessibility description"));
    want += " " + r.oneOf({"template", "plain"});
  }
  return expectStatusItem(s, "image", want, [](SimStatusItem& item) {
    if (!item.simButton()) return std::string("no button");
    const std::shared_ptr<SimImage>& image = item.simButton()->image;
    if (!image) return std::string("none");
    return quote(image->symbolName) + " " + quote(image->accessibilityDescription) + " " +
           (image->isTemplate ? "template" : "plain");
  });
}

constexpr FlagName kMouseEventNames[] = {
    {"left-mouse-down", 1 << 1},
    {"left-mouse-up", kEventMaskLeftMouseUp},
    {"right-mouse-down", 1 << 3},
    {"right-mouse-up", kEventMaskRightMouseUp},
};

Command readExpectStatusItemActsOn(ScenarioState& s, LineReader& r) {
  return expectStatusItem(s, "acts-on", nameFlags(readFlags(r, kMouseEventNames), kMouseEventNames),
                          [](SimStatusItem& item) {
                            if (!item.simButton()) return std::string("no button");
                            if (!item.simButton()->action) return std::string("no action");
                            return nameFlags(item.simButton()->actionMask, kMouseEventNames);
                          });
}

Command readExpectMenu(ScenarioState& s, LineReader& r) {
  std::vector<std::string> want;
  do {
    const std::string title = r.string("an item's title");
    const std::string key = r.word("its key equivalent, such as cmd+q");
    want.push_back(quote(title) + " " + key);
  } while (!r.atEnd());
  return [&s, want] {
    std::vector<std::string> got;
    if (!s.desktop.statusBar().menusShown.empty()) {
      for (const MenuItem& item : s.desktop.statusBar().menusShown.back().items) {
        got.push_back(quote(item.title) + " " +
                      (item.keyEquivalent.empty() ? "none" : "cmd+" + item.keyEquivalent));
      }
    }
    if (got != want) s.fail("menu " + join(want), join(got));
  };
}

// ---- The hot key --------------------------------------------------------------

std::string nameSignature(FourCharCode code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) text += static_cast<char>((code >> shift) & 0xFF);
  return quote(text);
}

// The registration with what it needs to reach the host: a handler for
// hot-key presses on the same target, and the reference in the delegate.
std::string showHotKey(ScenarioState& s) {
  SimHotKeys& hotKeys = s.desktop.hotKeys();
  std::vector<std::string> shown;
  for (const HotKeyRegistration& registration : hotKeys.registrations()) {
    std::string text = nameHotKey(registration.keyCode, registration.modifiers) + " " +
                       nameSignature(registration.id.signature) + " " +
                       std::to_string(registration.id.id);
    if (registration.target != hotKeys.applicationEventTarget()) text += ", on another target";
    if (registration.options != kEventHotKeyNoOptions) text += ", with options";
    const bool handled = std::any_of(
        hotKeys.handlers().begin(), hotKeys.handlers().end(), [&](const InstalledHandler& h) {
          return h.target == registration.target &&
                 std::any_of(h.types.begin(), h.types.end(), [](const EventTypeSpec& t) {
                   return t.eventClass == kEventClassKeyboard && t.eventKind == kEventHotKeyPressed;
                 });
        });
    if (!handled) text += ", no handler for its presses";
    shown.push_back(text);
  }
  const std::shared_ptr<AppDelegate> delegate = s.desktop.delegate();
  const bool kept = delegate && delegate->hotKeyRef;
  if (shown.empty()) return kept ? "none, but a reference is kept" : "none";
  if (delegate && !kept) shown.back() += ", no reference kept";
  return join(shown);
}

Command readExpectHotKey(ScenarioState& s, LineReader& r) {
  std::string want;
  if (r.peekWord("none")) {
    want = r.word("none");
  } else {
    const KeyCombination combination = r.combination("a key combination such as cmd+shift+t");
    const std::string signature = r.string("the four-character signature");
    if (signature.size() != 4) throw ReadError("a signature has four characters");
    const std::int64_t id = r.count("the hot key's id");
    want = nameHotKey(combination.keyCode, combination.hotKeyModifiers) + " " + quote(signature) +
           " " + std::to_string(id);
  }
  return expectShown(s, "hotkey", want, [&s] { return showHotKey(s); });
}

std::string nameStatus(const std::optional<OSStatus>& status) {
  return status ? std::to_string(*status) : "unhandled";
}

Command readExpectHotKeyReturned(ScenarioState& s, LineReader& r) {
  std::vector<std::string> want;
  if (r.peekWord("none")) {
    r.word("none");
  } else {
    do {
      if (r.peekWord("unhandled")) {
        want.push_back(r.word("unhandled"));
      } else {
        want.push_back(std::to_string(r.integer("a status or unhandled")));
      }
    } while (!r.atEnd());
  }
  return [&s, want] {
    std::vector<std::string> got;
    for (const auto& status : ScenarioState::unread(s.pressStatuses, s.pressStatusesRead)) {
      got.push_back(nameStatus(status));
    }
    if (got != want) s.fail("hotkey returned " + join(want, " "), join(got, " "));
  };
}

// ---- Launch at login, reopen, quitting and time ---------------------------------

Command readExpectLoginCalls(ScenarioState& s, LineReader& r) {
  std::vector<std::string> want;
  if (r.peekWord("none")) {
    r.word("none");
  } else {
    do {
      want.push_back(r.oneOf({"register", "unregister", "status"}));
    } while (!r.atEnd());
  }
  return [&s, want] {
    const auto unread = ScenarioState::unread(s.desktop.loginItems().calls, s.loginCallsRead);
    const std::vector<std::string> got(unread.begin(), unread.end());
    if (got != want) s.fail("login-calls " + join(want, " "), join(got, " "));
  };
}

Command readExpectReopen(ScenarioState& s, LineReader& r) {
  return expectShown(s, "reopen", yesNo(r.yesOrNo()), [&s] {
    return s.lastReopen ? yesNo(*s.lastReopen) : std::string("no reopen");
  });
}

Command readExpectQuit(ScenarioState& s, LineReader& r) {
  const bool quits = r.yesOrNo();
  return [&s, quits] {
    if (s.desktop.application().terminated() != quits) {
      s.fail("quit " + yesNo(quits), quits ? "still running" : "quit");
    }
  };
}

Command readExpectTime(ScenarioState& s, LineReader& r) {
  const Seconds time = r.seconds("a time");
  return [&s, time] {
    if (s.desktop.now() != toSimTime(time)) {
      s.fail("time " + formatTime(toSimTime(time)), formatTime(s.desktop.now()));
    }
  };
}

constexpr CommandSpec kExpectations[] = {
    {"expect clipboard", "\"TEXT\"|TYPE=VALUE …|empty|items N|unchanged",
     "The clipboard's plain text, the bytes of any types, no items, N items, or the set-up one.",
     readExpectClipboard},
    {"expect answer", "VALUE|error \"CODE\" \"MESSAGE\"|not-implemented",
     "The answer to the last call or message from the UI.", readExpectAnswer},
    {"expect no answer", "", "The last call or message from the UI got no answer at all.",
     readExpectNoAnswer},
    {"expect ui", "METHOD VALUE …|none", "What the host sent the UI since the last `expect ui`.",
     readExpectUi},
    {"expect panel", "visible|hidden|size W H|centred|key",
     "The panel is on screen, off it, of that size, centred, or the key window.", readExpectPanel},
    {"expect panel style", "NAME …|none",
     "The panel's style: titled closable miniaturizable resizable nonactivating "
     "full-size-content.",
     readExpectPanelStyle},
    {"expect panel level", "floating|normal|N", "The panel's window level.", readExpectPanelLevel},
    {"expect panel collection", "NAME …|none",
     "Where the panel appears: all-spaces transient full-screen-auxiliary and the like.",
     readExpectPanelCollection},
    {"expect panel title", "\"TEXT\" visible|hidden", "The panel's title, and whether it shows.",
     readExpectPanelTitle},
    {"expect panel titlebar", "transparent|plain separator automatic|none|line|shadow",
     "How the panel's title bar is drawn.", readExpectPanelTitlebar},
    {"expect panel moves-by-background", "yes|no",
     "Whether dragging the panel's background moves it.",
     readExpectPanelYesNo<&SimPanel::movableByWindowBackground, kMovesByBackground>},
    {"expect panel hides-on-deactivate", "yes|no",
     "Whether the panel leaves the screen when the host is deactivated.",
     readExpectPanelYesNo<&SimPanel::hidesOnDeactivate, kHidesOnDeactivate>},
    {"expect panel floating-panel", "yes|no", "The panel's floating-panel property.",
     readExpectPanelYesNo<&SimPanel::floatingPanel, kFloatingPanel>},
    {"expect panel opaque", "yes|no", "Whether the panel is opaque.",
     readExpectPanelYesNo<&SimPanel::opaque, kOpaque>},
    {"expect panel shadow", "yes|no", "Whether the panel has a shadow.",
     readExpectPanelYesNo<&SimPanel::hasShadow, kShadow>},
    {"expect panel background-colour", "clear|default", "The panel's own background colour.",
     readExpectPanelBackgroundColour},
    {"expect panel background-view", "BLENDING STATE MATERIAL|none",
     "The visual-effect view behind the UI, pinned to the content view's edges.",
     readExpectPanelBackgroundView},
    {"expect panel content", "ui clear|ui default|none",
     "The panel's content view is the UI's view, with that background colour.",
     readExpectPanelContent},
    {"expect main-window", "hidden|visible|key", "The state of the host's main window.",
     readExpectMainWindow},
    {"expect main-window frame", "X Y W H", "The main window's frame.", readExpectMainWindowFrame},
    {"expect plugins", "KEY …|none", "The plug-ins registered with the UI engine, in order.",
     readExpectPlugins},
    {"expect channels", "\"NAME\" …|none",
     "The channels the host opened, in order, each with a handler.", readExpectChannels},
    {"expect engine launched", "N",
     "How often the UI engine's delegate heard that launching finished.", readExpectEngineLaunched},
    {"expect delegate terminates-after-last-window", "yes|no",
     "The delegate's answer to whether closing the last window ends the application.",
     readExpectDelegateTerminates},
    {"expect delegate secure-restorable-state", "yes|no",
     "The delegate's answer to whether it supports secure restorable state.",
     readExpectDelegateRestorable},
    {"expect active", "host|NAME", "The frontmost, active application.", readExpectActive},
    {"expect last-active", "NAME|none", "The application the host would copy from and paste to.",
     readExpectLastActive},
    {"expect activated", "NAME OPTION …|none",
     "Applications the host activated since the last `expect activated`, with the options.",
     readExpectActivated},
    {"expect document", "NAME \"TEXT\"", "What pasting has put into an application's document.",
     readExpectDocument},
    {"expect keys", "[from SOURCE] NAME|to NAME|into NAME|hid COMBINATION …|none",
     "Keystrokes posted since the last `expect keys`: route, target, flags, source.",
     readExpectKeys},
    {"expect prompts", "N", "How often the system asked the user to grant the trust.",
     readExpectPrompts},
    {"expect trust-checks", "N", "How many silent Accessibility checks the host made.",
     readExpectTrustChecks},
    {"expect drags", "N", "How many drags of the panel the host started.", readExpectDrags},
    {"expect stdout", "\"LINE\"|none", "The next line on standard output, or that none is left.",
     readExpectStdout},
    {"expect stderr", "\"LINE\"|none", "The next line on standard error, or that none is left.",
     readExpectStderr},
    {"expect menubar", "image|title \"TEXT\"|none",
     "What the menu bar shows for the host, if anything.", readExpectMenubar},
    {"expect status-item length", "square|variable|N", "The status item's length.",
     readExpectStatusItemLength},
    {"expect status-item image", "\"SYMBOL\" \"DESCRIPTION\" template|plain|none",
     "The image on the status item's button.", readExpectStatusItemImage},
    {"expect status-item acts-on", "EVENT …|none",
     "The mouse events on which the status item's button sends its action.",
     readExpectStatusItemActsOn},
    {"expect menu", "\"TITLE\" KEY …", "The items of the menu that popped up last.",
     readExpectMenu},
    {"expect hotkey", "COMBINATION \"SIGNATURE\" ID|none",
     "The hot key registered, with a handler for its presses, and its reference kept.",
     readExpectHotKey},
    {"expect hotkey returned", "STATUS …|none",
     "What the hot-key handler returned for each press since the last such expectation.",
     readExpectHotKeyReturned},
    {"expect login-calls", "register|unregister|status …|none",
     "What the host asked of the login-item service since the last `expect login-calls`.",
     readExpectLoginCalls},
    {"expect reopen", "yes|no", "The delegate's answer to the last reopen.", readExpectReopen},
    {"expect quit", "yes|no", "Whether the host has quit.", readExpectQuit},
    {"expect time", "S", "The virtual time now, in seconds.", readExpectTime},
};

}  // namespace

std::span<const CommandSpec> expectationCommands() {
  return kExpectations;
}

}  // namespace brimlane::sim::cli
