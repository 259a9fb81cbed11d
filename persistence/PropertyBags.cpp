#include "persistence/PropertyBags.h"

#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "stored numbers are the host's own little-endian bytes");

namespace {

// "void TPropertyBag::ReadProperty()" -> "TPropertyBag.ReadProperty"
std::string RoutineName(const char* Where) {
  std::string_view F = Where ? Where : "";
  const size_t Paren = F.find('(');
  if (Paren != std::string_view::npos) F = F.substr(0, Paren);
  const size_t Blank = F.rfind(' ');
  if (Blank != std::string_view::npos) F = F.substr(Blank + 1);
  return StringReplaceAll(std::string(F), "::", ".");
}

// Restores the bag's current object on every way out of a record.
class TCurrentObjectGuard {
public:
  TCurrentObjectGuard(TReflectivePersistent*& Slot, TReflectivePersistent* Value)
      : FSlot(Slot), FSaved(Slot) {
    FSlot = Value;
  }
  ~TCurrentObjectGuard() { FSlot = FSaved; }
  TCurrentObjectGuard(const TCurrentObjectGuard&) = delete;
  TCurrentObjectGuard& operator=(const TCurrentObjectGuard&) = delete;

private:
  TReflectivePersistent*& FSlot;
  TReflectivePersistent* FSaved;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Error routine

std::string TPropertyBag::ComposeText(const std::string& Msg, const char* Where) const {
  return "Error in procedure : " + RoutineName(Where) +
         ", InstanceClass : " + (FObj ? FObj->ClassName() : std::string("nil")) +
         ", Message " + Msg;
}

void TPropertyBag::Error(TBagErrorCode Code, const std::string& Msg, const char* Where) {
  const std::string Text = ComposeText(Msg, Where);
  if (FOnError) {
    FOnError(*this, Code, Text);
    return;
  }
  throw EPropertyBagError(Text);
}

void TPropertyBag::Fatal(const std::string& Msg, const char* Where) {
  throw EPropertyBagError(ComposeText(Msg, Where));
}

void TPropertyBag::CheckBlockDepth(size_t Depth, const char* Where) {
  if (Depth >= static_cast<size_t>(MaxBlockDepth))
    Fatal(Format("blocks nested deeper than %d", MaxBlockDepth), Where);
}

uint8_t* TPropertyBag::Buffer() {
  if (!FBuffer) FBuffer = std::make_unique<uint8_t[]>(ChunkSize);
  return FBuffer.get();
}

// ---------------------------------------------------------------------------------------------
// Typed values

namespace {
// A value the bag does not deliver reads as 0.
template <class T>
T ReadTyped(TPropertyBag& Bag, const std::string& Name) {
  T V = 0;
  Bag.ReadBinaryValue(Name, &V, sizeof V);
  return V;
}
}  // namespace

int32_t TPropertyBag::ReadInteger(const std::string& Name) { return ReadTyped<int32_t>(*this, Name); }

void TPropertyBag::WriteInteger(const std::string& Name, int32_t Value) {
  WriteBinaryValue(Name, &Value, sizeof Value);
}

int64_t TPropertyBag::ReadInt64(const std::string& Name) { return ReadTyped<int64_t>(*this, Name); }

void TPropertyBag::WriteInt64(const std::string& Name, int64_t Value) {
  WriteBinaryValue(Name, &Value, sizeof Value);
}

double TPropertyBag::ReadFloat(const std::string& Name) { return ReadTyped<double>(*this, Name); }

void TPropertyBag::WriteFloat(const std::string& Name, double Value) {
  WriteBinaryValue(Name, &Value, sizeof Value);
}

// ---------------------------------------------------------------------------------------------
// Object record

void TPropertyBag::WriteObject(TReflectivePersistent* Obj, const TPropertyBagErrorEvent& OnError) {
  FOnError = OnError;
  TCurrentObjectGuard Guard(FObj, Obj);
  if (!Open(true)) {
    Error(pbeCannotOpen, "TPropertyBag.WriteObject : bag could not be opened", RIZ_ROUTINE);
    return;
  }
  const int Count = Obj ? Obj->CheckedClassType().Properties().Count() : 0;
  BeginBlockWrite("ClassInfo");
  WriteInteger("IsNIL", Obj ? 0 : 1);
  if (Obj) {
    WriteStringValue("ClassName", Obj->ClassName());
    WriteInteger("PropertyCount", Count);
  }
  EndBlockWrite();
  if (!Obj) return;
  BeginBlockWrite("Properties");
  for (int I = 0; I < Count; ++I) WriteProperty(I);
  EndBlockWrite();
  BeginBlockWrite("InnerProperties");
  Obj->WriteInnerProperties(*this);
  EndBlockWrite();
}

void TPropertyBag::WriteProperty(int Index) {
  const TPropertyInfo& P = FObj->PropertyInfo(Index);
  BeginBlockWrite(P.Name);
  WriteInteger("Type", P.Kind);
  WritePropertyValue(Index);
  EndBlockWrite();
}

void TPropertyBag::WritePropertyValue(int Index) {
  const TPropertyInfo& P = FObj->PropertyInfo(Index);
  switch (P.Kind) {
    case tkInteger: {
      // Four bytes whatever the signedness: a Cardinal keeps its bits.
      const int64_t V = FObj->GetPropertyValue(Index).AsInt64();
      if (V < INT32_MIN || V > static_cast<int64_t>(UINT32_MAX)) throw ERangeError(SRangeError);
      WriteInteger("Value", static_cast<int32_t>(static_cast<uint32_t>(V)));
      break;
    }
    case tkFloat: WriteFloat("Value", FObj->GetPropertyValue(Index).AsDouble()); break;
    case tkInt64: WriteInt64("Value", FObj->GetPropertyValue(Index).AsInt64()); break;
    case tkChar:
    case tkEnumeration:
    case tkString:
    case tkSet:
    case tkMethod:
    case tkWChar:
    case tkLString:
    case tkWString:
    case tkVariant: WriteStringValue("Value", FObj->GetPropertyValue(Index).AsString()); break;
    case tkClass: {
      TObject* O = FObj->GetObjectProperty(Index);
      if (!O) {
        WriteObjectValue("Value", nullptr);
      } else if (auto* R = dynamic_cast<TReflectivePersistent*>(O)) {
        WriteObjectValue("Value", R);
      } else {
        Error(pbeUnsupportedObjectClass,
              "TPropertyBag.WritePropertyValue : unsupportet object property class : " + O->ClassName(),
              RIZ_ROUTINE);
      }
      break;
    }
    case tkDynArray: break;
    default:
      Error(pbeUnsupportedType, "TPropertyBag.WritePropertyValue : unsupported datatype", RIZ_ROUTINE);
      break;
  }
}

void TPropertyBag::WriteObjectValue(const std::string& Name, TReflectivePersistent* Obj) {
  BeginBlockWrite(Name);
  WriteObject(Obj, FOnError);
  EndBlockWrite();
}

bool TPropertyBag::ReadObject(TReflectivePersistent*& Obj, const TPropertyBagErrorEvent& OnError) {
  FOnError = OnError;
  TCurrentObjectGuard Guard(FObj, Obj);
  if (!Open(false)) return false;
  // An object made for an empty reference is freed here when reading fails.
  std::unique_ptr<TReflectivePersistent> Created;
  bool IsNil = false;
  bool Skip = false;  // the stored class is unknown: nothing to read into
  int32_t Count = 0;
  BeginBlockRead("ClassInfo");
  InsideReadBlock(*this, [&] {
    IsNil = (ReadInteger("IsNIL") & 0xFF) != 0;
    if (IsNil) return;
    std::string Name;
    ReadStringValue("ClassName", Name);
    if (!FObj) {
      if (TReflectiveClassRef C = GetReflectiveClass(Name)) {
        Created = C->Create();
        FObj = Created.get();
      } else {
        Error(pbeUnknownClass, "TPropertyBag.ReadObject : unkown class " + Name, RIZ_ROUTINE);
        Skip = true;
        return;
      }
    }
    if (Name != FObj->ClassName())
      Error(pbeClassNameMismatch,
            "TPropertyBag.ReadObject : classnames do not match : " + Name + ", " + FObj->ClassName(),
            RIZ_ROUTINE);
    Count = ReadInteger("PropertyCount");
  });
  if (IsNil) return true;
  if (Skip) {
    // A handler let an unknown class pass: the rest of the record is stepped over and the
    // reference comes back as it was passed.
    BeginBlockRead("Properties");
    EndBlockRead();
    BeginBlockRead("InnerProperties");
    EndBlockRead();
    return true;
  }
  BeginBlockRead("Properties");
  InsideReadBlock(*this, [&] {
    for (int32_t I = 0; I < Count; ++I) ReadProperty();
  });
  BeginBlockRead("InnerProperties");
  InsideReadBlock(*this, [&] { FObj->ReadInnerProperties(*this); });
  if (Created) Obj = Created.release();
  return true;
}

bool TPropertyBag::ReadObject(std::unique_ptr<TReflectivePersistent>& Obj,
                              const TPropertyBagErrorEvent& OnError) {
  TReflectivePersistent* Raw = Obj.get();
  const bool Result = ReadObject(Raw, OnError);
  if (Raw != Obj.get()) Obj.reset(Raw);
  return Result;
}

void TPropertyBag::ReadProperty() {
  std::string Name;
  BeginNextBlockRead(Name);
  InsideReadBlock(*this, [&] {
    int Index;
    if (!FObj->FindProperty(Name, Index)) {
      Error(pbePropertyNotFound, "TPropertyBag.ReadProperty : property not found", RIZ_ROUTINE);
      return;
    }
    const int32_t Stored = ReadInteger("Type");
    if ((Stored & 0xFF) != FObj->PropertyInfo(Index).Kind) {
      Error(pbeTypeMismatch, "data type mismatch", RIZ_ROUTINE);
      return;
    }
    ReadPropertyValue(Index);
  });
}

void TPropertyBag::ReadPropertyValue(int Index) {
  const TPropertyInfo& P = FObj->PropertyInfo(Index);
  switch (P.Kind) {
    case tkInteger: {
      int32_t V = 0;
      if (ReadBinaryValue("Value", &V, sizeof V) > 0) FObj->SetPropertyValue(Index, Variant(V));
      break;
    }
    case tkFloat: {
      double V = 0;
      if (ReadBinaryValue("Value", &V, sizeof V) > 0) FObj->SetPropertyValue(Index, Variant(V));
      break;
    }
    case tkInt64: {
      int64_t V = 0;
      if (ReadBinaryValue("Value", &V, sizeof V) > 0) FObj->SetPropertyValue(Index, Variant(V));
      break;
    }
    case tkChar:
    case tkEnumeration:
    case tkString:
    case tkSet:
    case tkMethod:
    case tkWChar:
    case tkLString:
    case tkWString:
    case tkVariant: {
      std::string V;
      if (ReadStringValue("Value", V)) FObj->SetPropertyValue(Index, Variant(std::move(V)));
      break;
    }
    case tkClass: {
      TObject* Existing = FObj->GetObjectProperty(Index);
      if (Existing) {
        if (auto* R = dynamic_cast<TReflectivePersistent*>(Existing)) {
          ReadObjectValue("Value", *R);
        } else {
          Error(pbeUnsupportedObjectClass,
                "TPropertyBag.ReadPropertyValue : unsupportet object property class : " +
                    Existing->ClassName(), RIZ_ROUTINE);
        }
        break;
      }
      std::unique_ptr<TReflectivePersistent> New;
      ReadObjectValue("Value", New);
      if (!New) break;
      // A setter that kept the object owns it now, even when it failed afterwards; one that
      // copied or refused it leaves it to us.
      try {
        FObj->SetObjectProperty(Index, New.get());
      } catch (...) {
        if (FObj->GetObjectProperty(Index) == New.get()) New.release();
        throw;
      }
      if (FObj->GetObjectProperty(Index) == New.get()) New.release();
      break;
    }
    case tkDynArray: break;
    default:
      Error(pbeUnsupportedType, "TPropertyBag.ReadPropertyValue : unsupported datatype", RIZ_ROUTINE);
      break;
  }
}

void TPropertyBag::ReadObjectValue(const std::string& Name, TReflectivePersistent*& Obj) {
  // Leaving the block can still fail (a seek out of range) after the record was read.
  std::unique_ptr<TReflectivePersistent> Created;
  BeginBlockRead(Name);
  InsideReadBlock(*this, [&] {
    TReflectivePersistent* Read = Obj;
    ReadObject(Read, FOnError);
    if (Read != Obj) Created.reset(Read);
  });
  if (Created) Obj = Created.release();
}

void TPropertyBag::ReadObjectValue(const std::string& Name,
                                   std::unique_ptr<TReflectivePersistent>& Obj) {
  TReflectivePersistent* Read = Obj.get();
  ReadObjectValue(Name, Read);
  if (Read != Obj.get()) Obj.reset(Read);
}

void TPropertyBag::ReadObjectValue(const std::string& Name, TReflectivePersistent& Existing) {
  TReflectivePersistent* P = &Existing;
  ReadObjectValue(Name, P);
}

// ---------------------------------------------------------------------------------------------
// Embedded streams

void TPropertyBag::WriteStream(const std::string& Name, TStream& Source) {
  uint8_t* Buf = Buffer();
  BeginBlockWrite(Name);
  const int64_t Size = Source.Size();
  WriteInt64("StreamSize", Size);
  const int64_t Chunks = Size / ChunkSize + (Size % ChunkSize > 0 ? 1 : 0);
  WriteInteger("BufferCount", RangeChecked<int32_t>(Chunks));
  int64_t Left = Size;
  for (int32_t I = 0; Left > 0; ++I) {
    const int32_t N = Left < ChunkSize ? static_cast<int32_t>(Left) : ChunkSize;
    WriteInteger("BufferSize" + IntToStr(I), N);
    // A source shorter than it claims: the chunk keeps its announced length, padded with zeros
    // rather than with bytes of the previous chunk.
    int32_t Got = 0;
    while (Got < N) {
      const int32_t R = Source.Read(Buf + Got, N - Got);
      if (R <= 0) break;
      Got += R;
    }
    if (Got < N) std::memset(Buf + Got, 0, static_cast<size_t>(N - Got));
    WriteBinaryValue("BufferData" + IntToStr(I), Buf, N);
    Left -= N;
  }
  EndBlockWrite();
}

void TPropertyBag::ReadStream(const std::string& Name, TStream& Dest) {
  uint8_t* Buf = Buffer();
  BeginBlockRead(Name);
  InsideReadBlock(*this, [&] {
    const int64_t Size = ReadInt64("StreamSize");
    const int32_t Count = ReadInteger("BufferCount");
    int64_t Total = 0;
    for (int32_t I = 0; I < Count; ++I) {
      const int32_t N = ReadInteger("BufferSize" + IntToStr(I));
      if (N < 0 || N > ChunkSize) {
        Error(pbeStreamSizeMismatch, "TPropertyBag.ReadStream : Error while reading stream", RIZ_ROUTINE);
        return;  // with a handler: the bytes so far stay in Dest, the rest is skipped
      }
      const int32_t Got = ReadBinaryValue("BufferData" + IntToStr(I), Buf, N);
      // Dest must take every byte: a short write is a failure, never silent loss.
      Dest.WriteBuffer(Buf, Got);
      Total += Got;
    }
    if (Total != Size)
      Error(pbeStreamSizeMismatch, "TPropertyBag.ReadStream : Error while reading stream", RIZ_ROUTINE);
  });
}
