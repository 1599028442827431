#include "sim/sim_accessibility.h"

namespace brimlane::sim {

bool SimAccessibility::isProcessTrustedWithOptions(bool prompt) {
  ++(prompt ? promptingChecks : silentChecks);
  // The system only asks the user when there is something to grant.
  if (prompt && !trusted_) {
    ++prompts;
    timeline_.record(Source::kUser, "prompt",
                     "The system asks the user to allow the host to control the computer.");
  }
  return trusted_;
}

void SimAccessibility::setTrusted(bool trusted) {
  if (trusted == trusted_) return;
  trusted_ = trusted;
  timeline_.record(Source::kUser, trusted ? "trust" : "distrust",
                   trusted ? "The user allows the host to control the computer."
                           : "The user no longer allows the host to control the computer.");
}

}  // namespace brimlane::sim
