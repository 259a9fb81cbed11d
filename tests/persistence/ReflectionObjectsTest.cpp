#include <gtest/gtest.h>

#include "persistence/ReflectionObjects.h"
#include "tests/persistence/TestClasses.h"

using namespace ptest;

namespace {

// Differs from TTestAddress only in letter case; registered second, it must not replace it.
class TTestAddressUpper : public TReflectivePersistent {
  RIZ_REFLECTIVE(TTestAddressUpper, TReflectivePersistent)
};
RIZ_PUBLISHED_AS(TTestAddressUpper, "TTESTADDRESS") {}

// Forgot its own declaration: it would be stored and cloned as its ancestor.
class TUndeclared : public TTestAddress {};

class Reflection : public ::testing::Test {
protected:
  void SetUp() override { RegisterTestClasses(); }
};

std::vector<std::string> Names(const TReflectivePersistent& O) {
  std::vector<std::string> R;
  for (int I = 0; I < O.PropertyCount(); ++I) R.push_back(O.PropertyInfo(I).Name);
  return R;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Class registry and property index

TEST_F(Reflection, PropertyIndexIsAlphabeticalIgnoringCaseNotDeclarationOrder) {
  TTestAddress A;
  EXPECT_EQ(Names(A), (std::vector<std::string>{"City", "EMail", "ZIP"}));
  TTestSaverInfo I;
  EXPECT_EQ(Names(I), (std::vector<std::string>{"CreationDate", "CreatorInfo", "CreatorLicense",
                                                 "ProductName", "ProductVersion", "Resolution",
                                                 "RizuderName", "SerialNo"}));
  int Index = -1;
  EXPECT_TRUE(A.FindProperty("zip", Index));
  EXPECT_EQ(Index, 2);
  EXPECT_TRUE(A.FindProperty("email", Index));
  EXPECT_EQ(Index, 1);
  EXPECT_FALSE(A.FindProperty("Street", Index));
}

TEST_F(Reflection, InheritedPropertiesAreCollectedWithTheClassesOwn) {
  TScreenSaverInfo S;
  EXPECT_EQ(S.ClassName(), "TScreenSaverInfo");
  EXPECT_EQ(S.PropertyCount(), 8);
  EXPECT_TRUE(S.ClassType().InheritsFrom(TTestSaverInfo::StaticClass()));
  EXPECT_FALSE(TTestSaverInfo::StaticClass().InheritsFrom(TScreenSaverInfo::StaticClass()));
  EXPECT_EQ(&GetPropertyInfoList(S), &TScreenSaverInfo::StaticClass().Properties());
}

TEST_F(Reflection, LookupIgnoresCaseAndTheFirstClassOfANameStays) {
  RegisterReflectiveClass<TTestAddress>();
  RegisterReflectiveClass<TTestAddressUpper>();
  RegisterReflectiveClass<TTestAddress>();
  const std::vector<std::string> All = ReflectiveClassNames();
  EXPECT_EQ(std::count_if(All.begin(), All.end(), [](const std::string& N) { return SameText(N, "TTestAddress"); }),
            1);
  EXPECT_EQ(GetReflectiveClass("TTESTADDRESS"), &TTestAddress::StaticClass());
  EXPECT_EQ(GetReflectiveClass("ttestaddress"), &TTestAddress::StaticClass());
  const TReflectiveClassInfo* Info = FindReflectiveClassInfo("TTestAddress");
  ASSERT_NE(Info, nullptr);
  EXPECT_EQ(Info->Properties().Count(), 3);
  EXPECT_EQ(GetReflectiveClass("TNoSuchClass"), nullptr);
  EXPECT_EQ(FindReflectiveClassInfo(""), nullptr);
  // The framework's own classes are there from the start.
  EXPECT_NE(GetReflectiveClass("TReflectivePersistent"), nullptr);
  EXPECT_NE(GetReflectiveClass("TReflectiveObjectList"), nullptr);
}

TEST_F(Reflection, ClassReferenceCreatesWithTheClassDefaults) {
  std::unique_ptr<TReflectivePersistent> O = GetReflectiveClass("TTestSaverInfo")->Create();
  auto* I = dynamic_cast<TTestSaverInfo*>(O.get());
  ASSERT_NE(I, nullptr);
  EXPECT_EQ(I->RizuderName, "unbenannt");
  EXPECT_NE(I->CreatorInfo(), nullptr);
}

TEST_F(Reflection, PropertyIndexOutsideTheListRaisesTheListError) {
  TTestAddress A;
  try {
    A.PropertyInfo(3);
    FAIL();
  } catch (const EListError& E) {
    EXPECT_STREQ(E.what(), "List index out of bounds (3)");
  }
  EXPECT_THROW(A.GetPropertyValue(-1), EListError);
  EXPECT_THROW(A.SetPropertyValue(3, Variant("x")), EListError);
}

TEST_F(Reflection, DuplicatePropertyNamesAreRejected) {
  TPropertyInfoList L;
  TPropertyInfo P;
  P.Name = "City";
  L.Add(P);
  P.Name = "CITY";
  EXPECT_THROW(L.Add(P), EStringListError);
  EXPECT_EQ(L.Count(), 1);
}

// ---------------------------------------------------------------------------------------------
// Values through the variant with text preferred

TEST_F(Reflection, ValuesComeBackWithTextPreferred) {
  TTestAllKinds O;
  O.Enabled = true;
  O.Resolution = sr1600x1200;
  O.Styles = (1 << fsBold) | (1 << fsUnderline);
  O.Mask = 0xFFFFFFF0u;
  O.Count = -5;
  O.Speed = 0.1f;
  auto Get = [&](const char* Name) {
    int I;
    EXPECT_TRUE(O.FindProperty(Name, I)) << Name;
    return O.GetPropertyValue(I);
  };
  EXPECT_EQ(Get("Enabled"), Variant("True"));
  EXPECT_EQ(Get("Resolution"), Variant("sr1600x1200"));
  EXPECT_EQ(Get("Styles"), Variant("fsBold,fsUnderline"));
  EXPECT_EQ(Get("Count"), Variant(int32_t{-5}));
  EXPECT_EQ(Get("Mask"), Variant(int64_t{0xFFFFFFF0u}));
  EXPECT_EQ(Get("Speed"), Variant(static_cast<double>(0.1f)));
  EXPECT_EQ(Get("Duration"), Variant(int32_t{8000}));
  EXPECT_TRUE(Get("Person").IsEmpty());
  O.Enabled = false;
  O.Styles = 0;
  EXPECT_EQ(Get("Enabled"), Variant("False"));
  EXPECT_EQ(Get("Styles"), Variant(""));
}

TEST_F(Reflection, TextIsConvertedBackAndUnknownIdentifiersRaise) {
  TTestAllKinds O;
  auto Set = [&](const char* Name, const Variant& V) {
    int I;
    ASSERT_TRUE(O.FindProperty(Name, I)) << Name;
    O.SetPropertyValue(I, V);
  };
  Set("Resolution", Variant("SR1280X960"));
  EXPECT_EQ(O.Resolution, sr1280x960);
  Set("Enabled", Variant("true"));
  EXPECT_TRUE(O.Enabled);
  Set("Styles", Variant("[fsItalic, fsStrikeOut]"));
  EXPECT_EQ(O.Styles, (1 << fsItalic) | (1 << fsStrikeOut));
  Set("Count", Variant("12"));
  EXPECT_EQ(O.Count, 12);
  Set("Duration", Variant(int32_t{250}));
  EXPECT_EQ(O.Duration(), 250);
  Set("Mask", Variant(int32_t{-1}));  // four stored bytes come back signed
  EXPECT_EQ(O.Mask, 0xFFFFFFFFu);
  Set("Speed", Variant(static_cast<double>(0.3f)));
  EXPECT_EQ(O.Speed, 0.3f);
  Set("Text", Variant("Grüße"));
  EXPECT_EQ(O.Text, "Grüße");

  try {
    Set("Resolution", Variant("sr999"));
    FAIL();
  } catch (const EPropertyConvertError& E) {
    EXPECT_STREQ(E.what(), "Invalid property element: sr999");
  }
  EXPECT_EQ(O.Resolution, sr1280x960);
  EXPECT_THROW(Set("Enabled", Variant("Yes")), EPropertyConvertError);
  EXPECT_THROW(Set("Styles", Variant("fsBold,fsBlink")), EPropertyConvertError);
  EXPECT_THROW(Set("Count", Variant("abc")), EConvertError);
  EXPECT_THROW(Set("Count", Variant(int64_t{1} << 40)), ERangeError);
  EXPECT_THROW(Set("Resolution", Variant(int32_t{5})), ERangeError);
}

TEST(VariantConversion, TextNumbersAndRounding) {
  EXPECT_EQ(Variant("$FF").AsInteger(), 255);
  EXPECT_EQ(Variant(" -42 ").AsInteger(), -42);
  EXPECT_EQ(Variant("2.5").AsDouble(), 2.5);
  EXPECT_THROW(Variant("2,5").AsDouble(), EConvertError);
  EXPECT_THROW(Variant("99999999999").AsInteger(), EConvertError);
  EXPECT_EQ(Variant(int64_t{-3}).AsString(), "-3");
  EXPECT_EQ(Variant(0.1).AsString(), "0.1");
  EXPECT_EQ(Variant(Variant(1e300).AsString()).AsDouble(), 1e300);
  EXPECT_EQ(Variant().AsInteger(), 0);
  EXPECT_EQ(Variant().AsString(), "");
  EXPECT_THROW(Variant(1e20).AsInteger(), ERangeError);
}

// ---------------------------------------------------------------------------------------------
// Assign and Clone

TEST_F(Reflection, CloneCarriesTheSourcesValuesNotTheConstructorDefaults) {
  TTestAllKinds O;
  O.Count = 99;
  O.Text = "anders";
  O.Speed = 1.5f;
  O.Resolution = sr640x480;
  O.SetDuration(1234);
  O.Person()->City = "Köln";
  std::unique_ptr<TTestAllKinds> C = CloneOf(O);
  EXPECT_EQ(C->ClassName(), "TTestAllKinds");
  EXPECT_EQ(C->Count, 99);
  EXPECT_EQ(C->Text, "anders");
  EXPECT_EQ(C->Speed, 1.5f);
  EXPECT_EQ(C->Resolution, sr640x480);
  EXPECT_EQ(C->Duration(), 1234);
  EXPECT_EQ(C->Person()->City, "Köln");
  EXPECT_NE(C->Person(), O.Person());
  EXPECT_EQ(Difference(O, *C), "");
}

TEST_F(Reflection, CloneCopiesInnerDataThroughTheHook) {
  TTestMedia M;
  M.MediaID = 3;
  M.Extension = ".jpg";
  M.FileDate = 37000.5;
  M.Content.WriteBuffer("\xFF\xD8\xFF", 3);
  std::unique_ptr<TTestMedia> C = CloneOf(M);
  EXPECT_EQ(C->MediaID, 3);
  EXPECT_EQ(C->Extension, ".jpg");
  EXPECT_EQ(C->FileDate, 37000.5);
  EXPECT_EQ(Bytes(C->Content), "\xFF\xD8\xFF");
}

TEST_F(Reflection, AssignCopiesObjectPropertiesThroughTheirSetters) {
  std::unique_ptr<TTestSaverInfo> Source = SampleInfo();
  TTestSaverInfo Dest;
  TTestPersonalInfo* OwnCreator = Dest.CreatorInfo();
  Dest.Assign(*Source);
  EXPECT_EQ(Dest.Resolution, sr1024x768);
  EXPECT_EQ(Dest.CreatorInfo(), OwnCreator);  // the setter copied into the owned object
  EXPECT_EQ(Dest.CreatorInfo()->LastName, "Müller");
  Source->CreatorInfo()->LastName = "Schmidt";
  EXPECT_EQ(Dest.CreatorInfo()->LastName, "Müller");
  EXPECT_EQ(Difference(*SampleInfo(), Dest), "");
}

TEST_F(Reflection, ReadOnlyObjectPropertyIsCopiedIntoTheExistingObject) {
  TTestAllKinds Source;
  Source.Items()->Add(std::make_unique<TTestAddress>());
  Source.Items()->Add(nullptr);
  TTestAllKinds Dest;
  TReflectiveObjectList* Own = Dest.Items();
  Dest.Assign(Source);
  EXPECT_EQ(Dest.Items(), Own);
  ASSERT_EQ(Dest.Items()->Count(), 2);
  EXPECT_NE(Dest.Items()->Items(0), Source.Items()->Items(0));
  EXPECT_EQ(Dest.Items()->Items(0)->ClassName(), "TTestAddress");
  EXPECT_EQ(Dest.Items()->Items(1), nullptr);
}

TEST_F(Reflection, AssignFromAnotherClassOrNothingRaisesTheAssignError) {
  TTestPersonalInfo P;
  TTestAddress A;
  try {
    P.Assign(A);
    FAIL();
  } catch (const EConvertError& E) {
    EXPECT_STREQ(E.what(), "Cannot assign a TTestAddress to a TTestPersonalInfo");
  }
  try {
    P.Assign(nullptr);
    FAIL();
  } catch (const EConvertError& E) {
    EXPECT_STREQ(E.what(), "Cannot assign a nil to a TTestPersonalInfo");
  }
  // A descendant is another class too.
  TScreenSaverInfo S;
  TTestSaverInfo I;
  EXPECT_THROW(I.Assign(S), EConvertError);
  TStringList L;
  EXPECT_THROW(P.Assign(&L), EConvertError);
}

TEST_F(Reflection, AClassWithoutItsDeclarationIsRefusedRatherThanCopiedAsItsAncestor) {
  TUndeclared U;
  EXPECT_THROW(U.Clone(), EReflectivePersistentError);
}

// ---------------------------------------------------------------------------------------------
// Lists

TEST_F(Reflection, ListCloneIsDeepAndKeepsEachItemsClass) {
  auto L = std::make_unique<TTestList>();
  auto A = std::make_unique<TTestAddress>();
  A->City = "Bonn";
  L->Add(std::move(A));
  auto M = std::make_unique<TTestMedia>();
  M->MediaID = 9;
  L->Add(std::move(M));
  L->Add(nullptr);

  std::unique_ptr<TTestList> C = CloneOf(*L);
  ASSERT_EQ(C->Count(), 3);
  EXPECT_EQ(C->Items(0)->ClassName(), "TTestAddress");
  EXPECT_EQ(C->Items(1)->ClassName(), "TTestMedia");
  EXPECT_EQ(C->Items(2), nullptr);
  EXPECT_NE(C->Items(0), L->Items(0));
  EXPECT_EQ(static_cast<TTestAddress*>(C->Items(0))->City, "Bonn");
  EXPECT_EQ(static_cast<TTestMedia*>(C->Items(1))->MediaID, 9);
  C.reset();
  EXPECT_EQ(static_cast<TTestAddress*>(L->Items(0))->City, "Bonn");

  L->Assign(*L);  // onto itself: nothing is lost
  EXPECT_EQ(L->Count(), 3);
}

TEST_F(Reflection, ListIndexErrors) {
  TReflectiveObjectList L;
  EXPECT_EQ(L.Add(std::make_unique<TTestAddress>()), 0);
  EXPECT_EQ(L.Add(std::make_unique<TTestAddress>()), 1);
  try {
    L.Items(2);
    FAIL();
  } catch (const EListError& E) {
    EXPECT_STREQ(E.what(), "List index out of bounds (2)");
  }
  EXPECT_THROW(L.Items(-1), EListError);
  L.Delete(0);
  EXPECT_EQ(L.Count(), 1);
  EXPECT_THROW(L.Delete(1), EListError);
  L.Clear();
  EXPECT_EQ(L.Count(), 0);
}
