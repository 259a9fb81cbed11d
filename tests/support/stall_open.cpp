// Preloaded into a program under test (LD_PRELOAD), it makes opening some files stall, as on a
// disk that stops answering: an open of a path containing $RIZUDER_STALL_OPEN, made on any thread
// but the main one, waits $RIZUDER_STALL_OPEN_MS milliseconds first, or for ever when that is not
// set. The first stall creates the file $RIZUDER_STALL_OPEN_MARK, so a test knows it began.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

void StallFor(const char* Path) {
  const char* Match = std::getenv("RIZUDER_STALL_OPEN");
  if (!Path || !Match || !*Match || !std::strstr(Path, Match)) return;
  if (::syscall(SYS_gettid) == ::getpid()) return;  // the main thread writes the files
  if (const char* Mark = std::getenv("RIZUDER_STALL_OPEN_MARK"); Mark && *Mark) {
    using TOpen = int (*)(const char*, int, ...);
    static const auto RealOpen = reinterpret_cast<TOpen>(::dlsym(RTLD_NEXT, "open"));
    const int Fd = RealOpen(Mark, O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (Fd >= 0) ::close(Fd);
  }
  const char* Ms = std::getenv("RIZUDER_STALL_OPEN_MS");
  if (!Ms || !*Ms) {
    for (;;) ::pause();
  }
  const long Wait = std::strtol(Ms, nullptr, 10);
  timespec T{Wait / 1000, (Wait % 1000) * 1000000L};
  while (::nanosleep(&T, &T) != 0) {
  }
}

mode_t ModeArg(int Flags, va_list Args) {
  return (Flags & O_CREAT) || (Flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(Args, int)) : 0;
}

// Stalls when Path is to stall, then opens it with the next library's Name (Lead: the arguments
// in front of the path).
template <class... Lead>
int StallThenOpen(const char* Name, Lead... L, const char* Path, int Flags, mode_t Mode) {
  StallFor(Path);
  const auto Real = reinterpret_cast<int (*)(Lead..., const char*, int, ...)>(::dlsym(RTLD_NEXT, Name));
  return Real(L..., Path, Flags, Mode);
}

}  // namespace

#define RIZ_MODE_OF(Flags)          \
  va_list Args;                     \
  va_start(Args, Flags);            \
  const mode_t Mode = ModeArg(Flags, Args); \
  va_end(Args)

extern "C" {

int open(const char* Path, int Flags, ...) {
  RIZ_MODE_OF(Flags);
  return StallThenOpen<>("open", Path, Flags, Mode);
}

int open64(const char* Path, int Flags, ...) {
  RIZ_MODE_OF(Flags);
  return StallThenOpen<>("open64", Path, Flags, Mode);
}

int openat(int Dir, const char* Path, int Flags, ...) {
  RIZ_MODE_OF(Flags);
  return StallThenOpen<int>("openat", Dir, Path, Flags, Mode);
}

int openat64(int Dir, const char* Path, int Flags, ...) {
  RIZ_MODE_OF(Flags);
  return StallThenOpen<int>("openat64", Dir, Path, Flags, Mode);
}

}  // extern "C"
