#include "platform/Registry.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

namespace {

// Windows-1252 case folding: the registry ignores case for every letter of the code page.
unsigned char Fold(unsigned char C) {
  if (C >= 'a' && C <= 'z') return static_cast<unsigned char>(C - 32);
  if (C >= 0xE0 && C <= 0xFE && C != 0xF7) return static_cast<unsigned char>(C - 32);
  switch (C) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return C;
  }
}

std::string FoldName(const std::string& S) {
  std::string R(S);
  for (char& C : R) C = static_cast<char>(Fold(static_cast<unsigned char>(C)));
  return R;
}

struct Node {
  std::string Name;
  std::map<std::string, std::pair<std::string, RegValue>> Values;  // folded name -> (name, value)
  std::map<std::string, std::unique_ptr<Node>> Children;           // folded name -> key
};

const char* RootName(HKEY Root) {
  switch (Root) {
    case HKEY_CLASSES_ROOT: return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER: return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE: return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS: return "HKEY_USERS";
  }
  return nullptr;
}

const char* RootFile(HKEY Root) {
  switch (Root) {
    case HKEY_CLASSES_ROOT: return "HKCR.reg";
    case HKEY_CURRENT_USER: return "HKCU.reg";
    case HKEY_LOCAL_MACHINE: return "HKLM.reg";
    case HKEY_USERS: return "HKU.reg";
  }
  return nullptr;
}

std::string StoreDir() {
  if (const char* D = std::getenv("RIZUDER_REGISTRY_DIR"); D && *D) return D;
  std::string Base;
  if (const char* X = std::getenv("XDG_CONFIG_HOME"); X && *X) Base = X;
  else Base = std::string(std::getenv("HOME") ? std::getenv("HOME") : "/tmp") + "/.config";
  return Base + "/Zerozezu/registry";
}

bool MakePath(const std::string& Path) {
  struct stat St{};
  if (stat(Path.c_str(), &St) == 0) return S_ISDIR(St.st_mode);
  const size_t Slash = Path.find_last_of('/');
  if (Slash != std::string::npos && Slash > 0 && !MakePath(Path.substr(0, Slash))) return false;
  return mkdir(Path.c_str(), 0700) == 0 || errno == EEXIST;
}

// Splits a key path; false when a segment is empty or holds a control character.
bool SplitPath(const std::string& Path, std::vector<std::string>& Parts) {
  Parts.clear();
  std::string P = Path;
  if (!P.empty() && P.front() == '\\') P.erase(0, 1);
  if (!P.empty() && P.back() == '\\') P.pop_back();
  if (P.empty()) return true;
  size_t Start = 0;
  while (true) {
    const size_t End = P.find('\\', Start);
    std::string Seg = P.substr(Start, End == std::string::npos ? std::string::npos : End - Start);
    if (Seg.empty()) return false;
    for (const char C : Seg)
      if (static_cast<unsigned char>(C) < 0x20) return false;
    Parts.push_back(std::move(Seg));
    if (End == std::string::npos) return true;
    Start = End + 1;
  }
}

// ---------------------------------------------------------------------------------------------
// The export format

std::string Quote(const std::string& S) {
  std::string R = "\"";
  for (const char C : S) {
    if (C == '\\' || C == '"') R.push_back('\\');
    R.push_back(C);
  }
  R.push_back('"');
  return R;
}

std::string HexBytes(const std::string& D) {
  static const char* H = "0123456789abcdef";
  std::string R;
  for (size_t I = 0; I < D.size(); ++I) {
    if (I) R.push_back(',');
    const unsigned char C = static_cast<unsigned char>(D[I]);
    R.push_back(H[C >> 4]);
    R.push_back(H[C & 15]);
  }
  return R;
}

bool IsPlainText(const std::string& D) {
  if (D.empty() || D.back() != '\0') return false;
  for (size_t I = 0; I + 1 < D.size(); ++I)
    if (static_cast<unsigned char>(D[I]) < 0x20) return false;
  return true;
}

void SerializeNode(const Node& N, const std::string& Path, std::string& Out, bool IsRoot) {
  if (!IsRoot || !N.Values.empty()) {
    Out += "[" + Path + "]\n";
    for (const auto& [Folded, NV] : N.Values) {
      const auto& [Name, V] = NV;
      Out += Name.empty() ? std::string("@") : Quote(Name);
      Out += "=";
      if (V.Type == REG_SZ && IsPlainText(V.Data)) {
        Out += Quote(V.Data.substr(0, V.Data.size() - 1));
      } else if (V.Type == REG_DWORD && V.Data.size() == 4) {
        uint32_t D;
        std::memcpy(&D, V.Data.data(), 4);
        Out += "dword:" + LowerCase(IntToHex(D, 8));
      } else if (V.Type == REG_BINARY) {
        Out += "hex:" + HexBytes(V.Data);
      } else {
        Out += "hex(" + LowerCase(IntToHex(V.Type, 1)) + "):" + HexBytes(V.Data);
      }
      Out += "\n";
    }
    Out += "\n";
  }
  for (const auto& [Folded, Child] : N.Children)
    SerializeNode(*Child, Path + "\\" + Child->Name, Out, false);
}

std::string Serialize(const Node& Root, HKEY Key) {
  std::string Out = "REGEDIT4\n\n";
  SerializeNode(Root, RootName(Key), Out, true);
  return Out;
}

class Parser {
public:
  Parser(const std::string& Text, const std::string& File) : FText(Text), FFile(File) {}

  void Parse(Node& Root, HKEY Key) {
    const std::string RootStr = RootName(Key);
    std::string Line;
    bool SeenHeader = false;
    Node* Current = nullptr;
    while (NextLine(Line)) {
      if (Line.empty() || Line[0] == ';') continue;
      if (!SeenHeader) {
        if (Line != "REGEDIT4") Fail("not a registry export");
        SeenHeader = true;
        continue;
      }
      if (Line[0] == '[') {
        const size_t Close = Line.rfind(']');
        if (Close == std::string::npos || Close + 1 != Line.size()) Fail("unterminated key name");
        const std::string Path = Line.substr(1, Close - 1);
        if (Path != RootStr && !StartsWith(Path, RootStr + "\\")) Fail("key outside " + RootStr);
        std::vector<std::string> Parts;
        if (!SplitPath(Path.substr(RootStr.size()), Parts)) Fail("invalid key name");
        Current = &Root;
        for (const auto& Seg : Parts) {
          auto& Slot = Current->Children[FoldName(Seg)];
          if (!Slot) {
            Slot = std::make_unique<Node>();
            Slot->Name = Seg;
          }
          Current = Slot.get();
        }
        continue;
      }
      if (!Current) Fail("value outside a key");
      size_t Pos = 0;
      std::string Name;
      if (Line[0] == '@') {
        Pos = 1;
      } else if (Line[0] == '"') {
        Name = ReadQuoted(Line, Pos);
      } else {
        Fail("unexpected text");
      }
      if (Pos >= Line.size() || Line[Pos] != '=') Fail("'=' expected");
      ++Pos;
      RegValue V = ReadData(Line, Pos);
      Current->Values[FoldName(Name)] = {Name, std::move(V)};
    }
    if (!SeenHeader && !FText.empty()) Fail("not a registry export");
  }

private:
  const std::string& FText;
  const std::string& FFile;
  size_t FPos = 0;
  int FLineNo = 0;

  [[noreturn]] void Fail(const std::string& Why) {
    throw ERegistryException("The registry store \"" + FFile + "\" is damaged (line " +
                             std::to_string(FLineNo) + ": " + Why + ")");
  }

  bool RawLine(std::string& L) {
    if (FPos >= FText.size()) return false;
    size_t E = FText.find('\n', FPos);
    if (E == std::string::npos) E = FText.size();
    L = FText.substr(FPos, E - FPos);
    if (!L.empty() && L.back() == '\r') L.pop_back();
    FPos = E + 1;
    ++FLineNo;
    return true;
  }

  // A line, with hex continuations ("\" at the end) joined.
  bool NextLine(std::string& L) {
    if (!RawLine(L)) return false;
    while (!L.empty() && L.back() == '\\' && L.find("=hex") != std::string::npos) {
      L.pop_back();
      std::string More;
      if (!RawLine(More)) Fail("unterminated continuation");
      size_t B = 0;
      while (B < More.size() && (More[B] == ' ' || More[B] == '\t')) ++B;
      L += More.substr(B);
    }
    return true;
  }

  std::string ReadQuoted(const std::string& L, size_t& Pos) {
    std::string R;
    ++Pos;  // opening quote
    while (true) {
      if (Pos >= L.size()) Fail("unterminated string");
      const char C = L[Pos++];
      if (C == '"') return R;
      if (C == '\\') {
        if (Pos >= L.size()) Fail("unterminated string");
        R.push_back(L[Pos++]);
      } else {
        R.push_back(C);
      }
    }
  }

  std::string ReadHex(const std::string& L, size_t Pos) {
    std::string R;
    auto Digit = [&](char C) -> int {
      if (C >= '0' && C <= '9') return C - '0';
      if (C >= 'a' && C <= 'f') return C - 'a' + 10;
      if (C >= 'A' && C <= 'F') return C - 'A' + 10;
      Fail("invalid hex digit");
    };
    while (Pos < L.size()) {
      if (Pos + 1 >= L.size()) Fail("truncated hex byte");
      R.push_back(static_cast<char>(Digit(L[Pos]) * 16 + Digit(L[Pos + 1])));
      Pos += 2;
      if (Pos < L.size()) {
        if (L[Pos] != ',') Fail("',' expected");
        ++Pos;
        if (Pos >= L.size()) Fail("trailing ','");
      }
    }
    return R;
  }

  RegValue ReadData(const std::string& L, size_t Pos) {
    RegValue V;
    if (Pos < L.size() && L[Pos] == '"') {
      V.Type = REG_SZ;
      V.Data = ReadQuoted(L, Pos);
      if (Pos != L.size()) Fail("text after the value");
      V.Data.push_back('\0');
      return V;
    }
    const std::string Rest = L.substr(Pos);
    if (StartsWith(Rest, "dword:")) {
      const std::string H = Rest.substr(6);
      if (H.size() != 8) Fail("dword needs 8 digits");
      uint32_t D = 0;
      for (const char C : H) {
        int X;
        if (C >= '0' && C <= '9') X = C - '0';
        else if (C >= 'a' && C <= 'f') X = C - 'a' + 10;
        else if (C >= 'A' && C <= 'F') X = C - 'A' + 10;
        else Fail("invalid dword");
        D = D * 16 + static_cast<uint32_t>(X);
      }
      V.Type = REG_DWORD;
      V.Data.assign(reinterpret_cast<const char*>(&D), 4);
      return V;
    }
    if (StartsWith(Rest, "hex:")) {
      V.Type = REG_BINARY;
      V.Data = ReadHex(Rest, 4);
      return V;
    }
    if (StartsWith(Rest, "hex(")) {
      const size_t Close = Rest.find("):");
      if (Close == std::string::npos || Close < 5 || Close > 12) Fail("invalid value type");
      uint32_t T = 0;
      for (size_t I = 4; I < Close; ++I) {
        const char C = Rest[I];
        int X;
        if (C >= '0' && C <= '9') X = C - '0';
        else if (C >= 'a' && C <= 'f') X = C - 'a' + 10;
        else if (C >= 'A' && C <= 'F') X = C - 'A' + 10;
        else Fail("invalid value type");
        T = T * 16 + static_cast<uint32_t>(X);
      }
      V.Type = T;
      V.Data = ReadHex(Rest, Close + 2);
      return V;
    }
    Fail("unknown value form");
  }
};

// ---------------------------------------------------------------------------------------------
// One operation on the store: lock, load (cached by file identity), act, save when changed.

struct Cache {
  std::string File;
  dev_t Dev = 0;
  ino_t Ino = 0;
  timespec MTime{};
  off_t Size = -1;
  std::unique_ptr<Node> Root;
};
Cache GCache;

class Transaction {
public:
  Transaction(HKEY Root, bool Write) : FRoot(Root) {
    if (!RootFile(Root)) throw ERegistryException("Unknown registry root");
    const std::string Dir = StoreDir();
    FFile = Dir + "/" + RootFile(Root);
    if (Write && !MakePath(Dir))
      throw ERegistryException("The registry store directory \"" + Dir + "\" cannot be created: " +
                               std::strerror(errno));
    const std::string LockName = FFile + ".lock";
    FLock.Fd = ::open(LockName.c_str(), (Write ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC, 0600);
    if (FLock.Fd >= 0) {
      while (::flock(FLock.Fd, Write ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
      }
    }
    Load();
  }
  Node& Root() { return *GCache.Root; }

  void Commit() {
    const std::string Text = Serialize(*GCache.Root, FRoot);
    QSaveFile F(QString::fromStdString(FFile));
    if (!F.open(QIODevice::WriteOnly) ||
        F.write(Text.data(), static_cast<qint64>(Text.size())) != static_cast<qint64>(Text.size()) ||
        !F.commit()) {
      GCache.File.clear();  // what is on disk is unknown now
      throw ERegistryException("The registry store \"" + FFile + "\" cannot be written: " +
                               F.errorString().toStdString());
    }
    Remember();
  }

private:
  HKEY FRoot;
  std::string FFile;
  // Closed (and so unlocked) also when the constructor fails after taking the lock.
  struct LockFile {
    int Fd = -1;
    ~LockFile() {
      if (Fd >= 0) ::close(Fd);
    }
  } FLock;

  void Remember() {
    struct stat St{};
    if (stat(FFile.c_str(), &St) == 0) {
      GCache.File = FFile;
      GCache.Dev = St.st_dev;
      GCache.Ino = St.st_ino;
      GCache.MTime = St.st_mtim;
      GCache.Size = St.st_size;
    } else {
      GCache.File.clear();
    }
  }

  void Load() {
    struct stat St{};
    if (stat(FFile.c_str(), &St) != 0) {
      if (errno != ENOENT)
        throw ERegistryException("The registry store \"" + FFile + "\" cannot be read: " +
                                 std::strerror(errno));
      GCache = Cache{};
      GCache.Root = std::make_unique<Node>();
      return;
    }
    if (GCache.Root && GCache.File == FFile && GCache.Dev == St.st_dev && GCache.Ino == St.st_ino &&
        GCache.MTime.tv_sec == St.st_mtim.tv_sec && GCache.MTime.tv_nsec == St.st_mtim.tv_nsec &&
        GCache.Size == St.st_size)
      return;
    TFileStream F(FFile, fmOpenRead | fmShareDenyNone);
    std::string Text(static_cast<size_t>(St.st_size), '\0');
    const int32_t N = F.Read(Text.data(), static_cast<int32_t>(Text.size()));
    Text.resize(static_cast<size_t>(std::max(N, 0)));
    auto NewRoot = std::make_unique<Node>();
    GCache.File.clear();
    Parser(Text, FFile).Parse(*NewRoot, FRoot);
    GCache.Root = std::move(NewRoot);
    Remember();
  }
};

Node* Find(Node& Root, const std::string& Path) {
  std::vector<std::string> Parts;
  if (!SplitPath(Path, Parts)) return nullptr;
  Node* N = &Root;
  for (const auto& Seg : Parts) {
    auto It = N->Children.find(FoldName(Seg));
    if (It == N->Children.end()) return nullptr;
    N = It->second.get();
  }
  return N;
}

Node* FindOrCreate(Node& Root, const std::string& Path, bool& Created) {
  Created = false;
  std::vector<std::string> Parts;
  if (!SplitPath(Path, Parts)) return nullptr;
  Node* N = &Root;
  for (const auto& Seg : Parts) {
    auto& Slot = N->Children[FoldName(Seg)];
    if (!Slot) {
      Slot = std::make_unique<Node>();
      Slot->Name = Seg;
      Created = true;
    }
    N = Slot.get();
  }
  return N;
}

}  // namespace

namespace RegistryStore {

std::string FileFor(HKEY Root) { return StoreDir() + "/" + (RootFile(Root) ? RootFile(Root) : "?"); }

bool KeyExists(HKEY Root, const std::string& Path) {
  Transaction T(Root, false);
  return Find(T.Root(), Path) != nullptr;
}

bool CreateKey(HKEY Root, const std::string& Path) {
  {
    Transaction T(Root, false);
    std::vector<std::string> Parts;
    if (!SplitPath(Path, Parts)) return false;
    if (Find(T.Root(), Path)) return true;
  }
  Transaction T(Root, true);
  bool Created;
  Node* N = FindOrCreate(T.Root(), Path, Created);
  if (!N) return false;
  if (Created) T.Commit();
  return true;
}

bool DeleteKey(HKEY Root, const std::string& Path) {
  std::vector<std::string> Parts;
  if (!SplitPath(Path, Parts) || Parts.empty()) return false;
  Transaction T(Root, true);
  const std::string Last = Parts.back();
  Parts.pop_back();
  Node* N = &T.Root();
  for (const auto& Seg : Parts) {
    auto It = N->Children.find(FoldName(Seg));
    if (It == N->Children.end()) return false;
    N = It->second.get();
  }
  if (N->Children.erase(FoldName(Last)) == 0) return false;
  T.Commit();
  return true;
}

std::optional<std::vector<std::string>> SubKeyNames(HKEY Root, const std::string& Path) {
  Transaction T(Root, false);
  Node* N = Find(T.Root(), Path);
  if (!N) return std::nullopt;
  std::vector<std::string> R;
  for (const auto& [F, C] : N->Children) R.push_back(C->Name);
  return R;
}

std::optional<std::vector<std::string>> ValueNames(HKEY Root, const std::string& Path) {
  Transaction T(Root, false);
  Node* N = Find(T.Root(), Path);
  if (!N) return std::nullopt;
  std::vector<std::string> R;
  for (const auto& [F, V] : N->Values) R.push_back(V.first);
  return R;
}

std::optional<RegValue> ReadValue(HKEY Root, const std::string& Path, const std::string& Name) {
  Transaction T(Root, false);
  Node* N = Find(T.Root(), Path);
  if (!N) return std::nullopt;
  auto It = N->Values.find(FoldName(Name));
  if (It == N->Values.end()) return std::nullopt;
  return It->second.second;
}

bool WriteValue(HKEY Root, const std::string& Path, const std::string& Name, const RegValue& V) {
  Transaction T(Root, true);
  bool Created;
  Node* N = FindOrCreate(T.Root(), Path, Created);
  if (!N) return false;
  auto It = N->Values.find(FoldName(Name));
  if (It != N->Values.end()) {
    It->second.second = V;  // the first spelling of the name stays
  } else {
    N->Values[FoldName(Name)] = {Name, V};
  }
  T.Commit();
  return true;
}

bool DeleteValue(HKEY Root, const std::string& Path, const std::string& Name) {
  Transaction T(Root, true);
  Node* N = Find(T.Root(), Path);
  if (!N || N->Values.erase(FoldName(Name)) == 0) return false;
  T.Commit();
  return true;
}

}  // namespace RegistryStore
}  // namespace plat

// ---------------------------------------------------------------------------------------------

using plat::RegistryStore::ReadValue;

void TRegistry::SetRootKey(HKEY Root) {
  CloseKey();
  FRootKey = Root;
}

std::string TRegistry::Resolve(const std::string& Key) const {
  const std::string K = Utf8ToWin1252(Key);
  if (!K.empty() && K.front() == '\\') return K.substr(1);
  if (!FOpen || FCurrentPath.empty()) return K;
  if (K.empty()) return FCurrentPath;
  return FCurrentPath + "\\" + K;
}

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate) {
  const std::string Path = Resolve(Key);
  std::vector<std::string> Parts;
  const bool Ok = CanCreate ? plat::RegistryStore::CreateKey(FRootKey, Path)
                            : plat::RegistryStore::KeyExists(FRootKey, Path);
  if (!Ok) return false;
  FCurrentPath = Path;
  while (!FCurrentPath.empty() && FCurrentPath.back() == '\\') FCurrentPath.pop_back();
  FOpen = true;
  FReadOnly = false;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& Key) {
  const std::string Path = Resolve(Key);
  if (!plat::RegistryStore::KeyExists(FRootKey, Path)) return false;
  FCurrentPath = Path;
  while (!FCurrentPath.empty() && FCurrentPath.back() == '\\') FCurrentPath.pop_back();
  FOpen = true;
  FReadOnly = true;
  return true;
}

void TRegistry::CloseKey() {
  FOpen = false;
  FReadOnly = false;
  FCurrentPath.clear();
}

bool TRegistry::KeyExists(const std::string& Key) {
  return plat::RegistryStore::KeyExists(FRootKey, Resolve(Key));
}

bool TRegistry::CreateKey(const std::string& Key) {
  return plat::RegistryStore::CreateKey(FRootKey, Resolve(Key));
}

bool TRegistry::DeleteKey(const std::string& Key) {
  return plat::RegistryStore::DeleteKey(FRootKey, Resolve(Key));
}

void TRegistry::GetKeyNames(TStringList& Strings) {
  Strings.Clear();
  if (auto Names = plat::RegistryStore::SubKeyNames(FRootKey, FCurrentPath))
    for (const auto& N : *Names) Strings.Add(Win1252ToUtf8(N));
}

void TRegistry::GetValueNames(TStringList& Strings) {
  Strings.Clear();
  if (auto Names = plat::RegistryStore::ValueNames(FRootKey, FCurrentPath))
    for (const auto& N : *Names) Strings.Add(Win1252ToUtf8(N));
}

bool TRegistry::ValueExists(const std::string& Name) {
  return ReadValue(FRootKey, FCurrentPath, Utf8ToWin1252(Name)).has_value();
}

bool TRegistry::DeleteValue(const std::string& Name) {
  return plat::RegistryStore::DeleteValue(FRootKey, FCurrentPath, Utf8ToWin1252(Name));
}

static TRegDataType DataTypeOf(uint32_t T) {
  switch (T) {
    case REG_SZ: return rdString;
    case REG_EXPAND_SZ: return rdExpandString;
    case REG_DWORD: return rdInteger;
    case REG_BINARY: return rdBinary;
    default: return rdUnknown;
  }
}

TRegDataType TRegistry::GetDataType(const std::string& Name) {
  auto V = ReadValue(FRootKey, FCurrentPath, Utf8ToWin1252(Name));
  return V ? DataTypeOf(V->Type) : rdUnknown;
}

int TRegistry::GetDataSize(const std::string& Name) {
  auto V = ReadValue(FRootKey, FCurrentPath, Utf8ToWin1252(Name));
  return V ? static_cast<int>(V->Data.size()) : -1;
}

int TRegistry::ReadBinaryData(const std::string& Name, void* Buffer, int BufSize) {
  auto V = ReadValue(FRootKey, FCurrentPath, Utf8ToWin1252(Name));
  if (!V) return 0;
  const TRegDataType T = DataTypeOf(V->Type);
  const int Size = static_cast<int>(V->Data.size());
  if ((T != rdBinary && T != rdUnknown) || Size > BufSize)
    throw ERegistryException(Format(SInvalidRegType, Name.c_str()));
  if (Size > 0) std::memcpy(Buffer, V->Data.data(), static_cast<size_t>(Size));
  return Size;
}

void TRegistry::WriteData(const std::string& Name, uint32_t Type, std::string Data) {
  bool Ok = !FReadOnly;
  if (Ok) {
    try {
      Ok = plat::RegistryStore::WriteValue(FRootKey, FCurrentPath, Utf8ToWin1252(Name),
                                           plat::RegValue{Type, std::move(Data)});
    } catch (const ERegistryException&) {
      Ok = false;
    }
  }
  if (!Ok) throw ERegistryException(Format(SRegSetDataFailed, Name.c_str()));
}

void TRegistry::WriteBinaryData(const std::string& Name, const void* Buffer, int BufSize) {
  WriteData(Name, REG_BINARY,
            std::string(static_cast<const char*>(Buffer), static_cast<size_t>(std::max(BufSize, 0))));
}

std::string TRegistry::ReadString(const std::string& Name) {
  auto V = ReadValue(FRootKey, FCurrentPath, Utf8ToWin1252(Name));
  if (!V) return {};
  if (V->Type != REG_SZ && V->Type != REG_EXPAND_SZ)
    throw ERegistryException(Format(SInvalidRegType, Name.c_str()));
  const size_t Z = V->Data.find('\0');
  return Win1252ToUtf8(Z == std::string::npos ? V->Data : V->Data.substr(0, Z));
}

void TRegistry::WriteString(const std::string& Name, const std::string& Value) {
  std::string D = Utf8ToWin1252(Value);
  D.push_back('\0');
  WriteData(Name, REG_SZ, std::move(D));
}

void TRegistry::WriteExpandString(const std::string& Name, const std::string& Value) {
  std::string D = Utf8ToWin1252(Value);
  D.push_back('\0');
  WriteData(Name, REG_EXPAND_SZ, std::move(D));
}

int TRegistry::ReadInteger(const std::string& Name) {
  auto V = ReadValue(FRootKey, FCurrentPath, Utf8ToWin1252(Name));
  if (!V) throw ERegistryException(Format(SRegGetDataFailed, Name.c_str()));
  if (V->Type != REG_DWORD || V->Data.size() != 4)
    throw ERegistryException(Format(SInvalidRegType, Name.c_str()));
  int32_t R;
  std::memcpy(&R, V->Data.data(), 4);
  return R;
}

void TRegistry::WriteInteger(const std::string& Name, int Value) {
  WriteData(Name, REG_DWORD, std::string(reinterpret_cast<const char*>(&Value), 4));
}
