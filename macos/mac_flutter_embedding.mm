// The UI engine over FlutterMacOS: FlutterViewController and its engine,
// FlutterMethodChannel with values converted both ways, and the plug-ins,
// registered by the runner's generated registrant or found by class name.
#include "macos/mac_flutter_embedding.h"

#import <FlutterMacOS/FlutterMacOS.h>

#include "macos/mac_channel_values.h"
#include "macos/mac_conversions.h"
#include "macos/mac_windows.h"

// The engine's Objective-C classes have the same names as the seam's C++
// interfaces; inside the wrappers, which derive from those interfaces, the
// plain names would mean the C++ ones.
using NativeFlutterViewController = FlutterViewController;
using NativeFlutterEngine = FlutterEngine;

// The runner's Swift class that runs the plug-in registrant Flutter generates
// into the runner (`RegisterGeneratedPlugins(registry:)`, which only Swift can
// call). It is found at run time, so that the host's libraries need nothing of
// the runner to link; runner/Runner/AppDelegate.swift gives it this name.
@protocol BrimlaneGeneratedPlugins <NSObject>
+ (void)registerWithRegistry:(id<FlutterPluginRegistry>)registry;
@end

namespace {

// The answer as the result callback takes it.
id toFlutterResult(const brimlane::ChannelResult& result) {
  if (const auto* flag = std::get_if<bool>(&result)) return *flag ? @YES : @NO;
  if (const auto* string = std::get_if<std::string>(&result)) return brimlane::toNSString(*string);
  if (const auto* error = std::get_if<brimlane::ChannelError>(&result)) {
    return [FlutterError errorWithCode:brimlane::toNSString(error->code)
                               message:error->message ? brimlane::toNSString(*error->message) : nil
                               details:brimlane::toObjCOrNil(error->details)];
  }
  if (std::holds_alternative<brimlane::NotImplemented>(result)) return FlutterMethodNotImplemented;
  return nil;
}

class MacMethodChannel : public brimlane::MethodChannel {
 public:
  explicit MacMethodChannel(FlutterMethodChannel* channel) : channel_(channel) {}

  void setMethodCallHandler(MethodCallHandler handler) override {
    if (!handler) {
      [channel_ setMethodCallHandler:nil];
      return;
    }
    __block MethodCallHandler handle = std::move(handler);
    [channel_ setMethodCallHandler:^(FlutterMethodCall* call, FlutterResult result) {
      handle(brimlane::MethodCall{brimlane::toString(call.method),
                                  brimlane::toChannelValue(call.arguments)},
             brimlane::MethodResult(
                 [result](brimlane::ChannelResult answer) { result(toFlutterResult(answer)); }));
    }];
  }

  void invokeMethod(const std::string& method, brimlane::ChannelValue arguments) override {
    [channel_ invokeMethod:brimlane::toNSString(method) arguments:brimlane::toObjCOrNil(arguments)];
  }

 private:
  FlutterMethodChannel* channel_;
};

class MacBinaryMessenger : public brimlane::BinaryMessenger {
 public:
  explicit MacBinaryMessenger(id<FlutterBinaryMessenger> messenger) : messenger_(messenger) {}

  std::shared_ptr<brimlane::MethodChannel> methodChannelWithName(const std::string& name) override {
    FlutterMethodChannel* channel =
        [FlutterMethodChannel methodChannelWithName:brimlane::toNSString(name)
                                    binaryMessenger:messenger_];
    if (!channel) return nullptr;
    return std::make_shared<MacMethodChannel>(channel);
  }

 private:
  id<FlutterBinaryMessenger> messenger_;
};

class MacFlutterEngine : public brimlane::FlutterEngine {
 public:
  explicit MacFlutterEngine(NativeFlutterEngine* engine) : messenger_(engine.binaryMessenger) {}

  brimlane::BinaryMessenger& binaryMessenger() override { return messenger_; }

 private:
  MacBinaryMessenger messenger_;
};

class MacPluginRegistrar : public brimlane::PluginRegistrar {
 public:
  explicit MacPluginRegistrar(id<FlutterPluginRegistrar> registrar) : registrar_(registrar) {}
  id<FlutterPluginRegistrar> registrar() const { return registrar_; }

 private:
  id<FlutterPluginRegistrar> registrar_;
};

class MacFlutterViewController : public brimlane::FlutterViewController,
                                 public brimlane::NativeViewController {
 public:
  explicit MacFlutterViewController(NativeFlutterViewController* controller)
      : controller_(controller), engine_(std::make_shared<MacFlutterEngine>(controller.engine)) {}

  std::shared_ptr<brimlane::View> view() override { return brimlane::wrapView(controller_.view); }
  std::shared_ptr<brimlane::FlutterEngine> engine() override { return engine_; }
  void setBackgroundColor(brimlane::Color color) override {
    controller_.backgroundColor = brimlane::toNSColor(color);
  }
  std::shared_ptr<brimlane::PluginRegistrar> registrarForPlugin(const std::string& key) override {
    id<FlutterPluginRegistrar> registrar =
        [controller_ registrarForPlugin:brimlane::toNSString(key)];
    if (!registrar) return nullptr;
    return std::make_shared<MacPluginRegistrar>(registrar);
  }
  NSViewController* nsViewController() const override { return controller_; }

 private:
  NativeFlutterViewController* controller_;
  std::shared_ptr<MacFlutterEngine> engine_;
};

std::shared_ptr<brimlane::FlutterViewController> makeViewController() {
  // The default project: the UI code and assets bundled in App.framework.
  return std::make_shared<MacFlutterViewController>([[FlutterViewController alloc] init]);
}

bool registerWithGeneratedRegistrant(brimlane::PluginRegistry& registry) {
  Class registrant = NSClassFromString(@"BrimlaneGeneratedPlugins");
  const auto* controller = dynamic_cast<const brimlane::NativeViewController*>(&registry);
  if (!registrant || ![registrant respondsToSelector:@selector(registerWithRegistry:)] ||
      !controller) {
    return false;
  }
  auto* flutterController =
      static_cast<NativeFlutterViewController*>(controller->nsViewController());
  [static_cast<Class<BrimlaneGeneratedPlugins>>(registrant) registerWithRegistry:flutterController];
  return true;
}

bool registerPluginClass(const brimlane::GeneratedPlugin& plugin,
                         brimlane::PluginRegistrar& registrar) {
  NSString* className = brimlane::toNSString(plugin.key);
  // A Swift class is known to the runtime by its module-qualified name, an
  // Objective-C one (or a Swift one that names itself) by its bare name.
  NSString* qualifiedName =
      [NSString stringWithFormat:@"%@.%@", brimlane::toNSString(plugin.module), className];
  Class pluginClass = NSClassFromString(qualifiedName) ?: NSClassFromString(className);
  const auto* native = dynamic_cast<const MacPluginRegistrar*>(&registrar);
  if (!pluginClass || ![pluginClass respondsToSelector:@selector(registerWithRegistrar:)] ||
      !native) {
    return false;
  }
  [pluginClass registerWithRegistrar:native->registrar()];
  return true;
}

}  // namespace

namespace brimlane {

std::shared_ptr<FlutterViewController> MacFlutterEmbedding::createViewController() {
  return makeViewController();
}

bool MacFlutterEmbedding::registerGeneratedPlugins(PluginRegistry& registry) {
  return registerWithGeneratedRegistrant(registry);
}

bool MacFlutterEmbedding::registerPlugin(const GeneratedPlugin& plugin,
                                         PluginRegistrar& registrar) {
  return registerPluginClass(plugin, registrar);
}

void MacFlutterEmbedding::appDelegateDidFinishLaunching(const Notification& /*notification*/) {
  // The handler carries the original notification object; the seam's copy of
  // it could not be turned back into one.
  void (^handler)(void) = baseDidFinishLaunching_;
  baseDidFinishLaunching_ = nullptr;
  if (handler) handler();
}

}  // namespace brimlane
