// The UI engine plug-ins bundled with the application, registered with the
// panel's view controller right after it is created.
#pragma once

#include <array>

#include "app/engine/flutter_embedding.h"

namespace brimlane {

// In registration order.
inline constexpr std::array<GeneratedPlugin, 5> kGeneratedPlugins{{
    {"DeviceInfoPlusMacosPlugin", "device_info_plus"},
    {"FlutterSecureStorageDarwinPlugin", "flutter_secure_storage_darwin"},
    {"FPPPackageInfoPlusPlugin", "package_info_plus"},
    {"PathProviderPlugin", "path_provider_foundation"},
    {"UrlLauncherPlugin", "url_launcher_macos"},
}};

void RegisterGeneratedPlugins(PluginRegistry& registry, FlutterEmbedding& embedding);

}  // namespace brimlane
