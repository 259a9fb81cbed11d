#pragma once
// Persistent classes for the framework's tests, shaped like the model's: a personal-info and a
// saver-info class, one class per property kind, one with inner data and an embedded stream.

#include <memory>
#include <string>

#include "persistence/PropertyBags.h"
#include "persistence/ReflectionObjects.h"
#include "platform/Classes.h"

namespace ptest {

enum TTestResolution : uint8_t { sr640x480, sr800x600, sr1024x768, sr1280x960, sr1600x1200 };
inline constexpr const char* TTestResolutionNames[] = {"sr640x480", "sr800x600", "sr1024x768",
                                                       "sr1280x960", "sr1600x1200"};

class TTestPersonalInfo : public TReflectivePersistent {
  RIZ_REFLECTIVE(TTestPersonalInfo, TReflectivePersistent)
public:
  std::string LastName, FirstName, Street, ZIP, City, Country, Phone, EMail;
};

// The shape of the screen-saver description: eight published properties, the creator copied
// by its setter.
class TTestSaverInfo : public TReflectivePersistent {
  RIZ_REFLECTIVE(TTestSaverInfo, TReflectivePersistent)
public:
  TTestSaverInfo();
  TTestPersonalInfo* CreatorInfo() const { return FCreatorInfo.get(); }
  void SetCreatorInfo(TTestPersonalInfo* Value) { FCreatorInfo->Assign(Value); }

  std::string ProductName, ProductVersion, SerialNo, RizuderName, CreatorLicense;
  TDateTime CreationDate = 0;
  TTestResolution Resolution = sr640x480;

private:
  std::unique_ptr<TTestPersonalInfo> FCreatorInfo;
};

// Stored under the description's real name, for the byte layout of the worked example.
class TScreenSaverInfo : public TTestSaverInfo {
  RIZ_REFLECTIVE(TScreenSaverInfo, TTestSaverInfo)
};

// Published properties "ZIP", "City", "EMail", declared in that order.
class TTestAddress : public TReflectivePersistent {
  RIZ_REFLECTIVE(TTestAddress, TReflectivePersistent)
public:
  std::string ZIP, City, EMail;
};

enum TTestStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
inline constexpr const char* TTestStyleNames[] = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};

// One property of every kind the framework carries.
class TTestAllKinds : public TReflectivePersistent {
  RIZ_REFLECTIVE(TTestAllKinds, TReflectivePersistent)
public:
  TTestAllKinds();
  int32_t Count = 7;
  uint32_t Mask = 0;
  int32_t Color = 0xFFFFFF;
  int64_t Big = 0;
  float Speed = 0.05f;
  double Stamp = 0;
  bool Enabled = false;
  TTestResolution Resolution = sr800x600;
  uint8_t Styles = 0;
  std::string Text = "Geben Sie einen Text ein...";
  TTestPersonalInfo* Person() const { return FPerson.get(); }
  TReflectiveObjectList* Items() const { return FItems.get(); }
  // Reached through accessors rather than a field.
  int32_t Duration() const { return FDuration; }
  void SetDuration(int32_t V) { FDuration = V; }

  std::unique_ptr<TTestPersonalInfo> FPerson;

private:
  std::unique_ptr<TReflectiveObjectList> FItems;
  int32_t FDuration = 8000;
};

// Inner data: a block of values and an embedded stream, copied by AssignInnerProperties.
class TTestMedia : public TReflectivePersistent {
  RIZ_REFLECTIVE(TTestMedia, TReflectivePersistent)
public:
  int32_t MediaID = 0;
  std::string Extension;
  double FileDate = 0;
  TMemoryStream Content;

  void AssignInnerProperties(const TReflectivePersistent& Source) override;
  void ReadInnerProperties(TPropertyBag& Bag) override;
  void WriteInnerProperties(TPropertyBag& Bag) override;
};

// A list of its own class, as the model's lists are.
class TTestList : public TReflectiveObjectList {
  RIZ_REFLECTIVE(TTestList, TReflectiveObjectList)
};

// A typed list: only addresses.
class TTestAddressList : public TReflectiveObjectList {
  RIZ_REFLECTIVE(TTestAddressList, TReflectiveObjectList)
public:
  TReflectiveClassRef ItemClass() const override { return &TTestAddress::StaticClass(); }
};

// An object property whose getter hands out an object outside the reflective family.
class TTestForeign : public TReflectivePersistent {
  RIZ_REFLECTIVE(TTestForeign, TReflectivePersistent)
public:
  TStringList* Strings() const { return FStrings.get(); }
  std::unique_ptr<TStringList> FStrings = std::make_unique<TStringList>();
};

// Properties of kinds that carry no value: a dynamic array, and a record the bags refuse.
class TTestOddKinds : public TReflectivePersistent {
  RIZ_REFLECTIVE(TTestOddKinds, TReflectivePersistent)
public:
  int32_t Before = 0;
  int32_t After = 0;
};
class TTestRecordKind : public TReflectivePersistent {
  RIZ_REFLECTIVE(TTestRecordKind, TReflectivePersistent)
};

// The per-user options: two Booleans, stored only in the registry.
class TTestUserProperties : public TReflectivePersistent {
  RIZ_REFLECTIVE(TTestUserProperties, TReflectivePersistent)
public:
  bool UseStandardResolution = false;
  bool InterpolateToFullscreen = false;
};

// Registers every class above.
void RegisterTestClasses();

// Raw bytes of the object stream, built by hand.
struct RawItems {
  std::string B;
  RawItems& Int(int32_t V);
  RawItems& Int64(int64_t V);
  RawItems& Str(const std::string& S);  // length and bytes, as given
  RawItems& Bytes(const std::string& S);
  RawItems& Block(const std::string& Name, const RawItems& Content);
  RawItems& BinaryValue(const std::string& Name, const std::string& Payload);
  RawItems& IntValue(const std::string& Name, int32_t V);
  RawItems& StringValue(const std::string& Name, const std::string& V);
};
// The record of an object: ClassInfo, Properties (as given) and an empty InnerProperties.
RawItems Record(const std::string& ClassName, int32_t PropertyCount, const RawItems& Properties,
                const RawItems& Inner = {});
// One property block: "Type" and the value items given.
RawItems Property(const std::string& Name, int32_t Kind, const RawItems& Value);

// Helpers
std::string Bytes(const TMemoryStream& S);
TMemoryStream StreamOf(const std::string& Bytes);
// A filled-in description with a creator.
std::unique_ptr<TTestSaverInfo> SampleInfo();
// Every published property equal, recursing into object properties; the first difference.
std::string Difference(const TReflectivePersistent& A, const TReflectivePersistent& B);

}  // namespace ptest
