// The UI engine plug-ins, registered with the panel's view controller right
// after it is created.
#pragma once

#include <array>

#include "app/engine/flutter_embedding.h"
#include "app/platform/standard_output.h"

namespace brimlane {

// The plug-ins looked up by class name when the application has no generated
// registrant, in registration order.
inline constexpr std::array<GeneratedPlugin, 5> kGeneratedPlugins{{
    {"DeviceInfoPlusMacosPlugin", "device_info_plus"},
    {"FlutterSecureStorageDarwinPlugin", "flutter_secure_storage_darwin"},
    {"FPPPackageInfoPlusPlugin", "package_info_plus"},
    {"PathProviderPlugin", "path_provider_foundation"},
    {"UrlLauncherPlugin", "url_launcher_macos"},
}};

// Registers the plug-ins with `registry` and says on standard error which way
// it found them.
void RegisterGeneratedPlugins(PluginRegistry& registry, FlutterEmbedding& embedding,
                              StandardOutput& output);

}  // namespace brimlane
