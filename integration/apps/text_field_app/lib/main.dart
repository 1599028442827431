// A Flutter application that stands for Flutter's text system in the
// end-to-end run's table of applications: one multi-line TextField holding
// the text from the file named by BRIMLANE_TEXT_FILE, all of it selected.
// Every change of that text is appended as one JSON object per line to the
// file named by BRIMLANE_TEXT_REPORT, so that the harness reads the text back
// without the clipboard, whose restoration is one of the things it checks.
import 'dart:convert';
import 'dart:io';

import 'package:flutter/material.dart';

void main() {
  final String? textPath = Platform.environment['BRIMLANE_TEXT_FILE'];
  final String? reportPath = Platform.environment['BRIMLANE_TEXT_REPORT'];
  if (textPath == null || textPath.isEmpty || reportPath == null || reportPath.isEmpty) {
    runApp(const ExplanationApp());
    return;
  }
  // UTF-8 exactly: malformed input throws rather than turning into U+FFFD.
  final String text = File(textPath).readAsStringSync(encoding: utf8);
  runApp(TextFieldApp(text: text, report: TextReport(File(reportPath))));
}

/// The report file of the run.
class TextReport {
  const TextReport(this.file);

  final File file;

  /// Appends [event] and the time, then [fields], as one line. The write is
  /// synchronous and flushed, so that each line is on disk, in order, before
  /// the harness looks for it.
  void write(String event, [Map<String, Object?> fields = const <String, Object?>{}]) {
    final Map<String, Object?> entry = <String, Object?>{
      'event': event,
      'time': DateTime.now().microsecondsSinceEpoch / Duration.microsecondsPerSecond,
      ...fields,
    };
    file.writeAsStringSync('${jsonEncode(entry)}\n', mode: FileMode.append, flush: true);
  }
}

/// What the application shows when it was started without the run's
/// variables.
class ExplanationApp extends StatelessWidget {
  const ExplanationApp({super.key});

  @override
  Widget build(BuildContext context) {
    return const MaterialApp(
      title: 'Brimlane text field',
      home: Scaffold(
        body: Center(
          child: Padding(
            padding: EdgeInsets.all(24),
            child: Text(
              "This application is driven by Brimlane's end-to-end run, which "
              'names the text to show in BRIMLANE_TEXT_FILE and the file to '
              'report to in BRIMLANE_TEXT_REPORT. Without them it does nothing.',
            ),
          ),
        ),
      ),
    );
  }
}

class TextFieldApp extends StatefulWidget {
  const TextFieldApp({super.key, required this.text, required this.report});

  final String text;
  final TextReport report;

  @override
  State<TextFieldApp> createState() => _TextFieldAppState();
}

class _TextFieldAppState extends State<TextFieldApp> {
  late final TextEditingController _controller = TextEditingController(text: widget.text);
  final FocusNode _focusNode = FocusNode();

  /// The text last reported, or put in at the start. The controller also
  /// notifies when only the selection or the composing range moves, which
  /// is not a change the harness waits for.
  late String _lastText = widget.text;

  @override
  void initState() {
    super.initState();
    _controller.addListener(_reportText);
    WidgetsBinding.instance.addPostFrameCallback((Duration _) {
      // After the first frame: autofocus has already placed the caret at
      // the end by then, and this selection replaces it.
      _controller.selection = TextSelection(baseOffset: 0, extentOffset: _controller.text.length);
      _focusNode.requestFocus();
      widget.report.write('started', <String, Object?>{'pid': pid});
    });
  }

  @override
  void dispose() {
    _controller
      ..removeListener(_reportText)
      ..dispose();
    _focusNode.dispose();
    super.dispose();
  }

  void _reportText() {
    final String text = _controller.text;
    if (text == _lastText) {
      return;
    }
    _lastText = text;
    widget.report.write('text', <String, Object?>{'text': text});
  }

  @override
  Widget build(BuildContext context) {
    return MaterialApp(
      title: 'Brimlane text field',
      home: Scaffold(
        body: Padding(
          padding: const EdgeInsets.all(16),
          child: TextField(
            controller: _controller,
            focusNode: _focusNode,
            autofocus: true,
            maxLines: null,
            expands: true,
            textAlignVertical: TextAlignVertical.top,
            autocorrect: false,
            enableSuggestions: false,
            style: const TextStyle(fontSize: 20),
            decoration: const InputDecoration(border: OutlineInputBorder()),
          ),
        ),
      ),
    );
  }
}
