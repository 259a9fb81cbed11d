#include "saver/ScreenSaverUtils.h"

#include <QWidget>

#include "platform/Platform.h"
#include "platform/Registry.h"
#include "platform/SysUtils.h"

uint32_t SaverParentWindow = 0;

namespace {
// The second argument as a window handle; a negative number is no valid handle.
uint32_t HandleArgument() {
  if (plat::ParamCount() < 2) return 0;
  int32_t V;
  if (!TryStrToInt(plat::ParamStr(2), V) || V < 0) return 0;
  return static_cast<uint32_t>(V);
}

using PwdChangePasswordFunc = unsigned (*)(const char*, uintptr_t, unsigned, unsigned);
using VerifyScreenSavePwdFunc = int (*)(uintptr_t);

// Frees the library on every path.
struct Library {
  void* Handle;
  ~Library() { plat::FreeLibrary(Handle); }
};
}  // namespace

void ParseScreenSaverCommandLine() {
  try {
    SaverParentWindow = HandleArgument();
  } catch (...) {
    SaverParentWindow = 0;
  }
}

uint32_t GetSaverParentWindow() { return SaverParentWindow; }

char ScreenSaverModeChar() {
  if (plat::ParamCount() < 1) return 'C';
  std::string S = UpperCase(plat::ParamStr(1));
  if (!S.empty() && (S[0] == '-' || S[0] == '/')) S.erase(0, 1);
  return S.empty() ? '\0' : S[0];
}

void ChangeSaverPassword() {
  Library Lib{plat::LoadLibrary("mpr.dll")};
  if (!Lib.Handle) throw Exception("Error accessing mpr.dll");
  auto Change = reinterpret_cast<PwdChangePasswordFunc>(
      plat::GetProcAddress(Lib.Handle, "PwdChangePasswordA"));
  if (!Change) throw Exception("Function PwdChangePasswordA in mpr.dll not found");
  Change("SCRSAVE", HandleArgument(), 0, 0);
}

bool VerifySaverPassword(QWidget* Form) {
  plat::ShowCursor(true);
  struct CursorBack {
    ~CursorBack() { plat::ShowCursor(false); }
  } Back;
  Library Lib{plat::LoadLibrary("password.cpl")};
  if (!Lib.Handle) throw Exception("Error accessing password.cpl");
  auto Verify = reinterpret_cast<VerifyScreenSavePwdFunc>(
      plat::GetProcAddress(Lib.Handle, "VerifyScreenSavePwd"));
  if (!Verify) throw Exception("Function VerifyScreenSavePwd in password.cpl not found");
  const uintptr_t Owner = Form ? static_cast<uintptr_t>(Form->winId()) : 0;
  return Verify(Owner) != 0;
}

bool SaverPasswordEnabled() {
  try {
    TRegistry Reg;
    Reg.SetRootKey(HKEY_CURRENT_USER);
    if (!Reg.OpenKeyReadOnly("Control Panel\\desktop")) return false;
    return Reg.ReadInteger("ScreenSaveUsePassword") != 0;
  } catch (...) {
    return false;
  }
}

void ActivateScreenSaverFile(const std::string& Path) {
  plat::ShellExecute("rundll32.exe", "desk.cpl,InstallRizuder " + Path);
}
