// Brimlane's entry point, and the one piece of the host that has to be Swift.
//
// The application's delegate and its main window are the host's own
// Objective-C++ classes, AppDelegate and MainFlutterWindow. They come from the
// host's libraries, which Brimlane.xcconfig links into this runner, and
// MainMenu.xib creates them. The delegate answers AppKit's questions there,
// applicationSupportsSecureRestorableState among them (YES). The flutter
// tool looks for that name in this file: without it, its migration of
// AppDelegate.swift warns on every build and run that the file "has been
// modified and cannot be automatically migrated".
import Cocoa
import FlutterMacOS

@main
enum BrimlaneMain {
  // Hands the process to AppKit, which loads MainMenu.xib and runs the event
  // loop; the process ends with its status.
  @MainActor
  static func main() {
    exit(NSApplicationMain(CommandLine.argc, CommandLine.unsafeArgv))
  }
}

// Flutter generates the plug-in registrant of the UI's pubspec into the runner
// (Flutter/GeneratedPluginRegistrant.swift), as a Swift function that
// Objective-C cannot call. The host finds this class by its Objective-C name
// at launch and lets it register every plug-in, however they are linked.
@objc(BrimlaneGeneratedPlugins)
final class BrimlaneGeneratedPlugins: NSObject {
  @objc(registerWithRegistry:)
  static func register(with registry: FlutterPluginRegistry) {
    RegisterGeneratedPlugins(registry: registry)
  }
}

// Brimlane.xcconfig sets this condition until Brimlane.local.xcconfig, which
// git leaves out, names the Brimlane checkout whose libraries are linked.
#if BRIMLANE_NO_CHECKOUT
#error("This runner names no Brimlane checkout: Runner/Configs/Brimlane.local.xcconfig is missing, as in a fresh clone of the UI. In a clone of the Brimlane host, run tools/adopt-runner with this Flutter project's folder, then tools/build-mac-libraries.")
#endif

// Brimlane.xcconfig sets this condition for a build configuration that no
// BRIMLANE_LIBRARY_CONFIGURATION_ setting names (a flavour's, say); such a
// build links the host's Release libraries, which link into any build.
#if BRIMLANE_UNNAMED_CONFIGURATION
#warning("This build configuration links the host's Release libraries: no BRIMLANE_LIBRARY_CONFIGURATION_<configuration> setting names a set for it. For the Debug set, add BRIMLANE_LIBRARY_CONFIGURATION_<its name, - as _> = Debug (Debug_staging for Debug-staging) to the Runner project's build settings; see Build configurations of your own in the host's docs/MACOS.md.")
#endif
