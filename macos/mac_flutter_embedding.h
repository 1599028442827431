// The UI engine over the FlutterMacOS embedding: view controller, engine,
// method channels and plug-in registration. Objective-C++ only.
#pragma once

#include "app/engine/flutter_embedding.h"

namespace brimlane {

class MacFlutterEmbedding : public FlutterEmbedding {
 public:
  std::shared_ptr<FlutterViewController> createViewController() override;
  bool registerGeneratedPlugins(PluginRegistry& registry) override;
  bool registerPlugin(const GeneratedPlugin& plugin, PluginRegistrar& registrar) override;
  void appDelegateDidFinishLaunching(const Notification& notification) override;

  // The engine's delegate base class's handling of the end of launching, run
  // once by the next appDelegateDidFinishLaunching. Only the Objective-C
  // delegate can message its superclass, and only it still has the original
  // notification object, so it hands this in just before it forwards the
  // notification to the host.
  void setBaseDidFinishLaunching(void (^handler)(void)) { baseDidFinishLaunching_ = handler; }

 private:
  void (^baseDidFinishLaunching_)(void) = nullptr;
};

}  // namespace brimlane
