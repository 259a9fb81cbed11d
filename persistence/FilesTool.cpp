#include "persistence/FilesTool.h"

#include <cstdint>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#include "platform/Classes.h"
#include "platform/Platform.h"
#include "platform/SysUtils.h"

bool FileExists(const std::string& FileName) {
  struct stat St{};
  return stat(FileName.c_str(), &St) == 0 && !S_ISDIR(St.st_mode);
}

bool GetFileVersionStrings(const std::string& FileName, std::string& CompanyName,
                           std::string& FileDescription, std::string& FileVersion,
                           std::string& InternalName, std::string& LegalCopyright,
                           std::string& OriginalFilename, std::string& ProductName,
                           std::string& ProductVersion) {
  const uint32_t Size = plat::GetFileVersionInfoSize(FileName);
  if (Size == 0) return false;
  std::vector<uint8_t> Buffer(Size);
  if (!plat::GetFileVersionInfo(FileName, Size, Buffer.data())) return false;
  const void* Value;
  uint32_t Len;
  if (plat::VerQueryValue(Buffer.data(), "\\VarFileInfo\\Translation", Value, Len) && Len >= 4) {
    const auto* P = static_cast<const uint8_t*>(Value);
    const uint16_t Language = static_cast<uint16_t>(P[0] | (P[1] << 8));
    const uint16_t CodePage = static_cast<uint16_t>(P[2] | (P[3] << 8));
    const std::string Translation = IntToHex(Language, 4) + IntToHex(CodePage, 4);
    struct {
      const char* Key;
      std::string* Out;
    } const Keys[] = {{"\\CompanyName", &CompanyName},         {"\\FileDescription", &FileDescription},
                      {"\\FileVersion", &FileVersion},         {"\\InternalName", &InternalName},
                      {"\\LegalCopyright", &LegalCopyright},   {"\\OriginalFilename", &OriginalFilename},
                      {"\\ProductName", &ProductName},         {"\\ProductVersion", &ProductVersion}};
    for (const auto& K : Keys) {
      if (plat::VerQueryValue(Buffer.data(), "\\StringFileInfo\\" + Translation + K.Key, Value, Len)) {
        std::string S;
        const auto* C = static_cast<const char*>(Value);
        for (uint32_t I = 0; I < Len; ++I)
          if (C[I] != '\0') S.push_back(C[I]);
        *K.Out = Win1252ToUtf8(S);
      }
    }
  }
  return true;
}

namespace {
// Dir/Prefix<counter as 16 hex digits>.Ext, the counter starting from the bytes of the current
// date and time and counting up with each call.
class TUniqueNames {
public:
  TUniqueNames(const std::string& Dir, const std::string& Prefix, const std::string& Ext)
      : FBase(((Dir.empty() || Dir.back() != '/') ? Dir + "/" : Dir) + Prefix), FExt(Ext) {
    const TDateTime Stamp = Now();
    static_assert(sizeof FCounter == sizeof Stamp);
    std::memcpy(&FCounter, &Stamp, sizeof FCounter);
  }
  std::string Next() { return FBase + IntToHex(FCounter++, 16) + "." + FExt; }

private:
  std::string FBase, FExt;
  uint64_t FCounter;
};
}  // namespace

void MakeUniqueFileName(const std::string& Dir, const std::string& Prefix, const std::string& Ext,
                        std::string& FileName) {
  TUniqueNames Names(Dir, Prefix, Ext);
  do FileName = Names.Next();
  while (FileExists(FileName));
}

std::unique_ptr<TFileStream> CreateUniqueFile(const std::string& Dir, const std::string& Prefix,
                                              const std::string& Ext, std::string& FileName) {
  TUniqueNames Names(Dir, Prefix, Ext);
  for (;;) {
    std::string Name = Names.Next();
    // The exclusive creation is what reserves a name: one taken meanwhile, by a file or a
    // planted link, is passed over.
    if (std::unique_ptr<TFileStream> File = TFileStream::CreateNew(Name)) {
      FileName = std::move(Name);
      return File;
    }
  }
}
