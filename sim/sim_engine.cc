#include "sim/sim_engine.h"

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
    : timeline_(timeline), messenger_(std::make_shared<SimBinaryMessenger>(*this)) {}

SimEngine::~SimEngine() = default;

std::shared_ptr<FlutterViewController> SimEngine::createViewController() {
  auto controller =
      std::make_shared<SimFlutterViewController>(std::make_shared<SimFlutterEngine>(messenger_));
  viewControllers_.push_back(controller);
  timeline_.record(Source::kLaunch, "engine", "The UI engine starts running the UI code.");
  return controller;
}

void SimEngine::registerPlugin(const GeneratedPlugin& plugin, PluginRegistrar& registrar) {
  plugins_.push_back({static_cast<SimPluginRegistrar&>(registrar).key, std::string(plugin.key),
                      std::string(plugin.module)});
  timeline_.record(Source::kLaunch, "plugin",
                   "The plug-in " + std::string(plugin.key) + " is registered.");
}

void SimEngine::appDelegateDidFinishLaunching(const Notification&) {
  ++baseLaunchNotifications_;
  timeline_.record(Source::kLaunch, "finished", "The UI engine's delegate learns launch is over.");
}

UiCallOutcome SimEngine::call(const std::string& channel, MethodCall call) {
  timeline_.record(Source::kChannel, "call",
                   "The UI calls " + quote(call.method) + " with " + describe(call.arguments) +
                       " on " + channel + ".");
  UiCallOutcome outcome;
  const auto handler = messenger_->handlers.find(channel);
  if (handler == messenger_->handlers.end()) {
    timeline_.record(Source::kChannel, "unhandled", "Nothing on the host handles " + channel + ".");
    return outcome;
  }
  outcome.delivered = true;
  auto answers = std::make_shared<std::vector<ChannelResult>>();
  // A copy, so that a handler replacing itself cannot pull the rug.
  const MethodChannel::MethodCallHandler handle = handler->second;
  handle(call, MethodResult([this, answers](ChannelResult result) {
           timeline_.record(Source::kChannel, "answer",
                            "The host answers " + describe(result) + ".");
           answers->push_back(std::move(result));
         }));
  outcome.answersBeforeReturn = answers->size();
  outcome.answers = *answers;
  return outcome;
}

void SimEngine::hostSent(const std::string& channel, MethodCall call) {
  timeline_.record(
      Source::kChannel, "invoke",
      "The host sends " + quote(call.method) + " with " + describe(call.arguments) + " to the UI.");
  received_.push_back({timeline_.events().back().time, channel, std::move(call)});
}

std::vector<std::string> SimEngine::channelsOpened() const {
  return messenger_->opened;
}

bool SimEngine::hasHandler(const std::string& channel) const {
  return messenger_->handlers.contains(channel);
}

}  // namespace brimlane::sim
