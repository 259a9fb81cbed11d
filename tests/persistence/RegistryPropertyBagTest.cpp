#include <gtest/gtest.h>

#include "persistence/PropertyBags.h"
#include "tests/persistence/TestClasses.h"

using namespace ptest;
namespace RS = plat::RegistryStore;

namespace {

const std::string Key = "Software\\Zerozezu\\Vovizirid\\ScreenSavers\\Sommerwiese\\UserProperties";

class RegistryBag : public ::testing::Test {
protected:
  void SetUp() override { RegisterTestClasses(); }
};

std::vector<std::string> SubKeys(const std::string& Path) {
  auto N = RS::SubKeyNames(HKEY_CURRENT_USER, Path);
  return N ? *N : std::vector<std::string>{};
}
std::vector<std::string> Values(const std::string& Path) {
  auto N = RS::ValueNames(HKEY_CURRENT_USER, Path);
  std::vector<std::string> R = N ? *N : std::vector<std::string>{};
  std::sort(R.begin(), R.end());
  return R;
}
plat::RegValue Value(const std::string& Path, const std::string& Name) {
  auto V = RS::ReadValue(HKEY_CURRENT_USER, Path, Name);
  return V ? *V : plat::RegValue{};
}
std::string Le32(int32_t V) { return std::string(reinterpret_cast<const char*>(&V), 4); }

}  // namespace

TEST_F(RegistryBag, LoadingFromAMissingKeyIsFalseAndCreatesNothing) {
  TTestUserProperties U;
  U.InterpolateToFullscreen = true;
  EXPECT_FALSE(U.LoadFromRegistry(Key, HKEY_CURRENT_USER));
  EXPECT_TRUE(U.InterpolateToFullscreen);
  EXPECT_FALSE(RS::KeyExists(HKEY_CURRENT_USER, "Software"));
}

TEST_F(RegistryBag, ImageOfTwoBooleansIsClassInfoAndTwoPropertyKeys) {
  TTestUserProperties U;
  U.UseStandardResolution = true;
  U.SaveToRegistry(Key, HKEY_CURRENT_USER);
  EXPECT_EQ(SubKeys(Key), (std::vector<std::string>{"ClassInfo", "Properties"}));
  const std::string CI = Key + "\\ClassInfo";
  EXPECT_EQ(Values(CI), (std::vector<std::string>{"ClassName", "IsNIL", "PropertyCount"}));
  EXPECT_EQ(Value(CI, "IsNIL").Type, REG_BINARY);
  EXPECT_EQ(Value(CI, "IsNIL").Data, Le32(0));
  EXPECT_EQ(Value(CI, "ClassName").Type, REG_SZ);
  EXPECT_EQ(Value(CI, "ClassName").Data, std::string("TTestUserProperties") + '\0');
  EXPECT_EQ(Value(CI, "PropertyCount").Data, Le32(2));
  const std::string P = Key + "\\Properties";
  std::vector<std::string> Props = SubKeys(P);
  std::sort(Props.begin(), Props.end());
  EXPECT_EQ(Props, (std::vector<std::string>{"InterpolateToFullscreen", "UseStandardResolution"}));
  EXPECT_EQ(Value(P + "\\UseStandardResolution", "Type").Data, Le32(3));
  EXPECT_EQ(Value(P + "\\UseStandardResolution", "Value").Data, std::string("True") + '\0');
  EXPECT_EQ(Value(P + "\\InterpolateToFullscreen", "Value").Data, std::string("False") + '\0');

  TTestUserProperties Back;
  EXPECT_TRUE(Back.LoadFromRegistry(Key, HKEY_CURRENT_USER));
  EXPECT_TRUE(Back.UseStandardResolution);
  EXPECT_FALSE(Back.InterpolateToFullscreen);
}

TEST_F(RegistryBag, DescriptionAndEveryKindRoundTripWithNestedObjectsAndLists) {
  std::unique_ptr<TTestSaverInfo> I = SampleInfo();
  I->SaveToRegistry(Key + "\\Info\\", HKEY_CURRENT_USER);
  TTestSaverInfo Back;
  ASSERT_TRUE(Back.LoadFromRegistry(Key + "\\Info", HKEY_CURRENT_USER));
  EXPECT_EQ(Difference(*I, Back), "");
  EXPECT_TRUE(RS::KeyExists(HKEY_CURRENT_USER, Key + "\\Info\\Properties\\CreatorInfo\\Value\\ClassInfo"));
  EXPECT_EQ(Value(Key + "\\Info\\Properties\\CreationDate", "Value").Data.size(), 8u);

  TTestAllKinds A;
  A.Mask = 0x80000001u;
  A.Big = INT64_MIN;
  A.Speed = -2.5f;
  A.Styles = 1;
  A.Items()->Add(std::make_unique<TTestAddress>());
  A.Items()->Add(nullptr);
  auto M = std::make_unique<TTestMedia>();
  M->Content.WriteBuffer("\0\1\2", 3);
  A.Items()->Add(std::move(M));
  A.SaveToRegistry(Key + "\\All", HKEY_CURRENT_USER);
  EXPECT_TRUE(RS::KeyExists(HKEY_CURRENT_USER,
                            Key + "\\All\\Properties\\Items\\Value\\InnerProperties\\_Items\\Item00000002"));
  TTestAllKinds B;
  ASSERT_TRUE(B.LoadFromRegistry(Key + "\\All", HKEY_CURRENT_USER));
  EXPECT_EQ(Difference(A, B), "");
  ASSERT_EQ(B.Items()->Count(), 3);
  EXPECT_EQ(B.Items()->Items(1), nullptr);
  EXPECT_EQ(Bytes(static_cast<TTestMedia*>(B.Items()->Items(2))->Content), std::string("\0\1\2", 3));
}

TEST_F(RegistryBag, AnObjectWithoutInnerDataLeavesNoInnerPropertiesKey) {
  TTestAddress A;
  A.SaveToRegistry(Key, HKEY_CURRENT_USER);
  EXPECT_FALSE(RS::KeyExists(HKEY_CURRENT_USER, Key + "\\InnerProperties"));
}

TEST_F(RegistryBag, KeysMadeByHandInAnotherCaseAndOrderAreRead) {
  const std::string CI = Key + "\\classinfo";
  RS::WriteValue(HKEY_CURRENT_USER, CI, "isnil", {REG_BINARY, Le32(0)});
  RS::WriteValue(HKEY_CURRENT_USER, CI, "CLASSNAME", {REG_SZ, std::string("TTestAddress") + '\0'});
  RS::WriteValue(HKEY_CURRENT_USER, CI, "PropertyCount", {REG_BINARY, Le32(2)});
  RS::WriteValue(HKEY_CURRENT_USER, Key + "\\PROPERTIES\\zip", "type", {REG_BINARY, Le32(10)});
  RS::WriteValue(HKEY_CURRENT_USER, Key + "\\PROPERTIES\\zip", "VALUE", {REG_SZ, std::string("04109") + '\0'});
  RS::WriteValue(HKEY_CURRENT_USER, Key + "\\PROPERTIES\\City", "Type", {REG_BINARY, Le32(10)});
  RS::WriteValue(HKEY_CURRENT_USER, Key + "\\PROPERTIES\\City", "Value",
                 {REG_EXPAND_SZ, std::string("Leipzig\0Rest", 12) + '\0'});
  TTestAddress A;
  ASSERT_TRUE(A.LoadFromRegistry(Key, HKEY_CURRENT_USER));
  EXPECT_EQ(A.ZIP, "04109");
  EXPECT_EQ(A.City, "Leipzig");
}

TEST_F(RegistryBag, MissingValuesReadAsNothingOrEmptyTextAndMissingKeysAreTheListError) {
  TTestAllKinds A;
  A.SaveToRegistry(Key, HKEY_CURRENT_USER);
  RS::DeleteValue(HKEY_CURRENT_USER, Key + "\\Properties\\Count", "Value");
  RS::DeleteValue(HKEY_CURRENT_USER, Key + "\\Properties\\Text", "Value");
  TTestAllKinds B;
  B.Count = 55;
  B.Text = "weg";
  ASSERT_TRUE(B.LoadFromRegistry(Key, HKEY_CURRENT_USER));
  EXPECT_EQ(B.Count, 55);  // binary: nothing delivered
  EXPECT_EQ(B.Text, "");   // text: the empty string

  // An enumeration gets the empty text, which names none of its members.
  RS::DeleteValue(HKEY_CURRENT_USER, Key + "\\Properties\\Resolution", "Value");
  EXPECT_THROW(B.LoadFromRegistry(Key, HKEY_CURRENT_USER), EPropertyConvertError);
  A.SaveToRegistry(Key, HKEY_CURRENT_USER);

  const auto ListError = [&] {
    try {
      B.LoadFromRegistry(Key, HKEY_CURRENT_USER);
    } catch (const EListError& E) {
      return std::string(E.what());
    }
    return std::string("no list error");
  };
  // One property key fewer than PropertyCount says: the last step runs off the sorted list.
  RS::DeleteKey(HKEY_CURRENT_USER, Key + "\\Properties\\Text");
  EXPECT_EQ(ListError(), "List index out of bounds (12)");
  // A missing block key is created when its subkeys are listed.
  RS::DeleteKey(HKEY_CURRENT_USER, Key + "\\Properties");
  EXPECT_EQ(ListError(), "List index out of bounds (0)");
  EXPECT_TRUE(RS::KeyExists(HKEY_CURRENT_USER, Key + "\\Properties"));
}

TEST_F(RegistryBag, ShortBinaryValueFillsOnlyItsOwnBytesAndWrongTypesRaise) {
  RS::WriteValue(HKEY_CURRENT_USER, Key, "Kurz", {REG_BINARY, "\x34\x12"});
  RS::WriteValue(HKEY_CURRENT_USER, Key, "Lang", {REG_BINARY, "123456789"});
  RS::WriteValue(HKEY_CURRENT_USER, Key, "Zahl", {REG_DWORD, Le32(1)});
  RS::WriteValue(HKEY_CURRENT_USER, Key, "Text", {REG_SZ, std::string("x") + '\0'});
  TRegistryPropertyBag Bag(Key, HKEY_CURRENT_USER);
  int32_t V = -1;
  EXPECT_EQ(Bag.ReadBinaryValue("Kurz", &V, 4), 2);
  EXPECT_EQ(V, static_cast<int32_t>(0xFFFF1234));
  EXPECT_EQ(Bag.ReadInteger("Kurz"), 0x1234);
  EXPECT_EQ(Bag.ReadInteger("Fehlt"), 0);
  try {
    Bag.ReadInteger("Lang");
    FAIL();
  } catch (const ERegistryException& E) {
    EXPECT_STREQ(E.what(), "Invalid data type for 'Lang'");
  }
  EXPECT_THROW(Bag.ReadInteger("Zahl"), ERegistryException);
  EXPECT_THROW(Bag.ReadInteger("Text"), ERegistryException);
  std::string S;
  EXPECT_THROW(Bag.ReadStringValue("Kurz", S), ERegistryException);
  S = "alt";
  EXPECT_TRUE(Bag.ReadStringValue("Fehlt", S));
  EXPECT_EQ(S, "");
}

TEST_F(RegistryBag, WritingReplacesAValueOfAnotherType) {
  RS::WriteValue(HKEY_CURRENT_USER, Key, "Wert", {REG_DWORD, Le32(1)});
  TRegistryPropertyBag Bag(Key, HKEY_CURRENT_USER);
  Bag.WriteStringValue("Wert", "Grüße");
  EXPECT_EQ(Value(Key, "Wert").Type, REG_SZ);
  EXPECT_EQ(Value(Key, "Wert").Data, std::string("Gr\xFC\xDF" "e") + '\0');
  std::string S;
  EXPECT_TRUE(Bag.ReadStringValue("Wert", S));
  EXPECT_EQ(S, "Grüße");
}

TEST_F(RegistryBag, BlocksAreKeysBelowTheBagsOwnKey) {
  TRegistryPropertyBag Bag("Software\\Test", HKEY_CURRENT_USER);
  EXPECT_EQ(Bag.CurrentKey(), "Software\\Test\\");
  Bag.BeginBlockWrite("A");
  EXPECT_EQ(Bag.CurrentKey(), "Software\\Test\\A");
  Bag.BeginBlockWrite("B");
  Bag.WriteInteger("X", 1);
  Bag.EndBlockWrite();
  Bag.EndBlockWrite();
  EXPECT_THROW(Bag.EndBlockWrite(), EListError);  // the bag's own key stays
  EXPECT_TRUE(RS::KeyExists(HKEY_CURRENT_USER, "Software\\Test\\A\\B"));
  EXPECT_EQ(SubKeys("Software\\Test\\A"), std::vector<std::string>{"B"});
}

TEST_F(RegistryBag, AKeyThatCannotExistIsError5WhenWriting) {
  // An empty name gives two backslashes in a row: no such key can be made.
  TTestUserProperties U;
  try {
    U.SaveToRegistry("Software\\ScreenSavers\\\\UserProperties", HKEY_CURRENT_USER);
    FAIL();
  } catch (const EPropertyBagError& E) {
    EXPECT_NE(std::string(E.what()).find("TPropertyBag.WriteObject : bag could not be opened"), std::string::npos);
  }
  EXPECT_FALSE(U.LoadFromRegistry("Software\\ScreenSavers\\\\UserProperties", HKEY_CURRENT_USER));
}
