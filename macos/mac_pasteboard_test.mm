// The pasteboard contract against NSPasteboard, on a uniquely named
// pasteboard: the tests never touch the user's clipboard.
#include "macos/mac_pasteboard.h"

#include "tests/pasteboard_contract.h"

namespace brimlane::contract {
namespace {

class UniqueMacPasteboard {
 public:
  UniqueMacPasteboard()
      : board_([NSPasteboard pasteboardWithUniqueName]), pasteboard_(providerOf(board_)) {}
  ~UniqueMacPasteboard() { [board_ releaseGlobally]; }

  Pasteboard& pasteboard() { return pasteboard_; }

 private:
  static MacPasteboard::Provider providerOf(NSPasteboard* board) {
    return ^{
      return board;
    };
  }

  NSPasteboard* board_;
  MacPasteboard pasteboard_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Mac, PasteboardContractTest, ::testing::Types<UniqueMacPasteboard>);

}  // namespace
}  // namespace brimlane::contract
