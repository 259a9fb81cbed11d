#include "persistence/ApplicationData.h"

#include <cstring>

namespace {
uint16_t FileModeFor(TAppDataAccess Access) {
  switch (Access) {
    case adaRead: return fmOpenRead | fmShareDenyNone;
    case adaWrite: return fmOpenWrite | fmShareDenyWrite;
    case adaReadWrite: return fmOpenReadWrite | fmShareDenyWrite;
    default: return fmOpenRead;
  }
}
}  // namespace

TApplicationDataStream::TApplicationDataStream(const std::string& FileName, TAppDataAccess Access)
    : FStream(std::make_unique<TFileStream>(FileName, FileModeFor(Access))) {
  if (HasTrailer()) {
    ReadTrailer();
    SeekToStart();
  } else {
    FStartOffset = FStream->Seek(0, TSeekOrigin::soEnd);
    WriteTrailer();
  }
}

TApplicationDataStream::~TApplicationDataStream() = default;

bool TApplicationDataStream::HasTrailer() {
  char Tail[8];
  FStream->Seek(-8, TSeekOrigin::soEnd);
  if (FStream->Read(Tail, 8) < 8) return false;
  return std::memcmp(Tail, AppDataMagic, 8) == 0;
}

void TApplicationDataStream::ReadTrailer() {
  FStream->Seek(-GetTrailerSize(), TSeekOrigin::soEnd);
  uint8_t Bytes[8] = {};
  FStream->Read(Bytes, 8);
  uint64_t V = 0;
  for (int I = 7; I >= 0; --I) V = (V << 8) | Bytes[I];
  FStartOffset = static_cast<int64_t>(V);
}

void TApplicationDataStream::SeekToStart() { FStream->Seek(FStartOffset, TSeekOrigin::soBeginning); }

void TApplicationDataStream::WriteTrailer() {
  const int64_t Pos = FStream->Position();
  FStream->Seek(0, TSeekOrigin::soEnd);
  uint8_t Bytes[8];
  uint64_t V = static_cast<uint64_t>(FStartOffset);
  for (int I = 0; I < 8; ++I, V >>= 8) Bytes[I] = static_cast<uint8_t>(V);
  FStream->Write(Bytes, 8);
  FStream->Write(AppDataMagic, 8);
  FStream->Seek(Pos, TSeekOrigin::soBeginning);
}

int32_t TApplicationDataStream::Read(void* Buffer, int32_t Count) {
  return FStream->Read(Buffer, Count);
}

int32_t TApplicationDataStream::Write(const void* Buffer, int32_t Count) {
  const int64_t OldSize = Size();
  const int64_t NewEnd = CheckedAdd<int64_t>(Position(), Count);
  const int32_t Result = FStream->Write(Buffer, Count);
  if (NewEnd > OldSize) WriteTrailer();
  return Result;
}

int64_t TApplicationDataStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t FilePos = -1;
  switch (Origin) {
    case TSeekOrigin::soBeginning:
      FilePos = FStream->Seek(CheckedAdd(FStartOffset, Offset), TSeekOrigin::soBeginning);
      break;
    case TSeekOrigin::soCurrent:
      FilePos = FStream->Seek(Offset, TSeekOrigin::soCurrent);
      break;
    case TSeekOrigin::soEnd:
      FilePos = FStream->Seek(CheckedSub(Offset, GetTrailerSize()), TSeekOrigin::soEnd);
      break;
  }
  // A refused move reports -1 and so lands in front of the data as well.
  const int64_t Result = CheckedSub(FilePos, FStartOffset);
  if (Result < 0) throw EAppstreamError("TApplicationDataStream.Seek : Range error");
  return Result;
}

void TApplicationDataStream::SetSize(int32_t NewSize) { SetSize(static_cast<int64_t>(NewSize)); }

void TApplicationDataStream::SetSize(int64_t NewSize) {
  FStream->SetSize(CheckedAdd(FStartOffset, NewSize));
  const int64_t Pos = FStream->Position();
  FStream->Seek(0, TSeekOrigin::soEnd);
  WriteTrailer();
  FStream->Seek(Pos, TSeekOrigin::soBeginning);
}
