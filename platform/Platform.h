#pragma once
// The operating-system services the system calls, realized on Linux. Every service whose
// behaviour a test cannot control has a hook that replaces it.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace plat {

// ---- millisecond clock: CLOCK_MONOTONIC in ms, truncated to 32 bits (wraps like the original)
uint32_t TickCount();
using TickFunc = std::function<uint32_t()>;
void SetTickHook(TickFunc F);  // empty function: the real clock

// ---- processor
struct CpuidResult {
  uint32_t Eax, Ebx, Ecx, Edx;
};
// Whether the processor has the CPUID instruction, and one leaf of it.
bool HasCpuid();
CpuidResult Cpuid(uint32_t Leaf);
// Whether the fast raster paths may use SSE2 (always true on x86-64).
bool HasSSE2();

// ---- system version, in the shape of the 148-byte version record
struct OsVersionRecord {
  uint32_t Size = 148;
  uint32_t Major = 0, Minor = 0, Build = 0, PlatformId = 0;
  char CSDVersion[128] = {};
};
// Fills the record; false (errno set) when Size is not a size the system accepts.
// The family is the NT one (2); RIZUDER_PLATFORM=9x reports the 9x family (1) for tests.
bool GetVersionEx(OsVersionRecord& Rec);

// ---- directories; an empty result means failure with errno set
std::string TempPath();        // with its trailing '/'
std::string SystemDirectory();  // no trailing '/'; created on demand

// ---- errors
int LastError();  // errno of the last failing call of this layer
void SetLastError(int Code);
std::string SystemErrorText(int Code);  // empty for an unknown code

// ---- the program's own file (the one carrying the appended data); tests may point it elsewhere
std::string ProgramFileName();
void SetProgramFileName(const std::string& Path);  // empty: the real one

// ---- application title (message captions, single-instance key)
std::string ApplicationTitle();
void SetApplicationTitle(const std::string& Title);

// ---- message boxes, with the flags and results of the Windows message box
enum : unsigned {
  MB_OK = 0x00,
  MB_OKCANCEL = 0x01,
  MB_YESNO = 0x04,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_DEFBUTTON2 = 0x100,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };
struct MessageBoxRequest {
  std::string Text, Caption;
  unsigned Flags;
};
// Shows a modal message box and returns the button pressed. With a sink installed the sink
// answers instead and nothing is shown (tests; also used when no GUI exists).
int MessageBox(const std::string& Text, const std::string& Caption, unsigned Flags);
using MessageBoxSink = std::function<int(const MessageBoxRequest&)>;
void SetMessageBoxSink(MessageBoxSink Sink);  // empty function: real boxes
// The framework's plain message: caption = application title, OK, no icon.
void ShowMessage(const std::string& Text);

// ---- screen-saver running flag and cursor visibility counter
void SetScreenSaverRunning(bool Running);
bool ScreenSaverRunning();
// Like the Windows counter: the cursor is hidden while the count is below 0. Returns the count.
int ShowCursor(bool Show);
int CursorCount();

// ---- shell
// Opens a document or web address with the desktop's handler; the result is not reported.
void ShellOpen(const std::string& Address);
// Starts a program with parameters; the result is not reported.
void ShellExecute(const std::string& Program, const std::string& Parameters);
struct ShellCall {
  std::string Verb, File, Parameters;
};
using ShellHook = std::function<void(const ShellCall&)>;
void SetShellHook(ShellHook Hook);  // tests record calls instead of launching

// ---- loadable modules, searched only in $RIZUDER_STANDIN_DIR as "<name>.so"
void* LoadLibrary(const std::string& Name);  // nullptr when absent
void* GetProcAddress(void* Module, const std::string& Name);
void FreeLibrary(void* Module);

// ---- file version block (Windows VS_VERSIONINFO layout)
// Size of the version block that FileName carries, 0 when none.
uint32_t GetFileVersionInfoSize(const std::string& FileName);
bool GetFileVersionInfo(const std::string& FileName, uint32_t Size, void* Data);
// Looks SubBlock up in a block: "\\" (root), "\\VarFileInfo\\Translation",
// "\\StringFileInfo\\<lang+cp>\\<key>". Value points into Block; Len counts bytes for binary
// values and characters (terminating zero included) for strings, which are 8-bit here.
bool VerQueryValue(const void* Block, const std::string& SubBlock, const void*& Value,
                   uint32_t& Len);
// Builds a block: translation pairs and the string table under the first one.
std::vector<uint8_t> BuildVersionBlock(
    const std::vector<std::pair<uint16_t, uint16_t>>& Translations,
    const std::vector<std::pair<std::string, std::string>>& Strings, bool WithVarFileInfo = true);

}  // namespace plat

namespace plat {
// The version block that the running program carries (its own file answers with it).
void SetOwnVersionBlock(std::vector<uint8_t> Block);
// Tests give other files a block; an empty block removes it.
void SetFileVersionBlock(const std::string& FileName, std::vector<uint8_t> Block);
}  // namespace plat

namespace plat {
// The program's command line: ParamStr(0) is the program, 1..ParamCount() the arguments.
void SetCommandLine(int Argc, const char* const* Argv);
void SetCommandLine(const std::vector<std::string>& Args);
int ParamCount();
std::string ParamStr(int Index);  // "" outside the range
}  // namespace plat
