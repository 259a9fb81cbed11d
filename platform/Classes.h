#pragma once
// Streams and string lists of the run-time library.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/SysUtils.h"

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A byte stream. Read and Write return the count actually moved and never raise; the Buffer
// variants raise on a short transfer. Position and Size are built on Seek, so a descendant
// that redefines Seek redefines them too.
class TStream : public TObject {
public:
  std::string ClassName() const override { return "TStream"; }

  virtual int32_t Read(void* Buffer, int32_t Count) = 0;
  virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
  virtual void SetSize(int32_t NewSize) { SetSize(static_cast<int64_t>(NewSize)); }
  virtual void SetSize(int64_t NewSize);

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t Pos) { Seek(Pos, TSeekOrigin::soBeginning); }
  int64_t Size();

  void ReadBuffer(void* Buffer, int32_t Count);    // EReadError "Stream read error"
  void WriteBuffer(const void* Buffer, int32_t Count);  // EWriteError "Stream write error"
  // Copies Count bytes from Source's position (Count 0: the whole of Source from its start).
  int64_t CopyFrom(TStream& Source, int64_t Count);
};

// File open modes of the run-time library.
inline constexpr uint16_t fmCreate = 0xFFFF;
inline constexpr uint16_t fmOpenRead = 0x0000;
inline constexpr uint16_t fmOpenWrite = 0x0001;
inline constexpr uint16_t fmOpenReadWrite = 0x0002;
inline constexpr uint16_t fmShareCompat = 0x0000;
inline constexpr uint16_t fmShareExclusive = 0x0010;
inline constexpr uint16_t fmShareDenyWrite = 0x0020;
inline constexpr uint16_t fmShareDenyRead = 0x0030;
inline constexpr uint16_t fmShareDenyNone = 0x0040;

// A stream over an open file descriptor. A failed read or write yields 0, never an error.
class THandleStream : public TStream {
public:
  explicit THandleStream(int Handle) : FHandle(Handle) {}
  std::string ClassName() const override { return "THandleStream"; }
  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  using TStream::SetSize;
  void SetSize(int64_t NewSize) override;  // EOSError when the file cannot be cut
  int Handle() const { return FHandle; }

protected:
  int FHandle;
};

// A named file. The file must exist unless Mode is fmCreate (create or truncate). Share modes
// are kept with advisory locks: a mode that denies writing holds the file against other
// writers of this system; share-deny-none and compatibility opens take no lock.
// Rights are the permission bits of a created file.
class TFileStream : public THandleStream {
public:
  TFileStream(const std::string& FileName, uint16_t Mode, uint32_t Rights = 0600);
  ~TFileStream() override;
  // A file made afresh under FileName, readable and writable by the user alone, for reading
  // and writing. nullptr when the name is taken by anything, a link included (never followed);
  // EFOpenError for every other failure.
  static std::unique_ptr<TFileStream> CreateNew(const std::string& FileName);
  std::string ClassName() const override { return "TFileStream"; }
  const std::string& FileName() const { return FFileName; }

private:
  struct TOpened {};
  TFileStream(TOpened, int Handle, const std::string& FileName) : THandleStream(Handle), FFileName(FileName) {}
  std::string FFileName;
};

// A growable block of memory.
class TMemoryStream : public TStream {
public:
  std::string ClassName() const override { return "TMemoryStream"; }
  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  using TStream::SetSize;
  void SetSize(int64_t NewSize) override;
  void Clear();
  void LoadFromStream(TStream& Source);
  void LoadFromFile(const std::string& FileName);
  void SaveToStream(TStream& Dest);
  void SaveToFile(const std::string& FileName);
  uint8_t* Memory() { return FData.data(); }
  const std::vector<uint8_t>& Bytes() const { return FData; }

private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

// ---------------------------------------------------------------------------------------------

enum class TDuplicates { dupIgnore, dupAccept, dupError };

// A list of strings with an associated object pointer each (not owned). Sorted lists use the
// locale comparison ignoring case (AnsiCompareText).
class TStringList : public TObject {
public:
  std::string ClassName() const override { return "TStringList"; }
  int Count() const { return static_cast<int>(FItems.size()); }
  const std::string& Strings(int Index) const;
  TObject* Objects(int Index) const;
  void SetObject(int Index, TObject* Obj);
  int Add(const std::string& S) { return AddObject(S, nullptr); }
  int AddObject(const std::string& S, TObject* Obj);
  void Delete(int Index);
  void Clear() { FItems.clear(); }
  // Binary search of a sorted list; Index is where S is or would be inserted.
  bool Find(const std::string& S, int& Index) const;
  int IndexOf(const std::string& S) const;
  void Sort();
  bool Sorted() const { return FSorted; }
  void SetSorted(bool Value);
  TDuplicates Duplicates = TDuplicates::dupIgnore;

private:
  struct Item {
    std::string S;
    TObject* Obj;
  };
  std::vector<Item> FItems;
  bool FSorted = false;
  void CheckIndex(int Index) const;
};
