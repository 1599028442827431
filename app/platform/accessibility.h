// The Accessibility trust of this process: whether it may post synthetic input
// into other applications. Main thread only.
#pragma once

namespace brimlane {

class Accessibility {
 public:
  virtual ~Accessibility() = default;

  // True when the process is trusted at this moment. With `prompt` set the
  // system also asks the user to grant the trust (it shows its own dialog when
  // the process is not trusted yet); without it the check is silent.
  virtual bool isProcessTrustedWithOptions(bool prompt) = 0;
};

}  // namespace brimlane
