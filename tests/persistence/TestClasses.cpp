#include "tests/persistence/TestClasses.h"

namespace ptest {

RIZ_PUBLISHED(TTestPersonalInfo) {
  D.String("LastName", &TTestPersonalInfo::LastName);
  D.String("FirstName", &TTestPersonalInfo::FirstName);
  D.String("Street", &TTestPersonalInfo::Street);
  D.String("ZIP", &TTestPersonalInfo::ZIP);
  D.String("City", &TTestPersonalInfo::City);
  D.String("Country", &TTestPersonalInfo::Country);
  D.String("Phone", &TTestPersonalInfo::Phone);
  D.String("EMail", &TTestPersonalInfo::EMail);
}

TTestSaverInfo::TTestSaverInfo()
    : RizuderName("unbenannt"), CreationDate(Now()), FCreatorInfo(std::make_unique<TTestPersonalInfo>()) {}

RIZ_PUBLISHED(TTestSaverInfo) {
  D.String("ProductName", &TTestSaverInfo::ProductName);
  D.String("ProductVersion", &TTestSaverInfo::ProductVersion);
  D.String("SerialNo", &TTestSaverInfo::SerialNo);
  D.String("RizuderName", &TTestSaverInfo::RizuderName);
  D.Object("CreatorInfo", &TTestSaverInfo::CreatorInfo, &TTestSaverInfo::SetCreatorInfo);
  D.Float("CreationDate", &TTestSaverInfo::CreationDate);
  D.String("CreatorLicense", &TTestSaverInfo::CreatorLicense);
  D.Enumeration("Resolution", TTestResolutionNames, &TTestSaverInfo::Resolution);
}

RIZ_PUBLISHED(TScreenSaverInfo) {}

RIZ_PUBLISHED(TTestAddress) {
  D.String("ZIP", &TTestAddress::ZIP);
  D.String("City", &TTestAddress::City);
  D.String("EMail", &TTestAddress::EMail);
}

TTestAllKinds::TTestAllKinds()
    : FPerson(std::make_unique<TTestPersonalInfo>()), FItems(std::make_unique<TReflectiveObjectList>()) {}

RIZ_PUBLISHED(TTestAllKinds) {
  D.Integer("Count", &TTestAllKinds::Count);
  D.Integer("Mask", &TTestAllKinds::Mask);
  D.Integer("Color", &TTestAllKinds::Color);
  D.Int64("Big", &TTestAllKinds::Big);
  D.Float("Speed", &TTestAllKinds::Speed);
  D.Float("Stamp", &TTestAllKinds::Stamp);
  D.Boolean("Enabled", &TTestAllKinds::Enabled);
  D.Enumeration("Resolution", TTestResolutionNames, &TTestAllKinds::Resolution);
  D.SetOf("Styles", TTestStyleNames, &TTestAllKinds::Styles);
  D.String("Text", &TTestAllKinds::Text);
  D.Object("Person", &TTestAllKinds::FPerson);
  D.ReadOnlyObject("Items", &TTestAllKinds::Items);
  D.Integer("Duration", &TTestAllKinds::Duration, &TTestAllKinds::SetDuration);
}

RIZ_PUBLISHED(TTestMedia) {
  D.Integer("MediaID", &TTestMedia::MediaID);
}

void TTestMedia::AssignInnerProperties(const TReflectivePersistent& Source) {
  const auto& S = static_cast<const TTestMedia&>(Source);
  Extension = S.Extension;
  FileDate = S.FileDate;
  Content.Clear();
  const std::vector<uint8_t>& B = S.Content.Bytes();
  if (!B.empty()) Content.WriteBuffer(B.data(), static_cast<int32_t>(B.size()));
}

void TTestMedia::WriteInnerProperties(TPropertyBag& Bag) {
  Bag.BeginBlockWrite("Info");
  Bag.WriteStringValue("Extension", Extension);
  Bag.WriteFloat("FileDate", FileDate);
  Bag.EndBlockWrite();
  Content.SetPosition(0);
  Bag.WriteStream("MediaContent", Content);
}

void TTestMedia::ReadInnerProperties(TPropertyBag& Bag) {
  Bag.BeginBlockRead("Info");
  Bag.ReadStringValue("Extension", Extension);
  FileDate = Bag.ReadFloat("FileDate");
  Bag.EndBlockRead();
  Content.Clear();
  Bag.ReadStream("MediaContent", Content);
}

RIZ_PUBLISHED(TTestList) {}
RIZ_PUBLISHED(TTestAddressList) {}

RIZ_PUBLISHED(TTestForeign) {
  D.ReadOnlyObject("Strings", &TTestForeign::Strings);
}

RIZ_PUBLISHED(TTestOddKinds) {
  D.Integer("Before", &TTestOddKinds::Before);
  D.Opaque("Points", tkDynArray);
  D.Integer("After", &TTestOddKinds::After);
}

RIZ_PUBLISHED(TTestRecordKind) {
  D.Opaque("Bounds", tkRecord);
}

RIZ_PUBLISHED(TTestUserProperties) {
  D.Boolean("UseStandardResolution", &TTestUserProperties::UseStandardResolution);
  D.Boolean("InterpolateToFullscreen", &TTestUserProperties::InterpolateToFullscreen);
}

void RegisterTestClasses() {
  RegisterReflectiveClass<TTestPersonalInfo>();
  RegisterReflectiveClass<TTestSaverInfo>();
  RegisterReflectiveClass<TScreenSaverInfo>();
  RegisterReflectiveClass<TTestAddress>();
  RegisterReflectiveClass<TTestAllKinds>();
  RegisterReflectiveClass<TTestMedia>();
  RegisterReflectiveClass<TTestList>();
  RegisterReflectiveClass<TTestAddressList>();
  RegisterReflectiveClass<TTestForeign>();
  RegisterReflectiveClass<TTestOddKinds>();
  RegisterReflectiveClass<TTestRecordKind>();
  RegisterReflectiveClass<TTestUserProperties>();
}

RawItems& RawItems::Int(int32_t V) {
  B.append(reinterpret_cast<const char*>(&V), 4);
  return *this;
}
RawItems& RawItems::Int64(int64_t V) {
  B.append(reinterpret_cast<const char*>(&V), 8);
  return *this;
}
RawItems& RawItems::Str(const std::string& S) {
  Int(static_cast<int32_t>(S.size()));
  B += S;
  return *this;
}
RawItems& RawItems::Bytes(const std::string& S) {
  B += S;
  return *this;
}
RawItems& RawItems::Block(const std::string& Name, const RawItems& Content) {
  Int(sitBlock).Str(Name).Int64(8 + static_cast<int64_t>(Content.B.size()));
  B += Content.B;
  return *this;
}
RawItems& RawItems::BinaryValue(const std::string& Name, const std::string& Payload) {
  Int(sitBinary).Str(Name);
  B += Payload;
  return *this;
}
RawItems& RawItems::IntValue(const std::string& Name, int32_t V) {
  return Int(sitBinary).Str(Name).Int(V);
}
RawItems& RawItems::StringValue(const std::string& Name, const std::string& V) {
  return Int(sitString).Str(Name).Str(V);
}

RawItems Record(const std::string& ClassName, int32_t PropertyCount, const RawItems& Properties,
                const RawItems& Inner) {
  RawItems R;
  R.Block("ClassInfo", RawItems().IntValue("IsNIL", 0).StringValue("ClassName", ClassName).IntValue(
                           "PropertyCount", PropertyCount));
  R.Block("Properties", Properties);
  R.Block("InnerProperties", Inner);
  return R;
}

RawItems Property(const std::string& Name, int32_t Kind, const RawItems& Value) {
  RawItems Content;
  Content.IntValue("Type", Kind);
  Content.B += Value.B;
  return RawItems().Block(Name, Content);
}

std::string Bytes(const TMemoryStream& S) {
  return std::string(S.Bytes().begin(), S.Bytes().end());
}

TMemoryStream StreamOf(const std::string& Bytes) {
  TMemoryStream S;
  if (!Bytes.empty()) S.WriteBuffer(Bytes.data(), static_cast<int32_t>(Bytes.size()));
  S.SetPosition(0);
  return S;
}

std::unique_ptr<TTestSaverInfo> SampleInfo() {
  auto I = std::make_unique<TTestSaverInfo>();
  I->ProductName = "Vovizirid";
  I->ProductVersion = "2.1";
  I->SerialNo = "0815-4711";
  I->RizuderName = "Sommerwiese";
  I->CreationDate = 38000.625;
  I->CreatorLicense = "Lizenz: nur für den privaten Gebrauch.\r\nÄnderungen verboten.";
  I->Resolution = sr1024x768;
  TTestPersonalInfo* P = I->CreatorInfo();
  P->LastName = "Müller";
  P->FirstName = "Jürgen";
  P->Street = "Hauptstraße 5";
  P->ZIP = "80331";
  P->City = "München";
  P->Country = "Deutschland";
  P->Phone = "+49 89 123456";
  P->EMail = "juergen@example.com";
  return I;
}

std::string Difference(const TReflectivePersistent& A, const TReflectivePersistent& B) {
  if (A.ClassName() != B.ClassName()) return "class " + A.ClassName() + " / " + B.ClassName();
  for (int I = 0; I < A.PropertyCount(); ++I) {
    const TPropertyInfo& P = A.PropertyInfo(I);
    if (P.Kind == tkClass) {
      auto* X = dynamic_cast<TReflectivePersistent*>(A.GetObjectProperty(I));
      auto* Y = dynamic_cast<TReflectivePersistent*>(B.GetObjectProperty(I));
      if (!X || !Y) {
        if (X != Y) return P.Name + ": one side empty";
        continue;
      }
      const std::string D = Difference(*X, *Y);
      if (!D.empty()) return P.Name + "." + D;
    } else if (!(A.GetPropertyValue(I) == B.GetPropertyValue(I))) {
      return P.Name + ": " + A.GetPropertyValue(I).AsString() + " / " + B.GetPropertyValue(I).AsString();
    }
  }
  return {};
}

}  // namespace ptest
