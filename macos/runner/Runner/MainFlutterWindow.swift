// Brimlane's main window is the host's MainFlutterWindow (Objective-C++, in
// the host's libraries): MainMenu.xib creates it and it hides itself at once,
// since all of Brimlane's UI is in its floating panel. The file stays, empty,
// because the Xcode project that Flutter generates compiles it.
