// Capturing the text selected in the user's application: the application is
// made to copy its selection, and the user's clipboard is put back afterwards.
#include "app/app_delegate.h"
#include "app/textio/command_keystroke.h"

namespace brimlane {
namespace {

// Where C is on a US keyboard, for when the layout cannot tell where it is.
constexpr KeyCode kVirtualKeyC = 8;
// The application copies in its own time; the host polls instead of waiting
// on a notification, which the pasteboard does not offer. Ten polls 0.1 s apart
// bound how long the panel waits for a slow or silent application to 1 s.
constexpr int kCopyPolls = 10;
constexpr Seconds kCopyPollInterval{0.1};

}  // namespace

std::optional<std::string> AppDelegate::getSelectionViaClipboard() {
  // No process to copy from: borrowing the clipboard and waiting a second for
  // a copy that cannot come would only cost the user time.
  if (lastActiveApp && lastActiveApp->isTerminated()) return std::nullopt;
  const SavedPasteboard saved = snapshotPasteboard();
  // Cleared even when nothing will be copied, so that whatever text was on the
  // pasteboard before can never be mistaken for the selection.
  services_.pasteboard.clearContents();
  std::optional<std::string> selection = copySelectionFromLastActiveApp();
  restoreClipboard(saved);
  return selection;
}

std::optional<std::string> AppDelegate::copySelectionFromLastActiveApp() {
  if (!lastActiveApp) return std::nullopt;
  std::optional<CommandKeystroke> copy =
      makeCommandKeystroke(services_.keyboard, u'c', kVirtualKeyC);
  if (!copy) return std::nullopt;
  // Asked again right before the keystroke: saving the clipboard may have
  // waited on other applications for their data, and the target may have
  // quit meanwhile. A copy it cannot make is not worth a second of polling.
  if (lastActiveApp->isTerminated()) return std::nullopt;

  // Sent to that application's process alone: the host may already be on its
  // way to the front, and the copy must not go to whoever is frontmost.
  const ProcessId pid = lastActiveApp->processIdentifier();
  services_.keyboard.postToPid(pid, *copy->down);
  services_.keyboard.postToPid(pid, *copy->up);

  for (int poll = 0; poll < kCopyPolls; ++poll) {
    services_.thread.sleepForTimeInterval(kCopyPollInterval);
    // An empty string is no selection; text of only spaces is one.
    std::optional<std::string> text = services_.pasteboard.stringForTypeString();
    if (text && !text->empty()) return text;
  }
  return std::nullopt;
}

void AppDelegate::captureSelectionBeforeShow() {
  if (!isProcessTrusted()) return;
  const std::optional<std::string> selection = getSelectionViaClipboard();
  if (!selection || selection->empty()) return;
  if (!selectionChannel) return;
  selectionChannel->invokeMethod("updateSelection", ChannelValue(*selection));
}

}  // namespace brimlane
