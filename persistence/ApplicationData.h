#pragma once
// A stream window onto the data appended to a file behind a 16-byte trailer: position 0 is the
// data's first byte, the size ends where the trailer begins, the host bytes in front are out of
// reach. The trailer is the data's start offset (little-endian Int64) and "APPDATA" with a zero.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Classes.h"
#include "platform/SysUtils.h"

RIZ_DECLARE_EXCEPTION(EAppstreamError, Exception);

enum TAppDataAccess : uint8_t { adaRead = 0, adaWrite = 1, adaReadWrite = 2 };

struct TAppDataTrailer {
  int64_t StartOffset;
  char Magic[8];
};
static_assert(sizeof(TAppDataTrailer) == 16);

inline constexpr char AppDataMagic[8] = {'A', 'P', 'P', 'D', 'A', 'T', 'A', '\0'};

class TApplicationDataStream : public TStream {
public:
  // The file must exist. Without a trailer the whole file becomes the host and, in a writable
  // mode, an empty trailer is appended at once.
  TApplicationDataStream(const std::string& FileName, TAppDataAccess Access);
  ~TApplicationDataStream() override;
  std::string ClassName() const override { return "TApplicationDataStream"; }

  int32_t Read(void* Buffer, int32_t Count) override;
  // Keeps a trailer at the end of the file when the write goes past the data end.
  int32_t Write(const void* Buffer, int32_t Count) override;
  // In data coordinates; a result in front of the data raises EAppstreamError after the move.
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  using TStream::SetSize;
  void SetSize(int32_t NewSize) override;
  void SetSize(int64_t NewSize) override;

  int64_t GetTrailerSize() const { return sizeof(TAppDataTrailer); }
  int64_t StartOffset() const { return FStartOffset; }

private:
  bool HasTrailer();
  void ReadTrailer();
  void SeekToStart();
  void WriteTrailer();

  std::unique_ptr<TFileStream> FStream;
  int64_t FStartOffset = 0;
};
