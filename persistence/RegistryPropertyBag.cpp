#include "persistence/PropertyBags.h"

namespace {
// Every operation opens the one key it needs and closes it on every way out.
class TKeyCloser {
public:
  explicit TKeyCloser(TRegistry& R) : FR(R) {}
  ~TKeyCloser() { FR.CloseKey(); }
  TKeyCloser(const TKeyCloser&) = delete;
  TKeyCloser& operator=(const TKeyCloser&) = delete;

private:
  TRegistry& FR;
};
}  // namespace

TRegistryPropertyBag::TRegistryPropertyBag(const std::string& Key, HKEY RootKey)
    : FRegistry(std::make_unique<TRegistry>()) {
  FRegistry->SetRootKey(RootKey);
  TRPBContext Own;
  Own.Key = EndsWith(Key, "\\") ? Key : Key + "\\";
  FContexts.push_back(std::move(Own));
}

TRegistryPropertyBag::~TRegistryPropertyBag() = default;

bool TRegistryPropertyBag::Open(bool ForWriting) {
  FRegistry->CloseKey();
  TKeyCloser Closer(*FRegistry);
  const std::string& Own = FContexts.front().Key;
  return ForWriting ? FRegistry->OpenKey(Own, true) : FRegistry->KeyExists(Own);
}

void TRegistryPropertyBag::PushContext(const std::string& Name) {
  CheckBlockDepth(FContexts.size(), RIZ_ROUTINE);
  const std::string& Parent = FContexts.back().Key;
  TRPBContext C;
  C.Key = EndsWith(Parent, "\\") ? Parent + Name : Parent + "\\" + Name;
  FContexts.push_back(std::move(C));
}

void TRegistryPropertyBag::PopContext() {
  // The bottom context is the bag's own key and stays while the bag lives.
  if (FContexts.size() <= 1) RaiseListIndexError(-1);
  FContexts.pop_back();
}

void TRegistryPropertyBag::BeginBlockRead(const std::string& Name) { PushContext(Name); }
void TRegistryPropertyBag::BeginBlockWrite(const std::string& Name) { PushContext(Name); }
void TRegistryPropertyBag::EndBlockRead() { PopContext(); }
void TRegistryPropertyBag::EndBlockWrite() { PopContext(); }

void TRegistryPropertyBag::BeginNextBlockRead(std::string& Name) {
  TStringList Names;
  {
    FRegistry->CloseKey();
    TKeyCloser Closer(*FRegistry);
    // A missing block key is created (empty), so the next step runs off an empty list.
    if (FRegistry->OpenKey(CurrentKey(), true)) FRegistry->GetKeyNames(Names);
  }
  Names.SetSorted(true);
  TRPBContext& C = FContexts.back();
  Name = Names.Strings(C.ChildIndex);  // past the last subkey: the list's index error
  ++C.ChildIndex;
  PushContext(Name);
}

int32_t TRegistryPropertyBag::ReadBinaryValue(const std::string& Name, void* Buffer, int32_t Size) {
  FRegistry->CloseKey();
  TKeyCloser Closer(*FRegistry);
  if (!FRegistry->OpenKeyReadOnly(CurrentKey())) return 0;
  return FRegistry->ReadBinaryData(Name, Buffer, Size);
}

void TRegistryPropertyBag::WriteBinaryValue(const std::string& Name, const void* Buffer, int32_t Size) {
  FRegistry->CloseKey();
  TKeyCloser Closer(*FRegistry);
  if (!FRegistry->OpenKey(CurrentKey(), true))
    throw ERegistryException(Format(SRegSetDataFailed, Name.c_str()));
  FRegistry->WriteBinaryData(Name, Buffer, Size);
}

bool TRegistryPropertyBag::ReadStringValue(const std::string& Name, std::string& Value) {
  FRegistry->CloseKey();
  TKeyCloser Closer(*FRegistry);
  // A missing value (or key) reads as the empty string and is delivered as such: a string
  // property becomes empty, an enumeration gets the conversion error.
  Value.clear();
  if (FRegistry->OpenKeyReadOnly(CurrentKey()) && FRegistry->ValueExists(Name))
    Value = FRegistry->ReadString(Name);
  return true;
}

void TRegistryPropertyBag::WriteStringValue(const std::string& Name, const std::string& Value) {
  FRegistry->CloseKey();
  TKeyCloser Closer(*FRegistry);
  if (!FRegistry->OpenKey(CurrentKey(), true))
    throw ERegistryException(Format(SRegSetDataFailed, Name.c_str()));
  FRegistry->WriteString(Name, Value);
}
