#include "platform/Platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QMoveEvent>
#include <QProcess>
#include <QResizeEvent>
#include <QShowEvent>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "platform/Forms.h"
#include "platform/Registry.h"
#include "platform/SysUtils.h"

namespace plat {

namespace {
TickFunc GTickHook;
thread_local int GLastError = 0;
std::string GProgramFileOverride;
std::string GTitle;
MessageBoxSink GMessageBoxSink;
bool GScreenSaverRunning = false;
int GCursorCount = 0;
ShellHook GShellHook;
}  // namespace

uint32_t TickCount() {
  if (GTickHook) return GTickHook();
  timespec Ts{};
  clock_gettime(CLOCK_MONOTONIC, &Ts);
  const uint64_t Ms = static_cast<uint64_t>(Ts.tv_sec) * 1000u + static_cast<uint64_t>(Ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(Ms);
}

void SetTickHook(TickFunc F) { GTickHook = std::move(F); }

// ---------------------------------------------------------------------------------------------

bool HasCpuid() {
#if defined(__x86_64__)
  return true;  // every x86-64 processor has it; the ID flag cannot be absent
#elif defined(__i386__)
  return __get_cpuid_max(0, nullptr) != 0;
#else
  return false;
#endif
}

CpuidResult Cpuid(uint32_t Leaf) {
  CpuidResult R{0, 0, 0, 0};
#if defined(__x86_64__) || defined(__i386__)
  __cpuid(Leaf, R.Eax, R.Ebx, R.Ecx, R.Edx);
#else
  (void)Leaf;
#endif
  return R;
}

bool HasSSE2() {
#if defined(__SSE2__)
  return true;
#else
  return false;
#endif
}

// ---------------------------------------------------------------------------------------------

bool GetVersionEx(OsVersionRecord& Rec) {
  if (Rec.Size != sizeof(OsVersionRecord)) {
    Rec.Size = sizeof(OsVersionRecord);
    errno = GLastError = EINVAL;
    return false;
  }
  utsname U{};
  if (uname(&U) != 0) {
    GLastError = errno;
    return false;
  }
  unsigned Major = 0, Minor = 0, Patch = 0;
  std::sscanf(U.release, "%u.%u.%u", &Major, &Minor, &Patch);
  Rec.Major = Major;
  Rec.Minor = Minor;
  Rec.Build = Patch;
  const char* P = std::getenv("RIZUDER_PLATFORM");
  Rec.PlatformId = (P && std::strcmp(P, "9x") == 0) ? 1 : 2;
  std::memset(Rec.CSDVersion, 0, sizeof Rec.CSDVersion);
  return true;
}

// ---------------------------------------------------------------------------------------------

namespace {
bool IsDirectory(const std::string& Path) {
  struct stat St{};
  return stat(Path.c_str(), &St) == 0 && S_ISDIR(St.st_mode);
}

// mkdir -p; true when the directory exists afterwards.
bool MakePath(const std::string& Path) {
  if (Path.empty()) return false;
  if (IsDirectory(Path)) return true;
  const size_t Slash = Path.find_last_of('/');
  if (Slash != std::string::npos && Slash > 0 && !MakePath(Path.substr(0, Slash))) return false;
  if (mkdir(Path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return IsDirectory(Path);
}

std::string HomeDir() {
  const char* H = std::getenv("HOME");
  return H && *H ? std::string(H) : std::string("/tmp");
}
}  // namespace

std::string TempPath() {
  const char* T = std::getenv("TMPDIR");
  std::string Dir = (T && *T && IsDirectory(T)) ? std::string(T) : std::string("/tmp");
  if (!IsDirectory(Dir)) {
    GLastError = ENOENT;
    return {};
  }
  if (Dir.back() != '/') Dir.push_back('/');
  return Dir;
}

std::string SystemDirectory() {
  std::string Dir;
  if (const char* S = std::getenv("RIZUDER_SYSTEM_DIR"); S && *S) {
    Dir = S;
  } else {
    const char* D = std::getenv("XDG_DATA_HOME");
    Dir = (D && *D) ? std::string(D) : HomeDir() + "/.local/share";
    Dir += "/Zerozezu/ScreenSavers";
  }
  while (Dir.size() > 1 && Dir.back() == '/') Dir.pop_back();
  if (!MakePath(Dir)) {
    GLastError = errno ? errno : EACCES;
    return {};
  }
  return Dir;
}

int LastError() { return GLastError; }
void SetLastError(int Code) { GLastError = Code; }

std::string SystemErrorText(int Code) {
  if (Code <= 0) return {};
  char Buf[256];
  const char* S = strerror_r(Code, Buf, sizeof Buf);
  std::string R = S ? S : "";
  if (StartsWith(R, "Unknown error")) return {};
  return R;
}

// ---------------------------------------------------------------------------------------------

std::string ProgramFileName() {
  if (!GProgramFileOverride.empty()) return GProgramFileOverride;
  char Buf[PATH_MAX];
  const ssize_t N = readlink("/proc/self/exe", Buf, sizeof Buf - 1);
  if (N <= 0) return {};
  return std::string(Buf, static_cast<size_t>(N));
}

void SetProgramFileName(const std::string& Path) { GProgramFileOverride = Path; }

std::string ApplicationTitle() {
  if (!GTitle.empty()) return GTitle;
  // Without a title of its own a program is known by its file's base name.
  std::string Name = ExtractFileName(ProgramFileName());
  const size_t Dot = Name.rfind('.');
  if (Dot != std::string::npos && Dot > 0) Name.resize(Dot);
  return Name;
}

void SetApplicationTitle(const std::string& Title) { GTitle = Title; }

// ---------------------------------------------------------------------------------------------

namespace {
// Centred on the screen as it is now: after a display-mode switch the framework would centre it
// on the size it still believes in. Once it learns the new size the box sizes itself anew (its
// text wraps at a share of the screen's width) and is centred again, unless it has been put
// elsewhere in the meantime.
class TMessageBox : public QMessageBox {
public:
  using QMessageBox::QMessageBox;

protected:
  void showEvent(QShowEvent* Event) override {
    QMessageBox::showEvent(Event);  // sizes the box
    if (!Event->spontaneous()) Centre();
  }
  void resizeEvent(QResizeEvent* Event) override {
    QMessageBox::resizeEvent(Event);
    if (!FPlaces.empty() && !FMovedAway && isVisible()) Centre();
  }
  void moveEvent(QMoveEvent* Event) override {
    QMessageBox::moveEvent(Event);
    // The window system reports the box's own moves as well, some of them late; a place it was
    // never put at is the user's (or the window manager's) choice.
    if (!Event->spontaneous() || FPlaces.empty()) return;
    const QPoint Now = pos();
    if (std::none_of(FPlaces.begin(), FPlaces.end(), [&](const QPoint& P) {
          return std::abs(P.x() - Now.x()) <= 1 && std::abs(P.y() - Now.y()) <= 1;
        }))
      FMovedAway = true;
  }

private:
  void Centre() {
    CentreOnScreen(this);
    FPlaces.push_back(pos());
  }
  std::vector<QPoint> FPlaces;  // where the box was put, since it was shown
  bool FMovedAway = false;
};
}  // namespace

void SetMessageBoxSink(MessageBoxSink Sink) { GMessageBoxSink = std::move(Sink); }

int MessageBox(const std::string& Text, const std::string& Caption, unsigned Flags) {
  const MessageBoxRequest Req{Text, Caption, Flags};
  if (GMessageBoxSink) return GMessageBoxSink(Req);
  const bool YesNo = (Flags & 0x0F) == MB_YESNO;
  const bool OkCancel = (Flags & 0x0F) == MB_OKCANCEL;
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    std::fprintf(stderr, "%s: %s\n", Caption.c_str(), Text.c_str());
    return YesNo ? ((Flags & MB_DEFBUTTON2) ? IDNO : IDYES) : IDOK;
  }
  QMessageBox::Icon Icon = QMessageBox::NoIcon;
  switch (Flags & 0xF0) {
    case MB_ICONERROR: Icon = QMessageBox::Critical; break;
    case MB_ICONQUESTION: Icon = QMessageBox::Question; break;
    case MB_ICONWARNING: Icon = QMessageBox::Warning; break;
    case MB_ICONINFORMATION: Icon = QMessageBox::Information; break;
    default: break;
  }
  TMessageBox Box(Icon, QString::fromStdString(Caption), QString::fromStdString(Text));
  if (YesNo) {
    Box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    Box.setDefaultButton((Flags & MB_DEFBUTTON2) ? QMessageBox::No : QMessageBox::Yes);
  } else if (OkCancel) {
    Box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    Box.setDefaultButton((Flags & MB_DEFBUTTON2) ? QMessageBox::Cancel : QMessageBox::Ok);
  } else {
    Box.setStandardButtons(QMessageBox::Ok);
  }
  Box.setWindowFlag(Qt::WindowStaysOnTopHint);
  switch (Box.exec()) {
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Cancel: return IDCANCEL;
    default: return IDOK;
  }
}

void ShowMessage(const std::string& Text) { MessageBox(Text, ApplicationTitle(), MB_OK); }

// ---------------------------------------------------------------------------------------------

void SetScreenSaverRunning(bool Running) { GScreenSaverRunning = Running; }
bool ScreenSaverRunning() { return GScreenSaverRunning; }

int ShowCursor(bool Show) {
  const int Before = GCursorCount;
  GCursorCount += Show ? 1 : -1;
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    if (Before >= 0 && GCursorCount < 0) QGuiApplication::setOverrideCursor(Qt::BlankCursor);
    else if (Before < 0 && GCursorCount >= 0) QGuiApplication::restoreOverrideCursor();
  }
  return GCursorCount;
}

int CursorCount() { return GCursorCount; }

// ---------------------------------------------------------------------------------------------

void SetShellHook(ShellHook Hook) { GShellHook = std::move(Hook); }

void ShellOpen(const std::string& Address) {
  if (GShellHook) {
    GShellHook({"open", Address, ""});
    return;
  }
  QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(Address)));
}

void ShellExecute(const std::string& Program, const std::string& Parameters) {
  if (GShellHook) {
    GShellHook({"open", Program, Parameters});
    return;
  }
  // There is no display control panel: its installer entry is played by recording the saver
  // as the active one, as the control panel would.
  static const std::string InstallEntry = "desk.cpl,InstallRizuder ";
  if (SameText(Program, "rundll32.exe")) {
    if (StartsWith(Parameters, InstallEntry)) {
      try {
        TRegistry Reg;
        Reg.SetRootKey(HKEY_CURRENT_USER);
        if (Reg.OpenKey("Control Panel\\desktop", true))
          Reg.WriteString("SCRNSAVE.EXE", Parameters.substr(InstallEntry.size()));
      } catch (const std::exception&) {
        // The shell's result is not reported.
      }
    }
    return;
  }
  QProcess::startDetached(QString::fromStdString(Program),
                          QProcess::splitCommand(QString::fromStdString(Parameters)));
}

// ---------------------------------------------------------------------------------------------

void* LoadLibrary(const std::string& Name) {
  const char* Dir = std::getenv("RIZUDER_STANDIN_DIR");
  if (!Dir || !*Dir || Name.find('/') != std::string::npos) {
    GLastError = ENOENT;
    return nullptr;
  }
  const std::string Path = std::string(Dir) + "/" + Name + ".so";
  void* H = dlopen(Path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!H) GLastError = ENOENT;
  return H;
}

void* GetProcAddress(void* Module, const std::string& Name) {
  return Module ? dlsym(Module, Name.c_str()) : nullptr;
}

void FreeLibrary(void* Module) {
  if (Module) dlclose(Module);
}

}  // namespace plat

namespace plat {
namespace {
std::vector<std::string> GArgs;
}
void SetCommandLine(int Argc, const char* const* Argv) {
  GArgs.assign(Argv, Argv + Argc);
}
void SetCommandLine(const std::vector<std::string>& Args) { GArgs = Args; }
int ParamCount() { return GArgs.empty() ? 0 : static_cast<int>(GArgs.size()) - 1; }
std::string ParamStr(int Index) {
  if (Index == 0) return ProgramFileName();
  if (Index < 0 || Index >= static_cast<int>(GArgs.size())) return {};
  return GArgs[static_cast<size_t>(Index)];
}
}  // namespace plat
