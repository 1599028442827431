// Drives a launched host through a long, arbitrary sequence of what users,
// other applications and the UI code may do, and checks after every step
// (and at every keystroke) the promises the host makes whatever happens: one
// answer per call, no keystroke reaching an application without the
// Accessibility trust, none for an application that has quit, Command-C and
// Command-V meaning copy and paste in the user's keyboard layout, the user's
// clipboard given back (also when the user quits), nothing acting once the
// host is gone or has quit, the main thread never blocked past one capture,
// released snapshots zeroed.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "sim/sim_desktop.h"

namespace brimlane::sim {

// Where the explorer's choices come from.
class ChoiceSource {
 public:
  virtual ~ChoiceSource() = default;
  // A number below `bound` (which is at least 1).
  virtual std::uint32_t next(std::uint32_t bound) = 0;
  virtual bool exhausted() const = 0;
};

// A seeded generator: the same seed makes the same run.
class RandomChoices : public ChoiceSource {
 public:
  explicit RandomChoices(std::uint64_t seed) : generator_(seed) {}
  std::uint32_t next(std::uint32_t bound) override;
  bool exhausted() const override { return false; }

 private:
  std::mt19937_64 generator_;
};

// A fuzzer's input: each byte is one choice, and the run ends with the bytes.
class ByteChoices : public ChoiceSource {
 public:
  explicit ByteChoices(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint32_t next(std::uint32_t bound) override;
  bool exhausted() const override { return position_ >= bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

class DesktopExplorer {
 public:
  explicit DesktopExplorer(ChoiceSource& choices);
  ~DesktopExplorer();
  DesktopExplorer(const DesktopExplorer&) = delete;
  DesktopExplorer& operator=(const DesktopExplorer&) = delete;

  // Takes up to `maxSteps` steps, then lets all queued work finish. Gives the
  // first promise broken, or nothing.
  std::optional<std::string> run(std::size_t maxSteps);

  // The steps taken, one line each, to make a failure readable.
  const std::vector<std::string>& steps() const { return steps_; }
  SimDesktop& desktop() { return desktop_; }

 private:
  void step();
  void settle();
  void check(bool holds, const std::string& broken);
  void checkReply(const UiCallOutcome& outcome, const std::string& what);
  void checkClipboardAtRest();
  // At a paste keystroke: the application its paste was asked for still runs.
  void checkPasteTarget();
  ChannelValue anyValue(int depth = 0);
  std::string anyText();
  SimApp& anyApp();

  ChoiceSource& choices_;
  SimDesktop desktop_;
  std::vector<SimApp*> apps_;
  std::vector<std::string> steps_;
  std::optional<std::string> broken_;

  // The clipboard as the user last left it, and whether something outside
  // the host's control wrote over it while the host was borrowing it.
  std::vector<SimPasteboardItem> userClipboard_;
  bool disturbed_ = false;
  // The text of the latest paste, while nothing else has written over it.
  std::optional<std::string> pastedText_;
  // Pastes whose keystroke may still come, oldest first: when it is due and
  // the application recorded when the paste was asked.
  struct PendingPaste {
    SimTime due;
    std::shared_ptr<RunningApplication> target;
  };
  std::deque<PendingPaste> pendingPastes_;
  // Once the delegate is gone, nothing of the host may act any more.
  std::optional<std::size_t> goneAtEvent_;
};

}  // namespace brimlane::sim
