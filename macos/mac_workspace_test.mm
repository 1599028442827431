// Whether a running application has quit, asked of a process the test starts
// and ends itself. NSRunningApplication's terminated flag changes only on a
// later turn of the main run loop; the stand-in below keeps it at NO for good,
// so only the process itself can tell.
#include "macos/mac_workspace.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

// An application whose terminated flag has not caught up with its process.
@interface BrimlaneStaleRunningApplication : NSRunningApplication
- (instancetype)initWithProcessIdentifier:(pid_t)pid;
@end

@implementation BrimlaneStaleRunningApplication {
  pid_t _pid;
}

- (instancetype)initWithProcessIdentifier:(pid_t)pid {
  self = [super init];
  if (self) _pid = pid;
  return self;
}

- (pid_t)processIdentifier {
  return _pid;
}

- (BOOL)isTerminated {
  return NO;
}

@end

namespace brimlane {
namespace {

std::shared_ptr<RunningApplication> staleApplication(pid_t pid) {
  return wrapRunningApplication(
      [[BrimlaneStaleRunningApplication alloc] initWithProcessIdentifier:pid]);
}

// A process that waits a minute unless it is ended first.
pid_t startSleeper() {
  char path[] = "/bin/sleep";
  char seconds[] = "60";
  char* arguments[] = {path, seconds, nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, path, nullptr, nullptr, arguments, environ) != 0) return 0;
  return pid;
}

TEST(MacRunningApplication, HasQuitAsSoonAsItsProcessIsGoneWhateverItsFlagSays) {
  const pid_t pid = startSleeper();
  ASSERT_GT(pid, 0);
  const std::shared_ptr<RunningApplication> application = staleApplication(pid);
  EXPECT_FALSE(application->isTerminated());

  ASSERT_EQ(kill(pid, SIGKILL), 0);
  int status = 0;
  // Reaped, as the system reaps an application that quits: no process has
  // that identifier any more.
  ASSERT_EQ(waitpid(pid, &status, 0), pid);

  EXPECT_TRUE(application->isTerminated());
  // And it is not activated: the keystroke after it would go elsewhere.
  EXPECT_FALSE(application->activateWithOptions(kApplicationActivateIgnoringOtherApps));
}

// kill answers EPERM for a process that exists but is not ours to signal.
TEST(MacRunningApplication, AProcessOfAnotherUserHasNotQuit) {
  EXPECT_FALSE(staleApplication(1)->isTerminated());  // launchd, which runs as root
}

// -1 is what an application without a process identifier reports; kill would
// take it for every process there is.
TEST(MacRunningApplication, WithoutAProcessIdentifierOnlyTheFlagCounts) {
  EXPECT_FALSE(staleApplication(-1)->isTerminated());
}

}  // namespace
}  // namespace brimlane
