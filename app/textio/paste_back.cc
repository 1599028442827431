// Pasting text from the UI into the user's application: the text goes on the
// pasteboard, the application comes back to the front, a synthetic Command-V
// follows, and the user's clipboard is put back afterwards.
#include "app/app_delegate.h"
#include "app/textio/command_keystroke.h"

namespace brimlane {
namespace {

// Where V is on a US keyboard, for when the layout cannot tell where it is.
constexpr KeyCode kVirtualKeyV = 9;
// Gives the re-activated application time to come to the front before the
// keystroke, which goes to whoever is frontmost by then.
constexpr Seconds kPasteDelay{0.3};
// Gives the application time to read the pasteboard before the user's own
// contents go back on it.
constexpr Seconds kRestoreDelay{0.5};

}  // namespace

bool AppDelegate::pasteTextToLastActiveApp(const std::string& text) {
  if (!isProcessTrusted()) return false;
  // An application that has quit cannot be brought back: the keystroke would
  // go to whichever application the system put in front instead.
  if (!lastActiveApp || lastActiveApp->isTerminated()) return false;

  // While an earlier paste still has the user's contents to give back, the
  // pasteboard holds that paste's text, not the user's: keep the first
  // snapshot of the series instead of taking a new one.
  if (!pendingPaste_) {
    pendingPaste_ = PendingPaste{std::make_shared<const SavedPasteboard>(snapshotPasteboard()), 0};
  }
  // Numbers are never reused, so a step left over from an earlier series can
  // never pass for the latest paste of a later one.
  const std::uint64_t pasteNumber = ++pasteCount_;
  pendingPaste_->latest = pasteNumber;

  services_.pasteboard.clearContents();
  services_.pasteboard.setStringForTypeString(text);
  hidePanel();
  lastActiveApp->activateWithOptions(kApplicationActivateIgnoringOtherApps);
  services_.mainQueue.asyncAfter(
      kPasteDelay, [weakSelf = weak_from_this(), pasteNumber, target = lastActiveApp] {
        if (const std::shared_ptr<AppDelegate> self = weakSelf.lock()) {
          self->pasteStep(pasteNumber, *target);
        }
      });
  return true;
}

void AppDelegate::pasteStep(std::uint64_t pasteNumber, const RunningApplication& target) {
  std::optional<CommandKeystroke> paste =
      makeCommandKeystroke(services_.keyboard, u'v', kVirtualKeyV);
  // The application the text was meant for has quit: the system has put
  // another one in front (and the record may already name it), which must
  // not receive a paste the user never asked of it. An application the user
  // brought to the front themselves, while the target still runs, does.
  // Asked last, right before the keystroke and in the same turn of the main
  // thread, so that an exit the workspace has not announced yet still counts.
  if (!paste || target.isTerminated()) {
    restoreAfterPaste(pasteNumber);
    return;
  }
  // Into the system's input stream, as if typed: the application that is
  // frontmost when the event is handled receives it.
  services_.keyboard.post(EventTapLocation::kHIDEventTap, *paste->down);
  services_.keyboard.post(EventTapLocation::kHIDEventTap, *paste->up);
  services_.mainQueue.asyncAfter(kRestoreDelay, [weakSelf = weak_from_this(), pasteNumber] {
    if (const std::shared_ptr<AppDelegate> self = weakSelf.lock())
      self->restoreAfterPaste(pasteNumber);
  });
}

// Only the latest paste of a series restores: an earlier one restoring would
// put the user's contents back just before a later paste's Command-V.
void AppDelegate::restoreAfterPaste(std::uint64_t pasteNumber) {
  if (!pendingPaste_ || pendingPaste_->latest != pasteNumber) return;
  const std::shared_ptr<const SavedPasteboard> saved = std::move(pendingPaste_->saved);
  pendingPaste_.reset();
  restoreClipboard(*saved);
}

}  // namespace brimlane
