// The UI of the end-to-end run on a Mac. At start it records its process and
// the text of reloadText(), calls every method of the host's two channels
// once and records each answer, and calls one harmless method of each of its
// plug-ins to show that the host registered it; then it answers every
// selection the host hands over by asking the host to paste pastedText() of
// it. After a hot reload it records reloadText() again. Each of these is
// written as one JSON object per line, with the time it happened, to the file
// named by BRIMLANE_INTEGRATION_REPORT, and nowhere else: integration/run
// reads that file to judge the host.
import 'dart:async';
import 'dart:convert';
import 'dart:io';

import 'package:device_info_plus/device_info_plus.dart';
import 'package:flutter/services.dart';
import 'package:flutter/widgets.dart';
import 'package:flutter_secure_storage/flutter_secure_storage.dart';
import 'package:package_info_plus/package_info_plus.dart';
import 'package:path_provider/path_provider.dart';
import 'package:url_launcher/url_launcher.dart';

import 'reload_text.dart';

const MethodChannel selectionChannel = MethodChannel('com.brimlane.app/selection');
const MethodChannel systemChannel = MethodChannel('com.brimlane.app/system');

/// A method name that neither channel knows; each must answer "not
/// implemented".
const String unknownMethod = 'integrationUnknownMethod';

/// How long one plug-in call may take before it is reported as unanswered.
const Duration pluginTimeout = Duration(seconds: 10);

void main() {
  WidgetsFlutterBinding.ensureInitialized();
  final Report report = Report.fromEnvironment();
  // The process that runs this code: a hot reload must keep it.
  report.write(<String, Object?>{'event': 'started', 'pid': pid, 'text': reloadText()});
  // In place before the first call, so that a selection sent while the
  // start-up calls are under way is not missed.
  selectionChannel.setMethodCallHandler((MethodCall call) => onHostCall(report, call));
  runApp(IntegrationView(report: report));
  unawaited(exerciseHost(report));
}

/// Calls every channel method and every plug-in once, and marks the end with
/// a "ready" line: the driver presses the hot key only after it.
Future<void> exerciseHost(Report report) async {
  await exerciseChannels(report);
  await exercisePlugins(report);
  report.write(<String, Object?>{'event': 'ready'});
}

/// Calls every method once, in a fixed order.
///
/// "requestPermission" is left out: without the trust it would bring up the
/// system's dialog. "pasteText" comes with the first captured selection.
Future<void> exerciseChannels(Report report) async {
  await callHost(report, selectionChannel, 'checkPermission');
  await callHost(report, selectionChannel, 'startWindowDrag');
  await callHost(report, selectionChannel, unknownMethod);
  await callHost(report, selectionChannel, 'getSelection');
  await callHost(report, systemChannel, 'getLaunchAtLogin');
  // Only a boolean switches launch at login: the number 1 is refused, and
  // nothing is registered.
  await callHost(report, systemChannel, 'setLaunchAtLogin', 1);
  await callHost(report, systemChannel, unknownMethod);
}

/// Calls one method of each plug-in through its own Dart API, one that
/// neither changes nor shows anything, and records whether its macOS side
/// answered. Which answer does not matter: an error from the plug-in still
/// proves that the host registered it.
Future<void> exercisePlugins(Report report) {
  return Future.wait(<Future<void>>[
    callPlugin(report, 'device_info_plus', () => DeviceInfoPlugin().macOsInfo),
    callPlugin(
      report,
      'flutter_secure_storage',
      () => FlutterSecureStorage().containsKey(key: 'brimlane.integration'),
    ),
    callPlugin(report, 'package_info_plus', () => PackageInfo.fromPlatform()),
    callPlugin(report, 'path_provider', () => getTemporaryDirectory()),
    callPlugin(report, 'url_launcher', () => canLaunchUrl(Uri.parse('https://example.com/'))),
  ]);
}

/// Runs [call] and records its outcome for [package]: "answered", "error"
/// (the plug-in answered with an error), "missing" (nothing on the macOS side
/// took the call), "timeout", or "exception" for anything else.
Future<void> callPlugin(
  Report report,
  String package,
  Future<Object?> Function() call,
) async {
  Map<String, Object?> outcome;
  try {
    await call().timeout(pluginTimeout);
    outcome = <String, Object?>{'kind': 'answered'};
  } on MissingPluginException catch (error) {
    outcome = <String, Object?>{'kind': 'missing', 'description': '$error'};
  } on PlatformException catch (error) {
    // A plug-in whose channels Pigeon generated reports a call that no
    // handler took as the error "channel-error", not as a missing plug-in.
    if (error.code == 'channel-error') {
      outcome = <String, Object?>{'kind': 'missing', 'description': '$error'};
    } else {
      outcome = <String, Object?>{'kind': 'error', 'code': error.code, 'message': error.message};
    }
  } on TimeoutException {
    outcome = <String, Object?>{'kind': 'timeout'};
  } catch (error) {
    outcome = <String, Object?>{'kind': 'exception', 'description': '$error'};
  }
  report.write(<String, Object?>{'event': 'plugin', 'package': package, ...outcome});
}

/// The host's calls on the selection channel. The host awaits no answer.
Future<Object?> onHostCall(Report report, MethodCall call) async {
  report.write(<String, Object?>{
    'event': 'received',
    'channel': selectionChannel.name,
    'method': call.method,
    'arguments': call.arguments,
  });
  final Object? text = call.arguments;
  if (call.method == 'updateSelection' && text is String) {
    unawaited(callHost(report, selectionChannel, 'pasteText', pastedText(text)));
  }
  return null;
}

/// What the UI asks the host to paste for a captured [selection]: the same
/// text between guillemets. It differs from the selection, so a paste that
/// did not happen cannot pass for one, and the run can work it out exactly,
/// which a case mapping of accented or other letters would not let it do.
String pastedText(String selection) => '«$selection»';

/// Calls [method] on [channel] and records the call and its answer: a value,
/// an error with its three fields, "not implemented", or an exception that
/// the channel should never raise.
Future<void> callHost(
  Report report,
  MethodChannel channel,
  String method, [
  Object? arguments,
]) async {
  report.write(<String, Object?>{
    'event': 'call',
    'channel': channel.name,
    'method': method,
    'arguments': arguments,
  });
  Map<String, Object?> answer;
  try {
    final Object? value = await channel.invokeMethod<Object?>(method, arguments);
    answer = <String, Object?>{'kind': 'value', 'value': value};
  } on PlatformException catch (error) {
    answer = <String, Object?>{
      'kind': 'error',
      'code': error.code,
      'message': error.message,
      'details': error.details,
    };
  } on MissingPluginException {
    answer = <String, Object?>{'kind': 'notImplemented'};
  } catch (error) {
    answer = <String, Object?>{'kind': 'exception', 'description': '$error'};
  }
  report.write(<String, Object?>{
    'event': 'answer',
    'channel': channel.name,
    'method': method,
    ...answer,
  });
}

/// The report file, or nothing when the variable is not set (the UI then
/// runs silently, as under a plain `open`).
class Report {
  Report._(this._file);

  factory Report.fromEnvironment() {
    final String? path = Platform.environment['BRIMLANE_INTEGRATION_REPORT'];
    return Report._(path == null || path.isEmpty ? null : File(path));
  }

  final File? _file;

  /// Appends [entry] as one line, with `time`: when it was written, in
  /// seconds since the Unix epoch, the clock the run's own tools write too.
  /// The write is synchronous and flushed: lines stay in the order of the
  /// events, and each is on disk before the driver looks for it.
  void write(Map<String, Object?> entry) {
    final double time = DateTime.now().microsecondsSinceEpoch / 1e6;
    final String line = jsonEncode(<String, Object?>{...entry, 'time': time},
        toEncodable: (Object? value) => '$value');
    _file?.writeAsStringSync('$line\n', mode: FileMode.append, flush: true);
  }
}

/// What the panel shows: a label, so that a person watching the run can tell
/// which UI the host is running. A hot reload reassembles it, and it records
/// reloadText() as the reloaded code returns it.
class IntegrationView extends StatefulWidget {
  const IntegrationView({super.key, required this.report});

  final Report report;

  @override
  State<IntegrationView> createState() => _IntegrationViewState();
}

class _IntegrationViewState extends State<IntegrationView> {
  @override
  void reassemble() {
    super.reassemble();
    widget.report.write(<String, Object?>{'event': 'reassembled', 'pid': pid, 'text': reloadText()});
  }

  @override
  Widget build(BuildContext context) {
    return ColoredBox(
      color: const Color(0xFFFFFFFF),
      child: Center(
        child: Text(
          'Brimlane integration UI: ${reloadText()}',
          textDirection: TextDirection.ltr,
          style: const TextStyle(color: Color(0xFF000000), fontSize: 16),
        ),
      ),
    );
  }
}
