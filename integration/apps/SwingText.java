// The Java Swing application of the end-to-end run: a JTextArea, whose text
// system is Java's own rather than AppKit's, holding the run's text with all
// of it selected. Every change to its text is appended to a report file, so
// that the harness reads the text back without the clipboard, whose
// restoration is one of the things it checks.
//
//   java SwingText.java TEXT_FILE REPORT_FILE TITLE
//
// Runs with the single-file source launcher of Java 11 and later: no build
// step, no dependencies.

import java.awt.Desktop;
import java.io.IOException;
import java.io.Writer;
import java.math.BigDecimal;
import java.nio.ByteBuffer;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.CodingErrorAction;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardOpenOption;
import java.time.Instant;
import javax.swing.JFrame;
import javax.swing.JScrollPane;
import javax.swing.JTextArea;
import javax.swing.SwingUtilities;
import javax.swing.event.DocumentEvent;
import javax.swing.event.DocumentListener;

public final class SwingText {
    private SwingText() {}

    public static void main(String[] args) throws IOException {
        if (args.length != 3) {
            System.err.println("usage: java SwingText.java TEXT_FILE REPORT_FILE TITLE");
            System.exit(2);
        }
        String text = readUtf8(Paths.get(args[0]));
        Report report = new Report(Paths.get(args[1]));
        String title = args[2];
        SwingUtilities.invokeLater(() -> show(text, report, title));
    }

    /** The file's text exactly: malformed UTF-8 is an error, not a U+FFFD. */
    static String readUtf8(Path path) throws IOException {
        ByteBuffer bytes = ByteBuffer.wrap(Files.readAllBytes(path));
        try {
            return StandardCharsets.UTF_8.newDecoder()
                    .onMalformedInput(CodingErrorAction.REPORT)
                    .onUnmappableCharacter(CodingErrorAction.REPORT)
                    .decode(bytes)
                    .toString();
        } catch (CharacterCodingException error) {
            throw new IOException(path + " is not UTF-8", error);
        }
    }

    private static void show(String text, Report report, String title) {
        JTextArea area = new JTextArea(text, 20, 60);
        JFrame frame = new JFrame(title);
        frame.setDefaultCloseOperation(JFrame.EXIT_ON_CLOSE);
        frame.add(new JScrollPane(area));
        frame.pack();
        frame.setLocationRelativeTo(null);
        frame.setVisible(true);
        // Started from a command line, the application would otherwise stay
        // behind the one that started it.
        if (Desktop.isDesktopSupported()
                && Desktop.getDesktop().isSupported(Desktop.Action.APP_REQUEST_FOREGROUND)) {
            Desktop.getDesktop().requestForeground(true);
        }
        frame.toFront();
        area.requestFocusInWindow();
        area.selectAll();
        // Listening only now, so that the text put in above is not reported
        // as a change.
        area.getDocument().addDocumentListener(new TextReporter(area, report));
        report.write("{\"event\":\"started\",\"time\":" + now()
                + ",\"pid\":" + ProcessHandle.current().pid() + "}");
    }

    /**
     * Reports the whole text after changes. A paste over a selection is a
     * removal and then an insertion, two events: the report waits for the
     * event queue to come round, so that it carries the text after both
     * rather than the empty text in between, and is written once for them.
     */
    private static final class TextReporter implements DocumentListener {
        private final JTextArea area;
        private final Report report;
        private boolean pending;

        TextReporter(JTextArea area, Report report) {
            this.area = area;
            this.report = report;
        }

        @Override
        public void insertUpdate(DocumentEvent event) {
            schedule();
        }

        @Override
        public void removeUpdate(DocumentEvent event) {
            schedule();
        }

        @Override
        public void changedUpdate(DocumentEvent event) {
            // Attributes only; a plain text area has none to change.
        }

        private void schedule() {
            if (pending) {
                return;
            }
            pending = true;
            SwingUtilities.invokeLater(() -> {
                pending = false;
                report.write("{\"event\":\"text\",\"time\":" + now()
                        + ",\"text\":" + quote(area.getText()) + "}");
            });
        }
    }

    /** Lines appended to the report file, each on disk once written. */
    private static final class Report {
        private final Writer writer;

        Report(Path path) throws IOException {
            writer = Files.newBufferedWriter(path, StandardCharsets.UTF_8,
                    StandardOpenOption.CREATE, StandardOpenOption.APPEND);
        }

        void write(String line) {
            try {
                writer.write(line);
                writer.write('\n');
                writer.flush();
            } catch (IOException error) {
                // Without its report the harness cannot read anything back,
                // so carrying on would only hide why.
                error.printStackTrace();
                System.exit(1);
            }
        }
    }

    /** Seconds since the epoch, to the microsecond, without an exponent. */
    static String now() {
        Instant instant = Instant.now();
        return BigDecimal.valueOf(instant.getEpochSecond())
                .add(BigDecimal.valueOf(instant.getNano() / 1000, 6))
                .toPlainString();
    }

    /**
     * A JSON string for {@code text}. Non-ASCII is written as it is; control
     * characters, and a surrogate without its partner, which UTF-8 cannot
     * carry, are written as escapes so the line stays exact and valid.
     */
    static String quote(String text) {
        StringBuilder out = new StringBuilder(text.length() + 2).append('"');
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (c == '"' || c == '\\') {
                out.append('\\').append(c);
            } else if (c < 0x20) {
                escape(out, c);
            } else if (Character.isHighSurrogate(c)
                    && i + 1 < text.length() && Character.isLowSurrogate(text.charAt(i + 1))) {
                out.append(c).append(text.charAt(++i));
            } else if (Character.isSurrogate(c)) {
                escape(out, c);
            } else {
                out.append(c);
            }
        }
        return out.append('"').toString();
    }

    private static void escape(StringBuilder out, char c) {
        // Formatting by hand: String.format would follow the default locale.
        out.append("\\u").append(Integer.toHexString(0x10000 | c).substring(1));
    }
}
