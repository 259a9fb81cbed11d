#pragma once
// System error reports, the system version taken at start-up, temporary and system directory.

#include <cstdint>
#include <string>

enum TWindowsPlatform : uint8_t { wpOther = 0, wpWindowsNT = 1, wpWindows9x = 2, wpWin32s = 3 };

struct TWindowsVersionInfo {
  int Major = 0;
  int Minor = 0;
  int Build = 0;
  TWindowsPlatform Platform = wpOther;
  std::string CSDVersion;
};

// Filled once at start-up; read-only afterwards.
extern TWindowsVersionInfo WindowsVersionInfo;

// Reports a system error code in a box titled "Error"; false (and nothing shown) for code 0.
bool ShowLastError(const std::string& Context, int ErrorCode);
void GetWindowsVersion(TWindowsVersionInfo& Info);
TWindowsVersionInfo WindowsVersion();
// With trailing separator, or "" after a reported error.
std::string GetTempDir();
// Without trailing separator, or "" after a reported error.
std::string GetSystemDirectory();
