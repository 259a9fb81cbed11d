#pragma once
// The registry: keys and typed values below predefined roots, one store file per root in the
// user's configuration directory, in the plain-text registry export format. Key and value
// names compare without regard to case and keep the case they were created with. Every
// operation is atomic: the store is read and rewritten (temporary file, fsync, rename) under
// an advisory lock, so two processes never lose each other's writes. A damaged store file is
// reported with ERegistryException and is never replaced.
//
// Text crosses this interface in UTF-8 and is stored as Windows-1252.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "platform/SysUtils.h"

RIZ_DECLARE_EXCEPTION(ERegistryException, Exception);

enum HKEY : uint32_t {
  HKEY_CLASSES_ROOT = 0x80000000u,
  HKEY_CURRENT_USER = 0x80000001u,
  HKEY_LOCAL_MACHINE = 0x80000002u,
  HKEY_USERS = 0x80000003u,
};

enum : uint32_t {
  REG_NONE = 0,
  REG_SZ = 1,
  REG_EXPAND_SZ = 2,
  REG_BINARY = 3,
  REG_DWORD = 4,
};

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

inline constexpr const char* SInvalidRegType = "Invalid data type for '%s'";
inline constexpr const char* SRegSetDataFailed = "Failed to set data for '%s'";
inline constexpr const char* SRegGetDataFailed = "Failed to get data for '%s'";

namespace plat {

// A raw value: its type number and its bytes as the registry keeps them (text values with
// their terminating zero, in Windows-1252).
struct RegValue {
  uint32_t Type = REG_NONE;
  std::string Data;
};

// Byte-level access to one root's store. Key paths are backslash-separated below the root;
// an empty path is the root itself; a path with an empty segment names no key.
namespace RegistryStore {
std::string FileFor(HKEY Root);  // the store file's path
bool KeyExists(HKEY Root, const std::string& Path);
bool CreateKey(HKEY Root, const std::string& Path);  // with every missing parent
bool DeleteKey(HKEY Root, const std::string& Path);  // with its subtree
std::optional<std::vector<std::string>> SubKeyNames(HKEY Root, const std::string& Path);
std::optional<std::vector<std::string>> ValueNames(HKEY Root, const std::string& Path);
std::optional<RegValue> ReadValue(HKEY Root, const std::string& Path, const std::string& Name);
// Creates the key when needed and replaces any value of that name.
bool WriteValue(HKEY Root, const std::string& Path, const std::string& Name, const RegValue& V);
bool DeleteValue(HKEY Root, const std::string& Path, const std::string& Name);
}  // namespace RegistryStore

}  // namespace plat

// The framework's registry access object: one current key at a time, opened by path.
class TRegistry : public TObject {
public:
  TRegistry() = default;
  std::string ClassName() const override { return "TRegistry"; }

  HKEY RootKey() const { return FRootKey; }
  void SetRootKey(HKEY Root);
  // A path starting with '\' is taken from the root, any other from the current key.
  bool OpenKey(const std::string& Key, bool CanCreate);
  bool OpenKeyReadOnly(const std::string& Key);
  void CloseKey();
  bool KeyExists(const std::string& Key);
  bool CreateKey(const std::string& Key);
  bool DeleteKey(const std::string& Key);
  const std::string& CurrentPath() const { return FCurrentPath; }
  bool HasCurrentKey() const { return FOpen; }

  void GetKeyNames(TStringList& Strings);
  void GetValueNames(TStringList& Strings);
  bool ValueExists(const std::string& Name);
  bool DeleteValue(const std::string& Name);
  TRegDataType GetDataType(const std::string& Name);
  int GetDataSize(const std::string& Name);  // -1 when the value does not exist

  // Missing value: 0 and nothing copied. Binary (or any non-text, non-integer type) of at most
  // BufSize bytes: copied. Otherwise ERegistryException "Invalid data type for '%s'".
  int ReadBinaryData(const std::string& Name, void* Buffer, int BufSize);
  void WriteBinaryData(const std::string& Name, const void* Buffer, int BufSize);
  // Missing value: "". Text up to the first zero; another type raises.
  std::string ReadString(const std::string& Name);
  void WriteString(const std::string& Name, const std::string& Value);
  void WriteExpandString(const std::string& Name, const std::string& Value);
  int ReadInteger(const std::string& Name);  // a 32-bit value only, else raises
  void WriteInteger(const std::string& Name, int Value);

private:
  std::string Resolve(const std::string& Key) const;
  void WriteData(const std::string& Name, uint32_t Type, std::string Data);
  HKEY FRootKey = HKEY_CURRENT_USER;
  std::string FCurrentPath;
  bool FOpen = false;
  bool FReadOnly = false;
};
