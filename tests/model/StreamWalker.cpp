#include "tests/model/StreamWalker.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>

namespace modeltest {

namespace {

class TWalker {
public:
  explicit TWalker(const std::string& Data) : FData(Data) {}

  std::vector<TStreamItem> Items(int64_t& Pos, int64_t Stop, int MaxItems = -1) {
    std::vector<TStreamItem> R;
    // Sizes announced by earlier values of the same block.
    std::map<std::string, int64_t> Announced;
    while (Pos < Stop && (MaxItems < 0 || static_cast<int>(R.size()) < MaxItems)) {
      TStreamItem It;
      It.Start = Pos;
      It.Tag = static_cast<int32_t>(Int32(Pos) & 0xFF);
      It.Name = String(Pos);
      if (It.Tag == 0) {
        const int64_t LenAt = Pos;
        const int64_t Len = Int64(Pos);
        const int64_t End = LenAt + Len;
        if (Len < 8 || End > Stop) throw std::runtime_error("block " + It.Name + " runs past its parent");
        It.Children = Items(Pos, End);
        Pos = End;
      } else if (It.Tag == 1) {
        It.Text = String(Pos);
      } else if (It.Tag == 2) {
        const int64_t Size = BinarySize(It.Name, Announced);
        It.Bytes = Take(Pos, Size);
        if (Size == 4) {
          int32_t V;
          std::memcpy(&V, It.Bytes.data(), 4);
          Announced[It.Name] = V;
        }
      } else {
        throw std::runtime_error("unknown tag at " + std::to_string(It.Start));
      }
      It.End = Pos;
      R.push_back(std::move(It));
    }
    return R;
  }

private:
  static int64_t BinarySize(const std::string& Name, const std::map<std::string, int64_t>& Announced) {
    if (Name == "StreamSize" || Name == "FileDate") return 8;
    if (Name.rfind("BufferData", 0) == 0) return Announced.at("BufferSize" + Name.substr(10));
    if (Name == "FontData") return Announced.at("DataSize");
    // The particle-wave configuration's wave table, angles and map parameters.
    if (Name == "Waves") return 252;
    if (Name == "Angle" || Name == "Rot") return 12;
    if (Name == "SinMagicParams" || Name == "SinMagicParams2") return 64;
    // A curve's points (X and Y of each) and a text's font style set.
    if (Name == "Points") return Announced.at("Count") * 8;
    if (Name == "FontStyles") return 1;
    if (Name == "Value") {
      const int64_t Type = Announced.at("Type") & 0xFF;
      if (Type == 4 || Type == 16) return 8;
      return 4;
    }
    return 4;  // IsNIL, PropertyCount, Type, Count, LastMediaId, FileSize, IsEmbedded, ...
  }

  std::string Take(int64_t& Pos, int64_t N) {
    if (N < 0 || Pos + N > static_cast<int64_t>(FData.size()))
      throw std::runtime_error("item runs past the end at " + std::to_string(Pos));
    std::string S = FData.substr(static_cast<size_t>(Pos), static_cast<size_t>(N));
    Pos += N;
    return S;
  }
  int32_t Int32(int64_t& Pos) {
    const std::string B = Take(Pos, 4);
    int32_t V;
    std::memcpy(&V, B.data(), 4);
    return V;
  }
  int64_t Int64(int64_t& Pos) {
    const std::string B = Take(Pos, 8);
    int64_t V;
    std::memcpy(&V, B.data(), 8);
    return V;
  }
  std::string String(int64_t& Pos) { return Take(Pos, Int32(Pos)); }

  const std::string& FData;
};

void Collect(const std::vector<TStreamItem>& Items, std::vector<int64_t>& Out) {
  for (const TStreamItem& It : Items) {
    Out.push_back(It.Start);
    Out.push_back(It.End);
    Collect(It.Children, Out);
  }
}

void CollectContents(const std::vector<TStreamItem>& Items, int64_t MinTextBytes,
                     std::vector<std::pair<int64_t, int64_t>>& Out) {
  for (const TStreamItem& It : Items) {
    const bool Contents = It.Tag == 2 && (It.Name.rfind("BufferData", 0) == 0 || It.Name == "FontData");
    const auto Size = static_cast<int64_t>(It.Tag == 1 ? It.Text.size() : It.Bytes.size());
    if ((Contents && Size > 0) || (It.Tag == 1 && Size > MinTextBytes)) Out.emplace_back(It.End - Size, It.End);
    CollectContents(It.Children, MinTextBytes, Out);
  }
}

void CollectTops(const std::vector<TStreamItem>& Items, std::vector<int64_t>& Out) {
  for (const TStreamItem& It : Items) {
    if (It.Tag == 2 && !It.Bytes.empty() && It.Bytes.size() <= 8) Out.push_back(It.End - 1);
    CollectTops(It.Children, Out);
  }
}

}  // namespace

const TStreamItem* TStreamItem::Child(const std::string& ChildName) const {
  for (const TStreamItem& C : Children)
    if (C.Name == ChildName) return &C;
  return nullptr;
}

const TStreamItem* TStreamItem::Find(const std::vector<std::string>& Path) const {
  const TStreamItem* At = this;
  for (const std::string& P : Path) {
    At = At->Child(P);
    if (!At) return nullptr;
  }
  return At;
}

std::vector<std::string> TStreamItem::ChildNames() const {
  std::vector<std::string> R;
  for (const TStreamItem& C : Children) R.push_back(C.Name);
  return R;
}

int32_t TStreamItem::Int() const {
  if (Bytes.size() != 4) throw std::runtime_error(Name + " is no 4-byte value");
  int32_t V;
  std::memcpy(&V, Bytes.data(), 4);
  return V;
}

std::vector<TStreamItem> WalkItems(const std::string& Data, int64_t Offset, int MaxItems) {
  int64_t Pos = Offset;
  return TWalker(Data).Items(Pos, static_cast<int64_t>(Data.size()), MaxItems);
}

std::vector<int64_t> ItemBoundaries(const std::vector<TStreamItem>& Items) {
  std::vector<int64_t> R;
  Collect(Items, R);
  std::sort(R.begin(), R.end());
  R.erase(std::unique(R.begin(), R.end()), R.end());
  return R;
}

std::vector<std::pair<int64_t, int64_t>> ContentValues(const std::vector<TStreamItem>& Items,
                                                       int64_t MinTextBytes) {
  std::vector<std::pair<int64_t, int64_t>> R;
  CollectContents(Items, MinTextBytes, R);
  return R;
}

std::vector<int64_t> NumberTopBytes(const std::vector<TStreamItem>& Items) {
  std::vector<int64_t> R;
  CollectTops(Items, R);
  return R;
}

}  // namespace modeltest
