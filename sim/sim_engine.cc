#include "sim/sim_engine.h"

#include "app/engine/generated_plugin_registrant.h"
#include "sim/describe.h"

namespace brimlane::sim {

class SimBinaryMessenger : public BinaryMessenger {
 public:
  explicit SimBinaryMessenger(SimEngine& engine) : engine_(engine) {}

  std::shared_ptr<MethodChannel> methodChannelWithName(const std::string& name) override;

  SimEngine& engine_;
  // As in the engine, the handler belongs to the channel's name: a later
  // channel of the same name replaces it.
  std::map<std::string, MethodChannel::MethodCallHandler, std::less<>> handlers;
  std::vector<std::string> opened;
};

namespace {

class SimMethodChannel : public MethodChannel {
 public:
  SimMethodChannel(SimBinaryMessenger& messenger, std::string name)
      : messenger_(messenger), name_(std::move(name)) {}

  void setMethodCallHandler(MethodCallHandler handler) override {
    messenger_.handlers[name_] = std::move(handler);
  }

  void invokeMethod(const std::string& method, ChannelValue arguments) override {
    messenger_.engine_.hostSent(name_, MethodCall{method, std::move(arguments)});
  }

 private:
  SimBinaryMessenger& messenger_;
  std::string name_;
};

class SimFlutterEngine : public FlutterEngine {
 public:
  explicit SimFlutterEngine(std::shared_ptr<SimBinaryMessenger> messenger)
      : messenger_(std::move(messenger)) {}
  BinaryMessenger& binaryMessenger() override { return *messenger_; }

 private:
  std::shared_ptr<SimBinaryMessenger> messenger_;
};

// How a call's description says that some of its strings were read as null.
std::string readAsNull(std::size_t strings) {
  if (strings == 0) return "";
  return "; the engine reads " + std::to_string(strings) +
         (strings == 1 ? " string that is" : " strings that are") + " not UTF-8 as null";
}

class SimPluginRegistrar : public PluginRegistrar {
 public:
  explicit SimPluginRegistrar(std::string key) : key(std::move(key)) {}
  std::string key;
};

}  // namespace

std::shared_ptr<MethodChannel> SimBinaryMessenger::methodChannelWithName(const std::string& name) {
  opened.push_back(name);
  engine_.timeline().record(Source::kChannel, "open", "The host opens the channel " + name + ".");
  return std::make_shared<SimMethodChannel>(*this, name);
}

SimFlutterViewController::SimFlutterViewController(std::shared_ptr<FlutterEngine> engine)
    : engine_(std::move(engine)), view_(std::make_shared<SimView>()) {
  view_->name = "UI engine view";
  auto surface = std::make_shared<SimView>();
  surface->name = "UI surface";
  view_->subviews.push_back(std::move(surface));
}

std::shared_ptr<PluginRegistrar> SimFlutterViewController::registrarForPlugin(
    const std::string& key) {
  registrarKeys.push_back(key);
  return std::make_shared<SimPluginRegistrar>(key);
}

SimEngine::SimEngine(Timeline& timeline)
    : generatedRegistrant(std::vector<std::string>()),
      timeline_(timeline),
      messenger_(std::make_shared<SimBinaryMessenger>(*this)) {
  for (const GeneratedPlugin& plugin : kGeneratedPlugins) {
    generatedRegistrant->emplace_back(plugin.key);
  }
}

SimEngine::~SimEngine() = default;

std::shared_ptr<FlutterViewController> SimEngine::createViewController() {
  auto controller =
      std::make_shared<SimFlutterViewController>(std::make_shared<SimFlutterEngine>(messenger_));
  viewControllers_.push_back(controller);
  timeline_.record(Source::kLaunch, "engine", "The UI engine starts running the UI code.");
  return controller;
}

bool SimEngine::registerGeneratedPlugins(PluginRegistry& registry) {
  if (!generatedRegistrant) return false;
  // As Flutter's registrant does it: each class registers itself with the
  // registrar for its own name.
  for (const std::string& className : *generatedRegistrant) {
    const std::shared_ptr<PluginRegistrar> registrar = registry.registrarForPlugin(className);
    plugins_.push_back({static_cast<SimPluginRegistrar&>(*registrar).key, className, "", true});
    timeline_.record(Source::kLaunch, "plugin",
                     "The generated registrant registers the plug-in " + className + ".");
  }
  return true;
}

bool SimEngine::registerPlugin(const GeneratedPlugin& plugin, PluginRegistrar& registrar) {
  const std::string className(plugin.key);
  if (missingPluginClasses.contains(className)) {
    timeline_.record(Source::kLaunch, "plugin",
                     "No class " + className + " is in the application to register.");
    return false;
  }
  plugins_.push_back({static_cast<SimPluginRegistrar&>(registrar).key, className,
                      std::string(plugin.module), false});
  timeline_.record(Source::kLaunch, "plugin", "The plug-in " + className + " is registered.");
  return true;
}

void SimEngine::appDelegateDidFinishLaunching(const Notification&) {
  ++baseLaunchNotifications_;
  timeline_.record(Source::kLaunch, "finished", "The UI engine's delegate learns launch is over.");
}

std::optional<DecodedReply> UiCallOutcome::reply() const {
  if (replies.size() != 1) return std::nullopt;
  Decoded<DecodedReply> decoded = decodeReply(replies.front());
  if (const auto* reply = std::get_if<DecodedReply>(&decoded)) return *reply;
  return std::nullopt;
}

UiCallOutcome SimEngine::call(const std::string& channel, const MethodCall& call) {
  return send(channel, encodeMethodCall(call));
}

UiCallOutcome SimEngine::send(const std::string& channel, Bytes message) {
  UiCallOutcome outcome;
  // The host gets what the engine's codec reads, which is not always what was
  // sent: a string that is not UTF-8 arrives as null.
  Decoded<HostCall> decoded = decodeMethodCallForHost(message);
  const auto* hostCall = std::get_if<HostCall>(&decoded);
  const MethodCall* call = hostCall ? &hostCall->call : nullptr;
  timeline_.record(Source::kChannel, "call",
                   call ? "The UI calls " + quote(call->method) + " with " +
                              describe(call->arguments) + " on " + channel +
                              readAsNull(hostCall->stringsReadAsNull) + "."
                        : "The UI sends " + std::to_string(message.size()) +
                              " bytes that are no method call on " + channel + ".",
                   toHex(message));
  if (hostEnded_) {
    timeline_.record(Source::kChannel, "no answer", "The host has quit: nothing answers.");
    return outcome;
  }
  const auto handler = messenger_->handlers.find(channel);
  if (handler == messenger_->handlers.end()) {
    timeline_.record(Source::kChannel, "unhandled", "Nothing on the host handles " + channel + ".");
    return outcome;
  }
  outcome.delivered = true;
  auto replies = std::make_shared<std::vector<Bytes>>();
  auto reply = [this, replies](Bytes bytes, const std::string& said) {
    timeline_.record(Source::kChannel, "answer", said, toHex(bytes));
    replies->push_back(std::move(bytes));
  };
  if (!call) {
    // The engine cannot decode the message, so no handler ever sees it.
    const CodecError& error = std::get<CodecError>(decoded);
    const std::string text = error.message + " at byte " + std::to_string(error.offset);
    reply(encodeErrorEnvelope("MALFORMED_MESSAGE", text, ChannelValue()),
          "The engine refuses the message: " + text + ".");
  } else {
    // A copy, so that a handler replacing itself cannot pull the rug.
    const MethodChannel::MethodCallHandler handle = handler->second;
    handle(*call, MethodResult([reply](ChannelResult result) {
      reply(encodeReply(result), "The host answers " + describe(result) + ".");
    }));
  }
  outcome.repliesBeforeReturn = replies->size();
  outcome.replies = *replies;
  return outcome;
}

void SimEngine::hostSent(const std::string& channel, const MethodCall& call) {
  Bytes bytes = encodeMethodCall(call);
  timeline_.record(
      Source::kChannel, "invoke",
      "The host sends " + quote(call.method) + " with " + describe(call.arguments) + " to the UI.",
      toHex(bytes));
  // What the UI code sees is what it decodes from the bytes.
  Decoded<MethodCall> decoded = decodeMethodCall(bytes);
  received_.push_back({timeline_.events().back().time, channel,
                       std::get<MethodCall>(std::move(decoded)), std::move(bytes)});
}

void SimEngine::hostEnded() {
  hostEnded_ = true;
  messenger_->handlers.clear();
  messenger_->opened.clear();
}

std::vector<std::string> SimEngine::channelsOpened() const {
  return messenger_->opened;
}

bool SimEngine::hasHandler(const std::string& channel) const {
  return messenger_->handlers.contains(channel);
}

}  // namespace brimlane::sim
