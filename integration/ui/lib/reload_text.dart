// The text the integration UI reports when it starts and again after every
// hot reload. integration/run rewrites the returned text while the UI runs
// under `flutter run` and asks for a hot reload: the new text in the report,
// written by the same process, shows that new code ran in the host's engine.
// The driver looks for the exact literal below, so keep it on one line.
String reloadText() => 'before hot reload';
