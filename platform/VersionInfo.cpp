// Version-information blocks in the Windows layout: nodes of (length, value length, key, value,
// children), each aligned to 4 bytes, strings 8-bit and zero-terminated.

#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/Platform.h"
#include "platform/SysUtils.h"

namespace plat {

namespace {
std::vector<uint8_t> GOwnBlock;
std::map<std::string, std::vector<uint8_t>> GFileBlocks;

std::string RealPath(const std::string& P) {
  char Buf[PATH_MAX];
  return realpath(P.c_str(), Buf) ? std::string(Buf) : P;
}

const std::vector<uint8_t>* BlockOf(const std::string& FileName) {
  const std::string Real = RealPath(FileName);
  if (auto It = GFileBlocks.find(Real); It != GFileBlocks.end()) return &It->second;
  if (!GOwnBlock.empty() && Real == RealPath(ProgramFileName())) return &GOwnBlock;
  return nullptr;
}

void Align4(std::vector<uint8_t>& B) {
  while (B.size() % 4) B.push_back(0);
}

void Put16(std::vector<uint8_t>& B, size_t At, uint16_t V) {
  B[At] = static_cast<uint8_t>(V);
  B[At + 1] = static_cast<uint8_t>(V >> 8);
}

// Appends one node; Children writes the child nodes. Returns nothing; patches its length.
template <class F>
void Node(std::vector<uint8_t>& B, const std::string& Key, const void* Value, uint16_t ValueLen,
          F&& Children) {
  Align4(B);
  const size_t Start = B.size();
  B.resize(B.size() + 4);
  Put16(B, Start + 2, ValueLen);
  B.insert(B.end(), Key.begin(), Key.end());
  B.push_back(0);
  Align4(B);
  const auto* V = static_cast<const uint8_t*>(Value);
  if (ValueLen) B.insert(B.end(), V, V + ValueLen);
  Children();
  Put16(B, Start, static_cast<uint16_t>(B.size() - Start));
}

uint16_t Get16(const uint8_t* P) { return static_cast<uint16_t>(P[0] | (P[1] << 8)); }

struct NodeView {
  const uint8_t* Start;
  uint16_t Length, ValueLength;
  std::string Key;
  const uint8_t* Value;
  const uint8_t* ChildStart;
};

bool ReadNode(const uint8_t* Base, const uint8_t* P, const uint8_t* Limit, NodeView& N) {
  if (Limit - P < 4) return false;
  N.Start = P;
  N.Length = Get16(P);
  N.ValueLength = Get16(P + 2);
  if (N.Length < 4 || P + N.Length > Limit) return false;
  const uint8_t* End = P + N.Length;
  const uint8_t* K = P + 4;
  const void* Z = std::memchr(K, 0, static_cast<size_t>(End - K));
  if (!Z) return false;
  N.Key.assign(reinterpret_cast<const char*>(K), static_cast<const uint8_t*>(Z) - K);
  size_t Off = static_cast<size_t>(static_cast<const uint8_t*>(Z) + 1 - Base);
  Off = (Off + 3) & ~size_t(3);
  N.Value = Base + Off;
  if (N.Value + N.ValueLength > End) return false;
  Off = static_cast<size_t>(N.Value + N.ValueLength - Base);
  Off = (Off + 3) & ~size_t(3);
  N.ChildStart = std::min(Base + Off, End);
  return true;
}
}  // namespace

void SetOwnVersionBlock(std::vector<uint8_t> Block) { GOwnBlock = std::move(Block); }

void SetFileVersionBlock(const std::string& FileName, std::vector<uint8_t> Block) {
  const std::string Real = RealPath(FileName);
  if (Block.empty()) GFileBlocks.erase(Real);
  else GFileBlocks[Real] = std::move(Block);
}

uint32_t GetFileVersionInfoSize(const std::string& FileName) {
  const auto* B = BlockOf(FileName);
  if (!B) {
    SetLastError(ENODATA);
    return 0;
  }
  return static_cast<uint32_t>(B->size());
}

bool GetFileVersionInfo(const std::string& FileName, uint32_t Size, void* Data) {
  const auto* B = BlockOf(FileName);
  if (!B || !Data) {
    SetLastError(ENODATA);
    return false;
  }
  std::memcpy(Data, B->data(), std::min<size_t>(Size, B->size()));
  return Size >= B->size();
}

bool VerQueryValue(const void* Block, const std::string& SubBlock, const void*& Value,
                   uint32_t& Len) {
  Value = nullptr;
  Len = 0;
  if (!Block) return false;
  const auto* Base = static_cast<const uint8_t*>(Block);
  NodeView N;
  if (!ReadNode(Base, Base, Base + Get16(Base), N)) return false;
  size_t Pos = 0;
  while (Pos < SubBlock.size()) {
    while (Pos < SubBlock.size() && SubBlock[Pos] == '\\') ++Pos;
    if (Pos >= SubBlock.size()) break;
    const size_t End = SubBlock.find('\\', Pos);
    const std::string Part = SubBlock.substr(Pos, End == std::string::npos ? std::string::npos : End - Pos);
    Pos = End == std::string::npos ? SubBlock.size() : End;
    const uint8_t* C = N.ChildStart;
    const uint8_t* Limit = N.Start + N.Length;
    bool Found = false;
    while (C < Limit) {
      NodeView Child;
      if (!ReadNode(Base, C, Limit, Child)) return false;
      if (SameText(Child.Key, Part)) {
        N = Child;
        Found = true;
        break;
      }
      size_t Next = static_cast<size_t>(C + Child.Length - Base);
      Next = (Next + 3) & ~size_t(3);
      C = Base + Next;
    }
    if (!Found) return false;
  }
  Value = N.Value;
  Len = N.ValueLength;
  return true;
}

std::vector<uint8_t> BuildVersionBlock(
    const std::vector<std::pair<uint16_t, uint16_t>>& Translations,
    const std::vector<std::pair<std::string, std::string>>& Strings, bool WithVarFileInfo) {
  std::vector<uint8_t> B;
  // The fixed part: signature, structure version, then zeros for the numeric versions.
  uint8_t Fixed[52] = {};
  const uint32_t Sig = 0xFEEF04BD, StrucVer = 0x00010000;
  std::memcpy(Fixed, &Sig, 4);
  std::memcpy(Fixed + 4, &StrucVer, 4);
  Node(B, "VS_VERSION_INFO", Fixed, sizeof Fixed, [&] {
    if (!Translations.empty()) {
      const std::string Key = IntToHex(Translations[0].first, 4) + IntToHex(Translations[0].second, 4);
      Node(B, "StringFileInfo", nullptr, 0, [&] {
        Node(B, Key, nullptr, 0, [&] {
          for (const auto& [K, V] : Strings) {
            std::string Z = V;
            Z.push_back('\0');
            Node(B, K, Z.data(), static_cast<uint16_t>(Z.size()), [] {});
          }
        });
      });
    }
    if (WithVarFileInfo) {
      std::vector<uint8_t> T;
      for (const auto& [Lang, Cp] : Translations) {
        T.push_back(static_cast<uint8_t>(Lang));
        T.push_back(static_cast<uint8_t>(Lang >> 8));
        T.push_back(static_cast<uint8_t>(Cp));
        T.push_back(static_cast<uint8_t>(Cp >> 8));
      }
      Node(B, "VarFileInfo", nullptr, 0, [&] {
        Node(B, "Translation", T.data(), static_cast<uint16_t>(T.size()), [] {});
      });
    }
  });
  return B;
}

}  // namespace plat
