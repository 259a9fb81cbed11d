// The display-mode list over a scripted display: descriptions, which modes are listed, the
// search rules, the switch record and the error texts.

#include <gtest/gtest.h>

#include "graphics/GfxTool.h"

namespace {

plat::TDevMode Mode(uint32_t W, uint32_t H, uint32_t Bits, uint32_t Freq, uint32_t Flags = 0, uint64_t Id = 0) {
  plat::TDevMode M;
  M.dmPelsWidth = W;
  M.dmPelsHeight = H;
  M.dmBitsPerPel = Bits;
  M.dmDisplayFrequency = Freq;
  M.dmDisplayFlags = Flags;
  M.dmFields = 0xFFFFFFFF;  // whatever the driver set; a switch names only what it changes
  M.DriverMode = Id;
  return M;
}

class DisplayModesTest : public ::testing::Test {
protected:
  void SetUp() override {
    Fake = std::make_shared<plat::TFakeDisplaySettings>();
    Fake->Modes = {
        Mode(1024, 768, 32, 60, 0, 1),
        Mode(800, 600, 32, 1, 0, 2),  // the default rate as 1: never listed
        Mode(800, 600, 32, 0, 0, 3),
        Mode(640, 480, 16, 60, 0, 4),
        Mode(640, 480, 32, 60, plat::DM_GRAYSCALE | plat::DM_INTERLACED, 5),
        Mode(1024, 768, 32, 60, 0, 6),
        Mode(1600, 1200, 32, 75, plat::DM_INTERLACED, 7),
    };
    Fake->Current = Mode(1024, 768, 32, 60, 0, 1);
    Fake->Default = Fake->Current;
    plat::SetDisplaySettingsSource(Fake);
    BuildScreenModes();
  }
  void TearDown() override {
    FreeScreenModes();
    plat::SetDisplaySettingsSource(nullptr);
  }

  std::string Raised(int Index) {
    try {
      ChangeScreenMode(Index);
    } catch (const EGraphicException& E) {
      return E.Message();
    }
    return "(nothing raised)";
  }

  std::shared_ptr<plat::TFakeDisplaySettings> Fake;
};

}  // namespace

TEST_F(DisplayModesTest, ListHoldsTheDisplaysModesInItsOrderWithTheirDescriptions) {
  TStringList* L = ScreenModes();
  ASSERT_EQ(L->Count(), 6);
  EXPECT_EQ(L->Strings(0), "1024x768, 32 bit, 60 Hz, colored, non interlaced");
  EXPECT_EQ(L->Strings(1), "800x600, 32 bit, colored, non interlaced");
  EXPECT_EQ(L->Strings(2), "640x480, 16 bit, 60 Hz, colored, non interlaced");
  EXPECT_EQ(L->Strings(3), "640x480, 32 bit, 60 Hz, grayscaled, interlaced");
  EXPECT_EQ(L->Strings(4), "1024x768, 32 bit, 60 Hz, colored, non interlaced");
  EXPECT_EQ(L->Strings(5), "1600x1200, 32 bit, 75 Hz, colored, interlaced");
  plat::TDevMode M;
  GetScreenMode(1, M);
  EXPECT_EQ(M, Fake->Modes[2]);  // the record as the display gave it
  EXPECT_THROW(GetScreenMode(6, M), EListError);
}

TEST_F(DisplayModesTest, SwitchNamesOnlyTheFieldsThatAreSet) {
  ChangeScreenMode(1);  // frequency 0: no frequency bit
  ASSERT_EQ(Fake->Requests.size(), 1u);
  EXPECT_EQ(Fake->Requests[0].dmFields, plat::DM_BITSPERPEL | plat::DM_PELSWIDTH | plat::DM_PELSHEIGHT);
  EXPECT_EQ(Fake->Requests[0].DriverMode, 3u);
  ChangeScreenMode(3);
  EXPECT_EQ(Fake->Requests[1].dmFields, plat::DM_BITSPERPEL | plat::DM_PELSWIDTH | plat::DM_PELSHEIGHT |
                                            plat::DM_DISPLAYFREQUENCY | plat::DM_DISPLAYFLAGS);
  EXPECT_EQ(Fake->Current.dmPelsWidth, 640u);
  ChangeScreenMode(-5);  // any negative index returns to the default
  EXPECT_EQ(Fake->Requests[2].dmSize, 0);
  EXPECT_EQ(Fake->Current.dmPelsWidth, 1024u);
}

TEST_F(DisplayModesTest, ErrorTextsAreExact) {
  EXPECT_EQ(Raised(6), "ChangeScreenMode : Screen mode not available");
  EXPECT_TRUE(Fake->Requests.empty());  // the display is not touched
  Fake->RefuseChange = true;
  EXPECT_EQ(Raised(0), "ChangeScreenMode : Screen mode could not be changed");
  Fake->RefuseRestore = true;
  EXPECT_EQ(Raised(-1), "ChangeScreenMode : Screen mode could not be changed to default mode");
  EXPECT_EQ(Fake->Requests.size(), 2u);
  EXPECT_STREQ(EGraphicException("x").ClassName(), "EGraphicException");
}

TEST_F(DisplayModesTest, FindTakesTheFirstModeOfTheSizeAtTheCurrentDepthRateAndFlags) {
  int Index = -7;
  EXPECT_TRUE(FindScreenMode(1024, 768, Index));
  EXPECT_EQ(Index, 0);  // two equal entries: the lower index
  Index = -7;
  EXPECT_FALSE(FindScreenMode(640, 480, Index));  // only at 16 bits or with other flags
  EXPECT_FALSE(FindScreenMode(800, 600, Index));  // only at the default rate
  EXPECT_FALSE(FindScreenMode(1600, 1200, Index));
  EXPECT_EQ(Index, -7);
  Fake->Current = Mode(1, 1, 16, 60);
  EXPECT_TRUE(FindScreenMode(640, 480, Index));
  EXPECT_EQ(Index, 2);
}

TEST_F(DisplayModesTest, UnreadableCurrentSettingsFindNothingAndLeaveTheRecord) {
  Fake->CurrentReadable = false;
  int Index = 3;
  EXPECT_FALSE(FindScreenMode(1024, 768, Index));
  EXPECT_EQ(Index, 3);
  plat::TDevMode M = Mode(7, 7, 7, 7);
  const plat::TDevMode Before = M;
  GetScreenMode(-1, M);
  EXPECT_EQ(M, Before);
  Fake->CurrentReadable = true;
  GetScreenMode(-1, M);
  EXPECT_EQ(M, Fake->Current);
}

TEST_F(DisplayModesTest, AnEmptyListFindsNothingAndOffersNothing) {
  Fake->Modes = {Mode(640, 480, 32, 1)};
  BuildScreenModes();
  EXPECT_EQ(ScreenModes()->Count(), 0);
  int Index = 0;
  EXPECT_FALSE(FindScreenMode(640, 480, Index));
  EXPECT_EQ(Raised(0), "ChangeScreenMode : Screen mode not available");
  ChangeScreenMode(-1);  // returning to the default still works
}

TEST_F(DisplayModesTest, WithoutAnXDisplayTheCurrentModeIsTheOnlyOne) {
  // The system source of a process without X11 (tests run offscreen, unless under an X server).
  if (std::getenv("DISPLAY") && *std::getenv("DISPLAY")) GTEST_SKIP() << "an X display is present";
  plat::SetDisplaySettingsSource(nullptr);
  BuildScreenModes();
  ASSERT_EQ(ScreenModes()->Count(), 1);
  plat::TDevMode Cur;
  GetScreenMode(-1, Cur);
  int Index = -1;
  ASSERT_TRUE(FindScreenMode(int(Cur.dmPelsWidth), int(Cur.dmPelsHeight), Index));
  ChangeScreenMode(Index);  // to the mode it has: nothing to do
  EXPECT_FALSE(FindScreenMode(int(Cur.dmPelsWidth) + 2, int(Cur.dmPelsHeight), Index));
  ChangeScreenMode(-1);
}
