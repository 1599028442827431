#include "sim/cli/scenario_runner.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <ostream>
#include <stdexcept>

#include "sim/cli/timeline_printer.h"
#include "sim/describe.h"
#include "sim/standard_codec.h"

namespace brimlane::sim::cli {
namespace {

// A line that cannot be read; the message says why.
struct ReadError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

const std::map<std::string, std::uint32_t, std::less<>> kAnsiKeyCodes{
    {"a", 0},  {"s", 1},  {"d", 2},  {"f", 3},  {"h", 4},  {"g", 5},  {"z", 6},  {"x", 7},
    {"c", 8},  {"v", 9},  {"b", 11}, {"q", 12}, {"w", 13}, {"e", 14}, {"r", 15}, {"y", 16},
    {"t", 17}, {"1", 18}, {"2", 19}, {"3", 20}, {"4", 21}, {"6", 22}, {"5", 23}, {"9", 25},
    {"7", 26}, {"8", 28}, {"0", 29}, {"o", 31}, {"u", 32}, {"i", 34}, {"p", 35}, {"l", 37},
    {"j", 38}, {"k", 40}, {"n", 45}, {"m", 46}};

const std::map<std::string, std::uint32_t, std::less<>> kHotKeyModifiers{
    {"cmd", kCmdKey},    {"shift", kShiftKey},  {"option", kOptionKey},  {"opt", kOptionKey},
    {"alt", kOptionKey}, {"ctrl", kControlKey}, {"control", kControlKey}};

std::string selectionOrSystem(const std::string& word) {
  if (word == "selection") return "com.brimlane.app/selection";
  if (word == "system") return "com.brimlane.app/system";
  throw ReadError("expected selection or system, found \"" + word + "\"");
}

std::optional<Bytes> parseHex(std::string_view hex) {
  Bytes bytes;
  std::string digits;
  for (char c : hex) {
    if (c != ' ') digits += c;
  }
  if (digits.size() % 2 != 0) return std::nullopt;
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(digits.data() + i, digits.data() + i + 2, value, 16);
    if (error != std::errc() || end != digits.data() + i + 2) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  return bytes;
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

std::string join(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text.empty() ? "none" : text;
}

}  // namespace

// Walks the tokens of one line, turning them into the values commands take.
class ScenarioRunner::Reader {
 public:
  explicit Reader(Tokens tokens) : tokens_(std::move(tokens)) {}

  bool atEnd() const { return next_ == tokens_.size(); }
  const Token* peek() const { return atEnd() ? nullptr : &tokens_[next_]; }
  bool peekWord(std::string_view word) const {
    return peek() && peek()->kind == Token::Kind::kWord && peek()->text == word;
  }

  std::string word(const char* what) {
    const Token& t = take(what);
    if (t.kind != Token::Kind::kWord)
      throw ReadError(std::string("expected ") + what + ", found " + shown(t));
    return t.text;
  }
  std::string oneOf(std::initializer_list<std::string_view> words) {
    std::string expected;
    for (std::string_view w : words) expected += (expected.empty() ? "" : "|") + std::string(w);
    const std::string found = word(expected.c_str());
    if (std::find(words.begin(), words.end(), found) == words.end()) {
      throw ReadError("expected " + expected + ", found \"" + found + "\"");
    }
    return found;
  }
  void keyword(std::string_view expected) { oneOf({expected}); }
  std::string string(const char* what) {
    const Token& t = take(what);
    if (t.kind != Token::Kind::kString) {
      throw ReadError(std::string("expected ") + what + " in double quotes, found " + shown(t));
    }
    return t.text;
  }
  double number(const char* what) {
    const std::string text = word(what);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
      throw ReadError(std::string("expected ") + what + " as a number, found \"" + text + "\"");
    }
    return value;
  }
  Seconds seconds(const char* what) {
    const double value = number(what);
    if (value < 0 || value > 1e6) {
      throw ReadError(std::string(what) + " must be between 0 and 1000000 seconds");
    }
    return Seconds(value);
  }
  std::int64_t integer(const char* what) {
    const std::string text = word(what);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
      throw ReadError(std::string("expected ") + what + " as a whole number, found \"" + text +
                      "\"");
    }
    return value;
  }
  // Bytes written as `hex:0A1B` or `bytes:0A1B` (the prefix is the caller's).
  Bytes hexAfter(const std::string& prefix) {
    const Token& colon = take("':'");
    if (colon.kind != Token::Kind::kPunct || colon.text != ":" || !colon.joined) {
      throw ReadError("expected " + prefix + ":HEX");
    }
    if (atEnd() || !peek()->joined) return {};
    const std::string digits = word("hex digits");
    std::optional<Bytes> bytes = parseHex(digits);
    if (!bytes) throw ReadError("\"" + digits + "\" is not an even number of hex digits");
    return *bytes;
  }

  ChannelValue value(int depth = 0) {
    if (depth > 32) throw ReadError("value nested too deeply");
    const Token& t = take("a value");
    if (t.kind == Token::Kind::kString) return ChannelValue(t.text);
    if (t.kind == Token::Kind::kPunct && t.text == "[") {
      ChannelList list;
      if (punct("]")) return ChannelValue(std::move(list));
      do {
        list.push_back(value(depth + 1));
      } while (punct(","));
      expectPunct("]");
      return ChannelValue(std::move(list));
    }
    if (t.kind == Token::Kind::kPunct && t.text == "{") {
      ChannelMap map;
      if (punct("}")) return ChannelValue(std::move(map));
      do {
        ChannelValue key = value(depth + 1);
        expectPunct(":");
        map.emplace_back(std::move(key), value(depth + 1));
      } while (punct(","));
      expectPunct("}");
      return ChannelValue(std::move(map));
    }
    if (t.kind != Token::Kind::kWord) throw ReadError("expected a value, found " + shown(t));
    if (t.text == "null") return ChannelValue();
    if (t.text == "true") return ChannelValue(true);
    if (t.text == "false") return ChannelValue(false);
    if (t.text == "bytes") return ChannelValue(hexAfter("bytes"));
    std::int64_t integer = 0;
    const char* end = t.text.data() + t.text.size();
    if (auto [p, e] = std::from_chars(t.text.data(), end, integer); e == std::errc() && p == end) {
      // Like the UI code's codec: 32 bits when the number fits.
      if (integer >= INT32_MIN && integer <= INT32_MAX) {
        return ChannelValue(static_cast<std::int32_t>(integer));
      }
      return ChannelValue(integer);
    }
    double decimal = 0;
    if (auto [p, e] = std::from_chars(t.text.data(), end, decimal); e == std::errc() && p == end) {
      return ChannelValue(decimal);
    }
    throw ReadError("\"" + t.text + "\" is not a value");
  }

  void end() {
    if (!atEnd())
      throw ReadError("unexpected " + shown(tokens_[next_]) + " at the end of the line");
  }

 private:
  const Token& take(const char* what) {
    if (atEnd()) throw ReadError(std::string("expected ") + what + " at the end of the line");
    return tokens_[next_++];
  }
  bool punct(const char* p) {
    if (peek() && peek()->kind == Token::Kind::kPunct && peek()->text == p) {
      ++next_;
      return true;
    }
    return false;
  }
  void expectPunct(const char* p) {
    if (!punct(p)) throw ReadError(std::string("expected '") + p + "'");
  }
  static std::string shown(const Token& t) {
    return t.kind == Token::Kind::kString ? quote(t.text) : "\"" + t.text + "\"";
  }

  Tokens tokens_;
  std::size_t next_ = 0;
};

ScenarioRunner::ScenarioRunner(std::string fileName, OutputOptions options, std::ostream& out,
                               std::ostream& err)
    : fileName_(std::move(fileName)), options_(options), out_(out), err_(err) {}

std::variant<ScenarioRunner::Command, std::string> ScenarioRunner::read(const std::string& line) {
  std::variant<std::vector<Token>, LexError> lexed = lex(line);
  if (const auto* error = std::get_if<LexError>(&lexed)) return error->message;
  Reader reader(std::get<std::vector<Token>>(std::move(lexed)));
  if (reader.atEnd()) return Command{};
  try {
    Command command;
    if (reader.peekWord("expect")) {
      reader.word("expect");
      command = readExpectation(reader);
    } else {
      command = readSetUp(reader);
      if (!command) command = readAction(reader);
    }
    reader.end();
    return command;
  } catch (const ReadError& error) {
    return std::string(error.what());
  }
}

void ScenarioRunner::run(int lineNumber, const Command& command) {
  if (!command) return;
  currentLine_ = lineNumber;
  command();
  flush();
}

void ScenarioRunner::flush() {
  const auto& events = desktop_.timeline().events();
  for (; printed_ < events.size(); ++printed_) {
    if (!options_.quiet) printEvent(out_, events[printed_], options_);
  }
  out_.flush();
}

void ScenarioRunner::fail(const std::string& expected, const std::string& got) {
  ++failures_;
  flush();
  err_ << fileName_ << ":" << currentLine_ << ": expected " << expected << ", got " << got << "\n";
  err_.flush();
}

SimApp& ScenarioRunner::appNamed(const std::string& name) {
  if (name == "host") return desktop_.workspace().host();
  SimApp* app = desktop_.workspace().find(name);
  if (!app) {
    // Naming an application brings it into the world, so scenarios stay short.
    app = &desktop_.workspace().launchApp(name, "com.example." + name, nextPid_++);
  }
  return *app;
}

std::string ScenarioRunner::clipboardText() {
  return desktop_.pasteboard().stringForTypeString().value_or("");
}

std::vector<std::string> ScenarioRunner::unreadKeystrokes() {
  std::vector<std::string> keys;
  const std::vector<PostedKey>& posted = desktop_.keyboard().posted();
  for (; keysRead_ < posted.size(); ++keysRead_) {
    const PostedKey& key = posted[keysRead_];
    std::string combo = describeKey(key.keyCode, key.flags, key.keyDown);
    combo = combo.substr(0, combo.rfind(' '));
    const std::string target =
        key.pid ? (key.receiver.empty() ? "pid " + std::to_string(*key.pid) : key.receiver) : "hid";
    // A key-down and its key-up make one keystroke.
    if (!key.keyDown && !keys.empty() && keys.back() == target + " " + combo + " (down)") {
      keys.back() = target + " " + combo;
      continue;
    }
    keys.push_back(target + " " + combo + (key.keyDown ? " (down)" : " (up)"));
  }
  return keys;
}

ScenarioRunner::Command ScenarioRunner::readSetUp(Reader& r) {
  const Token* first = r.peek();
  if (!first || first->kind != Token::Kind::kWord) return {};
  const std::string verb = first->text;

  if (verb == "macos") {
    r.word("macos");
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
    return [this, version] { desktop_.loginItems().osVersion = version; };
  }
  if (verb == "host") {
    r.word("host");
    r.keyword("bundle");
    const std::string id = r.word("a bundle identifier or none");
    std::optional<std::string> bundle;
    if (id != "none") bundle = id;
    return [this, bundle] { desktop_.workspace().setHostBundleIdentifier(bundle); };
  }
  if (verb == "trusted") {
    r.word("trusted");
    const bool trusted = r.oneOf({"yes", "no"}) == "yes";
    return [this, trusted] { desktop_.accessibility().trusted = trusted; };
  }
  if (verb == "screen") {
    r.word("screen");
    const double width = r.number("a width");
    const double height = r.number("a height");
    return [this, width, height] { desktop_.windows().screen = {width, height}; };
  }
  if (verb == "app") {
    r.word("app");
    const std::string name = r.word("an application name");
    if (name == "host" || name == "hid" || name == "none") {
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
        if (value <= 0 || value > INT32_MAX)
          throw ReadError("a process identifier must be positive");
        pid = static_cast<ProcessId>(value);
      }
    }
    return [this, name, bundle, pid] {
      if (desktop_.workspace().find(name)) {
        fail("a new application " + name, "one already running");
        return;
      }
      desktop_.workspace().launchApp(name, bundle, pid ? *pid : nextPid_++);
    };
  }
  if (verb == "select") {
    r.word("select");
    const std::string name = r.word("an application name");
    const std::string text = r.string("the selected text");
    return [this, name, text] { appNamed(name).selection = text; };
  }
  if (verb == "copy") {
    r.word("copy");
    const std::string name = r.word("an application name");
    const std::string what = r.oneOf({"text", "image", "nothing"});
    SimTime latency = toSimTime(Seconds(0.05));
    if (!r.atEnd()) {
      r.keyword("after");
      latency = toSimTime(r.seconds("a delay"));
    }
    const CopyBehavior behavior = what == "text"    ? CopyBehavior::kText
                                  : what == "image" ? CopyBehavior::kImage
                                                    : CopyBehavior::kNothing;
    return [this, name, behavior, latency] {
      SimApp& app = appNamed(name);
      app.copies = behavior;
      app.copyLatency = latency;
    };
  }
  if (verb == "paste") {
    r.word("paste");
    const std::string name = r.word("an application name");
    SimTime latency = toSimTime(Seconds(0.05));
    if (!r.atEnd()) {
      r.keyword("after");
      latency = toSimTime(r.seconds("a delay"));
    }
    return [this, name, latency] { appNamed(name).pasteLatency = latency; };
  }
  if (verb == "clipboard") {
    r.word("clipboard");
    if (r.peek() && r.peek()->kind == Token::Kind::kString) {
      const std::string text = r.string("the clipboard's text");
      return [this, text] {
        userClipboard_ = {SimPasteboardItem::plainText(text)};
        desktop_.pasteboard().failItemList = false;
        desktop_.pasteboard().setItems(userClipboard_, "The user");
      };
    }
    const std::string how = r.oneOf({"empty", "nolist", "item"});
    if (how == "empty") {
      return [this] {
        userClipboard_.clear();
        desktop_.pasteboard().failItemList = false;
        desktop_.pasteboard().setItems({}, "The user");
      };
    }
    if (how == "nolist") return [this] { desktop_.pasteboard().failItemList = true; };
    SimPasteboardItem item;
    while (!r.atEnd()) {
      std::string entry = r.word("TYPE=VALUE");
      const std::size_t equals = entry.find('=');
      if (equals == std::string::npos || equals == 0) {
        throw ReadError("expected TYPE=VALUE, found \"" + entry + "\"");
      }
      const std::string type = entry.substr(0, equals);
      const std::string value = entry.substr(equals + 1);
      if (value == "nodata") {
        item.types.push_back({type, std::nullopt});
      } else if (value == "hex") {
        item.types.push_back({type, r.hexAfter("hex")});
      } else if (value.empty() && r.peek() && r.peek()->kind == Token::Kind::kString &&
                 r.peek()->joined) {
        item.types.push_back({type, toBytes(r.string("the type's text"))});
      } else {
        throw ReadError("the value of " + type + " must be \"text\", hex:HEX or nodata");
      }
    }
    if (item.types.empty()) throw ReadError("clipboard item needs at least one TYPE=VALUE");
    return [this, item] {
      userClipboard_.push_back(item);
      desktop_.pasteboard().setItems(userClipboard_, "The user");
    };
  }
  if (verb == "fail") {
    r.word("fail");
    const std::string what =
        r.oneOf({"event-source", "key-event", "status-item", "status-button", "symbol",
                 "hotkey-install", "hotkey-register", "login-register", "login-unregister"});
    if (what == "event-source") return [this] { desktop_.keyboard().failEventSource = true; };
    if (what == "key-event") {
      // By meaning: the copy or paste keystroke, whichever key the layout gives it.
      const char key = r.oneOf({"copy", "paste"}) == "copy" ? 'c' : 'v';
      const bool down = r.oneOf({"down", "up"}) == "down";
      return [this, key, down] { desktop_.keyboard().failKeyEvents.insert({key, down}); };
    }
    if (what == "status-item") return [this] { desktop_.statusBar().failStatusItem = true; };
    if (what == "status-button") return [this] { desktop_.statusBar().failButton = true; };
    if (what == "symbol") return [this] { desktop_.statusBar().failSymbol = true; };
    if (what == "hotkey-install") return [this] { desktop_.hotKeys().installStatus = kParamErr; };
    if (what == "hotkey-register") {
      return [this] { desktop_.hotKeys().registerStatus = kEventHotKeyExistsErr; };
    }
    const std::string description = r.string("the system's description of the refusal");
    if (what == "login-register") {
      return [this, description] { desktop_.loginItems().registerRefusal = description; };
    }
    return [this, description] { desktop_.loginItems().unregisterRefusal = description; };
  }
  if (verb == "keyboard") {
    r.word("keyboard");
    r.keyword("layout");
    const std::optional<KeyboardLayout> layout =
        keyboardLayoutNamed(r.oneOf({"us", "dvorak", "dvorak-qwerty-command", "russian", "none"}));
    return [this, layout = *layout] { desktop_.keyboard().setLayout(layout); };
  }
  if (verb == "login") {
    r.word("login");
    r.keyword("status");
    const AppServiceStatus status = r.integer("a status number");
    return [this, status] { desktop_.loginItems().status = status; };
  }
  if (verb == "menu") {
    r.word("menu");
    if (r.oneOf({"choose", "dismiss"}) == "dismiss") {
      return [this] { desktop_.statusBar().menuAnswer.choose.reset(); };
    }
    const std::string title = r.string("the item's title");
    return [this, title] { desktop_.statusBar().menuAnswer.choose = title; };
  }
  return {};
}

ScenarioRunner::Command ScenarioRunner::readAction(Reader& r) {
  const std::string verb = r.word("a command");
  if (verb == "launch") {
    return [this] {
      if (desktop_.delegate()) {
        fail("a host not yet launched", "one already running");
        return;
      }
      desktop_.launch();
    };
  }
  if (verb == "activate") {
    const std::string name = r.word("an application name or host");
    return [this, name] { desktop_.activate(appNamed(name)); };
  }
  if (verb == "quit") {
    const std::string name = r.word("an application name");
    if (name == "host") throw ReadError("the host quits only through its menu");
    return [this, name] { desktop_.quit(appNamed(name)); };
  }
  if (verb == "press") {
    const std::string combo = r.word("a key combination such as cmd+shift+t");
    std::uint32_t modifiers = 0;
    std::optional<std::uint32_t> key;
    std::size_t start = 0;
    while (start <= combo.size()) {
      const std::size_t plus = std::min(combo.find('+', start), combo.size());
      const std::string part = combo.substr(start, plus - start);
      if (auto modifier = kHotKeyModifiers.find(part); modifier != kHotKeyModifiers.end()) {
        modifiers |= modifier->second;
      } else if (auto code = kAnsiKeyCodes.find(part); code != kAnsiKeyCodes.end() && !key) {
        key = code->second;
      } else {
        throw ReadError("\"" + part + "\" in \"" + combo + "\" is not a modifier or a key");
      }
      start = plus + 1;
    }
    if (!key) throw ReadError("\"" + combo + "\" names no key");
    return [this, key = *key, modifiers] { desktop_.pressKeys(key, modifiers); };
  }
  if (verb == "click") {
    r.keyword("status");
    const std::string button = r.oneOf({"left", "right", "noevent"});
    if (button == "noevent") {
      return [this] {
        desktop_.statusBar().clickWithoutEvent();
        desktop_.runDue();
      };
    }
    std::vector<std::string> modifiers;
    while (!r.atEnd()) modifiers.push_back(r.oneOf({"cmd", "shift", "option", "ctrl"}));
    const MouseButton mouse = button == "left" ? MouseButton::kLeft : MouseButton::kRight;
    return [this, mouse, modifiers] { desktop_.clickStatusItem(mouse, modifiers); };
  }
  if (verb == "resize" || verb == "move") {
    r.keyword("panel");
    const double a = r.number(verb == "resize" ? "a width" : "an x");
    const double b = r.number(verb == "resize" ? "a height" : "a y");
    const bool resize = verb == "resize";
    return [this, resize, a, b] {
      SimPanel* panel = desktop_.windows().panel();
      if (!panel) {
        fail("a panel to " + std::string(resize ? "resize" : "move"), "none");
        return;
      }
      resize ? panel->userResize({a, b}) : panel->userMove({a, b});
    };
  }
  if (verb == "close") {
    r.keyword("panel");
    return [this] {
      if (SimPanel* panel = desktop_.windows().panel()) panel->userClose();
    };
  }
  if (verb == "reopen") return [this] { desktop_.reopen(); };
  if (verb == "delegate") {
    r.keyword("gone");
    return [this] { desktop_.releaseDelegate(); };
  }
  if (verb == "call") {
    const std::string channel = selectionOrSystem(r.word("selection or system"));
    const std::string method = r.peek() && r.peek()->kind == Token::Kind::kString
                                   ? r.string("a method name")
                                   : r.word("a method name");
    ChannelValue arguments = r.atEnd() ? ChannelValue() : r.value();
    return [this, channel, method, arguments] {
      lastCall_ = desktop_.engine().call(channel, MethodCall{method, arguments});
      desktop_.runDue();
    };
  }
  if (verb == "send") {
    const std::string channel = selectionOrSystem(r.word("selection or system"));
    r.keyword("hex");
    Bytes bytes = r.hexAfter("hex");
    return [this, channel, bytes] {
      lastCall_ = desktop_.engine().send(channel, bytes);
      desktop_.runDue();
    };
  }
  if (verb == "other-app") {
    r.keyword("writes");
    const std::string text = r.string("the text written");
    r.keyword("after");
    const SimTime delay = toSimTime(r.seconds("a delay"));
    return [this, text, delay] {
      desktop_.scheduler().postWorld(delay, [this, text] {
        desktop_.pasteboard().setItems({SimPasteboardItem::plainText(text)}, "Another application");
      });
    };
  }
  if (verb == "wait") {
    const Seconds duration = r.seconds("a duration");
    return [this, duration] { desktop_.advance(duration); };
  }
  throw ReadError("unknown command \"" + verb + "\"");
}

ScenarioRunner::Command ScenarioRunner::readExpectation(Reader& r) {
  const std::string what =
      r.oneOf({"clipboard", "answer", "ui", "panel", "active", "last-active", "document", "keys",
               "prompts", "stdout", "menubar", "menu", "quit", "time"});

  if (what == "clipboard") {
    if (r.peek() && r.peek()->kind == Token::Kind::kString) {
      const std::string text = r.string("the clipboard's text");
      return [this, text] {
        const std::optional<std::string> got = desktop_.pasteboard().stringForTypeString();
        if (got != text) fail("clipboard " + quote(text), got ? quote(*got) : "no text");
      };
    }
    const std::string how = r.oneOf({"empty", "items", "unchanged"});
    if (how == "empty") {
      return [this] {
        const std::size_t items = desktop_.pasteboard().items().size();
        if (items != 0) fail("an empty clipboard", std::to_string(items) + " item(s)");
      };
    }
    if (how == "items") {
      const std::int64_t count = r.integer("a number of items");
      return [this, count] {
        const std::size_t items = desktop_.pasteboard().items().size();
        if (static_cast<std::int64_t>(items) != count) {
          fail(std::to_string(count) + " clipboard item(s)", std::to_string(items));
        }
      };
    }
    return [this] {
      // Items in order; within an item the types in any order.
      auto normalised = [](std::vector<SimPasteboardItem> items) {
        for (SimPasteboardItem& item : items) {
          std::erase_if(item.types, [](const SimPasteboardType& t) { return !t.data; });
          std::sort(item.types.begin(), item.types.end(),
                    [](const auto& a, const auto& b) { return a.type < b.type; });
        }
        std::erase_if(items, [](const SimPasteboardItem& item) { return item.types.empty(); });
        return items;
      };
      const auto got = normalised(desktop_.pasteboard().items());
      if (got != normalised(userClipboard_)) {
        fail("the clipboard as the user left it",
             std::to_string(got.size()) + " item(s), plain text " + quote(clipboardText()));
      }
    };
  }
  if (what == "answer") {
    if (r.peekWord("error")) {
      r.word("error");
      const std::string code = r.string("the error code");
      const std::string message = r.string("the error message");
      return [this, code, message] {
        const std::optional<DecodedReply> reply = lastCall_ ? lastCall_->reply() : std::nullopt;
        if (!reply || reply->kind != DecodedReply::Kind::kError || reply->code != code ||
            reply->message != message || !reply->details.isNull()) {
          fail("answer error " + quote(code) + " " + quote(message), describeReply(lastCall_));
        }
      };
    }
    if (r.peekWord("not-implemented")) {
      r.word("not-implemented");
      return [this] {
        const std::optional<DecodedReply> reply = lastCall_ ? lastCall_->reply() : std::nullopt;
        if (!reply || reply->kind != DecodedReply::Kind::kNotImplemented) {
          fail("answer not-implemented", describeReply(lastCall_));
        }
      };
    }
    const ChannelValue expected = r.value();
    return [this, expected] {
      const std::optional<DecodedReply> reply = lastCall_ ? lastCall_->reply() : std::nullopt;
      if (!reply || reply->kind != DecodedReply::Kind::kSuccess || !(reply->value == expected)) {
        fail("answer " + describe(expected), describeReply(lastCall_));
      }
    };
  }
  if (what == "ui") {
    std::optional<std::string> expected;
    if (!r.peekWord("none")) {
      const std::string method = r.word("a method name or none");
      const ChannelValue argument = r.value();
      expected = method + " " + describe(argument);
    } else {
      r.word("none");
    }
    return [this, expected] {
      std::vector<std::string> got;
      const auto& received = desktop_.engine().received();
      for (; uiRead_ < received.size(); ++uiRead_) {
        got.push_back(received[uiRead_].call.method + " " +
                      describe(received[uiRead_].call.arguments));
      }
      const std::vector<std::string> want =
          expected ? std::vector<std::string>{*expected} : std::vector<std::string>{};
      if (got != want) fail("ui " + join(want), join(got));
    };
  }
  if (what == "panel") {
    const std::string state = r.oneOf({"visible", "hidden", "size", "centred", "key"});
    double width = 0;
    double height = 0;
    if (state == "size") {
      width = r.number("a width");
      height = r.number("a height");
    }
    return [this, state, width, height] {
      SimPanel* panel = desktop_.windows().panel();
      if (!panel) {
        fail("panel " + state, "no panel");
        return;
      }
      const Rect frame = panel->frame();
      char shown[128];
      std::snprintf(shown, sizeof shown, "a %g × %g panel at (%g, %g)%s%s", frame.size.width,
                    frame.size.height, frame.origin.x, frame.origin.y,
                    panel->isVisible() ? ", visible" : ", hidden",
                    desktop_.windows().isKey(panel) ? ", key" : "");
      const Size screen = desktop_.windows().screen;
      const bool holds = state == "visible"  ? panel->isVisible()
                         : state == "hidden" ? !panel->isVisible()
                         : state == "size"   ? frame.size == Size{width, height}
                         : state == "centred"
                             ? frame.origin == Point{(screen.width - frame.size.width) / 2,
                                                     (screen.height - frame.size.height) / 2}
                             : desktop_.windows().isKey(panel);
      if (!holds) {
        char wanted[64];
        std::snprintf(wanted, sizeof wanted, "size %g %g", width, height);
        fail("panel " + (state == "size" ? std::string(wanted) : state), shown);
      }
    };
  }
  if (what == "active") {
    const std::string name = r.word("host or an application name");
    return [this, name] {
      SimApp* front = desktop_.workspace().frontmost();
      const std::string got = front ? front->name : "none";
      if (got != name) fail("active " + name, got);
    };
  }
  if (what == "last-active") {
    const std::string name = r.word("an application name or none");
    return [this, name] {
      const std::shared_ptr<AppDelegate> host = desktop_.delegate();
      std::string got = "none";
      if (host && host->lastActiveApp) {
        got = "pid " + std::to_string(host->lastActiveApp->processIdentifier());
        if (SimApp* app = desktop_.workspace().find(name);
            app && app->pid == host->lastActiveApp->processIdentifier()) {
          got = name;
        }
      }
      if (got != name) fail("last-active " + name, got);
    };
  }
  if (what == "document") {
    const std::string name = r.word("an application name");
    const std::string text = r.string("the document's text");
    return [this, name, text] {
      const SimApp* app = desktop_.workspace().find(name);
      if (!app) {
        fail("document " + name + " " + quote(text), "no application " + name);
      } else if (app->document != text) {
        fail("document " + name + " " + quote(text), quote(app->document));
      }
    };
  }
  if (what == "keys") {
    std::vector<std::string> want;
    if (r.peekWord("none")) {
      r.word("none");
    } else {
      const std::string target = r.word("an application name or hid");
      do {
        want.push_back(target + " " + r.word("a key combination such as cmd+c"));
      } while (!r.atEnd());
    }
    return [this, want] {
      const std::vector<std::string> got = unreadKeystrokes();
      if (got != want) fail("keys " + join(want), join(got));
    };
  }
  if (what == "prompts") {
    const std::int64_t count = r.integer("a number of prompts");
    return [this, count] {
      if (desktop_.accessibility().prompts != count) {
        fail(std::to_string(count) + " prompt(s)",
             std::to_string(desktop_.accessibility().prompts));
      }
    };
  }
  if (what == "stdout") {
    std::optional<std::string> line;
    if (r.peekWord("none")) {
      r.word("none");
    } else {
      line = r.string("the line");
    }
    return [this, line] {
      const auto& lines = desktop_.standardOutput().lines;
      const std::optional<std::string> next = stdoutRead_ < lines.size()
                                                  ? std::optional<std::string>(lines[stdoutRead_])
                                                  : std::nullopt;
      if (line) {
        if (next) ++stdoutRead_;
        if (next != line) fail("stdout " + quote(*line), next ? quote(*next) : "no line");
      } else if (next) {
        fail("no line on stdout", quote(*next));
      }
    };
  }
  if (what == "menubar") {
    const std::string kind = r.oneOf({"image", "title"});
    const std::string text = r.string(kind == "image" ? "the symbol's name" : "the title");
    return [this, kind, text] {
      const std::string got = desktop_.statusBar().shows();
      if (got != kind + " " + text) {
        fail("menubar " + kind + " " + quote(text), got.empty() ? "nothing" : got);
      }
    };
  }
  if (what == "menu") {
    std::vector<std::string> want;
    do {
      const std::string title = r.string("an item's title");
      const std::string key = r.word("its key equivalent, such as cmd+q");
      want.push_back(quote(title) + " " + key);
    } while (!r.atEnd());
    return [this, want] {
      std::vector<std::string> got;
      if (!desktop_.statusBar().menusShown.empty()) {
        for (const MenuItem& item : desktop_.statusBar().menusShown.back().items) {
          got.push_back(quote(item.title) + " " +
                        (item.keyEquivalent.empty() ? "none" : "cmd+" + item.keyEquivalent));
        }
      }
      if (got != want) fail("menu " + join(want), join(got));
    };
  }
  if (what == "quit") {
    const bool quits = r.oneOf({"yes", "no"}) == "yes";
    return [this, quits] {
      if (desktop_.application().terminated() != quits) {
        fail(std::string("quit ") + (quits ? "yes" : "no"), quits ? "still running" : "quit");
      }
    };
  }
  const Seconds time = r.seconds("a time");
  return [this, time] {
    if (desktop_.now() != toSimTime(time)) {
      char got[32];
      std::snprintf(got, sizeof got, "%.3f", toSeconds(desktop_.now()));
      char want[32];
      std::snprintf(want, sizeof want, "%.3f", time.count());
      fail(std::string("time ") + want, got);
    }
  };
}

}  // namespace brimlane::sim::cli
