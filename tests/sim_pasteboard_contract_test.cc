// The pasteboard contract against the simulated pasteboard; the Mac build runs
// the same suite against the real one, which keeps the simulation honest.
#include "sim/sim_pasteboard.h"
#include "tests/pasteboard_contract.h"

namespace brimlane::contract {
namespace {

class FreshSimPasteboard {
 public:
  Pasteboard& pasteboard() { return pasteboard_; }

 private:
  sim::Scheduler scheduler_;
  sim::Timeline timeline_{scheduler_};
  sim::SimPasteboard pasteboard_{timeline_, scheduler_};
};

INSTANTIATE_TYPED_TEST_SUITE_P(Sim, PasteboardContractTest, ::testing::Types<FreshSimPasteboard>);

}  // namespace
}  // namespace brimlane::contract
