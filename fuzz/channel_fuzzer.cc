// Arbitrary bytes on either channel of a launched host: every message gets
// exactly one well-formed reply before its handler returns, and a message
// that is refused changes nothing.
#include <cstdint>
#include <cstdlib>

#include "sim/sim_desktop.h"
#include "sim/standard_codec.h"

namespace {

using namespace brimlane;
using namespace brimlane::sim;

// What a refused message must leave as it was.
struct Observed {
  int pasteboardChanges;
  std::size_t keystrokes;
  bool panelVisible;
  std::size_t pendingWork;
  std::size_t loginCalls;
  int trustChecks;
  std::size_t uiMessages;

  static Observed of(SimDesktop& d) {
    return {d.pasteboard().changeCount(),
            d.keyboard().posted().size(),
            d.windows().panel()->isVisible(),
            d.scheduler().pendingMainTasks(),
            d.loginItems().calls.size(),
            d.accessibility().silentChecks + d.accessibility().promptingChecks,
            d.engine().received().size()};
  }
  friend bool operator==(const Observed&, const Observed&) = default;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  SimDesktop desktop;
  SimApp& notes = desktop.launchApp("Notes");
  notes.selection = "selected";
  desktop.activate(notes);
  desktop.launch();
  desktop.activate(notes);
  // The first byte picks the channel and whether the host is still there.
  if (data[0] & 2) desktop.releaseDelegate();
  const std::string channel =
      data[0] & 1 ? "com.brimlane.app/system" : "com.brimlane.app/selection";
  const Bytes message(data + 1, data + size);

  const Observed before = Observed::of(desktop);
  const UiCallOutcome outcome = desktop.engine().send(channel, message);
  if (outcome.replies.size() != 1 || outcome.repliesBeforeReturn != 1) std::abort();
  const std::optional<DecodedReply> reply = outcome.reply();
  if (!reply) std::abort();
  if (reply->kind == DecodedReply::Kind::kError && !(Observed::of(desktop) == before)) {
    std::abort();
  }
  desktop.runUntilIdle();
  return 0;
}
