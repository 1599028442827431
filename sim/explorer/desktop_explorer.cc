#include "sim/explorer/desktop_explorer.h"

#include <algorithm>

#include "sim/describe.h"
#include "sim/standard_codec.h"

namespace brimlane::sim {
namespace {

using namespace std::chrono_literals;

const std::string kSelectionChannel = "com.brimlane.app/selection";
const std::string kSystemChannel = "com.brimlane.app/system";

// Set by the wipe hook when a released snapshot buffer was not all zeros.
bool unwipedBytesSeen = false;

void checkWiped(const std::uint8_t* data, std::size_t size) {
  if (!std::all_of(data, data + size, [](std::uint8_t b) { return b == 0; })) {
    unwipedBytesSeen = true;
  }
}

// What a restore can give back of a clipboard: the readable types of each
// item, in any order, and only items with one.
std::vector<SimPasteboardItem> restorable(std::vector<SimPasteboardItem> items) {
  for (SimPasteboardItem& item : items) {
    std::erase_if(item.types, [](const SimPasteboardType& t) { return !t.data; });
    std::sort(item.types.begin(), item.types.end(),
              [](const auto& a, const auto& b) { return a.type < b.type; });
    // A repeated type is offered once, with the bytes the owner gives for it.
    item.types.erase(std::unique(item.types.begin(), item.types.end(),
                                 [](const auto& a, const auto& b) { return a.type == b.type; }),
                     item.types.end());
  }
  std::erase_if(items, [](const SimPasteboardItem& item) { return item.types.empty(); });
  return items;
}

}  // namespace

std::uint32_t RandomChoices::next(std::uint32_t bound) {
  return static_cast<std::uint32_t>(generator_() % bound);
}

std::uint32_t ByteChoices::next(std::uint32_t bound) {
  if (exhausted()) return 0;
  return bytes_[position_++] % bound;
}

DesktopExplorer::DesktopExplorer(ChoiceSource& choices) : choices_(choices) {
  unwipedBytesSeen = false;
  WipedBytes::onWiped = checkWiped;
  for (const char* name : {"Notes", "Mail", "Editor"}) {
    SimApp& app = desktop_.launchApp(name);
    app.selection = std::string("selection in ") + name;
    apps_.push_back(&app);
  }
  userClipboard_ = {SimPasteboardItem::plainText("the user's own clipboard")};
  desktop_.pasteboard().setItems(userClipboard_, "The user");

  desktop_.keyboard().onPost = [this](const PostedKey& key) {
    check(!goneAtEvent_, "a keystroke was posted after the host was gone");
    // The host posts two keystrokes, the copy to one process and the paste
    // into the input stream. Each must mean that in the user's layout, or the
    // application does something else (Command-J on Dvorak for the key of C
    // on a US keyboard).
    const bool paste = !key.pid;
    const KeyboardLayout layout = desktop_.keyboard().layout();
    const std::optional<char> meaning = characterWithCommand(layout, key.keyCode);
    check(meaning == (paste ? 'v' : 'c'),
          std::string(paste ? "Command-V" : "Command-C") + " was posted on the key labelled " +
              usKeyName(key.keyCode) + ", which is " +
              (meaning ? "cmd+" + std::string(1, *meaning) : std::string("no shortcut")) + " in " +
              std::string(describe(layout)));
    if (paste && key.keyDown && pastedText_) {
      // Whatever else came and went, the paste types the latest text.
      check(desktop_.pasteboard().stringForTypeString() == *pastedText_,
            "Command-V was typed with something else than the pasted text on the pasteboard");
    }
    // The paste step does not ask for the trust again before its keystroke,
    // so the host may post one after the trust was taken back; whatever it
    // posts, nothing may reach an application then.
    check(key.receiver.empty() || desktop_.accessibility().trusted(),
          "a keystroke reached " + key.receiver + " while the host was not trusted");
    if (!paste) {
      const std::shared_ptr<AppDelegate> host = desktop_.delegate();
      check(host && host->lastActiveApp && host->lastActiveApp->processIdentifier() == *key.pid,
            "Command-C went to a process other than the recorded application's");
      check(!host || !host->lastActiveApp || !host->lastActiveApp->isTerminated(),
            "Command-C was posted to an application that has quit");
    }
    if (paste && key.keyDown) checkPasteTarget();
  };
  desktop_.pasteboard().onForeignWrite = [this] {
    if (desktop_.scheduler().mainThreadSleeping()) {
      // During a capture: the capture's restore puts the user's clipboard
      // back over whatever lands now.
      return;
    }
    // A paste typed after this finds this on the pasteboard, not its text.
    pastedText_.reset();
    if (desktop_.scheduler().pendingMainTasks() > 0) {
      // A paste-back still has the user's clipboard to give back and will
      // give back what it saved, not this.
      disturbed_ = true;
      return;
    }
    userClipboard_ = desktop_.pasteboard().items();
  };

  desktop_.activate(*apps_[0]);
  desktop_.launch();
  desktop_.activate(*apps_[0]);
}

DesktopExplorer::~DesktopExplorer() {
  WipedBytes::onWiped = nullptr;
}

void DesktopExplorer::check(bool holds, const std::string& broken) {
  if (!holds && !broken_) {
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", toSeconds(desktop_.now()));
    broken_ = broken + " (at " + time + " s, step " + std::to_string(steps_.size()) + ")";
  }
}

// Paste steps run in the order of their pastes, each at its due time or, after
// a capture held the main thread, later. A step whose application has quit
// types nothing, and nothing else changes between the steps of one instant,
// so a keystroke belongs to the oldest paste due by now whose application
// still runs; those before it that are due and whose application has quit
// typed nothing.
void DesktopExplorer::checkPasteTarget() {
  while (!pendingPastes_.empty() && pendingPastes_.front().due <= desktop_.now() &&
         pendingPastes_.front().target->isTerminated()) {
    pendingPastes_.pop_front();
  }
  const bool owned = !pendingPastes_.empty() && pendingPastes_.front().due <= desktop_.now();
  check(owned, "Command-V was posted while the recorded application of its paste had quit");
  if (owned) pendingPastes_.pop_front();
}

void DesktopExplorer::checkReply(const UiCallOutcome& outcome, const std::string& what) {
  if (!outcome.delivered) {
    check(goneAtEvent_.has_value() || desktop_.delegate() == nullptr, what + " reached no handler");
    return;
  }
  check(outcome.replies.size() == 1,
        what + " got " + std::to_string(outcome.replies.size()) + " replies");
  check(outcome.repliesBeforeReturn == 1, what + " was not answered before its handler returned");
  check(outcome.reply().has_value(), what + " got a reply that does not decode");
}

std::optional<std::string> DesktopExplorer::run(std::size_t maxSteps) {
  for (std::size_t i = 0; i < maxSteps && !choices_.exhausted() && !broken_; ++i) step();
  if (!broken_) settle();
  if (!broken_ && desktop_.delegate()) {
    // Releasing the host drops every snapshot it still holds.
    steps_.push_back("the host is released");
    goneAtEvent_ = desktop_.timeline().events().size();
    desktop_.releaseDelegate();
    settle();
  }
  check(!unwipedBytesSeen, "a released snapshot was not zeroed");
  return broken_;
}

void DesktopExplorer::settle() {
  desktop_.runUntilIdle();
  checkClipboardAtRest();
}

void DesktopExplorer::checkClipboardAtRest() {
  Scheduler& scheduler = desktop_.scheduler();
  if (scheduler.pendingMainTasks() > 0 || scheduler.pendingWorldTasks() > 0) return;
  check(scheduler.longestMainTask() <= 1s, "the main thread was blocked for more than 1 s");
  if (goneAtEvent_) {
    for (std::size_t i = *goneAtEvent_; i < desktop_.timeline().events().size(); ++i) {
      const TimelineEvent& e = desktop_.timeline().events()[i];
      check(!(e.source == Source::kPasteboard && e.event != "replaced"),
            "the host touched the pasteboard after it was gone: " + e.details);
    }
  }
  const std::vector<SimPasteboardItem> expected = restorable(userClipboard_);
  // With nothing saved, nothing is given back: what the borrow left stays.
  if (!disturbed_ && !expected.empty()) {
    const std::vector<SimPasteboardItem> got = restorable(desktop_.pasteboard().items());
    check(got == expected, "the user's clipboard was not given back (it holds " +
                               std::to_string(got.size()) + " item(s), text \"" +
                               desktop_.pasteboard().stringForTypeString().value_or("") + "\")");
  }
  userClipboard_ = desktop_.pasteboard().items();
  disturbed_ = false;
}

std::string DesktopExplorer::anyText() {
  static const char* const kTexts[] = {"", " ", "hello", "x\ny", "ünïcödé ✓", "long text here"};
  return kTexts[choices_.next(std::size(kTexts))];
}

SimApp& DesktopExplorer::anyApp() {
  return *apps_[choices_.next(apps_.size())];
}

ChannelValue DesktopExplorer::anyValue(int depth) {
  switch (choices_.next(depth > 2 ? 7 : 9)) {
    case 0:
      return ChannelValue();
    case 1:
      return ChannelValue(choices_.next(2) == 1);
    case 2:
      return ChannelValue(static_cast<std::int32_t>(choices_.next(3)));
    case 3:
      return ChannelValue(std::int64_t{1} << 40);
    case 4:
      return ChannelValue(0.5);
    case 5:
      return ChannelValue(anyText());
    case 6:
      return ChannelValue(std::vector<std::uint8_t>{1, 2, 3});
    case 7:
      return ChannelValue(ChannelList{anyValue(depth + 1), anyValue(depth + 1)});
    default:
      return ChannelValue(ChannelMap{{ChannelValue("text"), anyValue(depth + 1)}});
  }
}

void DesktopExplorer::step() {
  SimDesktop& d = desktop_;
  const SimTime before = d.now();
  auto call = [&](const std::string& channel, const std::string& method, ChannelValue arguments) {
    steps_.push_back("call " + method + " " + describe(arguments));
    const bool trusted = d.accessibility().trusted();
    const UiCallOutcome outcome = d.engine().call(channel, MethodCall{method, arguments});
    checkReply(outcome, "\"" + method + "\"");
    if (method == "pasteText" && outcome.reply() && outcome.reply()->value == ChannelValue(true)) {
      check(trusted, "pasteText started a paste without the Accessibility trust");
      pastedText_ = std::get<std::string>(arguments);
      const std::shared_ptr<AppDelegate> host = d.delegate();
      check(host && host->lastActiveApp && !host->lastActiveApp->isTerminated(),
            "pasteText answered true for an application that has quit");
      if (host && host->lastActiveApp) {
        pendingPastes_.push_back({d.now() + std::chrono::milliseconds(300), host->lastActiveApp});
      }
    }
    if (method == "getSelection") check(d.now() - before <= 1s, "getSelection blocked over 1 s");
    d.runDue();
  };
  switch (choices_.next(19)) {
    case 0:
    case 1:
      steps_.push_back("press cmd+shift+t");
      d.pressKeys(17, kCmdKey | kShiftKey);
      break;
    case 2:
      steps_.push_back("press another combination");
      d.pressKeys(17, choices_.next(2) ? kCmdKey : kShiftKey | kOptionKey);
      break;
    case 3: {
      const bool right = choices_.next(4) == 0;
      steps_.push_back(right ? "right click" : "left click");
      d.clickStatusItem(right ? MouseButton::kRight : MouseButton::kLeft);
      if (!right) check(d.now() - before <= 1s, "a click blocked the main thread over 1 s");
      break;
    }
    case 4:
    case 5:
      call(kSelectionChannel, "pasteText", choices_.next(4) ? ChannelValue(anyText()) : anyValue());
      break;
    case 6:
      call(kSelectionChannel, "getSelection", anyValue());
      break;
    case 7: {
      static const char* const kMethods[] = {"requestPermission", "checkPermission",
                                             "startWindowDrag", "GetSelection", "updateSelection"};
      call(kSelectionChannel, kMethods[choices_.next(std::size(kMethods))], anyValue());
      break;
    }
    case 8:
      call(kSystemChannel, choices_.next(2) ? "setLaunchAtLogin" : "getLaunchAtLogin",
           choices_.next(2) ? ChannelValue(choices_.next(2) == 1) : anyValue());
      break;
    case 9: {
      Bytes bytes(choices_.next(12));
      for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(choices_.next(256));
      steps_.push_back("send " + std::to_string(bytes.size()) + " arbitrary bytes");
      const UiCallOutcome outcome =
          d.engine().send(choices_.next(2) ? kSelectionChannel : kSystemChannel, bytes);
      checkReply(outcome, "arbitrary bytes");
      d.runDue();
      break;
    }
    case 10:
    case 11: {
      SimApp& app = choices_.next(5) ? anyApp() : d.workspace().host();
      steps_.push_back("activate " + app.name);
      d.activate(app);
      break;
    }
    case 12: {
      SimApp& app = anyApp();
      steps_.push_back("quit " + app.name);
      d.quit(app);
      if (!app.running) {
        // Someone starts a fresh application in its place.
        SimApp& fresh = d.launchApp(app.name + "+");
        fresh.selection = "fresh selection";
        std::replace(apps_.begin(), apps_.end(), &app, &fresh);
      }
      break;
    }
    case 13:
      d.accessibility().setTrusted(!d.accessibility().trusted());
      steps_.push_back(d.accessibility().trusted() ? "trust granted" : "trust revoked");
      break;
    case 14: {
      std::vector<SimPasteboardItem> items;
      for (std::uint32_t i = choices_.next(3); i > 0; --i) {
        SimPasteboardItem item = SimPasteboardItem::plainText(anyText());
        if (choices_.next(3) == 0) item.types.push_back({"public.png", pngBytes()});
        if (choices_.next(4) == 0) item.types.push_back({"com.example.promise", std::nullopt});
        items.push_back(std::move(item));
      }
      steps_.push_back("the user copies " + std::to_string(items.size()) + " item(s)");
      d.pasteboard().setItems(std::move(items), "The user");
      break;
    }
    case 15: {
      const SimTime delay = choices_.next(31) * 50ms;
      steps_.push_back("another application writes after " + std::to_string(delay.count()) + " us");
      d.scheduler().postWorld(delay, [&d] {
        d.pasteboard().setItems({SimPasteboardItem::plainText("other")}, "Another application");
      });
      break;
    }
    case 16: {
      SimApp& app = anyApp();
      app.copies = static_cast<CopyBehavior>(choices_.next(3));
      app.copyLatency = choices_.next(31) * 50ms;
      app.pasteLatency = choices_.next(13) * 50ms;
      steps_.push_back(app.name + " changes how it copies");
      break;
    }
    case 17: {
      const SimTime duration = choices_.next(25) * 50ms;
      steps_.push_back("wait " + std::to_string(duration.count()) + " us");
      d.scheduler().advanceBy(duration);
      break;
    }
    default:
      switch (choices_.next(9)) {
        case 8:
          if (!goneAtEvent_) {
            // The user quits: the host ends, but first gives back the
            // clipboard of a paste still under way, so nothing disturbs it.
            steps_.push_back("the user quits the host");
            d.statusBar().menuAnswer.choose = "Quit";
            d.clickStatusItem(MouseButton::kRight);
            d.statusBar().menuAnswer.choose.reset();
            if (d.application().terminated()) goneAtEvent_ = d.timeline().events().size();
          }
          break;
        case 0:
          if (!goneAtEvent_) {
            steps_.push_back("the host is released");
            // A paste-back cut short will never give the clipboard back.
            if (d.scheduler().pendingMainTasks() > 0) disturbed_ = true;
            goneAtEvent_ = d.timeline().events().size();
            d.releaseDelegate();
          }
          break;
        case 1:
          steps_.push_back("reopen");
          d.reopen();
          break;
        case 2:
          d.keyboard().failEventSource = !d.keyboard().failEventSource;
          steps_.push_back("event sources fail or come back");
          break;
        case 3: {
          static constexpr KeyboardLayout kLayouts[] = {
              KeyboardLayout::kUs, KeyboardLayout::kDvorak, KeyboardLayout::kDvorakQwertyCommand,
              KeyboardLayout::kRussian, KeyboardLayout::kNone};
          const KeyboardLayout layout = kLayouts[choices_.next(std::size(kLayouts))];
          steps_.push_back("the user switches to " + std::string(describe(layout)));
          d.keyboard().setLayout(layout);
          break;
        }
        default: {
          const std::pair<char, bool> event{choices_.next(2) ? 'c' : 'v', choices_.next(2) == 1};
          if (!d.keyboard().failKeyEvents.erase(event)) d.keyboard().failKeyEvents.insert(event);
          steps_.push_back("a keyboard event fails or comes back");
        }
      }
  }
  checkClipboardAtRest();
}

}  // namespace brimlane::sim
