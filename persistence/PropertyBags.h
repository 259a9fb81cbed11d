#pragma once
// Property bags: where reflective objects are written and read. A bag holds named blocks that
// nest and, inside them, named string and binary values. On these primitives TPropertyBag
// builds the object record (blocks "ClassInfo", "Properties", "InnerProperties"), the typed
// helpers, nested objects and embedded streams. TStreamPropertyBag keeps them as tagged items
// in a byte stream, TRegistryPropertyBag as a registry subtree.
//
// Every failure without an error handler raises EPropertyBagError; failures of the medium (a
// stream that ends early, a registry value of the wrong type) raise the medium's own errors.
// A damaged stream whose structure cannot be followed (impossible lengths, nesting deeper than
// MaxBlockDepth) raises EPropertyBagError even when a handler is set.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "persistence/ReflectionObjects.h"
#include "platform/Classes.h"
#include "platform/Registry.h"

// The name of the routine it is written in, as the compiler spells it, for a bag's error text.
// Passed at each call: a default argument would need std::source_location, which clang before
// 15 lacks (its __builtin_FUNCTION() drops the class).
#define RIZ_ROUTINE __PRETTY_FUNCTION__

enum TBagErrorCode : uint8_t {
  pbeTypeMismatch = 1,
  pbePropertyNotFound = 2,
  pbeUnknownClass = 3,
  pbeClassNameMismatch = 4,
  pbeCannotOpen = 5,
  pbeUnsupportedType = 6,
  pbeUnsupportedObjectClass = 7,
  pbeStreamSizeMismatch = 8,
  pbeValueNameMismatch = 10,
  pbeBlockNameMismatch = 11,
  pbeItemTagMismatch = 12,
};

RIZ_DECLARE_EXCEPTION(EPropertyBagError, EReflectivePersistentError);

class TPropertyBag {
public:
  // Deep enough for any real record (a show nests about 20 blocks), shallow enough that the
  // recursion of the reader stays far from the end of the stack.
  static constexpr int MaxBlockDepth = 256;
  // Embedded streams move in chunks of at most this size through one fixed buffer.
  static constexpr int32_t ChunkSize = 65536;

  TPropertyBag() = default;
  TPropertyBag(const TPropertyBag&) = delete;
  TPropertyBag& operator=(const TPropertyBag&) = delete;
  virtual ~TPropertyBag() = default;

  // ---- primitives of the medium
  // Reading: whether a record is there to read; writing: whether one can be written.
  virtual bool Open(bool ForWriting) = 0;
  virtual void Close() = 0;
  virtual void BeginNextBlockRead(std::string& Name) = 0;
  virtual void BeginBlockRead(const std::string& Name) = 0;
  virtual void EndBlockRead() = 0;
  virtual void BeginBlockWrite(const std::string& Name) = 0;
  virtual void EndBlockWrite() = 0;
  // Reads at most Size bytes of the binary value Name into Buffer and returns how many were
  // delivered (0: none; the buffer keeps its content).
  virtual int32_t ReadBinaryValue(const std::string& Name, void* Buffer, int32_t Size) = 0;
  virtual void WriteBinaryValue(const std::string& Name, const void* Buffer, int32_t Size) = 0;
  // Whether a value was delivered. When not (a stream bag error passed to a handler), Value
  // stays as it was and a property keeps its own. The registry bag always delivers: a missing
  // value reads as the empty string.
  virtual bool ReadStringValue(const std::string& Name, std::string& Value) = 0;
  virtual void WriteStringValue(const std::string& Name, const std::string& Value) = 0;

  // ---- the object record
  // Reads one record at the current level into Obj, or into a new object of the stored class
  // when Obj is nullptr (the caller then owns it). False when there is nothing to read (Obj
  // untouched). An empty-reference record leaves Obj as it was passed.
  bool ReadObject(TReflectivePersistent*& Obj, const TPropertyBagErrorEvent& OnError = {});
  bool ReadObject(std::unique_ptr<TReflectivePersistent>& Obj,
                  const TPropertyBagErrorEvent& OnError = {});
  // Writes Obj's record; nullptr writes the empty-reference record.
  void WriteObject(TReflectivePersistent* Obj, const TPropertyBagErrorEvent& OnError = {});

  // A nested record in the block Name, with the bag's current handler. An object made for an
  // empty reference is handed out only once the block is left; a failure frees it.
  void ReadObjectValue(const std::string& Name, TReflectivePersistent*& Obj);
  void ReadObjectValue(const std::string& Name, std::unique_ptr<TReflectivePersistent>& Obj);
  // Into an existing object, in place.
  void ReadObjectValue(const std::string& Name, TReflectivePersistent& Existing);
  // Into an owned object: filled in place when present, else created from the stored class
  // name; a stored object that is no T is reported as an unsupported object class and freed.
  template <class T>
  void ReadObjectValue(const std::string& Name, std::unique_ptr<T>& Obj);
  void WriteObjectValue(const std::string& Name, TReflectivePersistent* Obj);

  // ---- typed values; a value the bag does not deliver reads as 0
  int32_t ReadInteger(const std::string& Name);
  void WriteInteger(const std::string& Name, int32_t Value);
  int64_t ReadInt64(const std::string& Name);
  void WriteInt64(const std::string& Name, int64_t Value);
  double ReadFloat(const std::string& Name);
  void WriteFloat(const std::string& Name, double Value);

  // ---- embedded streams: block Name with "StreamSize", "BufferCount" and the chunks
  // Appends the stored bytes to Dest at its position.
  void ReadStream(const std::string& Name, TStream& Dest);
  // Stores Source from its position; the announced size is the whole stream's.
  void WriteStream(const std::string& Name, TStream& Source);

  TReflectivePersistent* CurrentObject() const { return FObj; }
  const TPropertyBagErrorEvent& OnError() const { return FOnError; }

  // Composes "Error in procedure : <routine>, InstanceClass : <class>, Message <Msg>" and hands
  // it to the handler, or raises EPropertyBagError without one. <routine> is the caller's
  // RIZ_ROUTINE.
  void Error(TBagErrorCode Code, const std::string& Msg, const char* Where);

protected:
  // The same text, always raised: the bag cannot go on.
  [[noreturn]] void Fatal(const std::string& Msg, const char* Where);
  void CheckBlockDepth(size_t Depth, const char* Where);

private:
  void ReadProperty();
  void WriteProperty(int Index);
  void ReadPropertyValue(int Index);
  void WritePropertyValue(int Index);
  std::string ComposeText(const std::string& Msg, const char* Where) const;
  uint8_t* Buffer();

  TReflectivePersistent* FObj = nullptr;
  TPropertyBagErrorEvent FOnError;
  std::unique_ptr<uint8_t[]> FBuffer;  // the one chunk buffer of the embedded streams
};

template <class T>
void TPropertyBag::ReadObjectValue(const std::string& Name, std::unique_ptr<T>& Obj) {
  if (Obj) {
    ReadObjectValue(Name, static_cast<TReflectivePersistent&>(*Obj));
    return;
  }
  std::unique_ptr<TReflectivePersistent> Held;
  ReadObjectValue(Name, Held);
  if (!Held) return;
  if (T* Typed = dynamic_cast<T*>(Held.get())) {
    Held.release();
    Obj.reset(Typed);
    return;
  }
  Error(pbeUnsupportedObjectClass,
        "TPropertyBag.ReadObjectValue : unsupportet object property class : " + Held->ClassName(),
        RIZ_ROUTINE);
}

// ---------------------------------------------------------------------------------------------

// Item tags of the object stream.
enum TStreamItemTag : int32_t { sitBlock = 0, sitString = 1, sitBinary = 2 };

// One entered block of a stream bag.
struct TSPBContext {
  int64_t BlockStart = 0;  // position of the block's 8-byte length field
  int64_t BlockSize = 0;   // the length read from it (reading only)
  // Reading: no byte of the block may be read beyond this position.
  int64_t Limit = INT64_MAX;
  // Reading: false for a block whose tag did not match (with a handler); leaving it does not
  // move the position.
  bool Entered = true;
};

// The bag over a byte stream: little-endian tagged items (tag, name, payload); a block's
// length counts from its own length field to the end of its last item. Text is stored as
// Windows-1252. The stream is not owned; reading and writing start at its position.
class TStreamPropertyBag : public TPropertyBag {
public:
  explicit TStreamPropertyBag(TStream& Stream) : FStream(Stream) {}

  bool Open(bool ForWriting) override;
  void Close() override {}
  void BeginNextBlockRead(std::string& Name) override;
  void BeginBlockRead(const std::string& Name) override;
  void EndBlockRead() override;
  void BeginBlockWrite(const std::string& Name) override;
  void EndBlockWrite() override;
  int32_t ReadBinaryValue(const std::string& Name, void* Buffer, int32_t Size) override;
  void WriteBinaryValue(const std::string& Name, const void* Buffer, int32_t Size) override;
  bool ReadStringValue(const std::string& Name, std::string& Value) override;
  void WriteStringValue(const std::string& Name, const std::string& Value) override;

  TStream& Stream() const { return FStream; }
  int BlockDepth() const { return static_cast<int>(FContexts.size()); }

private:
  int32_t ReadTag();
  void WriteTag(int32_t Tag);
  std::string ReadString();
  void WriteString(const std::string& S);
  void ReadBytes(void* Buffer, int64_t Count);
  void WriteBytes(const void* Buffer, int32_t Count);
  void PushContext(const TSPBContext& Context);
  void PopContext();
  TSPBContext& CurrentContext();
  // Bytes that may still be read at the position: up to the innermost block's end, or the
  // stream's end. Raises the matching error when Count bytes do not fit.
  void CheckReadable(int64_t Count);
  int64_t ReadLimit() const;
  int64_t StreamSize();
  void SeekTo(int64_t Position);

  TStream& FStream;
  std::vector<TSPBContext> FContexts;
  int64_t FStreamSize = -1;  // taken when reading starts
};

// ---------------------------------------------------------------------------------------------

// One entered block of a registry bag.
struct TRPBContext {
  std::string Key;     // full path below the root key
  int ChildIndex = 0;  // the subkey, in sorted order, that BeginNextBlockRead enters next
};

// The bag over a registry subtree: every block a subkey, string values text values, binary
// values binary values. No key stays open between two calls.
class TRegistryPropertyBag : public TPropertyBag {
public:
  TRegistryPropertyBag(const std::string& Key, HKEY RootKey);
  ~TRegistryPropertyBag() override;

  bool Open(bool ForWriting) override;
  void Close() override {}
  void BeginNextBlockRead(std::string& Name) override;
  void BeginBlockRead(const std::string& Name) override;
  void EndBlockRead() override;
  void BeginBlockWrite(const std::string& Name) override;
  void EndBlockWrite() override;
  int32_t ReadBinaryValue(const std::string& Name, void* Buffer, int32_t Size) override;
  void WriteBinaryValue(const std::string& Name, const void* Buffer, int32_t Size) override;
  bool ReadStringValue(const std::string& Name, std::string& Value) override;
  void WriteStringValue(const std::string& Name, const std::string& Value) override;

  const std::string& CurrentKey() const { return FContexts.back().Key; }

private:
  void PushContext(const std::string& Name);
  void PopContext();

  std::unique_ptr<TRegistry> FRegistry;
  std::vector<TRPBContext> FContexts;  // the bottom one is the bag's own key
};

// Runs Body inside a block already entered for reading and leaves the block also when Body
// fails; a failure of leaving it then gives way to the first failure.
template <class F>
void InsideReadBlock(TPropertyBag& Bag, F&& Body) {
  try {
    Body();
  } catch (...) {
    try {
      Bag.EndBlockRead();
    } catch (...) {
    }
    throw;
  }
  Bag.EndBlockRead();
}
