#pragma once
// Reflective objects: every persistent class of the system derives from TReflectivePersistent.
// Its data is its published properties plus whatever its three inner-property hooks copy, read
// and write. A process-wide class registry maps a stored class name to the class, so objects
// are re-created by name; the property index everywhere is the position of the property in the
// case-insensitive alphabetical order of the names.
//
// ---------------------------------------------------------------------------------------------
// Declaring a persistent class
//
//   // header
//   class TPersonalInfo : public TReflectivePersistent {
//     RIZ_REFLECTIVE(TPersonalInfo, TReflectivePersistent)   // first in the body; leaves public
//   public:
//     std::string LastName, City;
//   };
//
//   class TScreenSaverInfo : public TReflectivePersistent {
//     RIZ_REFLECTIVE(TScreenSaverInfo, TReflectivePersistent)
//   public:
//     TScreenSaverInfo();                    // the "virtual constructor": set the defaults here
//     TPersonalInfo* CreatorInfo() const { return FCreatorInfo.get(); }
//     void SetCreatorInfo(TPersonalInfo* Value) { FCreatorInfo->Assign(Value); }  // copies
//     std::string RizuderName;
//     TScreenResolution Resolution = sr640x480;
//     TDateTime CreationDate = 0;
//   private:
//     std::unique_ptr<TPersonalInfo> FCreatorInfo;
//   };
//
//   // source file: the published properties, in any order (the index is alphabetical)
//   RIZ_PUBLISHED(TPersonalInfo) {
//     D.String("LastName", &TPersonalInfo::LastName);
//     D.String("City", &TPersonalInfo::City);
//   }
//   inline constexpr const char* TScreenResolutionNames[] = {"sr640x480", "sr800x600", ...};
//   RIZ_PUBLISHED(TScreenSaverInfo) {
//     D.String("RizuderName", &TScreenSaverInfo::RizuderName);
//     D.Object("CreatorInfo", &TScreenSaverInfo::CreatorInfo, &TScreenSaverInfo::SetCreatorInfo);
//     D.Float("CreationDate", &TScreenSaverInfo::CreationDate);
//     D.Enumeration("Resolution", TScreenResolutionNames, &TScreenSaverInfo::Resolution);
//   }
//   RIZ_PUBLISHED(TEmptyThing) {}            // a class without published properties
//
//   // registration, called once at start-up by the programs and by the tests that need it
//   void RegisterScreenSaverModelClasses() {
//     RegisterReflectiveClass<TPersonalInfo>();
//     RegisterReflectiveClass<TScreenSaverInfo>();
//   }
//
// The declarations of TClassDeclaration (the D above) take either a data member pointer (read
// and written directly) or a getter and a setter. A getter is a const member function, a data
// member pointer or a callable taking `const C&`; a setter is a member function, a data member
// pointer or a callable taking `C&` and the value.
//   Integer      kind 1: a 32-bit integral (int32_t, uint32_t "Cardinal", colour values)
//   Int64        kind 16
//   Float        kind 4: float ("Single") or double (TDateTime too); stored as a double
//   Boolean      kind 3: bool, as "False"/"True"
//   Enumeration  kind 3: an enum type with its identifiers in ordinal order
//   SetOf        kind 6: an unsigned bit mask with one identifier per bit, as "a,b"
//   String       kind 10: std::string (UTF-8 in memory, Windows-1252 when stored)
//   Object       kind 7: getter returning U* and a setter taking U* that COPIES (Assign) the
//                object it is given; or a std::unique_ptr<U> member that is owned and whose
//                setter copies into it
//   ReadOnlyObject kind 7 without a setter: streams and copies fill the existing object in place
//   Opaque       a property of a kind that carries no value here (dynamic array, record...)
//
// Data outside the published properties goes through the three hooks (include
// "persistence/PropertyBags.h" in the source file that implements them):
//   void AssignInnerProperties(const TReflectivePersistent& Source) override;  // same class
//   void ReadInnerProperties(TPropertyBag& Bag) override;   // reads exactly what Write wrote,
//   void WriteInnerProperties(TPropertyBag& Bag) override;  // in the same order
// Call the inherited hook first (inherited::ReadInnerProperties(Bag)) when the base has one.
// A list of the model derives from TReflectiveObjectList and overrides ItemClass() so that a
// stored item of a foreign class is refused: e.g. a list of sequences returns
// &TSequence::StaticClass(). An entry of a list may be nullptr (a stored empty reference).
//
// Copies: Clone() (or CloneOf(x) to keep the static type) creates an object of the same class
// through its default constructor and assigns it; Assign accepts only exactly the same class.
// Errors: every failure of a bag raises EPropertyBagError (PropertyBags.h) unless a handler is
// passed; the stream's and the registry's own errors pass through unchanged.
//
// Registration cannot be lost to the linker: nothing registers itself from a static
// initialiser. Each unit that declares persistent classes offers one Register...Classes()
// function that calls RegisterReflectiveClass for its classes in their order; the programs call
// every such function at start-up, before any object is read, and a test calls those it needs.
// Because that call names each class's StaticClass(), the object files are always linked in.
// TReflectivePersistent and TReflectiveObjectList are registered when the registry is created.
// Persistent class names are part of the stored format; RIZ_PUBLISHED stores the class's C++
// name as spelled, so persistent classes live in the global namespace (RIZ_PUBLISHED_AS names
// a class explicitly).
// ---------------------------------------------------------------------------------------------

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <variant>
#include <vector>

#include "platform/Registry.h"
#include "platform/SysUtils.h"

class TPropertyBag;
class TReflectivePersistent;
class TReflectiveClass;
template <class C>
class TClassDeclaration;

// The codes of the property bags' error routine (values 1 to 12, see PropertyBags.h).
enum TBagErrorCode : uint8_t;
// Optional error handler of the property bags: (sender, code, composed text).
using TPropertyBagErrorEvent =
    std::function<void(TPropertyBag& Sender, TBagErrorCode Code, const std::string& Text)>;

RIZ_DECLARE_EXCEPTION(EReflectivePersistentError, Exception);

// Type kinds of published properties; the values are part of the stored format.
enum TTypeKind : uint8_t {
  tkUnknown = 0,
  tkInteger = 1,
  tkChar = 2,
  tkEnumeration = 3,
  tkFloat = 4,
  tkString = 5,
  tkSet = 6,
  tkClass = 7,
  tkMethod = 8,
  tkWChar = 9,
  tkLString = 10,
  tkWString = 11,
  tkVariant = 12,
  tkArray = 13,
  tkRecord = 14,
  tkInterface = 15,
  tkInt64 = 16,
  tkDynArray = 17,
};

inline constexpr const char* SInvalidPropertyElement = "Invalid property element: %s";
inline constexpr const char* SInvalidFloat = "'%s' is not a valid floating point value";

// A property value with text preferred: empty, 32-bit integer, 64-bit integer, double or text.
class Variant {
public:
  enum TVarKind : uint8_t { vkEmpty, vkInteger, vkInt64, vkDouble, vkString };

  Variant() = default;
  Variant(int32_t V) : FValue(V) {}
  Variant(int64_t V) : FValue(V) {}
  Variant(double V) : FValue(V) {}
  Variant(std::string V) : FValue(std::move(V)) {}
  Variant(const char* V) : FValue(std::string(V)) {}
  Variant(bool) = delete;  // Booleans travel as "True"/"False"

  TVarKind Kind() const { return static_cast<TVarKind>(FValue.index()); }
  bool IsEmpty() const { return Kind() == vkEmpty; }
  bool IsText() const { return Kind() == vkString; }
  // Conversions: empty gives 0 or ""; text is parsed (EConvertError when it is no number);
  // a double becomes an integer in the current rounding mode; out of range raises ERangeError.
  int32_t AsInteger() const;
  int64_t AsInt64() const;
  double AsDouble() const;
  std::string AsString() const;

  bool operator==(const Variant& Other) const = default;

private:
  std::variant<std::monostate, int32_t, int64_t, double, std::string> FValue;
};

// One published property: its name, its type kind and how it is reached.
class TPropertyInfo {
public:
  std::string Name;
  TTypeKind Kind = tkUnknown;
  // Identifiers of an enumeration or set, in ordinal (bit) order.
  std::span<const char* const> Identifiers;
  // Value access with text preferred; empty for class kind and for kinds without a value.
  std::function<Variant(const TReflectivePersistent&)> GetValue;
  std::function<void(TReflectivePersistent&, const Variant&)> SetValue;
  // Object access for class kind; SetObject is empty for a read-only property.
  std::function<TObject*(const TReflectivePersistent&)> GetObject;
  std::function<void(TReflectivePersistent&, TObject*)> SetObject;
};

// The published properties of one class, its inherited ones included, sorted by name with the
// locale comparison ignoring case; a name may occur once.
class TPropertyInfoList {
public:
  TPropertyInfoList() = default;
  explicit TPropertyInfoList(const TReflectiveClass& AClass) { CollectProperties(AClass); }
  void CollectProperties(const TReflectiveClass& AClass);
  // EStringListError when the name is already present.
  void Add(TPropertyInfo Info);
  int Count() const { return static_cast<int>(FItems.size()); }
  const TPropertyInfo& Items(int Index) const;  // EListError outside 0..Count-1
  bool Find(std::string_view Name, int& Index) const;

private:
  std::vector<TPropertyInfo> FItems;
};

// The class reference: name, ancestor, virtual constructor and published properties of one
// reflective class. One instance per class, made by the class's StaticClass().
class TReflectiveClass {
public:
  using TFactory = TReflectivePersistent* (*)();
  using TDeclare = void (*)(TReflectiveClass&);

  TReflectiveClass(const char* Name, const TReflectiveClass* Parent, const std::type_info& Type,
                   TFactory Factory, TDeclare Declare);
  TReflectiveClass(const TReflectiveClass&) = delete;
  TReflectiveClass& operator=(const TReflectiveClass&) = delete;

  const std::string& ClassName() const { return FName; }
  const TReflectiveClass* ClassParent() const { return FParent; }
  bool InheritsFrom(const TReflectiveClass& Ancestor) const;
  const std::type_info& TypeInfo() const { return FType; }
  // A new object with the class's defaults; the caller owns it.
  std::unique_ptr<TReflectivePersistent> Create() const;
  // All published properties, inherited ones included, in index order.
  const TPropertyInfoList& Properties() const { return FProperties; }
  // The properties this class itself declares, in declaration order.
  const std::vector<TPropertyInfo>& OwnProperties() const { return FOwn; }

  void DeclareProperty(TPropertyInfo Info);  // used while the class is declared

private:
  std::string FName;
  const TReflectiveClass* FParent;
  const std::type_info& FType;
  TFactory FFactory;
  std::vector<TPropertyInfo> FOwn;
  TPropertyInfoList FProperties;
};
using TReflectiveClassRef = const TReflectiveClass*;

// ---------------------------------------------------------------------------------------------
// Class registry

// One registry entry.
class TReflectiveClassInfo {
public:
  explicit TReflectiveClassInfo(TReflectiveClassRef AClass) : ClassRef(AClass) {}
  TReflectiveClassRef ClassRef;
  const TPropertyInfoList& Properties() const { return ClassRef->Properties(); }
};

// Registers a class under its name; a name already present (ignoring case) is left as it is.
void RegisterReflectiveClass(TReflectiveClassRef AClass);
template <class T>
void RegisterReflectiveClass() {
  RegisterReflectiveClass(&T::StaticClass());
}
// Lookups ignore case; nullptr when the name is not registered.
const TReflectiveClassInfo* FindReflectiveClassInfo(std::string_view Name);
TReflectiveClassRef GetReflectiveClass(std::string_view Name);
// The property list of Obj's class (also when the class was never registered).
const TPropertyInfoList& GetPropertyInfoList(const TReflectivePersistent& Obj);
// Registered class names in registry order.
std::vector<std::string> ReflectiveClassNames();

// ---------------------------------------------------------------------------------------------

class TReflectivePersistent : public TObject {
public:
  TReflectivePersistent() = default;
  TReflectivePersistent(const TReflectivePersistent&) = delete;
  TReflectivePersistent& operator=(const TReflectivePersistent&) = delete;
  ~TReflectivePersistent() override = default;

  static const TReflectiveClass& StaticClass();
  virtual const TReflectiveClass& ClassType() const { return StaticClass(); }
  std::string ClassName() const override { return "TReflectivePersistent"; }

  // Copies the published properties and the inner data of a source of exactly this class;
  // any other source (nullptr included) goes to AssignTo, which by default raises
  // EConvertError "Cannot assign a %s to a %s".
  virtual void Assign(const TObject* Source);
  void Assign(const TReflectivePersistent& Source) { Assign(static_cast<const TObject*>(&Source)); }

  // Hooks for data outside the published properties; empty here. AssignInnerProperties gets a
  // source of exactly this class. The read hook must read exactly what the write hook wrote,
  // in the same order.
  virtual void AssignInnerProperties(const TReflectivePersistent& Source) {}
  virtual void ReadInnerProperties(TPropertyBag& Bag) {}
  virtual void WriteInnerProperties(TPropertyBag& Bag) {}

  // Reads one object record from Stream at its position into this object; false when nothing
  // is left in the stream. The stream is not owned.
  bool LoadFromStream(TStream& Stream, const TPropertyBagErrorEvent& OnError = {});
  // Reads this object's record from the registry key; false when the key does not exist.
  bool LoadFromRegistry(const std::string& Key, HKEY RootKey,
                        const TPropertyBagErrorEvent& OnError = {});
  void SaveToRegistry(const std::string& Key, HKEY RootKey,
                      const TPropertyBagErrorEvent& OnError = {});

  int PropertyCount() const { return Properties().Count(); }
  const TPropertyInfo& PropertyInfo(int Index) const { return Properties().Items(Index); }
  bool FindProperty(std::string_view Name, int& Index) const { return Properties().Find(Name, Index); }
  // The value with text preferred: enumerations and sets by identifier, Booleans as
  // "True"/"False", integers as integers, floating-point values as doubles.
  Variant GetPropertyValue(int Index) const;
  // Text is converted back to the enumeration or set (EPropertyConvertError for an identifier
  // the type does not have).
  void SetPropertyValue(int Index, const Variant& Value);
  // Class-kind properties as object references; nullptr for any other kind.
  TObject* GetObjectProperty(int Index) const;
  // Through the property's setter, which copies. For a read-only property the given object is
  // copied into the existing one (when both exist and are of one class).
  void SetObjectProperty(int Index, TObject* Obj);

  // A new object of the same class with this object's data; the caller owns it.
  std::unique_ptr<TReflectivePersistent> Clone() const;

  // EReflectivePersistentError when the object's class lacks its RIZ_REFLECTIVE declaration
  // (it would be stored and cloned as its ancestor).
  const TReflectiveClass& CheckedClassType() const;

protected:
  // Called by Assign for a source of another class.
  virtual void AssignTo(TReflectivePersistent& Dest) const;
  [[noreturn]] static void AssignError(const TObject* Source, const TReflectivePersistent& Dest);

private:
  const TPropertyInfoList& Properties() const { return ClassType().Properties(); }
};

// Clone with the static type kept.
template <class T>
std::unique_ptr<T> CloneOf(const T& Obj) {
  std::unique_ptr<TReflectivePersistent> C = Obj.Clone();
  return std::unique_ptr<T>(static_cast<T*>(C.release()));
}

// ---------------------------------------------------------------------------------------------
// Declaration macros (see the top of this file).

#define RIZ_REFLECTIVE(Class, Base)                                          \
 public:                                                                    \
  using inherited = Base;                                                   \
  static const TReflectiveClass& StaticClass();                             \
  const TReflectiveClass& ClassType() const override { return StaticClass(); } \
  std::string ClassName() const override { return StaticClass().ClassName(); } \
  static void DeclareProperties(TClassDeclaration<Class>& D);               \
                                                                            \
 public:

#define RIZ_PUBLISHED(Class) RIZ_PUBLISHED_AS(Class, #Class)

// The same with the stored class name given explicitly (a class outside the global namespace,
// or a test double that stands in for a class of the stored format).
#define RIZ_PUBLISHED_AS(Class, StoredName)                                                   \
  const TReflectiveClass& Class::StaticClass() {                                              \
    static const TReflectiveClass Meta(StoredName, &inherited::StaticClass(), typeid(Class),  \
                                       &ReflectiveFactory<Class>, [](TReflectiveClass& M) {    \
                                         TClassDeclaration<Class> Decl(M);                     \
                                         Class::DeclareProperties(Decl);                       \
                                       });                                                     \
    return Meta;                                                                              \
  }                                                                                           \
  void Class::DeclareProperties([[maybe_unused]] TClassDeclaration<Class>& D)

template <class T>
TReflectivePersistent* ReflectiveFactory() {
  if constexpr (std::is_abstract_v<T> || !std::is_default_constructible_v<T>)
    throw EAbstractError(SAbstractError);
  else
    return new T();
}

// ---------------------------------------------------------------------------------------------
// Conversions behind the declarations.

namespace reflection_detail {
// Identifier lookup ignoring case; -1 when absent.
int FindIdentifier(std::span<const char* const> Identifiers, std::string_view Name);
std::string OrdinalToText(std::span<const char* const> Identifiers, int64_t Ordinal);
int64_t TextToOrdinal(std::span<const char* const> Identifiers, const Variant& V);
std::string SetToText(std::span<const char* const> Identifiers, uint64_t Mask);
uint64_t TextToSet(std::span<const char* const> Identifiers, const Variant& V);
// The assignment error of a copying setter handed nullptr.
[[noreturn]] void RaiseAssignNil(const std::string& DestClass);

template <class T>
struct IsUniquePtr : std::false_type {};
template <class T>
struct IsUniquePtr<std::unique_ptr<T>> : std::true_type {};

template <class P>
auto* RawPointer(const P& Ptr) {
  if constexpr (IsUniquePtr<std::remove_cvref_t<P>>::value)
    return Ptr.get();
  else
    return Ptr;
}
}  // namespace reflection_detail

// The property declarations of one class C (the D of RIZ_PUBLISHED).
template <class C>
class TClassDeclaration {
public:
  explicit TClassDeclaration(TReflectiveClass& Meta) : FMeta(Meta) {}

  template <class F>
  void Integer(const char* Name, F Field) { Integer(Name, Field, Field); }
  template <class G, class S>
  void Integer(const char* Name, G Get, S Set) {
    using T = ValueOf<G>;
    static_assert(std::is_integral_v<T> && !std::is_same_v<T, bool> && sizeof(T) == 4,
                  "Integer properties are 32-bit integers");
    Value(Name, tkInteger, {},
          [Get](const C& O) -> Variant {
            const T V = std::invoke(Get, O);
            if constexpr (std::is_unsigned_v<T>) return Variant(static_cast<int64_t>(V));
            else return Variant(static_cast<int32_t>(V));
          },
          [Set](C& O, const Variant& V) {
            const int64_t N = V.AsInt64();
            if constexpr (std::is_unsigned_v<T>) {
              // A stored 4-byte value comes back signed: keep its bits.
              if (N < INT32_MIN || N > static_cast<int64_t>(UINT32_MAX)) throw ERangeError(SRangeError);
              Put(Set, O, static_cast<T>(static_cast<uint32_t>(N)));
            } else {
              Put(Set, O, static_cast<T>(RangeChecked<int32_t>(N)));
            }
          });
  }

  template <class F>
  void Int64(const char* Name, F Field) { Int64(Name, Field, Field); }
  template <class G, class S>
  void Int64(const char* Name, G Get, S Set) {
    using T = ValueOf<G>;
    static_assert(std::is_integral_v<T> && sizeof(T) == 8, "Int64 properties are 64-bit integers");
    Value(Name, tkInt64, {},
          [Get](const C& O) -> Variant { return Variant(static_cast<int64_t>(std::invoke(Get, O))); },
          [Set](C& O, const Variant& V) { Put(Set, O, static_cast<T>(V.AsInt64())); });
  }

  template <class F>
  void Float(const char* Name, F Field) { Float(Name, Field, Field); }
  template <class G, class S>
  void Float(const char* Name, G Get, S Set) {
    using T = ValueOf<G>;
    static_assert(std::is_floating_point_v<T>, "Float properties are float or double");
    Value(Name, tkFloat, {},
          [Get](const C& O) -> Variant { return Variant(static_cast<double>(std::invoke(Get, O))); },
          [Set](C& O, const Variant& V) { Put(Set, O, static_cast<T>(V.AsDouble())); });
  }

  template <class F>
  void Boolean(const char* Name, F Field) { Boolean(Name, Field, Field); }
  template <class G, class S>
  void Boolean(const char* Name, G Get, S Set) {
    static_assert(std::is_same_v<ValueOf<G>, bool>, "Boolean properties are bool");
    static constexpr const char* Names[] = {"False", "True"};
    Value(Name, tkEnumeration, Names,
          [Get](const C& O) -> Variant { return Variant(std::string(Names[std::invoke(Get, O) ? 1 : 0])); },
          [Set](C& O, const Variant& V) { Put(Set, O, reflection_detail::TextToOrdinal(Names, V) != 0); });
  }

  template <class F>
  void Enumeration(const char* Name, std::span<const char* const> Identifiers, F Field) {
    Enumeration(Name, Identifiers, Field, Field);
  }
  template <class G, class S>
  void Enumeration(const char* Name, std::span<const char* const> Identifiers, G Get, S Set) {
    using T = ValueOf<G>;
    static_assert(std::is_enum_v<T>, "Enumeration properties are enums");
    Value(Name, tkEnumeration, Identifiers,
          [Get, Identifiers](const C& O) -> Variant {
            return Variant(reflection_detail::OrdinalToText(
                Identifiers, static_cast<int64_t>(std::invoke(Get, O))));
          },
          [Set, Identifiers](C& O, const Variant& V) {
            Put(Set, O, static_cast<T>(reflection_detail::TextToOrdinal(Identifiers, V)));
          });
  }

  template <class F>
  void SetOf(const char* Name, std::span<const char* const> Identifiers, F Field) {
    SetOf(Name, Identifiers, Field, Field);
  }
  template <class G, class S>
  void SetOf(const char* Name, std::span<const char* const> Identifiers, G Get, S Set) {
    using T = ValueOf<G>;
    static_assert(std::is_unsigned_v<T>, "Set properties are unsigned bit masks");
    Value(Name, tkSet, Identifiers,
          [Get, Identifiers](const C& O) -> Variant {
            return Variant(reflection_detail::SetToText(Identifiers, std::invoke(Get, O)));
          },
          [Set, Identifiers](C& O, const Variant& V) {
            Put(Set, O, static_cast<T>(reflection_detail::TextToSet(Identifiers, V)));
          });
  }

  template <class F>
  void String(const char* Name, F Field) { String(Name, Field, Field); }
  template <class G, class S>
  void String(const char* Name, G Get, S Set) {
    static_assert(std::is_same_v<ValueOf<G>, std::string>, "String properties are std::string");
    Value(Name, tkLString, {},
          [Get](const C& O) -> Variant { return Variant(std::string(std::invoke(Get, O))); },
          [Set](C& O, const Variant& V) { Put(Set, O, V.AsString()); });
  }

  // An object property with a getter and a setter that copies what it is given.
  template <class G, class S>
  void Object(const char* Name, G Get, S Set) {
    using U = std::remove_pointer_t<decltype(reflection_detail::RawPointer(
        std::invoke(std::declval<const G&>(), std::declval<const C&>())))>;
    TPropertyInfo P = ObjectGetter<U>(Name, Get);
    P.SetObject = [Set](TReflectivePersistent& O, TObject* Obj) {
      U* Typed = Obj ? dynamic_cast<U*>(Obj) : nullptr;
      if (Obj && !Typed) return;  // an object of another class is not taken
      std::invoke(Set, static_cast<C&>(O), Typed);
    };
    FMeta.DeclareProperty(std::move(P));
  }
  // An owned object (created by the constructor) whose setter copies into it.
  template <class U>
  void Object(const char* Name, std::unique_ptr<U> C::*Field) {
    TPropertyInfo P = ObjectGetter<U>(Name, Field);
    P.SetObject = [Field](TReflectivePersistent& O, TObject* Obj) {
      std::unique_ptr<U>& Owned = static_cast<C&>(O).*Field;
      if (!Obj) reflection_detail::RaiseAssignNil(U::StaticClass().ClassName());
      U* Typed = dynamic_cast<U*>(Obj);
      if (!Typed) return;
      if (Owned) Owned->Assign(Typed);
      else Owned = CloneOf(*Typed);
    };
    FMeta.DeclareProperty(std::move(P));
  }
  template <class G>
  void ReadOnlyObject(const char* Name, G Get) {
    using U = std::remove_pointer_t<decltype(reflection_detail::RawPointer(
        std::invoke(std::declval<const G&>(), std::declval<const C&>())))>;
    FMeta.DeclareProperty(ObjectGetter<U>(Name, Get));
  }

  // A property of a kind that carries no value here (dynamic arrays, records, ...).
  void Opaque(const char* Name, uint8_t Kind) {
    TPropertyInfo P;
    P.Name = Name;
    P.Kind = static_cast<TTypeKind>(Kind);
    FMeta.DeclareProperty(std::move(P));
  }

private:
  template <class G>
  using ValueOf = std::remove_cvref_t<std::invoke_result_t<const G&, const C&>>;

  template <class S, class V>
  static void Put(const S& Set, C& O, V&& Value) {
    if constexpr (std::is_member_object_pointer_v<S>)
      O.*Set = std::forward<V>(Value);
    else
      std::invoke(Set, O, std::forward<V>(Value));
  }

  template <class GetF, class SetF>
  void Value(const char* Name, TTypeKind Kind, std::span<const char* const> Identifiers,
             GetF Get, SetF Set) {
    TPropertyInfo P;
    P.Name = Name;
    P.Kind = Kind;
    P.Identifiers = Identifiers;
    P.GetValue = [Get](const TReflectivePersistent& O) { return Get(static_cast<const C&>(O)); };
    P.SetValue = [Set](TReflectivePersistent& O, const Variant& V) { Set(static_cast<C&>(O), V); };
    FMeta.DeclareProperty(std::move(P));
  }

  template <class U, class G>
  static TPropertyInfo ObjectGetter(const char* Name, G Get) {
    static_assert(std::is_base_of_v<TObject, U>, "Object properties hold TObject descendants");
    TPropertyInfo P;
    P.Name = Name;
    P.Kind = tkClass;
    P.GetObject = [Get](const TReflectivePersistent& O) -> TObject* {
      return reflection_detail::RawPointer(std::invoke(Get, static_cast<const C&>(O)));
    };
    return P;
  }

  TReflectiveClass& FMeta;
};

// ---------------------------------------------------------------------------------------------

// An owning list of reflective objects, stored item by item with each item's class name.
// An entry may be empty (nullptr) when a stored list held an empty reference.
class TReflectiveObjectList : public TReflectivePersistent {
  RIZ_REFLECTIVE(TReflectiveObjectList, TReflectivePersistent)
public:
  TReflectiveObjectList() = default;
  ~TReflectiveObjectList() override = default;

  int Add(std::unique_ptr<TReflectivePersistent> Item);  // takes ownership, returns the index
  void Clear();
  void Delete(int Index);  // frees the item
  int Count() const { return static_cast<int>(FItems.size()); }
  TReflectivePersistent* Items(int Index) const;  // EListError outside 0..Count-1

  // The class every item must be or descend from; nullptr: any reflective class. A typed list
  // (a list of sequences) names its item class, so that a stored item of another class is
  // reported as an unsupported object class and never reaches the typed accessors.
  virtual TReflectiveClassRef ItemClass() const { return nullptr; }

  // Deep copy: every item becomes a clone of its own class; empty entries stay empty.
  void AssignInnerProperties(const TReflectivePersistent& Source) override;
  void ReadInnerProperties(TPropertyBag& Bag) override;
  void WriteInnerProperties(TPropertyBag& Bag) override;

protected:
  // Runs for every item the list is about to free (by Clear, Delete, or a typed list's own
  // destructor through Clear), while the item is still whole; Item may be nullptr. Should it
  // raise, every item is still freed and Clear or Delete raises the first error afterwards.
  virtual void ReleaseItem(TReflectivePersistent* Item) {}

private:
  std::vector<std::unique_ptr<TReflectivePersistent>> FItems;
};
