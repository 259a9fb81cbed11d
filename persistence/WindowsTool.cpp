#include "persistence/WindowsTool.h"

#include <cstring>

#include "platform/Platform.h"
#include "platform/SysUtils.h"

TWindowsVersionInfo WindowsVersionInfo;

namespace {
struct WindowsToolStartup {
  WindowsToolStartup() { GetWindowsVersion(WindowsVersionInfo); }
} GWindowsToolStartup;
}  // namespace

bool ShowLastError(const std::string& Context, int ErrorCode) {
  if (ErrorCode == 0) return false;
  const std::string Text = plat::SystemErrorText(ErrorCode);
  plat::MessageBox(Context + "\r\n" + Text, "Error", plat::MB_OK | plat::MB_ICONINFORMATION);
  return true;
}

void GetWindowsVersion(TWindowsVersionInfo& Info) {
  plat::OsVersionRecord Rec;
  Rec.Size = sizeof(Rec);
  if (!plat::GetVersionEx(Rec)) {
    plat::OsVersionRecord Retry;
    Retry.Size = Rec.Size;
    if (!plat::GetVersionEx(Retry)) {
      ShowLastError("WindowTool.GetWindowsVersion", plat::LastError());
      // Without an answer the record says nothing: unknown family, no numbers.
      Info = TWindowsVersionInfo{};
      return;
    }
    Rec = Retry;
  }
  Info.Major = RangeChecked<int>(Rec.Major);
  Info.Minor = RangeChecked<int>(Rec.Minor);
  Info.Build = RangeChecked<int>(Rec.Build);
  switch (Rec.PlatformId) {
    case 2: Info.Platform = wpWindowsNT; break;
    case 1: Info.Platform = wpWindows9x; break;
    case 0: Info.Platform = wpWin32s; break;
    default: Info.Platform = wpOther; break;
  }
  Info.CSDVersion.assign(Rec.CSDVersion, strnlen(Rec.CSDVersion, sizeof Rec.CSDVersion));
}

TWindowsVersionInfo WindowsVersion() { return WindowsVersionInfo; }

std::string GetTempDir() {
  std::string Dir = plat::TempPath();
  if (Dir.empty()) {
    ShowLastError("WindowTool.GetTempDir", plat::LastError());
    return {};
  }
  return Dir;
}

std::string GetSystemDirectory() {
  std::string Dir = plat::SystemDirectory();
  if (Dir.empty()) {
    ShowLastError("WindowTool.GetSystemDirectory", plat::LastError());
    return {};
  }
  return Dir;
}
