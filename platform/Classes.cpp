#include "platform/Classes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

int64_t TStream::Size() {
  const int64_t Pos = Seek(0, TSeekOrigin::soCurrent);
  const int64_t Result = Seek(0, TSeekOrigin::soEnd);
  Seek(Pos, TSeekOrigin::soBeginning);
  return Result;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(void* Buffer, int32_t Count) {
  if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError(SReadError);
}

void TStream::WriteBuffer(const void* Buffer, int32_t Count) {
  if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError(SWriteError);
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
  if (Count == 0) {
    Source.SetPosition(0);
    Count = Source.Size();
  }
  const int64_t Result = Count;
  constexpr int32_t MaxBufSize = 0xF000;
  std::vector<uint8_t> Buffer(static_cast<size_t>(std::min<int64_t>(Count, MaxBufSize)));
  while (Count != 0) {
    const int32_t N = static_cast<int32_t>(std::min<int64_t>(Count, MaxBufSize));
    Source.ReadBuffer(Buffer.data(), N);
    WriteBuffer(Buffer.data(), N);
    Count -= N;
  }
  return Result;
}

// ---------------------------------------------------------------------------------------------

int32_t THandleStream::Read(void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  size_t Done = 0;
  auto* P = static_cast<uint8_t*>(Buffer);
  while (Done < static_cast<size_t>(Count)) {
    const ssize_t N = ::read(FHandle, P + Done, static_cast<size_t>(Count) - Done);
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) break;
    Done += static_cast<size_t>(N);
  }
  return static_cast<int32_t>(Done);
}

int32_t THandleStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  size_t Done = 0;
  const auto* P = static_cast<const uint8_t*>(Buffer);
  while (Done < static_cast<size_t>(Count)) {
    const ssize_t N = ::write(FHandle, P + Done, static_cast<size_t>(Count) - Done);
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) break;
    Done += static_cast<size_t>(N);
  }
  return static_cast<int32_t>(Done);
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int Whence = Origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : Origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  return ::lseek(FHandle, Offset, Whence);
}

void THandleStream::SetSize(int64_t NewSize) {
  Seek(NewSize, TSeekOrigin::soBeginning);
  if (::ftruncate(FHandle, NewSize) != 0) RaiseLastOSError(errno);
}

// ---------------------------------------------------------------------------------------------

namespace {
int OpenFile(const std::string& FileName, uint16_t Mode, uint32_t Rights) {
  if (Mode == fmCreate)
    return ::open(FileName.c_str(), O_CREAT | O_TRUNC | O_RDWR | O_CLOEXEC, Rights);
  static const int Access[3] = {O_RDONLY, O_WRONLY, O_RDWR};
  const int A = Mode & 3;
  if (A > 2) {
    errno = EINVAL;
    return -1;
  }
  return ::open(FileName.c_str(), Access[A] | O_CLOEXEC);
}

// Advisory lock standing for the share mode; false when another holder excludes us.
bool LockForShareMode(int Fd, uint16_t Mode) {
  int Op = 0;
  if (Mode == fmCreate) {
    Op = LOCK_EX;
  } else {
    const uint16_t Share = Mode & 0xF0;
    const bool Writes = (Mode & 3) != 0;
    if (Share == fmShareExclusive || Share == fmShareDenyWrite) Op = LOCK_EX;
    else if (Writes && Share == fmShareDenyRead) Op = LOCK_EX;
    else if (Writes && Share != fmShareDenyNone) Op = LOCK_SH;
  }
  if (Op == 0) return true;
  while (::flock(Fd, Op | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    return errno != EWOULDBLOCK;  // file systems without locks do not refuse the open
  }
  return true;
}
}  // namespace

TFileStream::TFileStream(const std::string& FileName, uint16_t Mode, uint32_t Rights)
    : THandleStream(-1), FFileName(FileName) {
  FHandle = OpenFile(FileName, Mode, Rights);
  if (FHandle < 0) {
    const int E = errno;
    throw EFOpenError(Format(Mode == fmCreate ? SFCreateErrorEx : SFOpenErrorEx, FileName.c_str(),
                             std::strerror(E)));
  }
  if (!LockForShareMode(FHandle, Mode)) {
    ::close(FHandle);
    FHandle = -1;
    throw EFOpenError(Format(Mode == fmCreate ? SFCreateErrorEx : SFOpenErrorEx, FileName.c_str(),
                             "The file is in use by another process"));
  }
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

std::unique_ptr<TFileStream> TFileStream::CreateNew(const std::string& FileName) {
  int Fd;
  do {
    Fd = ::open(FileName.c_str(), O_CREAT | O_EXCL | O_NOFOLLOW | O_RDWR | O_CLOEXEC, 0600);
  } while (Fd < 0 && errno == EINTR);
  if (Fd < 0) {
    const int E = errno;
    if (E == EEXIST || E == ELOOP) return nullptr;
    throw EFOpenError(Format(SFCreateErrorEx, FileName.c_str(), std::strerror(E)));
  }
  return std::unique_ptr<TFileStream>(new TFileStream(TOpened{}, Fd, FileName));
}

// ---------------------------------------------------------------------------------------------

int32_t TMemoryStream::Read(void* Buffer, int32_t Count) {
  if (Count <= 0 || FPosition < 0) return 0;
  const int64_t Avail = static_cast<int64_t>(FData.size()) - FPosition;
  if (Avail <= 0) return 0;
  const int32_t N = static_cast<int32_t>(std::min<int64_t>(Avail, Count));
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(N));
  FPosition += N;
  return N;
}

int32_t TMemoryStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0 || FPosition < 0) return 0;
  const int64_t End = FPosition + Count;
  if (End > static_cast<int64_t>(FData.size())) {
    try {
      FData.resize(static_cast<size_t>(End));
    } catch (const std::bad_alloc&) {
      throw EOutOfMemory("Out of memory while expanding memory stream");
    }
  }
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition = End;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  switch (Origin) {
    case TSeekOrigin::soBeginning: FPosition = Offset; break;
    case TSeekOrigin::soCurrent: FPosition += Offset; break;
    case TSeekOrigin::soEnd: FPosition = static_cast<int64_t>(FData.size()) + Offset; break;
  }
  return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) NewSize = 0;
  const int64_t Old = FPosition;
  try {
    FData.resize(static_cast<size_t>(NewSize));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory while expanding memory stream");
  }
  if (Old > NewSize) FPosition = NewSize;
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& Source) {
  Source.SetPosition(0);
  const int64_t Count = Source.Size();
  SetSize(Count);
  if (Count != 0) Source.ReadBuffer(FData.data(), static_cast<int32_t>(Count));
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
  TFileStream F(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(F);
}

void TMemoryStream::SaveToStream(TStream& Dest) {
  if (!FData.empty()) Dest.WriteBuffer(FData.data(), static_cast<int32_t>(FData.size()));
}

void TMemoryStream::SaveToFile(const std::string& FileName) {
  TFileStream F(FileName, fmCreate);
  SaveToStream(F);
}

// ---------------------------------------------------------------------------------------------

void TStringList::CheckIndex(int Index) const {
  if (Index < 0 || Index >= Count()) RaiseListIndexError(Index);
}

const std::string& TStringList::Strings(int Index) const {
  CheckIndex(Index);
  return FItems[static_cast<size_t>(Index)].S;
}

TObject* TStringList::Objects(int Index) const {
  CheckIndex(Index);
  return FItems[static_cast<size_t>(Index)].Obj;
}

void TStringList::SetObject(int Index, TObject* Obj) {
  CheckIndex(Index);
  FItems[static_cast<size_t>(Index)].Obj = Obj;
}

int TStringList::AddObject(const std::string& S, TObject* Obj) {
  int Index = Count();
  if (FSorted) {
    if (Find(S, Index)) {
      if (Duplicates == TDuplicates::dupIgnore) return Index;
      if (Duplicates == TDuplicates::dupError) throw EStringListError(SDuplicateString);
    }
  }
  FItems.insert(FItems.begin() + Index, Item{S, Obj});
  return Index;
}

void TStringList::Delete(int Index) {
  CheckIndex(Index);
  FItems.erase(FItems.begin() + Index);
}

bool TStringList::Find(const std::string& S, int& Index) const {
  int L = 0, H = Count() - 1;
  bool Result = false;
  while (L <= H) {
    const int I = (L + H) >> 1;
    const int C = AnsiCompareText(FItems[static_cast<size_t>(I)].S, S);
    if (C < 0) {
      L = I + 1;
    } else {
      H = I - 1;
      if (C == 0) {
        Result = true;
        if (Duplicates != TDuplicates::dupAccept) L = I;
      }
    }
  }
  Index = L;
  return Result;
}

int TStringList::IndexOf(const std::string& S) const {
  if (FSorted) {
    int I;
    return Find(S, I) ? I : -1;
  }
  for (int I = 0; I < Count(); ++I)
    if (AnsiCompareText(FItems[static_cast<size_t>(I)].S, S) == 0) return I;
  return -1;
}

void TStringList::Sort() {
  std::stable_sort(FItems.begin(), FItems.end(), [](const Item& A, const Item& B) {
    return AnsiCompareText(A.S, B.S) < 0;
  });
}

void TStringList::SetSorted(bool Value) {
  if (Value && !FSorted) Sort();
  FSorted = Value;
}
