// The simulated Accessibility trust of the host: what the host's checks
// answer, the prompts the system shows, and what the keyboard asks before it
// lets a synthetic keystroke through.
#pragma once

#include "app/platform/accessibility.h"
#include "sim/timeline.h"

namespace brimlane::sim {

class SimAccessibility : public Accessibility {
 public:
  explicit SimAccessibility(Timeline& timeline) : timeline_(timeline) {}

  // Accessibility
  bool isProcessTrustedWithOptions(bool prompt) override;

  // Whether the host is trusted now (yes at first). The user grants or takes
  // back the trust in the system's settings; a change shows in the timeline.
  bool trusted() const { return trusted_; }
  void setTrusted(bool trusted);

  // Silent and prompting checks made, and the prompts the system showed.
  int silentChecks = 0;
  int promptingChecks = 0;
  int prompts = 0;

 private:
  Timeline& timeline_;
  bool trusted_ = true;
};

}  // namespace brimlane::sim
