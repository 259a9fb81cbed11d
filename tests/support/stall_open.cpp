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

template <class F>
F Next(const char* Name) {
  return reinterpret_cast<F>(::dlsym(RTLD_NEXT, Name));
}

mode_t ModeArg(int Flags, va_list Args) {
  return (Flags & O_CREAT) || (Flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(Args, int)) : 0;
}

}  // namespace

extern "C" {

int open(const char* Path, int Flags, ...) {
  va_list Args;
  va_start(Args, Flags);
  const mode_t Mode = ModeArg(Flags, Args);
  va_end(Args);
  StallFor(Path);
  static const auto Real = Next<int (*)(const char*, int, ...)>("open");
  return Real(Path, Flags, Mode);
}

int open64(const char* Path, int Flags, ...) {
  va_list Args;
  va_start(Args, Flags);
  const mode_t Mode = ModeArg(Flags, Args);
  va_end(Args);
  StallFor(Path);
  static const auto Real = Next<int (*)(const char*, int, ...)>("open64");
  return Real(Path, Flags, Mode);
}

int openat(int Dir, const char* Path, int Flags, ...) {
  va_list Args;
  va_start(Args, Flags);
  const mode_t Mode = ModeArg(Flags, Args);
  va_end(Args);
  StallFor(Path);
  static const auto Real = Next<int (*)(int, const char*, int, ...)>("openat");
  return Real(Dir, Path, Flags, Mode);
}

int openat64(int Dir, const char* Path, int Flags, ...) {
  va_list Args;
  va_start(Args, Flags);
  const mode_t Mode = ModeArg(Flags, Args);
  va_end(Args);
  StallFor(Path);
  static const auto Real = Next<int (*)(int, const char*, int, ...)>("openat64");
  return Real(Dir, Path, Flags, Mode);
}

}  // extern "C"
