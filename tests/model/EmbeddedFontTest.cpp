#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QString>
#include <QStringList>

#include <cstring>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

#include "model/ScreenSaverModel.h"
#include "persistence/PropertyBags.h"
#include "platform/Fonts.h"
#include "platform/Platform.h"
#include "tests/model/StreamWalker.h"
#include "tests/support/TestEnv.h"

using modeltest::TStreamItem;
using modeltest::WalkItems;
using testsupport::ListDir;
using testsupport::MessageBoxes;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace {

class Fonts : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterModelClasses();
    Broadcasts = plat::FontChangeBroadcasts();
    Installed = plat::InstalledFontResources();
  }
  void TearDown() override { EXPECT_EQ(plat::InstalledFontResources(), Installed) << "a font stayed installed"; }

  int NewBroadcasts() const { return plat::FontChangeBroadcasts() - Broadcasts; }

  static std::string Written(const std::vector<std::string>& Families) {
    TEmbeddedFontManager M;
    for (const std::string& F : Families) {
      auto Font = std::make_unique<TEmbeddedFont>();
      Font->Name = F;
      M.FontList().Add(std::move(Font));
    }
    TMemoryStream S;
    TStreamPropertyBag Bag(S);
    Bag.WriteObject(&M);
    return std::string(reinterpret_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size()));
  }
  static TMemoryStream StreamOf(const std::string& Bytes) {
    TMemoryStream S;
    S.WriteBuffer(Bytes.data(), static_cast<int32_t>(Bytes.size()));
    S.SetPosition(0);
    return S;
  }
  // The "EmbeddedFontData" block of font I in a written manager.
  static const TStreamItem& FontData(const std::vector<TStreamItem>& Items, int I) {
    const TStreamItem* Item = Items[2].Find({"FontList", "InnerProperties", "_Items", "Item0000000" + std::to_string(I),
                                             "InnerProperties", "EmbeddedFontData"});
    if (!Item) throw std::runtime_error("no font data block");
    return *Item;
  }
  static void Put32(std::string& Bytes, int64_t At, int32_t V) { std::memcpy(Bytes.data() + At, &V, 4); }

  int Broadcasts = 0;
  int Installed = 0;
};

std::string SystemFontFile(const std::string& Family) {
  std::vector<uint8_t> Data;
  if (!plat::GetFontFileData(Family, Data)) return {};
  return std::string(Data.begin(), Data.end());
}

}  // namespace

TEST_F(Fonts, FetchingFindsOnlyTheNamedFamily) {
  std::vector<uint8_t> Data;
  ASSERT_TRUE(plat::GetFontFileData("DejaVu Sans", Data));
  EXPECT_EQ(std::string(Data.begin(), Data.begin() + 4), std::string("\0\1\0\0", 4));  // a TrueType file
  EXPECT_TRUE(plat::GetFontFileData("dejavu sans", Data)) << "family names ignore case";
  // fontconfig always offers some substitute; a family that is not installed is no font.
  EXPECT_FALSE(plat::GetFontFileData("Keine Solche Schrift", Data));
  EXPECT_TRUE(Data.empty());
  EXPECT_FALSE(plat::GetFontFileData("", Data));
}

TEST_F(Fonts, TwoEmbeddedFontsAreInstalledAndRemovedAgain) {
  const std::string Bytes = Written({"DejaVu Sans", "DejaVu Sans Mono"});
  {
    TMemoryStream S = StreamOf(Bytes);
    TEmbeddedFontManager Back;
    ASSERT_TRUE(Back.LoadFromStream(S));
    ASSERT_EQ(Back.Count(), 2);
    EXPECT_EQ(NewBroadcasts(), 2);
    EXPECT_EQ(plat::InstalledFontResources(), Installed + 2);
    const std::regex Name("EMB_FNT_[0-9A-F]{16}\\.TTF");
    EXPECT_EQ(ListDir(TempDir()).size(), 2u);
    const char* Families[] = {"DejaVu Sans", "DejaVu Sans Mono"};
    for (int I = 0; I < 2; ++I) {
      TEmbeddedFont* F = Back.Fonts(I);
      EXPECT_EQ(F->Manager, &Back);
      EXPECT_EQ(F->Name, Families[I]);
      EXPECT_TRUE(F->IsEmbedded);
      EXPECT_TRUE(std::regex_match(F->TempFileName.substr(TempDir().size() + 1), Name)) << F->TempFileName;
      EXPECT_EQ(ReadFileBytes(F->TempFileName), SystemFontFile(Families[I]));
      ASSERT_GE(F->FontId(), 0);
      EXPECT_TRUE(QFontDatabase::applicationFontFamilies(F->FontId()).contains(QString(Families[I])));
    }
    EXPECT_NE(Back.Fonts(0)->TempFileName, Back.Fonts(1)->TempFileName);
  }
  EXPECT_EQ(NewBroadcasts(), 4);
  EXPECT_EQ(plat::InstalledFontResources(), Installed);
  EXPECT_TRUE(ListDir(TempDir()).empty());
  EXPECT_TRUE(MessageBoxes().empty());
}

TEST_F(Fonts, LinksPlantedUnderTheNextNameAreNeitherFollowedNorOverwritten) {
  plat::SetNowHook([] { return TDateTime(46000.5); });
  const std::string Planted = TempDir() + "/EMB_FNT_40E6761000000000.TTF";
  const std::string Target = testsupport::TestDir() + "/opfer";  // not there yet: following would create it
  ASSERT_EQ(symlink(Target.c_str(), Planted.c_str()), 0);
  TMemoryStream S = StreamOf(Written({"DejaVu Sans"}));
  {
    TEmbeddedFontManager Back;
    ASSERT_TRUE(Back.LoadFromStream(S));
    EXPECT_EQ(Back.Fonts(0)->TempFileName, TempDir() + "/EMB_FNT_40E6761000000001.TTF");
    EXPECT_EQ(ReadFileBytes(Back.Fonts(0)->TempFileName), SystemFontFile("DejaVu Sans"));
  }
  EXPECT_NE(access(Target.c_str(), F_OK), 0);
  EXPECT_EQ(ListDir(TempDir()), std::vector<std::string>{"EMB_FNT_40E6761000000000.TTF"}) << "the link is not ours to delete";
}

TEST_F(Fonts, AFontTheSystemCannotSupplyIsWrittenWithoutData) {
  const std::string Bytes = Written({"Keine Solche Schrift"});
  const std::vector<TStreamItem> Items = WalkItems(Bytes);
  EXPECT_EQ(FontData(Items, 0).ChildNames(), (std::vector<std::string>{"IsEmbedded"}));
  EXPECT_EQ(FontData(Items, 0).Child("IsEmbedded")->Int(), 0);

  TMemoryStream S = StreamOf(Bytes);
  TEmbeddedFontManager Back;
  ASSERT_TRUE(Back.LoadFromStream(S));
  ASSERT_EQ(Back.Count(), 1);
  EXPECT_EQ(Back.Fonts(0)->Name, "Keine Solche Schrift");
  EXPECT_FALSE(Back.Fonts(0)->IsEmbedded);
  EXPECT_EQ(Back.Fonts(0)->TempFileName, "");
  EXPECT_TRUE(ListDir(TempDir()).empty());
  EXPECT_EQ(NewBroadcasts(), 0);
  EXPECT_TRUE(MessageBoxes().empty());
}

TEST_F(Fonts, EmbeddedBlockLayout) {
  const std::string Bytes = Written({"DejaVu Sans"});
  const std::vector<TStreamItem> Items = WalkItems(Bytes);
  const TStreamItem& Block = FontData(Items, 0);
  EXPECT_EQ(Block.ChildNames(), (std::vector<std::string>{"IsEmbedded", "DataSize", "FontData"}));
  EXPECT_EQ(Block.Child("IsEmbedded")->Int(), 1);
  EXPECT_EQ(Block.Child("DataSize")->Int(), static_cast<int32_t>(SystemFontFile("DejaVu Sans").size()));
  EXPECT_EQ(Block.Child("FontData")->Bytes, SystemFontFile("DejaVu Sans"));
}

TEST_F(Fonts, EmptyListRoundTrip) {
  const std::string Bytes = Written({});
  const std::vector<TStreamItem> Items = WalkItems(Bytes);
  EXPECT_EQ(Items[2].Find({"FontList", "InnerProperties", "_Items"})->ChildNames(), (std::vector<std::string>{"Count"}));
  TMemoryStream S = StreamOf(Bytes);
  TEmbeddedFontManager Back;
  ASSERT_TRUE(Back.LoadFromStream(S));
  EXPECT_EQ(Back.Count(), 0);
}

TEST_F(Fonts, OnlyTheLowByteOfIsEmbeddedCounts) {
  std::string Bytes = Written({"DejaVu Sans"});
  const std::vector<TStreamItem> Items = WalkItems(Bytes);
  const TStreamItem& Flag = *FontData(Items, 0).Child("IsEmbedded");
  Put32(Bytes, Flag.End - 4, 0x100);
  TMemoryStream S = StreamOf(Bytes);
  TEmbeddedFontManager Back;
  ASSERT_TRUE(Back.LoadFromStream(S));  // the data that follows is skipped with the block
  EXPECT_FALSE(Back.Fonts(0)->IsEmbedded);
  EXPECT_TRUE(ListDir(TempDir()).empty());
}

TEST_F(Fonts, DataTheSystemRefusesIsReportedAndReadingGoesOn) {
  std::string Bytes = Written({"DejaVu Sans", "DejaVu Sans Mono"});
  const std::vector<TStreamItem> Items = WalkItems(Bytes);
  const TStreamItem& Data = *FontData(Items, 0).Child("FontData");
  std::memset(Bytes.data() + Data.End - static_cast<int64_t>(Data.Bytes.size()), 0, Data.Bytes.size());
  {
    TMemoryStream S = StreamOf(Bytes);
    TEmbeddedFontManager Back;
    ASSERT_TRUE(Back.LoadFromStream(S));
    ASSERT_EQ(MessageBoxes().size(), 1u);
    EXPECT_EQ(MessageBoxes()[0].Caption, "Error");
    EXPECT_EQ(MessageBoxes()[0].Text.rfind("TEmbeddedFont.ReadInnerProperties\r\n", 0), 0u) << MessageBoxes()[0].Text;
    EXPECT_EQ(Back.Fonts(0)->FontId(), -1);
    EXPECT_GE(Back.Fonts(1)->FontId(), 0) << "the next font is still read and installed";
    EXPECT_EQ(NewBroadcasts(), 2);
    EXPECT_EQ(ListDir(TempDir()).size(), 2u);
  }
  EXPECT_EQ(NewBroadcasts(), 4);
  EXPECT_TRUE(ListDir(TempDir()).empty());
}

TEST_F(Fonts, DamagedSizesFailWithoutTakingMemoryOrLeavingFiles) {
  const std::string Bytes = Written({"DejaVu Sans"});
  const std::vector<TStreamItem> Items = WalkItems(Bytes);
  const TStreamItem& Size = *FontData(Items, 0).Child("DataSize");
  for (int32_t Damaged : {INT32_MAX, -1}) {
    std::string B = Bytes;
    Put32(B, Size.End - 4, Damaged);
    TMemoryStream S = StreamOf(B);
    TEmbeddedFontManager Back;
    if (Damaged < 0)
      EXPECT_THROW(Back.LoadFromStream(S), ERangeError);
    else
      EXPECT_THROW(Back.LoadFromStream(S), EReadError);
    EXPECT_TRUE(ListDir(TempDir()).empty());
    EXPECT_EQ(NewBroadcasts(), 0);
  }
}
