#include "persistence/ReflectionObjects.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <typeinfo>

#include "persistence/PropertyBags.h"
#include "platform/Classes.h"

// ---------------------------------------------------------------------------------------------
// Variant

namespace {

int64_t ParseInt64(const std::string& Text) {
  const std::string S = Trim(Text);
  const char* B = S.data();
  const char* E = S.data() + S.size();
  bool Negative = false;
  if (B != E && (*B == '-' || *B == '+')) Negative = *B++ == '-';
  int Base = 10;
  if (B != E && *B == '$') {
    Base = 16;
    ++B;
  } else if (E - B > 2 && B[0] == '0' && (B[1] == 'x' || B[1] == 'X')) {
    Base = 16;
    B += 2;
  }
  uint64_t Magnitude = 0;
  const auto R = std::from_chars(B, E, Magnitude, Base);
  if (B == E || R.ec != std::errc() || R.ptr != E)
    throw EConvertError(Format(SInvalidInteger, Text.c_str()));
  if (Negative) {
    if (Magnitude > static_cast<uint64_t>(INT64_MAX) + 1)
      throw EConvertError(Format(SInvalidInteger, Text.c_str()));
    return static_cast<int64_t>(0 - Magnitude);
  }
  if (Magnitude > static_cast<uint64_t>(INT64_MAX))
    throw EConvertError(Format(SInvalidInteger, Text.c_str()));
  return static_cast<int64_t>(Magnitude);
}

double ParseDouble(const std::string& Text) {
  const std::string S = Trim(Text);
  double V = 0;
  const char* B = S.data();
  if (!S.empty() && *B == '+') ++B;
  const auto R = std::from_chars(B, S.data() + S.size(), V);
  if (S.empty() || R.ec != std::errc() || R.ptr != S.data() + S.size())
    throw EConvertError(Format(SInvalidFloat, Text.c_str()));
  return V;
}

int64_t DoubleToInt64(double D) {
  const double R = std::nearbyint(D);  // the process's rounding mode
  if (!(R >= -9223372036854775808.0 && R < 9223372036854775808.0)) throw ERangeError(SRangeError);
  return static_cast<int64_t>(R);
}

}  // namespace

int64_t Variant::AsInt64() const {
  switch (Kind()) {
    case vkEmpty: return 0;
    case vkInteger: return std::get<int32_t>(FValue);
    case vkInt64: return std::get<int64_t>(FValue);
    case vkDouble: return DoubleToInt64(std::get<double>(FValue));
    case vkString: return ParseInt64(std::get<std::string>(FValue));
  }
  return 0;
}

int32_t Variant::AsInteger() const {
  if (Kind() == vkInteger) return std::get<int32_t>(FValue);
  const int64_t V = AsInt64();
  if (Kind() == vkString && !std::in_range<int32_t>(V))
    throw EConvertError(Format(SInvalidInteger, std::get<std::string>(FValue).c_str()));
  return RangeChecked<int32_t>(V);
}

double Variant::AsDouble() const {
  switch (Kind()) {
    case vkEmpty: return 0;
    case vkInteger: return std::get<int32_t>(FValue);
    case vkInt64: return static_cast<double>(std::get<int64_t>(FValue));
    case vkDouble: return std::get<double>(FValue);
    case vkString: return ParseDouble(std::get<std::string>(FValue));
  }
  return 0;
}

std::string Variant::AsString() const {
  switch (Kind()) {
    case vkEmpty: return {};
    case vkInteger: return IntToStr(std::get<int32_t>(FValue));
    case vkInt64: return IntToStr(std::get<int64_t>(FValue));
    case vkDouble: {
      // Shortest text that reads back to the same double, whatever the locale.
      char Buf[64];
      const auto R = std::to_chars(Buf, Buf + sizeof Buf, std::get<double>(FValue));
      return std::string(Buf, R.ptr);
    }
    case vkString: return std::get<std::string>(FValue);
  }
  return {};
}

// ---------------------------------------------------------------------------------------------
// Identifier conversions of enumerations and sets

namespace reflection_detail {

int FindIdentifier(std::span<const char* const> Identifiers, std::string_view Name) {
  for (size_t I = 0; I < Identifiers.size(); ++I)
    if (SameText(Identifiers[I], Name)) return static_cast<int>(I);
  return -1;
}

std::string OrdinalToText(std::span<const char* const> Identifiers, int64_t Ordinal) {
  if (Ordinal >= 0 && static_cast<uint64_t>(Ordinal) < Identifiers.size())
    return Identifiers[static_cast<size_t>(Ordinal)];
  // An ordinal the type does not name (set by code, never by a reader) stays visible as such.
  return IntToStr(Ordinal);
}

int64_t TextToOrdinal(std::span<const char* const> Identifiers, const Variant& V) {
  if (V.IsText() || V.IsEmpty()) {
    const std::string S = V.AsString();
    const int I = FindIdentifier(Identifiers, S);
    if (I < 0) throw EPropertyConvertError(Format(SInvalidPropertyElement, S.c_str()));
    return I;
  }
  const int64_t N = V.AsInt64();
  if (N < 0 || static_cast<uint64_t>(N) >= Identifiers.size()) throw ERangeError(SRangeError);
  return N;
}

std::string SetToText(std::span<const char* const> Identifiers, uint64_t Mask) {
  std::string R;
  for (size_t I = 0; I < Identifiers.size() && I < 64; ++I) {
    if (!(Mask & (uint64_t{1} << I))) continue;
    if (!R.empty()) R += ',';
    R += Identifiers[I];
  }
  return R;
}

uint64_t TextToSet(std::span<const char* const> Identifiers, const Variant& V) {
  if (!V.IsText() && !V.IsEmpty()) return static_cast<uint64_t>(V.AsInt64());
  std::string S = Trim(V.AsString());
  if (S.size() >= 2 && S.front() == '[' && S.back() == ']') S = S.substr(1, S.size() - 2);
  uint64_t Mask = 0;
  size_t P = 0;
  while (P <= S.size()) {
    size_t Q = S.find(',', P);
    if (Q == std::string::npos) Q = S.size();
    const std::string Element = Trim(std::string_view(S).substr(P, Q - P));
    if (!Element.empty()) {
      const int I = FindIdentifier(Identifiers, Element);
      if (I < 0 || I >= 64) throw EPropertyConvertError(Format(SInvalidPropertyElement, Element.c_str()));
      Mask |= uint64_t{1} << I;
    }
    P = Q + 1;
  }
  return Mask;
}

void RaiseAssignNil(const std::string& DestClass) {
  throw EConvertError(Format(SAssignError, "nil", DestClass.c_str()));
}

}  // namespace reflection_detail

// ---------------------------------------------------------------------------------------------
// Property lists and class references

void TPropertyInfoList::CollectProperties(const TReflectiveClass& AClass) {
  std::vector<const TReflectiveClass*> Chain;
  for (const TReflectiveClass* C = &AClass; C; C = C->ClassParent()) Chain.push_back(C);
  for (auto It = Chain.rbegin(); It != Chain.rend(); ++It)
    for (const TPropertyInfo& P : (*It)->OwnProperties()) Add(P);
}

void TPropertyInfoList::Add(TPropertyInfo Info) {
  int Index;
  if (Find(Info.Name, Index)) throw EStringListError(SDuplicateString);
  FItems.insert(FItems.begin() + Index, std::move(Info));
}

const TPropertyInfo& TPropertyInfoList::Items(int Index) const {
  if (Index < 0 || Index >= Count()) RaiseListIndexError(Index);
  return FItems[static_cast<size_t>(Index)];
}

bool TPropertyInfoList::Find(std::string_view Name, int& Index) const {
  int Lo = 0, Hi = Count() - 1;
  while (Lo <= Hi) {
    const int Mid = Lo + (Hi - Lo) / 2;
    const int C = AnsiCompareText(FItems[static_cast<size_t>(Mid)].Name, Name);
    if (C < 0) {
      Lo = Mid + 1;
    } else if (C > 0) {
      Hi = Mid - 1;
    } else {
      Index = Mid;
      return true;
    }
  }
  Index = Lo;
  return false;
}

TReflectiveClass::TReflectiveClass(const char* Name, const TReflectiveClass* Parent,
                                   const std::type_info& Type, TFactory Factory, TDeclare Declare)
    : FName(Name), FParent(Parent), FType(Type), FFactory(Factory) {
  if (Declare) Declare(*this);
  FProperties.CollectProperties(*this);
}

bool TReflectiveClass::InheritsFrom(const TReflectiveClass& Ancestor) const {
  for (const TReflectiveClass* C = this; C; C = C->FParent)
    if (C == &Ancestor) return true;
  return false;
}

std::unique_ptr<TReflectivePersistent> TReflectiveClass::Create() const {
  return std::unique_ptr<TReflectivePersistent>(FFactory());
}

void TReflectiveClass::DeclareProperty(TPropertyInfo Info) { FOwn.push_back(std::move(Info)); }

// ---------------------------------------------------------------------------------------------
// Class registry

namespace {

struct TClassRegistry {
  // Sorted by class name with the locale comparison ignoring case.
  std::vector<std::unique_ptr<TReflectiveClassInfo>> Entries;

  bool Find(std::string_view Name, size_t& Index) const {
    size_t Lo = 0, Hi = Entries.size();
    while (Lo < Hi) {
      const size_t Mid = Lo + (Hi - Lo) / 2;
      const int C = AnsiCompareText(Entries[Mid]->ClassRef->ClassName(), Name);
      if (C < 0) Lo = Mid + 1;
      else if (C > 0) Hi = Mid;
      else {
        Index = Mid;
        return true;
      }
    }
    Index = Lo;
    return false;
  }

  void Insert(TReflectiveClassRef AClass) {
    size_t Index;
    if (Find(AClass->ClassName(), Index)) return;  // the first class of a name stays
    Entries.insert(Entries.begin() + static_cast<std::ptrdiff_t>(Index),
                   std::make_unique<TReflectiveClassInfo>(AClass));
  }

  TClassRegistry() {
    Insert(&TReflectivePersistent::StaticClass());
    Insert(&TReflectiveObjectList::StaticClass());
  }
};

TClassRegistry& ReflectiveClassRegistry() {
  static TClassRegistry Registry;
  return Registry;
}

}  // namespace

void RegisterReflectiveClass(TReflectiveClassRef AClass) {
  if (AClass) ReflectiveClassRegistry().Insert(AClass);
}

const TReflectiveClassInfo* FindReflectiveClassInfo(std::string_view Name) {
  const TClassRegistry& R = ReflectiveClassRegistry();
  size_t Index;
  return R.Find(Name, Index) ? R.Entries[Index].get() : nullptr;
}

TReflectiveClassRef GetReflectiveClass(std::string_view Name) {
  const TReflectiveClassInfo* Info = FindReflectiveClassInfo(Name);
  return Info ? Info->ClassRef : nullptr;
}

const TPropertyInfoList& GetPropertyInfoList(const TReflectivePersistent& Obj) {
  // The object's own class knows its properties; a registry entry of another class under a
  // name that differs only in case must not be used for it.
  return Obj.ClassType().Properties();
}

std::vector<std::string> ReflectiveClassNames() {
  std::vector<std::string> R;
  for (const auto& E : ReflectiveClassRegistry().Entries) R.push_back(E->ClassRef->ClassName());
  return R;
}

// ---------------------------------------------------------------------------------------------
// TReflectivePersistent

const TReflectiveClass& TReflectivePersistent::StaticClass() {
  static const TReflectiveClass Meta("TReflectivePersistent", nullptr, typeid(TReflectivePersistent),
                                     &ReflectiveFactory<TReflectivePersistent>, nullptr);
  return Meta;
}

const TReflectiveClass& TReflectivePersistent::CheckedClassType() const {
  const TReflectiveClass& C = ClassType();
  if (typeid(*this) != C.TypeInfo())
    throw EReflectivePersistentError(Format(
        "A class derived from %s lacks its RIZ_REFLECTIVE declaration", C.ClassName().c_str()));
  return C;
}

void TReflectivePersistent::AssignError(const TObject* Source, const TReflectivePersistent& Dest) {
  const std::string From = Source ? Source->ClassName() : "nil";
  throw EConvertError(Format(SAssignError, From.c_str(), Dest.ClassName().c_str()));
}

void TReflectivePersistent::AssignTo(TReflectivePersistent& Dest) const { AssignError(this, Dest); }

void TReflectivePersistent::Assign(const TObject* Source) {
  const auto* Src = dynamic_cast<const TReflectivePersistent*>(Source);
  if (!Src) AssignError(Source, *this);
  if (&Src->CheckedClassType() != &CheckedClassType()) {
    Src->AssignTo(*this);
    return;
  }
  if (Src == this) return;
  const TPropertyInfoList& L = Properties();
  for (int I = 0; I < L.Count(); ++I) {
    switch (L.Items(I).Kind) {
      case tkUnknown:
      case tkArray:
      case tkRecord:
      case tkInterface: break;
      case tkClass: SetObjectProperty(I, Src->GetObjectProperty(I)); break;
      default: SetPropertyValue(I, Src->GetPropertyValue(I)); break;
    }
  }
  AssignInnerProperties(*Src);
}

Variant TReflectivePersistent::GetPropertyValue(int Index) const {
  const TPropertyInfo& P = PropertyInfo(Index);
  return P.GetValue ? P.GetValue(*this) : Variant();
}

void TReflectivePersistent::SetPropertyValue(int Index, const Variant& Value) {
  const TPropertyInfo& P = PropertyInfo(Index);
  if (P.SetValue) P.SetValue(*this, Value);
}

TObject* TReflectivePersistent::GetObjectProperty(int Index) const {
  const TPropertyInfo& P = PropertyInfo(Index);
  return P.GetObject ? P.GetObject(*this) : nullptr;
}

void TReflectivePersistent::SetObjectProperty(int Index, TObject* Obj) {
  const TPropertyInfo& P = PropertyInfo(Index);
  if (P.Kind != tkClass) return;
  if (P.SetObject) {
    P.SetObject(*this, Obj);
    return;
  }
  // Read-only: the object this one owns takes a copy, as a reader fills it in place.
  auto* Existing = dynamic_cast<TReflectivePersistent*>(GetObjectProperty(Index));
  const auto* Given = dynamic_cast<const TReflectivePersistent*>(Obj);
  if (Existing && Given && Existing != Given && &Existing->ClassType() == &Given->ClassType())
    Existing->Assign(Given);
}

std::unique_ptr<TReflectivePersistent> TReflectivePersistent::Clone() const {
  std::unique_ptr<TReflectivePersistent> R = CheckedClassType().Create();
  R->Assign(this);
  return R;
}

bool TReflectivePersistent::LoadFromStream(TStream& Stream, const TPropertyBagErrorEvent& OnError) {
  TStreamPropertyBag Bag(Stream);
  TReflectivePersistent* Self = this;
  return Bag.ReadObject(Self, OnError);
}

bool TReflectivePersistent::LoadFromRegistry(const std::string& Key, HKEY RootKey,
                                             const TPropertyBagErrorEvent& OnError) {
  TRegistryPropertyBag Bag(Key, RootKey);
  TReflectivePersistent* Self = this;
  return Bag.ReadObject(Self, OnError);
}

void TReflectivePersistent::SaveToRegistry(const std::string& Key, HKEY RootKey,
                                           const TPropertyBagErrorEvent& OnError) {
  TRegistryPropertyBag Bag(Key, RootKey);
  Bag.WriteObject(this, OnError);
}

// ---------------------------------------------------------------------------------------------
// TReflectiveObjectList

RIZ_PUBLISHED(TReflectiveObjectList) {}

int TReflectiveObjectList::Add(std::unique_ptr<TReflectivePersistent> Item) {
  FItems.push_back(std::move(Item));
  return Count() - 1;
}

void TReflectiveObjectList::Clear() {
  // Items are freed after they left the list, so a destructor never sees a half-cleared list.
  std::vector<std::unique_ptr<TReflectivePersistent>> Old;
  Old.swap(FItems);
  // One item that fails to let go must not keep the others from being released: the first
  // error is raised once all of them are freed.
  std::exception_ptr First;
  for (const auto& Item : Old) {
    try {
      ReleaseItem(Item.get());
    } catch (...) {
      if (!First) First = std::current_exception();
    }
  }
  Old.clear();
  if (First) std::rethrow_exception(First);
}

void TReflectiveObjectList::Delete(int Index) {
  if (Index < 0 || Index >= Count()) RaiseListIndexError(Index);
  std::unique_ptr<TReflectivePersistent> Old = std::move(FItems[static_cast<size_t>(Index)]);
  FItems.erase(FItems.begin() + Index);
  ReleaseItem(Old.get());
}

TReflectivePersistent* TReflectiveObjectList::Items(int Index) const {
  if (Index < 0 || Index >= Count()) RaiseListIndexError(Index);
  return FItems[static_cast<size_t>(Index)].get();
}

void TReflectiveObjectList::AssignInnerProperties(const TReflectivePersistent& Source) {
  const auto& Src = static_cast<const TReflectiveObjectList&>(Source);
  std::vector<std::unique_ptr<TReflectivePersistent>> Copy;
  Copy.reserve(Src.FItems.size());
  for (const auto& Item : Src.FItems) Copy.push_back(Item ? Item->Clone() : nullptr);
  Clear();
  FItems = std::move(Copy);
}

void TReflectiveObjectList::WriteInnerProperties(TPropertyBag& Bag) {
  Bag.BeginBlockWrite("_Items");
  Bag.WriteInteger("Count", Count());
  for (int I = 0; I < Count(); ++I)
    Bag.WriteObjectValue("Item" + IntToHex(static_cast<uint32_t>(I), 8), Items(I));
  Bag.EndBlockWrite();
}

void TReflectiveObjectList::ReadInnerProperties(TPropertyBag& Bag) {
  Bag.BeginBlockRead("_Items");
  const int32_t N = Bag.ReadInteger("Count");
  Clear();
  for (int32_t I = 0; I < N; ++I) {
    std::unique_ptr<TReflectivePersistent> Held;
    Bag.ReadObjectValue("Item" + IntToHex(static_cast<uint32_t>(I), 8), Held);
    const TReflectiveClassRef Required = ItemClass();
    if (Held && Required && !Held->ClassType().InheritsFrom(*Required)) {
      const std::string Name = Held->ClassName();
      Held.reset();  // with a handler the item's place stays empty
      Bag.Error(pbeUnsupportedObjectClass,
                "TReflectiveObjectList.ReadInnerProperties : unsupportet object property class : " + Name,
                RIZ_ROUTINE);
    }
    Add(std::move(Held));
  }
  Bag.EndBlockRead();
}
