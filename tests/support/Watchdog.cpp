#include "tests/support/Watchdog.h"

#include <dirent.h>
#include <execinfo.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace testsupport {

namespace {

// Signal-safe enough for a process that is about to abort: write(2) and glibc's backtrace,
// whose library is loaded before the first signal (see Prepare).
void PrintOwnStack(int) {
  char Head[64];
  const int N = std::snprintf(Head, sizeof Head, "--- thread %ld\n", static_cast<long>(syscall(SYS_gettid)));
  if (N > 0) (void)!write(STDERR_FILENO, Head, static_cast<size_t>(N));
  void* Frames[64];
  backtrace_symbols_fd(Frames, backtrace(Frames, 64), STDERR_FILENO);
}

const int StackSignal = SIGRTMIN + 5;

void Prepare() {
  static const bool Done = [] {
    void* Frames[1];
    backtrace(Frames, 1);  // loads what backtrace needs outside a signal handler
    struct sigaction A {};
    A.sa_handler = PrintOwnStack;
    A.sa_flags = SA_RESTART;
    sigaction(StackSignal, &A, nullptr);
    return true;
  }();
  (void)Done;
}

// gdb on this process; false when it could not be run.
bool DumpWithGdb() {
  // A debugger that is not our parent may attach only if we allow it (Yama).
  prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
  const std::string Pid = std::to_string(getpid());
  const char* Argv[] = {"gdb", "-p", Pid.c_str(), "-batch", "-nx", "-ex", "set pagination off",
                        "-ex", "thread apply all bt", nullptr};
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_adddup2(&Actions, STDERR_FILENO, STDOUT_FILENO);
  pid_t Child = 0;
  const int Rc = posix_spawnp(&Child, "gdb", &Actions, nullptr, const_cast<char**>(Argv), environ);
  posix_spawn_file_actions_destroy(&Actions);
  if (Rc != 0) return false;
  int Status = 0;
  // A debugger that hangs in turn is given up after a minute.
  for (int Waited = 0; Waited < 600; ++Waited) {
    if (waitpid(Child, &Status, WNOHANG) == Child) return WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
    usleep(100 * 1000);
  }
  kill(Child, SIGKILL);
  waitpid(Child, &Status, 0);
  return false;
}

// Each thread prints its own stack from a signal handler (without symbols of static functions).
void DumpWithSignals() {
  Prepare();
  const long Self = syscall(SYS_gettid);
  DIR* D = opendir("/proc/self/task");
  if (!D) return;
  while (dirent* E = readdir(D)) {
    const long Tid = std::strtol(E->d_name, nullptr, 10);
    if (Tid <= 0 || Tid == Self) continue;
    if (syscall(SYS_tgkill, getpid(), Tid, StackSignal) == 0) usleep(200 * 1000);
  }
  closedir(D);
}

}  // namespace

void DumpAllStacks() {
  if (!DumpWithGdb()) {
    std::fprintf(stderr, "(no gdb: the threads print their own stacks)\n");
    DumpWithSignals();
  }
}

TWatchdog::TWatchdog(std::chrono::milliseconds Limit, std::string What) {
  Prepare();
  FThread = std::thread([this, Limit, What = std::move(What)] {
    std::unique_lock L(FLock);
    if (FDisarmed.wait_for(L, Limit, [this] { return FDone; })) return;
    std::fprintf(stderr, "\n*** watchdog: %s still running after %lld ms; the stacks of every thread:\n",
                 What.c_str(), static_cast<long long>(Limit.count()));
    std::fflush(stderr);
    DumpAllStacks();
    std::fprintf(stderr, "*** watchdog: aborting\n");
    std::fflush(stderr);
    std::abort();
  });
}

TWatchdog::~TWatchdog() {
  {
    std::lock_guard L(FLock);
    FDone = true;
  }
  FDisarmed.notify_all();
  FThread.join();
}

}  // namespace testsupport
