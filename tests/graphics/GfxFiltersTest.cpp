// Raster filters: translation maps (identity, reflection of source positions, the waved and zoomed
// builders, guards against rasters the map was not built for), the four-neighbour smoothing on
// each processor path (worked values, the vector path against the scalar model bit for bit on
// seeded random pictures), refraction and water ripples; the tables of every builder against a
// model of their arithmetic at each precision setting of the floating-point unit.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "graphics/GfxFilters.h"
#include "persistence/BasicUtility.h"
#include "persistence/CPUUtility.h"
#include "tests/support/ProgramFPU.h"

namespace {

// Fills every pixel with a value that names its position.
void Number(TDIBRaster& R, uint32_t Base = 0x01000000) {
  for (size_t I = 0; I < R.PixelCount(); ++I) R.Bits[I] = Base + uint32_t(I);
}

TPixel At(const TDIBRaster& R, int X, int Y) { return R.Bits[size_t(Y) * size_t(R.Width) + size_t(X)]; }

// Source pixel (column, row) that entry (X, Y) of the map fetches.
std::pair<int, int> SourceOf(const TTranslationMap& M, int X, int Y) {
  const int E = M.Entry(Y * M.Width + X) / 4;
  return {E % M.Width, E / M.Width};
}

bool IsIdentity(const TTranslationMap& M) {
  for (size_t I = 0; I < M.EntryCount(); ++I)
    if (M.Map()[I] != int32_t(I * 4)) return false;
  return true;
}

// Bytes biased toward 0 and 255, which the paths are most likely to get wrong.
uint32_t BiasedPixel(std::mt19937& Rng) {
  uint32_t P = 0;
  for (int B = 0; B < 4; ++B) {
    const uint32_t R = Rng();
    uint32_t V;
    switch (R & 3) {
      case 0: V = 0; break;
      case 1: V = 255; break;
      case 2: V = (R >> 8) & 3; break;  // 0..3: the rounding of the averages shows here
      default: V = (R >> 8) & 0xFF; break;
    }
    P |= V << (8 * B);
  }
  return P;
}

// Every vector unit this processor has (none where the build has no vector paths).
const std::vector<gfx::TVectorLevel>& VectorLevels() {
  static const std::vector<gfx::TVectorLevel> Levels = [] {
    std::vector<gfx::TVectorLevel> L;
    if (gfx::FastPathsAvailable()) L.push_back(gfx::TVectorLevel::SSE2);
    if (gfx::BestVectorLevel() >= gfx::TVectorLevel::AVX2) L.push_back(gfx::TVectorLevel::AVX2);
    if (L.empty()) L.push_back(gfx::TVectorLevel::None);
    return L;
  }();
  return Levels;
}

class VectorLevelGuard {
public:
  explicit VectorLevelGuard(gfx::TVectorLevel L) { gfx::SetVectorLevel(L); }
  ~VectorLevelGuard() { gfx::SetVectorLevel(gfx::BestVectorLevel()); }
};

class ForceFlags {
public:
  ForceFlags(bool MMX, bool ThreeDNow) { OverrideProcessorFeatures(MMX, ThreeDNow); }
  ~ForceFlags() { ClearProcessorOverride(); }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Filter base

namespace {
class CountingFilter : public TMonadicFilter {
public:
  void Apply() override { Seen.push_back({Source, Dest}); }
  std::vector<std::pair<TDIBRaster*, TDIBRaster*>> Seen;
};
}  // namespace

TEST(MonadicFilterTest, ExecuteSetsBothRastersAndTheSizeThenApplies) {
  CountingFilter F;
  EXPECT_EQ(F.Source, nullptr);
  EXPECT_EQ(F.Dest, nullptr);
  EXPECT_EQ(F.Width, 0);
  EXPECT_EQ(F.GetOptions(), 0);
  TDIBRaster A(10, 7), B(10, 8);
  F.Execute(&A, &B);
  ASSERT_EQ(F.Seen.size(), 1u);
  EXPECT_EQ(F.Seen[0].first, &A);
  EXPECT_EQ(F.Seen[0].second, &B);
  EXPECT_EQ(F.Width, 10);
  EXPECT_EQ(F.Height, 8);
  F.Execute(nullptr, nullptr);
  EXPECT_EQ(F.Width, 0);
  EXPECT_EQ(F.Height, 0);
}

// ---------------------------------------------------------------------------------------------
// Translation maps

TEST(TranslationMapTest, ANewOrResetMapCopiesTheSourceUnchanged) {
  TTranslationMap M(63, 17);
  EXPECT_EQ(M.Width, 64);
  EXPECT_EQ(M.Height, 18);
  EXPECT_EQ(M.EntryCount(), 64u * 18u);
  EXPECT_TRUE(IsIdentity(M));
  TDIBRaster S(64, 18), D(64, 18);
  Number(S);
  M.Execute(&S, &D);
  for (size_t I = 0; I < S.PixelCount(); ++I) ASSERT_EQ(D.Bits[I], S.Bits[I]) << I;

  M.SetEntry(5, 5, 0, 0);
  EXPECT_FALSE(IsIdentity(M));
  M.Reset();
  EXPECT_TRUE(IsIdentity(M));
}

TEST(TranslationMapTest, SetEntryReflectsSourcePositionsIntoTheRaster) {
  TTranslationMap M(64, 32);
  M.SetEntry(1, 2, -3, 5);
  EXPECT_EQ(SourceOf(M, 1, 2), std::make_pair(3, 5));
  EXPECT_EQ(M.Entry(2 * 64 + 1), (5 * 64 + 3) * 4);
  M.SetEntry(1, 2, 66, 5);  // 63 - (3 mod 63)
  EXPECT_EQ(SourceOf(M, 1, 2), std::make_pair(60, 5));
  M.SetEntry(0, 0, 63, -31);  // the bound stays; -31 gives 31 mod 31
  EXPECT_EQ(SourceOf(M, 0, 0), std::make_pair(63, 0));
  M.SetEntry(0, 0, 200, 40);  // far beyond: one mirror, then reduced by the range
  EXPECT_EQ(SourceOf(M, 0, 0), std::make_pair(63 - (137 % 63), 31 - (9 % 31)));
  M.SetEntry(63, 31, -1000, -1000);
  EXPECT_EQ(SourceOf(M, 63, 31), std::make_pair(1000 % 63, 1000 % 31));
}

TEST(TranslationMapTest, EntriesOutsideTheMapAreRefusedAndNothingIsWritten) {
  TTranslationMap M(8, 4);
  // X is not checked against the width: (8, 0) is entry 8, pixel (0, 1), as the linear run has it.
  M.SetEntry(8, 0, 3, 0);
  EXPECT_EQ(M.Entry(8), 12);
  M.Reset();
  EXPECT_THROW(M.SetEntry(0, 4, 0, 0), ERangeError);
  EXPECT_THROW(M.SetEntry(-1, 0, 0, 0), ERangeError);
  EXPECT_THROW(M.SetEntry(8, 3, 0, 0), ERangeError);
  EXPECT_THROW(M.SetEntry(0, INT_MAX, 0, 0), EIntOverflow);
  EXPECT_TRUE(IsIdentity(M));
  EXPECT_THROW(M.Entry(32), ERangeError);
  EXPECT_THROW(M.Entry(-1), ERangeError);
}

TEST(TranslationMapTest, SizesThatNoRasterCanHaveAreRefused) {
  EXPECT_THROW(TTranslationMap(-2, 4), ERangeError);
  EXPECT_THROW(TTranslationMap(4, -3), ERangeError);
  EXPECT_THROW(TTranslationMap(65536, 65536), EIntOverflow);
  EXPECT_THROW(TTranslationMap(8192, 8192), ERangeError);  // more pixels than a raster holds
  TTranslationMap Empty(0, 0);
  EXPECT_EQ(Empty.EntryCount(), 0u);
  Empty.MakeWaved(TSinParams{});
  TDIBRaster S(2, 2), D(2, 2);
  D.Clear(7);
  Empty.Execute(&S, &D);  // a map of no pixels runs on nothing
  EXPECT_EQ(D.Bits[0], 7u);
}

TEST(TranslationMapTest, RastersTheMapWasNotBuiltForAreLeftAlone) {
  TTranslationMap M(16, 8);
  M.SetEntry(0, 0, 15, 7);  // the last pixel of a 16 x 8 raster
  TDIBRaster Big(32, 16), Small(8, 8), Turned(8, 16), S(16, 8), D(16, 8);
  Number(Big);
  Number(S);
  for (TDIBRaster* Src : {&Big, &Small, &Turned}) {
    D.Clear(0xABCDEF);
    M.Execute(Src, &D);
    EXPECT_EQ(D.Bits[0], 0xABCDEFu) << Src->Width << "x" << Src->Height;
  }
  Big.Clear(0x123456);
  M.Execute(&S, &Big);
  EXPECT_EQ(Big.Bits[0], 0x123456u);
  // Source and destination must differ.
  M.Execute(&S, &S);
  EXPECT_EQ(S.Bits[0], 0x01000000u);
  M.Execute(&S, nullptr);
  M.Execute(nullptr, &D);
  // The right size again: the map runs.
  M.Execute(&S, &D);
  EXPECT_EQ(D.Bits[0], S.Bits[16 * 8 - 1]);
  EXPECT_EQ(D.Bits[1], S.Bits[1]);
}

TEST(TranslationMapTest, EntriesStayInsideTheMapAfterARunOnALargerRaster) {
  // A run on the wrong raster takes that raster's size; building the map then must not reach
  // past the map's own block.
  TTranslationMap M(8, 4);
  TDIBRaster Big(16, 16), D(16, 16);
  M.Execute(&Big, &D);
  EXPECT_EQ(M.Width, 16);
  EXPECT_THROW(M.MakeWaved(TSinParams{}), ERangeError);
  for (size_t I = 0; I < M.EntryCount(); ++I) ASSERT_LT(size_t(M.Map()[I]) / 4, M.EntryCount());
}

TEST(TranslationMapTest, AllZeroParametersGiveTheIdentity) {
  testsupport::ProgramFPU Program;
  TTranslationMap M(40, 30);
  const TSinParams P{};
  M.MakeWaved(P);
  EXPECT_TRUE(IsIdentity(M));
  M.SetEntry(0, 0, 9, 9);
  M.MakeWavedZoom(P, 20, 15, false);
  EXPECT_TRUE(IsIdentity(M));
  M.SetEntry(0, 0, 9, 9);
  M.MakeWavedZoom(P, 3, 27, true);
  EXPECT_TRUE(IsIdentity(M));
  M.SetEntry(0, 0, 9, 9);
  M.MakeWavedZoomCombined(P, P, 20, 15);
  EXPECT_TRUE(IsIdentity(M));
}

TEST(TranslationMapTest, HalfAmplitudeZoomMagnifiesTwofoldAboutTheCentre) {
  testsupport::ProgramFPU Program;
  TSinParams P{};
  P[0] = 0.5f;
  P[8] = 0.5f;
  TTranslationMap M(64, 48);
  M.MakeWavedZoom(P, 20, 30, false);
  for (int Y = 0; Y < 48; ++Y)
    for (int X = 0; X < 64; ++X) {
      const int Sx = int((X - 20) * 0.5 + 20), Sy = int((Y - 30) * 0.5 + 30);
      ASSERT_EQ(SourceOf(M, X, Y), std::make_pair(Sx, Sy)) << X << "," << Y;
    }
  // The averaged factor of the same tables is the same here.
  TTranslationMap A(64, 48);
  A.MakeWavedZoom(P, 20, 30, true);
  for (size_t I = 0; I < M.EntryCount(); ++I) ASSERT_EQ(A.Map()[I], M.Map()[I]) << I;
}

TEST(TranslationMapTest, AveragedZoomUsesOneFactorForBothAxes) {
  testsupport::ProgramFPU Program;
  // Only the x table is non-zero: 1.0 everywhere (P[0] = 1, frequency 0), so the separate
  // factors are 0 (x collapses onto the centre) and 1 (y stays), the averaged one 0.5 for both.
  TSinParams P{};
  P[0] = 1.0f;
  TTranslationMap Sep(32, 32), Avg(32, 32);
  Sep.MakeWavedZoom(P, 10, 12, false);
  Avg.MakeWavedZoom(P, 10, 12, true);
  for (int Y = 0; Y < 32; ++Y)
    for (int X = 0; X < 32; ++X) {
      ASSERT_EQ(SourceOf(Sep, X, Y), std::make_pair(10, Y));
      ASSERT_EQ(SourceOf(Avg, X, Y), std::make_pair(int((X - 10) * 0.5 + 10), int((Y - 12) * 0.5 + 12)));
    }
}

TEST(TranslationMapTest, ZoomFactorsAboveOnePushOutwardAndReflectAtTheEdges) {
  testsupport::ProgramFPU Program;
  // ZX = ZY = -0.5 (a negative amplitude): factor 1.5 pushes positions away from the centre.
  TSinParams P{};
  P[0] = -0.5f;
  P[8] = -0.5f;
  TTranslationMap M(20, 20);
  M.MakeWavedZoom(P, 10, 10, false);
  EXPECT_EQ(SourceOf(M, 12, 10), std::make_pair(13, 10));
  EXPECT_EQ(SourceOf(M, 19, 0), std::make_pair(19 - (23 - 19), 0 + 5));  // 23.5 -> 23, -5 -> 5
}

TEST(TranslationMapTest, WavedShiftsRowsByTheRowTableAndColumnsByTheColumnTable) {
  testsupport::ProgramFPU Program;
  TSinParams P{};
  P[0] = 6.0f;   // x table: columns move up or down
  P[4] = 1.0f;
  P[9] = 4.0f;   // y table: rows move sideways (second term)
  P[13] = 2.0f;
  TTranslationMap M(64, 40);
  TSinLineBuffer XT, YT;
  BuildSinTables(M, XT, YT, P);
  ASSERT_EQ(XT.size(), 64u);
  ASSERT_EQ(YT.size(), 40u);
  for (float V : XT) EXPECT_EQ(V, std::trunc(V));
  // Column 16 is the crest of one period over 64 columns: sin is a hair below 1 in single
  // precision, and toward zero 6 x that stays below 6.
  EXPECT_EQ(XT[16], 5.0f);
  EXPECT_EQ(XT[0], 0.0f);
  EXPECT_EQ(XT[48], -5.0f);
  EXPECT_EQ(XT[8], 4.0f);  // 6 x sin(45 degrees) = 4.24
  EXPECT_EQ(YT[5], 3.0f);  // 4 x sin(90 degrees), again a hair below
  EXPECT_EQ(YT[0], 0.0f);
  M.MakeWaved(P);
  // Entry (x, y) fetches (x + YT[y], y + XT[x]) reflected into the raster.
  EXPECT_EQ(SourceOf(M, 16, 20), std::make_pair(16 + int(YT[20]), 25));
  EXPECT_EQ(SourceOf(M, 10, 5), std::make_pair(13, 5 + int(XT[10])));
  EXPECT_EQ(SourceOf(M, 16, 37), std::make_pair(16 + int(YT[37]), 39 - (42 - 39)));
  EXPECT_EQ(SourceOf(M, 48, 2), std::make_pair(48 + int(YT[2]), 3));  // 2 - 5 = -3 mirrors to 3
  for (int Y = 0; Y < 40; ++Y)
    for (int X = 0; X < 64; ++X) {
      const auto [Sx, Sy] = SourceOf(M, X, Y);
      ASSERT_EQ(Sx, ReflectIntoRange(X + int(YT[size_t(Y)]), 0, 63));
      ASSERT_EQ(Sy, ReflectIntoRange(Y + int(XT[size_t(X)]), 0, 39));
    }
}

TEST(TranslationMapTest, CombinedZoomActsOnTheWavedPosition) {
  testsupport::ProgramFPU Program;
  TSinParams Wave{}, Zoom{};
  Wave[0] = 6.0f;
  Wave[4] = 1.0f;
  Zoom[0] = 0.5f;
  Zoom[8] = 0.5f;  // factor 0.5 everywhere
  TTranslationMap M(64, 40);
  TSinLineBuffer XT, YT;
  BuildSinTables(M, XT, YT, Wave);
  M.MakeWavedZoomCombined(Wave, Zoom, 32, 20);
  for (int Y = 0; Y < 40; ++Y)
    for (int X = 0; X < 64; ++X) {
      const int Wy = Y + int(XT[size_t(X)]);
      ASSERT_EQ(SourceOf(M, X, Y), std::make_pair(Lerp(32, X, 0.5f), ReflectIntoRange(Lerp(20, Wy, 0.5f), 0, 39)));
    }
}

TEST(TranslationMapTest, ZoomTablesHoldTheUntruncatedSums) {
  testsupport::ProgramFPU Program;
  TSinParams P{};
  P[0] = 0.25f;
  P[4] = 1.0f;
  P[1] = 0.125f;  // frequency 0: a constant 0.125
  P[10] = 2.0f;
  P[14] = 1.0f;
  TTranslationMap M(64, 32);
  TSinLineBuffer ZX, ZY;
  BuildZoomTables(M, ZX, ZY, P);
  ASSERT_EQ(ZX.size(), 64u);
  ASSERT_EQ(ZY.size(), 32u);
  EXPECT_FLOAT_EQ(ZX[0], 0.375f);
  EXPECT_NEAR(ZX[16], 0.625f, 1e-6);
  EXPECT_NEAR(ZX[8], 0.375f + 0.25f * std::sqrt(0.5f), 1e-6);
  EXPECT_NEAR(ZX[48], 0.125f, 1e-6);
  EXPECT_FLOAT_EQ(ZY[0], 2.0f);
  EXPECT_NEAR(ZY[8], 4.0f, 1e-6);
  for (float V : ZX) EXPECT_TRUE(V >= 0.0f && V <= 0.75f);
}

TEST(TranslationMapTest, SineSumsBeyondTheIntegerRangeAreTheRangeError) {
  testsupport::ProgramFPU Program;
  TSinParams P{};
  P[0] = 3e9f;
  P[4] = 1.0f;
  TTranslationMap M(16, 16);
  TSinLineBuffer XT, YT;
  EXPECT_THROW(BuildSinTables(M, XT, YT, P), ERangeError);
  EXPECT_THROW(M.MakeWaved(P), ERangeError);
  EXPECT_TRUE(IsIdentity(M));  // the tables fail before any entry is set
  TSinParams Q{};
  Q[0] = 1e10f;  // a zoom pushing positions past the Integer range
  EXPECT_THROW(M.MakeWavedZoom(Q, 8, 8, false), ERangeError);
}

TEST(TranslationMapTest, ApplyFetchesEveryPixelFromItsEntry) {
  // A map that mirrors the picture left to right; offsets continue across row ends.
  TTranslationMap M(10, 6);
  for (int Y = 0; Y < 6; ++Y)
    for (int X = 0; X < 10; ++X) M.SetEntry(X, Y, 9 - X, Y);
  TDIBRaster S(10, 6), D(10, 6);
  Number(S);
  M.Execute(&S, &D);
  for (int Y = 0; Y < 6; ++Y)
    for (int X = 0; X < 10; ++X) ASSERT_EQ(At(D, X, Y), At(S, 9 - X, Y));
}

// ---------------------------------------------------------------------------------------------
// Smoothing

namespace {

struct PathCase {
  bool MMX, ThreeDNow;
  gfx::TSmoothPath Path;
  const char* Name;
};
const PathCase Paths[] = {{false, false, gfx::TSmoothPath::Plain, "plain"},
                          {true, false, gfx::TSmoothPath::MMX, "mmx"},
                          {false, true, gfx::TSmoothPath::ThreeDNow, "3dnow"},
                          {true, true, gfx::TSmoothPath::ThreeDNow, "3dnow+mmx"}};

// Smooths through the filter with the flags of one path; returns the destination.
std::vector<TPixel> SmoothWith(const PathCase& C, const TDIBRaster& Src) {
  ForceFlags F(C.MMX, C.ThreeDNow);
  TDIBRaster S(Src.Width, Src.Height), D(Src.Width, Src.Height);
  Src.CopyTo(&S);
  D.Clear(0xDEADBEEF);
  TFastSmooth Smooth;
  Smooth.Execute(&S, &D);
  return {D.Bits, D.Bits + D.PixelCount()};
}

// The four neighbours of the middle pixel of row 1 of a 4 x 4 raster set to U, L, R, D.
TPixel SmoothOf(const PathCase& C, TPixel U, TPixel L, TPixel R, TPixel D) {
  TDIBRaster S(4, 4);
  S.Bits[1] = U;
  S.Bits[4] = L;
  S.Bits[6] = R;
  S.Bits[9] = D;
  return SmoothWith(C, S)[5];
}

// Per byte, written out the long way: the averages each path makes.
TPixel ByteModel(gfx::TSmoothPath P, TPixel U, TPixel L, TPixel R, TPixel D) {
  TPixel Out = 0;
  for (int B = 0; B < 4; ++B) {
    const unsigned u = (U >> 8 * B) & 255, l = (L >> 8 * B) & 255, r = (R >> 8 * B) & 255,
                   d = (D >> 8 * B) & 255;
    unsigned V;
    if (P == gfx::TSmoothPath::ThreeDNow)
      V = (((u + l + 1) / 2) + ((r + d + 1) / 2) + 1) / 2;
    else
      V = (B == 3 && P == gfx::TSmoothPath::Plain) ? 0 : (u + l + r + d) / 4;
    Out |= V << 8 * B;
  }
  return Out;
}

}  // namespace

TEST(FastSmoothTest, PathsFollowTheProcessorFlagsOnEveryCall) {
  {
    ForceFlags F(false, false);
    EXPECT_EQ(gfx::SmoothPathFromFlags(), gfx::TSmoothPath::Plain);
  }
  {
    ForceFlags F(true, false);
    EXPECT_EQ(gfx::SmoothPathFromFlags(), gfx::TSmoothPath::MMX);
  }
  {
    ForceFlags F(true, true);
    EXPECT_EQ(gfx::SmoothPathFromFlags(), gfx::TSmoothPath::ThreeDNow);
  }
}

TEST(FastSmoothTest, TheRoundingAndTheTopByteDependOnThePath) {
  // Blue bytes 0, 0, 0, 1: the quarter sum floors to 0, the pairwise averages round up to 1.
  EXPECT_EQ(SmoothOf(Paths[0], 0, 0, 0, 1), 0u);
  EXPECT_EQ(SmoothOf(Paths[1], 0, 0, 0, 1), 0u);
  EXPECT_EQ(SmoothOf(Paths[2], 0, 0, 0, 1), 1u);
  EXPECT_EQ(SmoothOf(Paths[3], 0, 0, 0, 1), 1u);
  // Top bytes: dropped by the plain path, averaged by the others.
  const TPixel T = 0xFF000000;
  EXPECT_EQ(SmoothOf(Paths[0], T, T, T, 0x01000000), 0u);
  EXPECT_EQ(SmoothOf(Paths[1], T, T, T, 0x01000000), 0xBF000000u);  // 766 / 4 = 191
  EXPECT_EQ(SmoothOf(Paths[2], T, T, T, 0x01000000), 0xC0000000u);  // avg(255, avg(255, 1)) = 192
  // Every colour byte on its own, and no carry from one into the next.
  EXPECT_EQ(SmoothOf(Paths[0], 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF), 0x00FFFFFFu);
  EXPECT_EQ(SmoothOf(Paths[1], 0x00FF00FF, 0x00FF00FF, 0x0000FF00, 0x00030201), 0x0080407Fu);
  EXPECT_EQ(SmoothOf(Paths[2], 0x00FF00FF, 0x00FF00FF, 0x0000FF00, 0x00030201), 0x00814180u);
}

TEST(FastSmoothTest, UniformGreyStaysGreyBetweenBlackFirstAndLastRows) {
  TDIBRaster S(20, 10);
  S.Clear(0x00808080);
  for (const PathCase& C : Paths) {
    const std::vector<TPixel> D = SmoothWith(C, S);
    for (int Y = 0; Y < 10; ++Y)
      for (int X = 0; X < 20; ++X)
        ASSERT_EQ(D[size_t(Y * 20 + X)], (Y == 0 || Y == 9) ? 0u : 0x00808080u) << C.Name << " " << X << "," << Y;
  }
}

TEST(FastSmoothTest, NeighboursRunOnAcrossRowEnds) {
  // One lit pixel at the end of row 2: its right neighbour in the linear run is the first pixel
  // of row 3, and the last pixel of row 2 is the left neighbour of that first pixel.
  TDIBRaster S(8, 6);
  S.Bits[2 * 8 + 7] = 0x00000040;
  for (const PathCase& C : Paths) {
    const std::vector<TPixel> D = SmoothWith(C, S);
    const TPixel Quarter = 0x10;  // 0x40 / 4, and avg(avg(0x40, 0), 0) alike
    EXPECT_EQ(D[3 * 8 + 0], Quarter) << C.Name;  // left neighbour of (0, 3)
    EXPECT_EQ(D[2 * 8 + 6], Quarter) << C.Name;  // right neighbour of (6, 2)
    EXPECT_EQ(D[1 * 8 + 7], Quarter) << C.Name;  // above
    EXPECT_EQ(D[3 * 8 + 7], Quarter) << C.Name;  // below
    EXPECT_EQ(D[2 * 8 + 7], 0u) << C.Name;       // the pixel itself has no weight
    EXPECT_EQ(D[2 * 8 + 0], 0u) << C.Name;       // the row's own first pixel is not a neighbour
  }
}

TEST(FastSmoothTest, TheSmallestRasterClearsBothRowsAndAnyOtherRasterIsLeftAlone) {
  TDIBRaster S(2, 2), D(2, 2);
  S.Clear(0x00FFFFFF);
  D.Clear(0x00123456);
  TFastSmooth F;
  F.Execute(&S, &D);
  for (size_t I = 0; I < 4; ++I) EXPECT_EQ(D.Bits[I], 0u);
  TDIBRaster Other(4, 2);
  Other.Clear(0x00123456);
  F.Execute(&S, &Other);
  EXPECT_EQ(Other.Bits[0], 0x00123456u);
  F.Execute(&S, &S);
  EXPECT_EQ(S.Bits[0], 0x00FFFFFFu);
  TDIBRaster Refused(0, 0);
  F.Execute(&Refused, &D);
  F.Execute(&S, nullptr);
}

TEST(FastSmoothTest, VectorPathsMatchTheScalarModelsBitForBit) {
  // Odd row lengths for the scalar tails (the raster routines never make them, the paths must
  // not depend on it), rasters of a few pixels, and a large one.
  const std::pair<int, int> Sizes[] = {{2, 4}, {4, 3}, {6, 6}, {7, 5}, {18, 9}, {30, 17}, {41, 6}, {333, 77}};
  std::mt19937 Rng(20240611);
  for (const auto& [W, H] : Sizes) {
    const size_t N = size_t(W) * size_t(H);
    for (int Round = 0; Round < 20; ++Round) {
      std::vector<TPixel> Src(N);
      for (TPixel& P : Src) P = BiasedPixel(Rng);
      for (const gfx::TSmoothPath P : {gfx::TSmoothPath::Plain, gfx::TSmoothPath::MMX, gfx::TSmoothPath::ThreeDNow}) {
        std::vector<TPixel> A(N, 0x5A5A5A5A);
        gfx::SmoothScalar(P, Src.data(), A.data(), W, H);
        for (size_t I = 0; I < N; ++I) {
          const bool Edge = I < size_t(W) || I >= N - size_t(W);
          const TPixel Want = Edge ? 0u : ByteModel(P, Src[I - W], Src[I - 1], Src[I + 1], Src[I + W]);
          ASSERT_EQ(A[I], Want) << "scalar path " << int(P) << " " << W << "x" << H << " pixel " << I;
        }
        for (const gfx::TVectorLevel L : VectorLevels()) {
          VectorLevelGuard G(L);
          std::vector<TPixel> B(N, 0xA5A5A5A5);
          gfx::SmoothFast(P, Src.data(), B.data(), W, H);
          ASSERT_EQ(A, B) << "vector path " << int(P) << " level " << int(L) << " " << W << "x" << H;
        }
      }
    }
  }
}

TEST(FastSmoothTest, LongRandomRunChecksumsAgreeOnEveryPath) {
  // Frames fed back into themselves, as the particle waves do, for 40 frames of 256 x 128.
  const int W = 256, H = 128;
  for (const gfx::TSmoothPath P : {gfx::TSmoothPath::Plain, gfx::TSmoothPath::MMX, gfx::TSmoothPath::ThreeDNow}) {
    std::mt19937 Rng(7);
    std::vector<TPixel> A(size_t(W) * H), B, TA(A.size()), TB(A.size());
    for (TPixel& X : A) X = BiasedPixel(Rng);
    B = A;
    for (int Frame = 0; Frame < 40; ++Frame) {
      gfx::SmoothScalar(P, A.data(), TA.data(), W, H);
      VectorLevelGuard G(VectorLevels()[size_t(Frame) % VectorLevels().size()]);
      gfx::SmoothFast(P, B.data(), TB.data(), W, H);
      // Re-seed the first and last rows so the picture does not simply fade out.
      for (int I = 0; I < W; ++I) TA[size_t(I)] = TB[size_t(I)] = BiasedPixel(Rng);
      A.swap(TA);
      B.swap(TB);
    }
    ASSERT_EQ(A, B) << "path " << int(P);
  }
}

// ---------------------------------------------------------------------------------------------
// Refraction

namespace {

// The four values of the field around index I of a W-wide field; sets the rest to 0.
void Flat(TRefractionMap& M) { std::fill(M.Heights.begin(), M.Heights.end(), int16_t(0)); }

}  // namespace

TEST(RefractionMapTest, TheOffsetTableKeepsTheLowEightBitsOfTheRefractedSlope) {
  testsupport::ProgramFPU Program;
  TRefractionMap M(8, 8);
  for (int D = -2048; D <= 2048; ++D) ASSERT_EQ(M.Table(D), 0) << D;
  EXPECT_EQ(M.RefrIndex, 0.0f);
  M.SetRefraction(2.0f);
  EXPECT_EQ(M.RefrIndex, 2.0f);
  EXPECT_EQ(M.Table(40), 5);
  EXPECT_EQ(M.Table(400), 57);
  EXPECT_EQ(M.Table(1000), 144);
  EXPECT_EQ(M.Table(1600), 230);  // a = 400: 400 x tan(asin(1/2)) = 230.9
  EXPECT_EQ(M.Table(1772), 255);
  EXPECT_EQ(M.Table(1776), 0);  // 256
  EXPECT_EQ(M.Table(2047), 39);  // 295
  EXPECT_EQ(M.Table(2048), 0);
  EXPECT_EQ(M.Table(0), 0);
  EXPECT_EQ(M.Table(3), 0);  // a = 0
  for (int D = 1; D <= 2047; ++D) {
    ASSERT_EQ(M.Table(-D), M.Table(D)) << D;
    ASSERT_GE(M.Table(D), 0);
    ASSERT_LE(M.Table(D), 255);
  }
  // Where the index allows no refraction (sin / n beyond 1) there is no offset.
  M.SetRefraction(0.5f);
  EXPECT_EQ(M.Table(40), 0);  // sin(atan(10)) / 0.5 = 1.99
  EXPECT_EQ(M.Table(1), 0);
  M.SetRefraction(0.0f);
  for (int D = -2048; D <= 2048; ++D) ASSERT_EQ(M.Table(D), 0) << D;
}

TEST(RefractionMapTest, AFlatFieldCopiesAllButTheLastRowAndOnePixel) {
  testsupport::ProgramFPU Program;
  TRefractionMap M(16, 6);
  M.SetRefraction(2.0f);
  TDIBRaster S(16, 6), D(16, 6);
  Number(S);
  D.Clear(0x00ABCDEF);
  M.Execute(&S, &D);
  for (size_t I = 0; I < S.PixelCount(); ++I)
    ASSERT_EQ(D.Bits[I], I <= 16 * 6 - 16 - 2 ? S.Bits[I] : 0x00ABCDEFu) << I;
}

TEST(RefractionMapTest, ABlockOfRaisedWaterBendsTheLightAtItsEdges) {
  testsupport::ProgramFPU Program;
  const int W = 64, H = 256;
  TRefractionMap M(W, H);
  M.SetRefraction(2.0f);
  M.FillHeights(5, 5, 3, 3, 1600);
  TDIBRaster S(W, H), D(W, H);
  Number(S);
  D.Clear(0x00ABCDEF);
  M.Execute(&S, &D);
  auto I = [&](int X, int Y) { return Y * W + X; };
  EXPECT_EQ(D.Bits[I(4, 5)], S.Bits[I(4, 5) + 230]);      // rising to the right
  EXPECT_EQ(D.Bits[I(7, 6)], S.Bits[I(7, 6) - 230]);      // falling to the right
  EXPECT_EQ(D.Bits[I(5, 4)], S.Bits[I(5, 4) + 230 * W]);  // rising below
  EXPECT_EQ(D.Bits[I(6, 7)], 0x00ABCDEFu);                // falling below: before the first pixel, kept
  EXPECT_EQ(D.Bits[I(7, 7)], 0x00ABCDEFu);                // both: -230 - 230 x 64, kept
  EXPECT_EQ(D.Bits[I(6, 6)], S.Bits[I(6, 6)]);            // inside the block the water is level
  EXPECT_EQ(D.Bits[I(4, 4)], S.Bits[I(4, 4)]);
  // Steps beyond 2047 wrap: 1600 - (-1000) = 2600 becomes 552; downward 0 - (-1000) = 1000.
  Flat(M);
  M.Heights[size_t(I(11, 20))] = -1000;
  M.Heights[size_t(I(12, 20))] = 1600;
  M.Execute(&S, &D);
  EXPECT_EQ(D.Bits[I(11, 20)], S.Bits[I(11, 20) + M.Table(552) + 144 * W]);
}

TEST(RefractionMapTest, OffsetsRunOnAcrossRowEndsAndNeverReadOutsideTheSource) {
  testsupport::ProgramFPU Program;
  const int W = 8, H = 8;
  TRefractionMap M(W, H);
  M.SetRefraction(2.0f);
  // Every height a steep slope: the offsets reach far beyond the picture in every direction.
  std::mt19937 Rng(3);
  for (int16_t& V : M.Heights) V = int16_t(int(Rng() % 65536) - 32768);
  TDIBRaster S(W, H), D(W, H);
  Number(S);
  D.Clear(0x00ABCDEF);
  M.Execute(&S, &D);
  for (int I = 0; I <= W * H - W - 2; ++I) {
    const int Dx = (M.Heights[size_t(I + 1)] - M.Heights[size_t(I)]) % 2048;
    const int Dy = (M.Heights[size_t(I + W)] - M.Heights[size_t(I)]) % 2048;
    const int S0 = I + (Dx < 0 ? -M.Table(Dx) : M.Table(Dx)) + (Dy < 0 ? -M.Table(Dy) : M.Table(Dy)) * W;
    ASSERT_EQ(D.Bits[I], (S0 >= 0 && S0 < W * H) ? S.Bits[S0] : 0x00ABCDEFu) << I;
  }
  // A horizontal offset of 5 from the row's seventh pixel lands three pixels into the next row.
  Flat(M);
  M.Heights[size_t(7)] = 84;  // dx at pixel 6 is 84: a = 21, offset 12
  ASSERT_EQ(M.Table(84), 12);
  M.Execute(&S, &D);
  EXPECT_EQ(D.Bits[6], S.Bits[18]);
}

TEST(RefractionMapTest, SineRidgesRunFromTopToBottom) {
  testsupport::ProgramFPU Program;
  TRefractionMap M(100, 10);
  M.AddSinWave(1200.0f, 0.0f, 2.0f);
  auto H = [&](int X, int Y) { return M.Heights[size_t(Y * 100 + X)]; };
  for (int Y = 1; Y <= 8; ++Y) {
    EXPECT_EQ(H(12, Y), 1197);
    EXPECT_EQ(H(13, Y), 1197);
    EXPECT_EQ(H(25, Y), 0);
    EXPECT_EQ(H(37, Y), -1197);
    EXPECT_EQ(H(0, Y), 0);
    EXPECT_EQ(H(99, Y), 0);
  }
  for (int X = 0; X < 100; ++X) {
    EXPECT_EQ(H(X, 0), 0);
    EXPECT_EQ(H(X, 9), 0);
  }
  // A phase of 360 x Freq shifts the ridges by one column; waves add up.
  TRefractionMap P(100, 10);
  P.AddSinWave(1200.0f, 720.0f, 2.0f);
  EXPECT_EQ(P.Heights[size_t(5 * 100 + 12)], 1197);  // column 13 of the unshifted wave
  P.AddSinWave(1200.0f, 720.0f, 2.0f);
  EXPECT_EQ(P.Heights[size_t(5 * 100 + 12)], 2394);
}

TEST(RefractionMapTest, HeightsSaturateInsteadOfFailingWhenWavesPileUp) {
  testsupport::ProgramFPU Program;
  TRefractionMap M(100, 6);
  for (int Click = 0; Click < 40; ++Click) M.AddSinWave(1200.0f, 0.0f, 2.0f);
  EXPECT_EQ(M.Heights[size_t(3 * 100 + 12)], 32767);
  EXPECT_EQ(M.Heights[size_t(3 * 100 + 37)], -32768);
  // A single term beyond the Integer range is the range error; the columns before it keep what
  // they were given.
  TRefractionMap R(100, 6);
  EXPECT_THROW(R.AddSinWave(3e9f, 0.0f, 1.0f), ERangeError);
  EXPECT_EQ(R.Heights[size_t(3 * 100 + 12)], 32767);  // 3e9 x sin(43.2 degrees) fits
  EXPECT_EQ(R.Heights[size_t(3 * 100 + 13)], 0);      // 3e9 x sin(46.8 degrees) does not
}

TEST(RefractionMapTest, FillHeightsKeepsToTheField) {
  TRefractionMap M(10, 8);
  M.FillHeights(1, 2, 3, 2, 1600);
  for (int Y = 0; Y < 8; ++Y)
    for (int X = 0; X < 10; ++X)
      ASSERT_EQ(M.Heights[size_t(Y * 10 + X)], (X >= 1 && X <= 3 && Y >= 2 && Y <= 3) ? 1600 : 0);
  // Blocks reaching over any edge are cut to the field.
  M.FillHeights(8, 6, 5, 5, -7);
  M.FillHeights(-3, -3, 4, 4, 9);
  M.FillHeights(INT_MAX - 1, 0, 5, 5, 1);
  M.FillHeights(0, INT_MIN, 3, 3, 1);
  EXPECT_EQ(M.Heights[size_t(7 * 10 + 9)], -7);
  EXPECT_EQ(M.Heights[size_t(6 * 10 + 8)], -7);
  EXPECT_EQ(M.Heights[0], 9);
  EXPECT_EQ(M.Heights[1], 0);
  EXPECT_EQ(M.Heights.size(), 80u);
  int Changed = 0;
  for (int16_t V : M.Heights) Changed += V != 0;
  EXPECT_EQ(Changed, 6 + 4 + 1);
}

TEST(RefractionMapTest, SizesAndGuards) {
  TRefractionMap M(63, 17);
  EXPECT_EQ(M.Width, 64);
  EXPECT_EQ(M.Height, 18);
  EXPECT_EQ(M.Heights.size(), 64u * 18u);
  EXPECT_THROW(TRefractionMap(-4, 4), ERangeError);
  EXPECT_THROW(TRefractionMap(65536, 65536), EIntOverflow);
  // Rasters of another size than the field are left alone, and the field is not read past its end.
  TDIBRaster Big(128, 64), D(128, 64);
  D.Clear(5);
  M.Execute(&Big, &D);
  EXPECT_EQ(D.Bits[0], 5u);
  // After such a run the field takes no waves or blocks for a size it does not have.
  M.AddSinWave(1000.0f, 0.0f, 1.0f);
  M.FillHeights(0, 0, 100, 100, 3);
  for (int16_t V : M.Heights) ASSERT_EQ(V, 0);
}

// ---------------------------------------------------------------------------------------------
// Water

TEST(WaterizeTest, ANewPoolIsFlatRefractsAtTwoAndCopiesThePicture) {
  testsupport::ProgramFPU Program;
  TWaterize Water(32, 16);
  EXPECT_EQ(Water.Width, 32);
  EXPECT_EQ(Water.Height, 16);
  EXPECT_EQ(Water.DisturbMap(), Water.Maps[1].get());
  for (const auto& M : Water.Maps) {
    EXPECT_EQ(M->RefrIndex, 2.0f);
    EXPECT_EQ(M->Table(1000), 144);
    EXPECT_EQ(M->Width, 32);
  }
  TDIBRaster S(32, 16), D(32, 16);
  Number(S);
  for (int Frame = 0; Frame < 3; ++Frame) {
    Water.Execute(&S, &D);
    for (int I = 0; I <= 32 * 16 - 32 - 2; ++I) ASSERT_EQ(D.Bits[I], S.Bits[I]) << Frame << " " << I;
  }
}

TEST(WaterizeTest, ADropSpreadsToItsFourNeighboursAtHalfItsHeight) {
  TWaterize Water(16, 8);
  TRefractionMap* Disturbed = Water.DisturbMap();
  TRefractionMap* Other = Water.Maps[0].get();
  const size_t I = 3 * 16 + 5;
  Disturbed->Heights[I] = 16;
  Water.WaterStep();
  EXPECT_EQ(Water.Maps[0].get(), Disturbed);  // exchanged, not copied
  EXPECT_EQ(Water.DisturbMap(), Other);
  for (size_t J = 0; J < Other->Heights.size(); ++J) {
    const bool Neighbour = J == I - 16 || J == I + 16 || J == I - 1 || J == I + 1;
    ASSERT_EQ(Other->Heights[J], Neighbour ? 8 : 0) << J;
  }
  EXPECT_EQ(Disturbed->Heights[I], 16);
}

TEST(WaterizeTest, EachStepDampsTheNewValueBySixteenthsRoundedDown) {
  // n from the spread of the upper neighbour: sum div 2 (toward zero) less the old value.
  auto Step = [](int Up, int Old) {
    std::vector<int16_t> M0(12, 0), M1(12, 0);
    M0[1] = int16_t(Up);
    M1[5] = int16_t(Old);
    gfx::WaterStepRange(M0.data(), M1.data(), 4, 4, 8);
    return int(M1[5]);
  };
  EXPECT_EQ(Step(32, 0), 15);     // n = 16
  EXPECT_EQ(Step(30, 0), 15);     // n = 15
  EXPECT_EQ(Step(0, 1), 0);       // n = -1
  EXPECT_EQ(Step(0, 16), -15);    // n = -16
  EXPECT_EQ(Step(-3, 0), 0);      // -3 div 2 is -1, not -2
  EXPECT_EQ(Step(0, -32768), 30720);
  // Values beyond 16 bits keep their low 16 bits.
  std::vector<int16_t> M0(12, 32767), M1(12, -32768);
  gfx::WaterStepRange(M0.data(), M1.data(), 4, 4, 8);
  EXPECT_EQ(M1[5], int16_t(92159 - 65536));
}

TEST(WaterizeTest, RowsOneToTheLastButOneSpreadIncludingTheirEndColumns) {
  TWaterize Water(6, 6);
  auto& D = Water.DisturbMap()->Heights;
  for (int16_t& V : D) V = 64;
  auto& Old = Water.Maps[0]->Heights;
  for (int16_t& V : Old) V = 0;
  Water.WaterStep();
  const auto& New = Water.DisturbMap()->Heights;
  for (int I = 0; I < 36; ++I) {
    const bool Edge = I < 6 || I >= 30;
    ASSERT_EQ(New[size_t(I)], Edge ? 0 : 120) << I;  // n = 128, less 8
  }
}

TEST(WaterizeTest, DisturbancesSpreadAtTheNextRunAndShowInTheOneAfter) {
  testsupport::ProgramFPU Program;
  const int W = 64, H = 64;
  TWaterize Water(W, H);
  TDIBRaster S(W, H), D(W, H);
  Number(S);
  Water.DisturbMap()->FillHeights(20, 20, 3, 3, 1600);  // as the pointer does
  Water.Execute(&S, &D);
  for (int I = 0; I <= W * H - W - 2; ++I) ASSERT_EQ(D.Bits[I], S.Bits[I]) << I;
  Water.Execute(&S, &D);
  int Moved = 0;
  for (int I = 0; I <= W * H - W - 2; ++I) Moved += D.Bits[I] != S.Bits[I];
  EXPECT_GT(Moved, 0);
  // Left alone, the ripples die away and the picture comes back.
  for (int Frame = 0; Frame < 2000; ++Frame) Water.Execute(&S, &D);
  for (const auto& M : Water.Maps)
    for (int16_t V : M->Heights) ASSERT_LE(std::abs(V), 1);
}

TEST(WaterizeTest, RastersOfAnotherSizeNeitherRefractNorStep) {
  TWaterize Water(16, 16);
  TRefractionMap* Before = Water.Maps[0].get();
  TDIBRaster Big(32, 32), D(32, 32), S(16, 16), Small(16, 16);
  D.Clear(9);
  Water.Execute(&Big, &D);
  EXPECT_EQ(D.Bits[0], 9u);
  EXPECT_EQ(Water.Maps[0].get(), Before);
  // Nor can a step then run with that size.
  Water.WaterStep();
  EXPECT_EQ(Water.Maps[0].get(), Before);
  Water.Execute(&S, &S);
  EXPECT_EQ(Water.Maps[0].get(), Before);
  Water.Execute(&S, &Small);
  EXPECT_NE(Water.Maps[0].get(), Before);
}

// ---- The filter arithmetic against a model written from its definition: every exact function
// (sine, tangent, arc tangents) taken under the standard control word, every other step exact
// to 64 bits cut toward zero, then cut to single precision, which is the program's rounding.

namespace model {

// The function under the standard control word (full precision, to nearest).
template <class Fn>
long double Exact(Fn Function) {
  TFloatingPointUnit Saved;
  FPU().Reset();
  return Function();
}

float Sgl(long double V) { return static_cast<float>(V); }

int Trunc(float V) {
  if (!(V >= -2147483648.0f && V < 2147483648.0f)) throw ERangeError(SRangeError);
  return static_cast<int>(V);
}

constexpr long double Rad = 57.29577951308232L;

float Term(int I, int Size, float Amp, float Freq) {
  const float Arg = Sgl(Sgl(Sgl(static_cast<long double>(I * 360) * Freq) / Size) / Rad);
  return Sgl(Exact([Arg] { return std::sin(static_cast<long double>(Arg)); }) * Amp);
}

std::vector<float> Zoom(int Size, const float* Amp, const float* Freq) {
  std::vector<float> T(size_t(Size), 0.0f);
  for (int I = 0; I < Size; ++I)
    for (int K = 0; K < 4; ++K) T[size_t(I)] = Sgl(Term(I, Size, Amp[K], Freq[K]) + Sgl(T[size_t(I)] + Amp[K]));
  return T;
}

std::vector<float> Waves(int Size, const float* Amp, const float* Freq) {
  std::vector<float> T(static_cast<size_t>(Size));
  for (int I = 0; I < Size; ++I) {
    float S = 0.0f;
    for (int K = 0; K < 4; ++K) S = Sgl(S + Term(I, Size, Amp[K], Freq[K]));
    T[size_t(I)] = float(Trunc(S));
  }
  return T;
}

int Lerp(int A, int B, float T) { return Trunc(Sgl(Sgl(static_cast<long double>(B - A) * T) + A)); }

int32_t Entry(int W, int H, int Sx, int Sy) {
  return (ReflectIntoRange(Sy, 0, H - 1) * W + ReflectIntoRange(Sx, 0, W - 1)) * 4;
}

// MakeWavedZoom (Averaged or not) when WaveP is null, else MakeWavedZoomCombined.
std::vector<int32_t> Map(int W, int H, const TSinParams* WaveP, const TSinParams& P, int Cx, int Cy,
                         bool Averaged) {
  const std::vector<float> ZX = Zoom(W, &P[0], &P[4]), ZY = Zoom(H, &P[8], &P[12]);
  std::vector<float> XT(size_t(W), 0.0f), YT(size_t(H), 0.0f);
  if (WaveP) XT = Waves(W, &(*WaveP)[0], &(*WaveP)[4]), YT = Waves(H, &(*WaveP)[8], &(*WaveP)[12]);
  std::vector<int32_t> M(size_t(W) * size_t(H));
  for (int X = 0; X < W; ++X)
    for (int Y = 0; Y < H; ++Y) {
      float Fx = Sgl(1.0L - ZX[size_t(X)]), Fy = Sgl(1.0L - ZY[size_t(Y)]);
      if (Averaged || WaveP) Fx = Fy = Sgl(1.0L - Sgl(Sgl(static_cast<long double>(ZX[size_t(X)]) + ZY[size_t(Y)]) / 2.0L));
      const int Sx = WaveP ? Trunc(Sgl(static_cast<long double>(X) + YT[size_t(Y)])) : X;
      const int Sy = WaveP ? Trunc(Sgl(static_cast<long double>(Y) + XT[size_t(X)])) : Y;
      M[size_t(Y) * size_t(W) + size_t(X)] = Entry(W, H, Lerp(Cx, Sx, Fx), Lerp(Cy, Sy, Fy));
    }
  return M;
}

// The value AddSinWave adds to column X of a field W wide.
int SinWave(int X, int W, float Amp, float Phase, float Freq) {
  const float Num = Sgl(Sgl(static_cast<long double>(X * 360) * Freq) + Phase);
  const float Arg = Sgl(Num / Sgl(static_cast<long double>(W) * Rad));
  return Trunc(Sgl(Exact([Arg] { return std::sin(static_cast<long double>(Arg)); }) * Amp));
}

int32_t Refraction(int D, float N) {
  const int A = D / 4;
  const float Q = Sgl(Exact([A] { return std::sin(std::atan(static_cast<long double>(A))); }) / N);
  const float Root = Sgl(std::sqrt(static_cast<long double>(Sgl(1.0L - Sgl(static_cast<long double>(Q) * Q)))));
  const long double Tan = Exact([Q, Root] { return std::tan(std::atan2(static_cast<long double>(Q), static_cast<long double>(Root))); });
  const float V = Sgl(Tan * A);
  if (!(V > -9223372036854775808.0f && V < 9223372036854775808.0f)) return 0;
  return int32_t(static_cast<int64_t>(V) & 0xFF);
}

}  // namespace model

TEST(FilterModelTest, TablesEqualExactSinesRoundedAsTheProgramRoundsAtEveryPrecision) {
  constexpr int W = 320, H = 240, Maps = 60, FieldW = 322, SinWaves = 1000, Indices = 200;
  std::mt19937 Rng(20240612);
  std::uniform_real_distribution<float> ZoomAmp(-0.05f, 0.05f), WaveAmp(-12.0f, 12.0f), Freq(0.0f, 8.0f);
  auto Params = [&](std::uniform_real_distribution<float>& Amp) {
    TSinParams P;
    for (int K = 0; K < 4; ++K) P[K] = Amp(Rng), P[4 + K] = Freq(Rng), P[8 + K] = Amp(Rng), P[12 + K] = Freq(Rng);
    return P;
  };
  struct MapCase { TSinParams ZoomP, WaveP; int Cx, Cy; bool Averaged; };
  std::vector<MapCase> MapCases;
  for (int I = 0; I < Maps; ++I)
    MapCases.push_back({Params(ZoomAmp), Params(WaveAmp), int(Rng() % W), int(Rng() % H), I % 2 == 1});
  struct WaveCase { float Amp, Phase, Freq; };
  std::vector<WaveCase> WaveCases;
  std::uniform_real_distribution<float> Amp(-2000.0f, 2000.0f), Phase(-360.0f, 360.0f), Periods(0.5f, 8.0f);
  for (int I = 0; I < SinWaves; ++I) WaveCases.push_back({Amp(Rng), Phase(Rng), Periods(Rng)});
  std::vector<float> IndexCases{2.0f, 1.33f};
  std::uniform_real_distribution<float> Index(1.0f, 4.0f);
  while (IndexCases.size() < size_t(Indices)) IndexCases.push_back(Index(Rng));

  // The model, built once under extended precision rounding toward zero.
  std::vector<std::vector<float>> ZoomTables;
  std::vector<std::vector<int32_t>> ZoomMaps, CombinedMaps;
  std::vector<int> Columns;
  std::vector<int32_t> Offsets;
  {
    testsupport::ProgramFPU Program;
    FPU().SetPrecision(2);
    for (const MapCase& C : MapCases) {
      ZoomTables.push_back(model::Zoom(W, &C.ZoomP[0], &C.ZoomP[4]));
      ZoomTables.push_back(model::Zoom(H, &C.ZoomP[8], &C.ZoomP[12]));
      ZoomMaps.push_back(model::Map(W, H, nullptr, C.ZoomP, C.Cx, C.Cy, C.Averaged));
      CombinedMaps.push_back(model::Map(W, H, &C.WaveP, C.ZoomP, C.Cx, C.Cy, true));
    }
    for (const WaveCase& C : WaveCases)
      for (int X = 1; X <= FieldW - 2; ++X) Columns.push_back(model::SinWave(X, FieldW, C.Amp, C.Phase, C.Freq));
    for (const float N : IndexCases)
      for (int D = -2048; D <= 2047; ++D) Offsets.push_back(model::Refraction(D, N));
  }

  auto Differ = [](const auto& A, const auto& B) {
    size_t N = 0;
    for (size_t I = 0; I < A.size(); ++I) N += A[I] != B[I];
    return N;
  };
  for (const int Precision : {0, 1, 2}) {
    SCOPED_TRACE(testing::Message() << "precision setting " << Precision);
    testsupport::ProgramFPU Program;
    FPU().SetPrecision(Precision);
    size_t Tables = 0, ZoomEntries = 0, ZoomMapsOff = 0, CombinedEntries = 0, CombinedMapsOff = 0;
    size_t Heights = 0, RefrEntries = 0;
    TTranslationMap M(W, H);
    for (size_t I = 0; I < MapCases.size(); ++I) {
      const MapCase& C = MapCases[I];
      TSinLineBuffer ZX, ZY;
      BuildZoomTables(M, ZX, ZY, C.ZoomP);
      Tables += Differ(ZX, ZoomTables[2 * I]) + Differ(ZY, ZoomTables[2 * I + 1]);
      M.MakeWavedZoom(C.ZoomP, C.Cx, C.Cy, C.Averaged);
      const size_t Z = Differ(std::vector<int32_t>(M.Map(), M.Map() + M.EntryCount()), ZoomMaps[I]);
      ZoomEntries += Z, ZoomMapsOff += Z > 0;
      M.MakeWavedZoomCombined(C.WaveP, C.ZoomP, C.Cx, C.Cy);
      const size_t Cb = Differ(std::vector<int32_t>(M.Map(), M.Map() + M.EntryCount()), CombinedMaps[I]);
      CombinedEntries += Cb, CombinedMapsOff += Cb > 0;
    }
    TRefractionMap R(FieldW, 4);
    size_t Column = 0;
    for (const WaveCase& C : WaveCases) {
      std::fill(R.Heights.begin(), R.Heights.end(), 0);
      R.AddSinWave(C.Amp, C.Phase, C.Freq);
      for (int X = 1; X <= FieldW - 2; ++X, ++Column) Heights += R.Heights[size_t(FieldW + X)] != Columns[Column];
    }
    size_t Offset = 0;
    for (const float N : IndexCases) {
      R.SetRefraction(N);
      for (int D = -2048; D <= 2047; ++D) RefrEntries += R.Table(D) != Offsets[Offset++];
    }
    EXPECT_EQ(Tables, 0u) << "zoom-table entries of " << ZoomTables.size() * (W + H) / 2;
    EXPECT_EQ(ZoomEntries, 0u) << "zoom-map entries, in " << ZoomMapsOff << " of " << Maps << " maps";
    EXPECT_EQ(CombinedEntries, 0u) << "combined-map entries, in " << CombinedMapsOff << " of " << Maps << " maps";
    EXPECT_EQ(Heights, 0u) << "heights of " << Columns.size();
    EXPECT_EQ(RefrEntries, 0u) << "refraction offsets of " << Offsets.size();
  }
}
