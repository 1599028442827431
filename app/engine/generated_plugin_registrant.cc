#include "app/engine/generated_plugin_registrant.h"

#include <string>

namespace brimlane {

void RegisterGeneratedPlugins(PluginRegistry& registry, FlutterEmbedding& embedding) {
  for (const GeneratedPlugin& plugin : kGeneratedPlugins) {
    const std::shared_ptr<PluginRegistrar> registrar =
        registry.registrarForPlugin(std::string(plugin.key));
    if (registrar) embedding.registerPlugin(plugin, *registrar);
  }
}

}  // namespace brimlane
