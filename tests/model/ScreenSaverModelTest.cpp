#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/ScreenSaverModel.h"
#include "persistence/PropertyBags.h"
#include "platform/Registry.h"
#include "tests/model/StreamWalker.h"

using modeltest::TStreamItem;
using modeltest::WalkItems;

namespace {

std::vector<std::pair<std::string, TScreenSaverProject*>> GSetProjectCalls;

// A sequence that records which project it was told about.
class TProjectAwareSequence : public TSequence {
  RIZ_REFLECTIVE(TProjectAwareSequence, TSequence)
public:
  void SetProject(TScreenSaverProject* Project) override { GSetProjectCalls.emplace_back(Name, Project); }
};

TDateTime FixedNow() { return 46000.5; }  // 9 December 2025, noon

class Model : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterModelClasses();
    RegisterReflectiveClass<TProjectAwareSequence>();
    GSetProjectCalls.clear();
  }
};

std::string Written(std::initializer_list<TReflectivePersistent*> Objects) {
  TMemoryStream S;
  TStreamPropertyBag Bag(S);
  for (TReflectivePersistent* O : Objects) Bag.WriteObject(O);
  return std::string(reinterpret_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size()));
}

TMemoryStream StreamOf(const std::string& Bytes) {
  TMemoryStream S;
  S.WriteBuffer(Bytes.data(), static_cast<int32_t>(Bytes.size()));
  S.SetPosition(0);
  return S;
}

}  // namespace

RIZ_PUBLISHED(TProjectAwareSequence) {}

TEST_F(Model, FreshInfoDefaults) {
  plat::SetNowHook(FixedNow);
  TScreenSaverInfo Info;
  EXPECT_EQ(Info.RizuderName, "unbenannt");
  EXPECT_EQ(Info.Resolution, sr640x480);
  EXPECT_EQ(Info.CreationDate, 46000.5);
  EXPECT_FALSE(Info.UserProperties()->UseStandardResolution);
  EXPECT_FALSE(Info.UserProperties()->InterpolateToFullscreen);
  EXPECT_EQ(Info.ProductName, "");
  EXPECT_EQ(Info.CreatorInfo()->LastName, "");
  EXPECT_EQ(Info.PropertyCount(), 8);
}

TEST_F(Model, ResolutionTable) {
  TScreenSaverInfo Info;
  const int W[] = {640, 800, 1024, 1280, 1600}, H[] = {480, 600, 768, 960, 1200};
  const char* Names[] = {"640x480", "800x600", "1024x768", "1280x960", "1600x1200"};
  for (int R = 0; R < 5; ++R) {
    Info.Resolution = static_cast<TScreenResolution>(R);
    EXPECT_EQ(Info.ResolutionWidth(), W[R]);
    EXPECT_EQ(Info.ResolutionHeight(), H[R]);
    EXPECT_STREQ(ResolutionNames[R], Names[R]);
  }
  Info.Resolution = static_cast<TScreenResolution>(7);
  EXPECT_EQ(Info.ResolutionWidth(), 0);
  EXPECT_EQ(Info.ResolutionHeight(), 0);
}

TEST_F(Model, CreatorInfoAndRizuderInfoAreCopiedNotShared) {
  TPersonalInfo Creator;
  Creator.City = "Köln";
  TScreenSaverInfo Info;
  Info.SetCreatorInfo(&Creator);
  Creator.City = "Bonn";
  EXPECT_EQ(Info.CreatorInfo()->City, "Köln");

  TScreenSaverProject Project;
  Info.RizuderName = "Wellen";
  Project.SetRizuderInfo(&Info);
  Info.RizuderName = "anders";
  EXPECT_EQ(Project.Name(), "Wellen");
  EXPECT_EQ(Project.RizuderInfo()->CreatorInfo()->City, "Köln");
  EXPECT_NE(Project.RizuderInfo()->CreatorInfo(), Info.CreatorInfo());
}

TEST_F(Model, ProjectNameIsTheInfosName) {
  TScreenSaverProject Project;
  EXPECT_EQ(Project.Name(), "unbenannt");
  int Index;
  ASSERT_TRUE(Project.FindProperty("name", Index));
  Project.SetPropertyValue(Index, Variant("Aquarium"));
  EXPECT_EQ(Project.RizuderInfo()->RizuderName, "Aquarium");
  Project.RizuderInfo()->RizuderName = "Wüste";
  EXPECT_EQ(Project.GetPropertyValue(Index).AsString(), "Wüste");
}

TEST_F(Model, AssignCopiesTheDescriptionButNotTheUserProperties) {
  TScreenSaverInfo A, B;
  A.ProductName = "Baukasten";
  A.Resolution = sr1280x960;
  A.CreationDate = 40000.25;
  A.CreatorInfo()->EMail = "a@example.org";
  A.UserProperties()->UseStandardResolution = true;
  B.Assign(A);
  EXPECT_EQ(B.ProductName, "Baukasten");
  EXPECT_EQ(B.Resolution, sr1280x960);
  EXPECT_EQ(B.CreationDate, 40000.25);
  EXPECT_EQ(B.CreatorInfo()->EMail, "a@example.org");
  EXPECT_FALSE(B.UserProperties()->UseStandardResolution);
}

TEST_F(Model, InfoRecordLayout) {
  TScreenSaverInfo Info;
  Info.Resolution = sr1024x768;
  Info.CreatorLicense = "Lizenz: Ä";
  const std::string Bytes = Written({&Info});
  const std::vector<TStreamItem> Items = WalkItems(Bytes);
  ASSERT_EQ(Items.size(), 3u);
  // The worked example: ClassInfo holds 87 bytes from its length field on.
  EXPECT_EQ(Items[0].Name, "ClassInfo");
  EXPECT_EQ(Items[0].End - (Items[0].Start + 4 + 4 + 9), 87);
  EXPECT_EQ(Items[0].Child("ClassName")->Text, "TScreenSaverInfo");
  EXPECT_EQ(Items[0].Child("PropertyCount")->Int(), 8);
  EXPECT_EQ(Items[1].ChildNames(),
            (std::vector<std::string>{"CreationDate", "CreatorInfo", "CreatorLicense", "ProductName",
                                      "ProductVersion", "Resolution", "RizuderName", "SerialNo"}));
  EXPECT_EQ(Items[1].Find({"Resolution", "Value"})->Text, "sr1024x768");
  EXPECT_EQ(Items[1].Find({"CreatorLicense", "Value"})->Text, "Lizenz: \xC4");  // Windows-1252
  EXPECT_EQ(Items[1].Find({"CreatorInfo", "Type"})->Int(), 7);
  EXPECT_EQ(Items[1].Find({"CreatorInfo", "Value", "ClassInfo", "ClassName"})->Text, "TPersonalInfo");
  EXPECT_EQ(Items[1].Find({"CreatorInfo", "Value", "Properties"})->ChildNames(),
            (std::vector<std::string>{"City", "Country", "EMail", "FirstName", "LastName", "Phone",
                                      "Street", "ZIP"}));
  EXPECT_TRUE(Items[2].Children.empty());  // no inner properties: UserProperties are not stored
}

TEST_F(Model, InfoRoundTripKeepsEveryProperty) {
  TScreenSaverInfo Info;
  Info.ProductName = "Baukasten";
  Info.ProductVersion = "2.1";
  Info.SerialNo = "S-42";
  Info.RizuderName = "Grüße";
  Info.CreationDate = 45123.75;
  Info.CreatorLicense = "Zeile 1\r\nZeile 2 – ß";
  Info.Resolution = sr1600x1200;
  Info.CreatorInfo()->LastName = "Mustermann";
  Info.CreatorInfo()->ZIP = "01067";
  Info.CreatorInfo()->Phone = "+49 1";
  TMemoryStream S = StreamOf(Written({&Info}));
  TScreenSaverInfo Back;
  ASSERT_TRUE(Back.LoadFromStream(S));
  EXPECT_EQ(Back.ProductName, "Baukasten");
  EXPECT_EQ(Back.ProductVersion, "2.1");
  EXPECT_EQ(Back.SerialNo, "S-42");
  EXPECT_EQ(Back.RizuderName, "Grüße");
  EXPECT_EQ(Back.CreationDate, 45123.75);
  EXPECT_EQ(Back.CreatorLicense, "Zeile 1\r\nZeile 2 – ß");
  EXPECT_EQ(Back.Resolution, sr1600x1200);
  EXPECT_EQ(Back.CreatorInfo()->LastName, "Mustermann");
  EXPECT_EQ(Back.CreatorInfo()->ZIP, "01067");
  EXPECT_EQ(Back.CreatorInfo()->Phone, "+49 1");
}

TEST_F(Model, ProjectRecordLayout) {
  TScreenSaverProject Project;
  Project.SetName("Layout");
  Project.Sequences()->Add(std::make_unique<TSequence>());
  const std::string Bytes = Written({&Project});
  const std::vector<TStreamItem> Items = WalkItems(Bytes);
  ASSERT_EQ(Items.size(), 3u);
  EXPECT_EQ(Items[0].Child("ClassName")->Text, "TScreenSaverProject");
  EXPECT_EQ(Items[0].Child("PropertyCount")->Int(), 4);
  EXPECT_EQ(Items[1].ChildNames(), (std::vector<std::string>{"MediaManager", "Name", "RizuderInfo", "Sequences"}));
  EXPECT_EQ(Items[1].Find({"Name", "Value"})->Text, "Layout");
  EXPECT_EQ(Items[1].Find({"RizuderInfo", "Value", "Properties", "RizuderName", "Value"})->Text, "Layout");
  EXPECT_EQ(Items[1].Find({"Sequences", "Value", "InnerProperties", "_Items", "Count"})->Int(), 1);
  EXPECT_EQ(Items[1].Find({"MediaManager", "Value", "InnerProperties"})->ChildNames(),
            (std::vector<std::string>{"MediaList", "LastMediaId"}));
  EXPECT_EQ(Items[2].ChildNames(), (std::vector<std::string>{"fFontManager"}));
  EXPECT_EQ(Items[2].Find({"fFontManager", "ClassInfo", "ClassName"})->Text, "TEmbeddedFontManager");
  EXPECT_EQ(Items[2].Find({"fFontManager", "InnerProperties", "FontList", "InnerProperties", "_Items", "Count"})->Int(), 0);
}

TEST_F(Model, ReadingAProjectTellsEverySequenceItsProjectInOrder) {
  TScreenSaverProject Project;
  for (const char* N : {"eins", "zwei", "drei"}) {
    auto S = std::make_unique<TProjectAwareSequence>();
    S->Name = N;
    S->Duration = 1000;
    Project.Sequences()->Add(std::move(S));
  }
  TMemoryStream S = StreamOf(Written({&Project}));
  GSetProjectCalls.clear();
  TScreenSaverProject Back;
  ASSERT_TRUE(Back.LoadFromStream(S));
  ASSERT_EQ(Back.Sequences()->Count(), 3);
  EXPECT_EQ(Back.Sequences()->Items(2)->Duration, 1000);
  ASSERT_EQ(GSetProjectCalls.size(), 3u);
  EXPECT_EQ(GSetProjectCalls[0], std::make_pair(std::string("eins"), &Back));
  EXPECT_EQ(GSetProjectCalls[1], std::make_pair(std::string("zwei"), &Back));
  EXPECT_EQ(GSetProjectCalls[2], std::make_pair(std::string("drei"), &Back));

  // Without sequences nobody is told anything.
  TScreenSaverProject Empty;
  TMemoryStream E = StreamOf(Written({&Empty}));
  GSetProjectCalls.clear();
  TScreenSaverProject EmptyBack;
  ASSERT_TRUE(EmptyBack.LoadFromStream(E));
  EXPECT_TRUE(GSetProjectCalls.empty());
}

TEST_F(Model, InfoAndProjectBackToBack) {
  TScreenSaverInfo Info;
  Info.RizuderName = "Paar";
  TScreenSaverProject Project;
  Project.SetRizuderInfo(&Info);
  TMemoryStream S = StreamOf(Written({&Info, &Project}));
  TScreenSaverInfo InfoBack;
  TScreenSaverProject ProjectBack;
  ASSERT_TRUE(InfoBack.LoadFromStream(S));
  ASSERT_TRUE(ProjectBack.LoadFromStream(S));
  EXPECT_EQ(InfoBack.RizuderName, "Paar");
  EXPECT_EQ(ProjectBack.Name(), "Paar");
  TScreenSaverInfo Nothing;
  EXPECT_FALSE(Nothing.LoadFromStream(S));
}

TEST_F(Model, UserPropertiesRoundTripThroughTheRegistry) {
  TScreenSaverInfo Info;
  Info.RizuderName = "Aquarium";
  EXPECT_EQ(Info.UserPropertiesKey(), "Software\\Zerozezu\\Vovizirid\\ScreenSavers\\Aquarium\\UserProperties");
  Info.UserProperties()->InterpolateToFullscreen = true;
  Info.SaveUserProperties();

  const std::string Key = Info.UserPropertiesKey();
  using plat::RegistryStore::KeyExists;
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key + "\\ClassInfo"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key + "\\Properties\\InterpolateToFullscreen"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key + "\\Properties\\UseStandardResolution"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key + "\\InnerProperties"));
  const auto Stored = plat::RegistryStore::ReadValue(HKEY_CURRENT_USER, Key + "\\ClassInfo", "ClassName");
  ASSERT_TRUE(Stored);
  EXPECT_EQ(Stored->Data, std::string("TScreenSaverUserProperties\0", 27));

  TScreenSaverInfo Other;
  Other.RizuderName = "Aquarium";
  Other.LoadUserProperties();
  EXPECT_TRUE(Other.UserProperties()->InterpolateToFullscreen);
  EXPECT_FALSE(Other.UserProperties()->UseStandardResolution);
}

TEST_F(Model, MissingUserPropertiesKeyLeavesTheValues) {
  TScreenSaverInfo Info;
  Info.RizuderName = "Nie gespeichert";
  Info.UserProperties()->UseStandardResolution = true;
  Info.LoadUserProperties();
  EXPECT_TRUE(Info.UserProperties()->UseStandardResolution);
  EXPECT_FALSE(plat::RegistryStore::KeyExists(HKEY_CURRENT_USER, Info.UserPropertiesKey()));
}

TEST_F(Model, NamesWithBackslashesAddLevelsAndAnEmptyNameNamesNoKey) {
  TScreenSaverInfo Info;
  Info.RizuderName = "Serie\\Teil 2";
  Info.UserProperties()->UseStandardResolution = true;
  Info.SaveUserProperties();
  EXPECT_TRUE(plat::RegistryStore::KeyExists(
      HKEY_CURRENT_USER, "Software\\Zerozezu\\Vovizirid\\ScreenSavers\\Serie\\Teil 2\\UserProperties\\ClassInfo"));

  TScreenSaverInfo Unnamed;
  Unnamed.RizuderName = "";
  EXPECT_EQ(Unnamed.UserPropertiesKey(), "Software\\Zerozezu\\Vovizirid\\ScreenSavers\\\\UserProperties");
  Unnamed.UserProperties()->UseStandardResolution = true;
  EXPECT_THROW(Unnamed.SaveUserProperties(), EPropertyBagError);
  Unnamed.LoadUserProperties();
  EXPECT_TRUE(Unnamed.UserProperties()->UseStandardResolution);
}
