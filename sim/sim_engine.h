// The simulated UI engine: the view controller and its engine, plug-in
// registration, the channels' messenger, and the UI code's side of the
// channels, which calls the host and records what the host sends.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/engine/flutter_embedding.h"
#include "sim/sim_windows.h"
#include "sim/standard_codec.h"
#include "sim/timeline.h"

namespace brimlane::sim {

struct RegisteredPlugin {
  std::string registrarKey;  // the key the registrar was asked for
  std::string className;
  std::string module;
  bool byRegistrant = false;  // by the generated registrant, not looked up by name
};

// A message from the UI and what came back, as the bytes that crossed the
// channel.
struct UiCallOutcome {
  bool delivered = false;               // a handler was installed on the channel
  std::vector<Bytes> replies;           // every reply, in order
  std::size_t repliesBeforeReturn = 0;  // replies given before the handler returned

  // The reply as the UI code reads it; nothing unless exactly one came.
  std::optional<DecodedReply> reply() const;
};

// A call from the host to the UI, as the UI code decoded it.
struct UiMessage {
  SimTime time;
  std::string channel;
  MethodCall call;
  Bytes bytes;
};

class SimBinaryMessenger;

class SimFlutterViewController : public FlutterViewController {
 public:
  explicit SimFlutterViewController(std::shared_ptr<FlutterEngine> engine);

  std::shared_ptr<View> view() override { return view_; }
  std::shared_ptr<FlutterEngine> engine() override { return engine_; }
  void setBackgroundColor(Color color) override { backgroundColor = color; }
  std::shared_ptr<PluginRegistrar> registrarForPlugin(const std::string& key) override;

  Color backgroundColor = Color::kWindowBackground;
  std::vector<std::string> registrarKeys;

 private:
  std::shared_ptr<FlutterEngine> engine_;
  std::shared_ptr<SimView> view_;
};

class SimEngine : public FlutterEmbedding {
 public:
  explicit SimEngine(Timeline& timeline);
  ~SimEngine() override;

  // FlutterEmbedding
  std::shared_ptr<FlutterViewController> createViewController() override;
  bool registerGeneratedPlugins(PluginRegistry& registry) override;
  bool registerPlugin(const GeneratedPlugin& plugin, PluginRegistrar& registrar) override;
  void appDelegateDidFinishLaunching(const Notification& notification) override;

  // The plug-in classes that the registrant generated from the UI's pubspec
  // registers, in its order; nothing for an application built without one.
  // By default the application is a Flutter runner whose pubspec lists the
  // host's five plug-ins.
  std::optional<std::vector<std::string>> generatedRegistrant;
  // Plug-in classes the application does not hold, for the lookup by name.
  std::set<std::string> missingPluginClasses;

  // The UI code calls the host.
  UiCallOutcome call(const std::string& channel, const MethodCall& call);
  // The UI side sends any bytes at all on the channel.
  UiCallOutcome send(const std::string& channel, Bytes message);
  // What the host sent to the UI, in order.
  const std::vector<UiMessage>& received() const { return received_; }

  const std::vector<std::shared_ptr<SimFlutterViewController>>& viewControllers() const {
    return viewControllers_;
  }
  const std::vector<RegisteredPlugin>& registeredPlugins() const { return plugins_; }
  int baseLaunchNotifications() const { return baseLaunchNotifications_; }
  // Names of the channels the host opened, in order.
  std::vector<std::string> channelsOpened() const;
  bool hasHandler(const std::string& channel) const;

  void hostSent(const std::string& channel, const MethodCall& call);
  // The host's process has ended: its channels are gone, and a call from the
  // UI gets no answer.
  void hostEnded();
  Timeline& timeline() { return timeline_; }

 private:
  Timeline& timeline_;
  std::shared_ptr<SimBinaryMessenger> messenger_;
  std::vector<std::shared_ptr<SimFlutterViewController>> viewControllers_;
  std::vector<RegisteredPlugin> plugins_;
  std::vector<UiMessage> received_;
  int baseLaunchNotifications_ = 0;
  bool hostEnded_ = false;
};

}  // namespace brimlane::sim
