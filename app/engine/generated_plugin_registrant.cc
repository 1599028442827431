#include "app/engine/generated_plugin_registrant.h"

#include <string>
#include <vector>

namespace brimlane {

void RegisterGeneratedPlugins(PluginRegistry& registry, FlutterEmbedding& embedding,
                              StandardOutput& output) {
  // The registrant that Flutter generates from the UI's pubspec is always
  // right: it lists every plug-in the UI uses, in Flutter's order, however
  // they are linked, and leaves out those that need no registration.
  if (embedding.registerGeneratedPlugins(registry)) {
    output.writeErrorLine("Brimlane: plug-ins registered by the generated plug-in registrant");
    return;
  }
  // An application built without one can only find the plug-ins it was
  // built for by their class names.
  std::vector<std::string> missing;
  for (const GeneratedPlugin& plugin : kGeneratedPlugins) {
    const std::shared_ptr<PluginRegistrar> registrar =
        registry.registrarForPlugin(std::string(plugin.key));
    if (registrar && !embedding.registerPlugin(plugin, *registrar)) {
      missing.emplace_back(plugin.key);
    }
  }
  output.writeErrorLine(
      "Brimlane: no generated plug-in registrant in this application; plug-ins looked up by "
      "class name");
  for (const std::string& key : missing) {
    output.writeErrorLine("Brimlane: the plug-in " + key +
                          " is not in this application; the UI runs without it");
  }
}

}  // namespace brimlane
