// The UI engine as the host sees it: the view controller that runs the UI code
// and hosts its view, the engine with its messenger, plug-in registration, and
// the behaviour of the engine's application-delegate base class.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "app/engine/method_channel.h"
#include "app/platform/types.h"
#include "app/platform/windows.h"

namespace brimlane {

class PluginRegistrar {
 public:
  virtual ~PluginRegistrar() = default;
};

class PluginRegistry {
 public:
  virtual ~PluginRegistry() = default;
  // A registrar for the plug-in registered under `key`.
  virtual std::shared_ptr<PluginRegistrar> registrarForPlugin(const std::string& key) = 0;
};

class FlutterEngine {
 public:
  virtual ~FlutterEngine() = default;
  virtual BinaryMessenger& binaryMessenger() = 0;
};

class FlutterViewController : public ViewController, public PluginRegistry {
 public:
  virtual std::shared_ptr<FlutterEngine> engine() = 0;
  virtual void setBackgroundColor(Color color) = 0;
};

// A plug-in class looked up by name in the application, for an application
// without a generated registrant.
struct GeneratedPlugin {
  std::string_view key;  // also the class name
  std::string_view module;
};

class FlutterEmbedding {
 public:
  virtual ~FlutterEmbedding() = default;

  // A new view controller whose engine starts running the UI code.
  virtual std::shared_ptr<FlutterViewController> createViewController() = 0;

  // Runs the plug-in registrant that the UI's Flutter build generated into
  // the application, which registers every plug-in of the UI's project with
  // `registry`. False, with nothing registered, when the application has no
  // such registrant.
  virtual bool registerGeneratedPlugins(PluginRegistry& registry) = 0;

  // Finds the plug-in class by name and hands `registrar` to its registration
  // method; false when the application holds no such class.
  virtual bool registerPlugin(const GeneratedPlugin& plugin, PluginRegistrar& registrar) = 0;

  // The base application delegate's own handling of the end of launching.
  virtual void appDelegateDidFinishLaunching(const Notification& notification) = 0;
};

}  // namespace brimlane
