#include "persistence/FilesTool.h"

#include <cstdint>
#include <cstring>
#include <sys/stat.h>
#include <vector>

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

void MakeUniqueFileName(const std::string& Dir, const std::string& Prefix, const std::string& Ext,
                        std::string& FileName) {
  const TDateTime Stamp = Now();
  uint64_t Counter;
  static_assert(sizeof Counter == sizeof Stamp);
  std::memcpy(&Counter, &Stamp, sizeof Counter);
  const std::string Base = (Dir.empty() || Dir.back() != '/') ? Dir + "/" : Dir;
  do {
    FileName = Base + Prefix + IntToHex(Counter, 16) + "." + Ext;
    ++Counter;
  } while (FileExists(FileName));
}
