#include <cstring>

#include "persistence/PropertyBags.h"

// Positions are handed to the stream as signed 32-bit offsets, as the stored format's writers
// did: a block at 2 GiB or beyond is a range error, never a silently wrapped offset.
void TStreamPropertyBag::SeekTo(int64_t Position) {
  FStream.Seek(RangeChecked<int32_t>(Position), TSeekOrigin::soBeginning);
}

int64_t TStreamPropertyBag::StreamSize() {
  if (FStreamSize < 0) FStreamSize = FStream.Size();
  return FStreamSize;
}

int64_t TStreamPropertyBag::ReadLimit() const {
  return FContexts.empty() ? INT64_MAX : FContexts.back().Limit;
}

void TStreamPropertyBag::CheckReadable(int64_t Count) {
  const int64_t Pos = FStream.Position();
  const int64_t Limit = ReadLimit();
  const int64_t Size = StreamSize();
  // No block reaches beyond the stream, so an item that runs past its block is damage; outside
  // every block the stream's end is the only bound, and running past it is the read error.
  if (Limit <= Size && (Pos > Limit || Count > Limit - Pos))
    Fatal("TStreamPropertyBag.ReadBytes : item runs past the end of its block", RIZ_ROUTINE);
  if (Pos > Size || Count > Size - Pos) throw EReadError(SReadError);
}

void TStreamPropertyBag::ReadBytes(void* Buffer, int64_t Count) {
  if (Count <= 0) return;
  CheckReadable(Count);
  auto* P = static_cast<uint8_t*>(Buffer);
  while (Count > 0) {
    const int32_t N = FStream.Read(P, static_cast<int32_t>(std::min<int64_t>(Count, INT32_MAX)));
    if (N <= 0) throw EReadError(SReadError);
    P += N;
    Count -= N;
  }
}

void TStreamPropertyBag::WriteBytes(const void* Buffer, int32_t Count) {
  FStream.WriteBuffer(Buffer, Count);
}

int32_t TStreamPropertyBag::ReadTag() {
  int32_t Tag = 0;
  ReadBytes(&Tag, sizeof Tag);
  return Tag;
}

void TStreamPropertyBag::WriteTag(int32_t Tag) {
  const int32_t Stored = Tag & 0x7F;
  WriteBytes(&Stored, sizeof Stored);
}

std::string TStreamPropertyBag::ReadString() {
  int32_t Length = 0;
  ReadBytes(&Length, sizeof Length);
  if (Length < 0)
    Fatal(Format("TStreamPropertyBag.ReadString : invalid string length %d", Length), RIZ_ROUTINE);
  // Checked before the allocation: a stored length never costs more memory than the stream has.
  CheckReadable(Length);
  std::string S(static_cast<size_t>(Length), '\0');
  ReadBytes(S.data(), Length);
  return Win1252ToUtf8(S);
}

void TStreamPropertyBag::WriteString(const std::string& S) {
  const std::string Stored = Utf8ToWin1252(S);
  const int32_t Length = RangeChecked<int32_t>(Stored.size());
  WriteBytes(&Length, sizeof Length);
  WriteBytes(Stored.data(), Length);
}

void TStreamPropertyBag::PushContext(const TSPBContext& Context) {
  CheckBlockDepth(FContexts.size(), RIZ_ROUTINE);
  FContexts.push_back(Context);
}

void TStreamPropertyBag::PopContext() {
  if (FContexts.empty()) RaiseListIndexError(-1);
  FContexts.pop_back();
}

TSPBContext& TStreamPropertyBag::CurrentContext() {
  if (FContexts.empty()) RaiseListIndexError(-1);
  return FContexts.back();
}

bool TStreamPropertyBag::Open(bool ForWriting) {
  if (ForWriting) return true;
  FStreamSize = FStream.Size();
  return FStreamSize - FStream.Position() > 0;
}

// ---------------------------------------------------------------------------------------------
// Blocks

void TStreamPropertyBag::BeginBlockWrite(const std::string& Name) {
  CheckBlockDepth(FContexts.size(), RIZ_ROUTINE);
  WriteTag(sitBlock);
  WriteString(Name);
  TSPBContext C;
  C.BlockStart = FStream.Position();
  RangeChecked<int32_t>(C.BlockStart);
  // The length is patched in by EndBlockWrite; zeros hold its place meanwhile.
  const int64_t Placeholder = 0;
  WriteBytes(&Placeholder, sizeof Placeholder);
  PushContext(C);
}

void TStreamPropertyBag::EndBlockWrite() {
  const TSPBContext C = CurrentContext();
  const int64_t End = FStream.Position();
  RangeChecked<int32_t>(End);
  const int64_t Length = End - C.BlockStart;
  SeekTo(C.BlockStart);
  WriteBytes(&Length, sizeof Length);
  SeekTo(End);
  PopContext();
}

void TStreamPropertyBag::BeginNextBlockRead(std::string& Name) {
  CheckBlockDepth(FContexts.size(), RIZ_ROUTINE);
  const int32_t Tag = ReadTag();
  if ((Tag & 0xFF) != sitBlock) {
    Error(pbeItemTagMismatch, "", RIZ_ROUTINE);
    // The handler let it pass: no block was entered. A placeholder keeps Begin and End paired;
    // leaving it keeps the position where reading has got to.
    TSPBContext C;
    C.BlockStart = FStream.Position();
    C.Limit = ReadLimit();
    C.Entered = false;
    Name.clear();
    PushContext(C);
    return;
  }
  Name = ReadString();
  TSPBContext C;
  C.BlockStart = FStream.Position();
  ReadBytes(&C.BlockSize, sizeof C.BlockSize);
  const int64_t End = CheckedAdd(C.BlockStart, C.BlockSize);
  // A block covers at least its own length field and never reaches beyond its parent or the
  // stream: a length it cannot have is refused before anything inside it is read.
  if (C.BlockSize < 8 || End > ReadLimit() || End > StreamSize())
    Fatal(Format("TStreamPropertyBag.BeginNextBlockRead : invalid length %lld of block %s",
                 static_cast<long long>(C.BlockSize), Name.c_str()), RIZ_ROUTINE);
  C.Limit = End;
  PushContext(C);
}

void TStreamPropertyBag::BeginBlockRead(const std::string& Name) {
  std::string Read;
  BeginNextBlockRead(Read);
  if (CurrentContext().Entered && Read != Name)
    Error(pbeBlockNameMismatch, "TStreamPropertyBag.BeginBlockRead : block name mismatch : " + Read,
          RIZ_ROUTINE);
}

void TStreamPropertyBag::EndBlockRead() {
  const TSPBContext C = CurrentContext();
  if (C.Entered) SeekTo(CheckedAdd(C.BlockStart, C.BlockSize));
  PopContext();
}

// ---------------------------------------------------------------------------------------------
// Values

void TStreamPropertyBag::WriteStringValue(const std::string& Name, const std::string& Value) {
  WriteTag(sitString);
  WriteString(Name);
  WriteString(Value);
}

void TStreamPropertyBag::WriteBinaryValue(const std::string& Name, const void* Buffer, int32_t Size) {
  WriteTag(sitBinary);
  WriteString(Name);
  if (Size > 0) WriteBytes(Buffer, Size);
}

bool TStreamPropertyBag::ReadStringValue(const std::string& Name, std::string& Value) {
  if ((ReadTag() & 0xFF) != sitString) {
    Error(pbeItemTagMismatch, "", RIZ_ROUTINE);
    return false;
  }
  const std::string Read = ReadString();
  if (Read != Name) {
    Error(pbeValueNameMismatch, "TStreamPropertyBag.ReadStringValue : value name mismatch : " + Read,
          RIZ_ROUTINE);
    return false;
  }
  Value = ReadString();
  return true;
}

int32_t TStreamPropertyBag::ReadBinaryValue(const std::string& Name, void* Buffer, int32_t Size) {
  if ((ReadTag() & 0xFF) != sitBinary) {
    Error(pbeItemTagMismatch, "", RIZ_ROUTINE);
    return 0;
  }
  const std::string Read = ReadString();
  if (Read != Name) {
    Error(pbeValueNameMismatch, "TStreamPropertyBag.ReadBinaryValue : value name mismatch : " + Read,
          RIZ_ROUTINE);
    return 0;
  }
  if (Size <= 0) return 0;
  ReadBytes(Buffer, Size);
  return Size;
}
