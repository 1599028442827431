// The UI of the end-to-end run on a Mac. At start it calls every method of the
// host's two channels once and records each answer; then it answers every
// selection the host hands over by asking the host to paste the same text in
// capitals. Each call, answer and received message is written as one JSON
// object per line to the file named by BRIMLANE_INTEGRATION_REPORT, and
// nowhere else: integration/run reads that file to judge the host.
import 'dart:async';
import 'dart:convert';
import 'dart:io';

import 'package:flutter/services.dart';
import 'package:flutter/widgets.dart';

const MethodChannel selectionChannel = MethodChannel('com.brimlane.app/selection');
const MethodChannel systemChannel = MethodChannel('com.brimlane.app/system');

/// A method name that neither channel knows; each must answer "not
/// implemented".
const String unknownMethod = 'integrationUnknownMethod';

void main() {
  WidgetsFlutterBinding.ensureInitialized();
  final Report report = Report.fromEnvironment();
  // In place before the first call, so that a selection sent while the
  // start-up calls are under way is not missed.
  selectionChannel.setMethodCallHandler((MethodCall call) => onHostCall(report, call));
  runApp(const IntegrationView());
  unawaited(exerciseChannels(report));
}

/// Calls every method once, in a fixed order, and marks the end with a
/// "ready" line: the driver presses the hot key only after it.
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
  report.write(<String, Object?>{'event': 'ready'});
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
    unawaited(callHost(report, selectionChannel, 'pasteText', text.toUpperCase()));
  }
  return null;
}

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

  /// Appends [entry] as one line. Keys keep the order they are written in,
  /// so the driver can compare whole lines. The write is synchronous and
  /// flushed: lines stay in the order of the events, and each is on disk
  /// before the driver looks for it.
  void write(Map<String, Object?> entry) {
    final String line = jsonEncode(entry, toEncodable: (Object? value) => '$value');
    _file?.writeAsStringSync('$line\n', mode: FileMode.append, flush: true);
  }
}

/// What the panel shows: a label, so that a person watching the run can tell
/// which UI the host is running.
class IntegrationView extends StatelessWidget {
  const IntegrationView({super.key});

  @override
  Widget build(BuildContext context) {
    return const ColoredBox(
      color: Color(0xFFFFFFFF),
      child: Center(
        child: Text(
          'Brimlane integration UI',
          textDirection: TextDirection.ltr,
          style: TextStyle(color: Color(0xFF000000), fontSize: 16),
        ),
      ),
    );
  }
}
