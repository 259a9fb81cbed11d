// Rasters and alpha channels: creation, copies between rasters, glow dots, fills, clipping and
// the small pixel, point and rectangle routines.

#include <gtest/gtest.h>

#include <QImage>

#include <climits>
#include <numeric>

#include "graphics/GfxTool.h"
#include "tests/support/ProgramFPU.h"

namespace {

// Fills every pixel with a value that names its position.
void Number(TDIBRaster& R, uint32_t Base = 0) {
  for (size_t I = 0; I < R.PixelCount(); ++I) R.Bits[I] = Base + uint32_t(I);
}

TPixel At(const TDIBRaster& R, int X, int Y) { return R.Bits[size_t(Y) * R.Width + X]; }

}  // namespace

TEST(RasterTest, SizesAreRoundedUpToEvenAndPixelsStartBlack) {
  TDIBRaster R(63, 17);
  EXPECT_EQ(R.Width, 64);
  EXPECT_EQ(R.Height, 18);
  ASSERT_NE(R.Bits, nullptr);
  ASSERT_NE(R.Canvas, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(R.Bits) % 16, 0u);
  for (size_t I = 0; I < R.PixelCount(); ++I) ASSERT_EQ(R.Bits[I], 0u) << I;
  EXPECT_EQ(R.BoundsRect(), Rect(0, 0, 63, 17));
  EXPECT_EQ(R.BottomRight(), Point(63, 17));
}

TEST(RasterTest, MakeEvenMovesOddValuesAwayFromZero) {
  int A = -3, B = 0;
  MakeEven(A, B);
  EXPECT_EQ(A, -4);
  EXPECT_EQ(B, 0);
  A = 63;
  B = 64;
  MakeEven(A, B);
  EXPECT_EQ(A, 64);
  EXPECT_EQ(B, 64);
  A = INT_MAX;
  EXPECT_THROW(MakeEven(A, B), EIntOverflow);
}

TEST(RasterTest, RefusedRasterHasNoMemoryAndEveryOperationLeavesItAlone) {
  for (auto [W, H] : {std::pair{0, 10}, {10, 0}, {-3, 5}, {8192, 8192}}) {
    TDIBRaster R(W, H);
    EXPECT_EQ(R.Bits, nullptr);
    EXPECT_EQ(R.Canvas, nullptr);
    EXPECT_EQ(R.PixelCount(), 0u);
    TDIBRaster Other(64, 64);
    Number(Other, 1);
    R.Fade(3);
    R.Clear(0x123456);
    R.FillRect(Rect(0, 0, 5, 5), 1);
    R.PlotGlow(1, 1, 0xFFFFFF);
    R.CopyTo(&Other);
    R.CopyRect(&Other, Rect(0, 0, 10, 10));
    R.DrawTo(&Other, 0, 0);
    R.CopyFromAt(&Other, 0, 0);
    Other.DrawTo(&R, 0, 0);
    Other.CopyFromAt(&R, 0, 0);
    Other.CopyTo(&R);
    TAlphaChannel A(64, 64);
    A.Fill(128);
    A.Blend(&R, &Other, &Other);
    A.Blend(&Other, &Other, &R);
    EXPECT_EQ(Other.Bits[0], 1u);
    EXPECT_EQ(Other.Bits[Other.PixelCount() - 1], uint32_t(Other.PixelCount()));
  }
  EXPECT_EQ(TDIBRaster(-3, 5).Width, -4);  // the sizes are kept
}

TEST(RasterTest, CopyToCopiesEveryPixelAndNeverMoreThanTheTargetHolds) {
  TDIBRaster A(32, 32), B(32, 32), Small(8, 8);
  Number(A, 7);
  A.CopyTo(&B);
  EXPECT_EQ(std::memcmp(A.Bits, B.Bits, A.PixelCount() * 4), 0);
  A.CopyTo(&Small);
  EXPECT_EQ(Small.Bits[63], 7u + 63);
}

TEST(RasterTest, CopyRectClampsToTheBoundsAndCopiesRowSpans) {
  TDIBRaster S(16, 8), D(16, 8);
  Number(S, 1000);
  S.CopyRect(&D, Rect(2, 1, 5, 3));
  for (int Y = 0; Y < 8; ++Y)
    for (int X = 0; X < 16; ++X) {
      const bool In = X >= 2 && X <= 5 && Y >= 1 && Y <= 3;
      EXPECT_EQ(At(D, X, Y), In ? At(S, X, Y) : 0u) << X << "," << Y;
    }
}

TEST(RasterTest, CopyRectWhollyLeftCopiesColumnZeroAndReversedCopiesNothing) {
  TDIBRaster S(16, 8), D(16, 8);
  Number(S, 1);
  S.CopyRect(&D, Rect(-30, 2, -20, 4));
  for (int Y = 0; Y < 8; ++Y)
    for (int X = 0; X < 16; ++X)
      EXPECT_EQ(At(D, X, Y), (X == 0 && Y >= 2 && Y <= 4) ? At(S, X, Y) : 0u) << X << "," << Y;

  TDIBRaster E(16, 8);
  S.CopyRect(&E, Rect(5, 0, 4, 7));
  S.CopyRect(&E, Rect(0, 5, 15, 4));
  for (size_t I = 0; I < E.PixelCount(); ++I) EXPECT_EQ(E.Bits[I], 0u);
}

TEST(RasterTest, CopyRectIntoASmallerRasterStopsAtItsLastPixel) {
  TDIBRaster S(16, 16), D(16, 4);
  Number(S, 1);
  S.CopyRect(&D, S.BoundsRect());  // rows 4.. have no place in D
  for (size_t I = 0; I < D.PixelCount(); ++I) EXPECT_EQ(D.Bits[I], S.Bits[I]);
}

TEST(RasterTest, DrawToClipsAtEveryEdge) {
  TDIBRaster Logo(64, 64), Screen(640, 480);
  Number(Logo, 1);
  Logo.DrawTo(&Screen, -10, -10);
  for (int Y = 0; Y < 60; ++Y)
    for (int X = 0; X < 60; ++X)
      ASSERT_EQ(At(Screen, X, Y), (X < 54 && Y < 54) ? At(Logo, X + 10, Y + 10) : 0u) << X << "," << Y;

  TDIBRaster Right(640, 480);
  Logo.DrawTo(&Right, 600, 0);
  EXPECT_EQ(At(Right, 600, 0), At(Logo, 0, 0));
  EXPECT_EQ(At(Right, 639, 63), At(Logo, 39, 63));
  EXPECT_EQ(At(Right, 599, 0), 0u);
  EXPECT_EQ(At(Right, 639, 64), 0u);

  TDIBRaster Outside(640, 480);
  Logo.DrawTo(&Outside, 700, 0);
  Logo.DrawTo(&Outside, 0, 480);
  Logo.DrawTo(&Outside, -64, 0);
  for (size_t I = 0; I < Outside.PixelCount(); ++I) ASSERT_EQ(Outside.Bits[I], 0u);
}

TEST(RasterTest, CopyFromAtTakesTheRegionAndLeavesUncoveredPixels) {
  TDIBRaster S(64, 64), D(64, 64);
  Number(S, 1);
  D.Clear(0xABCDEF);
  D.CopyFromAt(&S, -5, 0);
  for (int Y = 0; Y < 64; ++Y)
    for (int X = 0; X < 64; ++X)
      ASSERT_EQ(At(D, X, Y), X < 5 ? 0xABCDEFu : At(S, X - 5, Y)) << X << "," << Y;

  TDIBRaster Part(10, 6);
  Part.CopyFromAt(&S, 50, 60);  // 10 x 4 of the source fit
  EXPECT_EQ(At(Part, 0, 0), At(S, 50, 60));
  EXPECT_EQ(At(Part, 9, 3), At(S, 59, 63));
  EXPECT_EQ(At(Part, 9, 4), 0u);
}

TEST(RasterTest, OffsetCopiesWithHugeOffsetsRaiseOverflowInsteadOfWrapping) {
  TDIBRaster S(8, 8), D(8, 8);
  EXPECT_THROW(S.DrawTo(&D, INT_MIN, 0), EIntOverflow);
  EXPECT_THROW(D.CopyFromAt(&S, 0, INT_MIN), EIntOverflow);
  S.DrawTo(&D, INT_MAX, 0);  // plainly outside: nothing
  for (size_t I = 0; I < D.PixelCount(); ++I) EXPECT_EQ(D.Bits[I], 0u);
}

TEST(RasterTest, DrawToItselfMovesAsIfThroughATemporary) {
  TDIBRaster R(8, 8), Ref(8, 8);
  Number(R, 1);
  Number(Ref, 1);
  R.DrawTo(&R, 1, 2);
  for (int Y = 2; Y < 8; ++Y)
    for (int X = 1; X < 8; ++X) ASSERT_EQ(At(R, X, Y), At(Ref, X - 1, Y - 2)) << X << "," << Y;
}

TEST(RasterTest, GlowDotAddsHalfInTheCentreAndAQuarterAround) {
  TDIBRaster R(8, 8);
  R.PlotGlow(1, 1, 0xFFFFFF);
  EXPECT_EQ(At(R, 1, 1) & 0xFFFFFF, 0x7F7F7Fu);
  for (auto [X, Y] : {std::pair{0, 1}, {2, 1}, {1, 0}, {1, 2}}) EXPECT_EQ(At(R, X, Y) & 0xFFFFFF, 0x3F3F3Fu);
  int Changed = 0;
  for (size_t I = 0; I < R.PixelCount(); ++I) Changed += R.Bits[I] != 0;
  EXPECT_EQ(Changed, 5);
  for (int I = 0; I < 10; ++I) R.PlotGlow(1, 1, 0xFFFFFF);
  EXPECT_EQ(At(R, 1, 1) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(At(R, 2, 1) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(RasterTest, GlowDotOnTheBorderChangesNothing) {
  TDIBRaster R(8, 6);
  for (auto [X, Y] : {std::pair{0, 3}, {3, 0}, {7, 3}, {3, 5}, {-1, 3}, {3, 100}}) R.PlotGlow(X, Y, 0xFFFFFF);
  for (size_t I = 0; I < R.PixelCount(); ++I) EXPECT_EQ(R.Bits[I], 0u);
  R.PlotGlow(6, 4, 0x00FF00);  // the last admissible centre
  EXPECT_EQ(At(R, 6, 4), 0x007F00u);
  EXPECT_EQ(At(R, 7, 4), 0x003F00u);
  EXPECT_EQ(At(R, 6, 5), 0x003F00u);
}

TEST(RasterTest, AddShiftedSatSaturatesEachChannelAlone) {
  EXPECT_EQ(AddShiftedSat(0x00F0F0F0, 0x00FFFFFF, 2) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(AddShiftedSat(0x00F00010, 0x00FF0020, 1), 0x01FF0020u);  // red saturates, blue adds
  EXPECT_EQ(AddShiftedSat(0x000010F0, 0x000020FF, 1), 0x000020FFu);  // blue saturates alone
  EXPECT_EQ(AddShiftedSat(0x0000F000, 0x0000FF00, 0), 0x0000FF00u);
  // Per channel min(255, a + (b shr s)) for a spread of values and the shifts that make sense.
  for (uint32_t S = 0; S < 8; ++S)
    for (uint32_t A = 0; A < 256; A += 17)
      for (uint32_t B = 0; B < 256; B += 5) {
        const uint32_t Pa = A | (((A * 7) & 0xFF) << 8) | ((255 - A) << 16);
        const uint32_t Pb = B | (((255 - B)) << 8) | (((B * 3) & 0xFF) << 16);
        const TPixel R = AddShiftedSat(Pa, Pb, uint8_t(S));
        for (int C = 0; C < 3; ++C) {
          const uint32_t Want = std::min(255u, ((Pa >> (8 * C)) & 0xFF) + (((Pb >> (8 * C)) & 0xFF) >> S));
          ASSERT_EQ((R >> (8 * C)) & 0xFF, Want) << "shift " << S << " channel " << C;
        }
      }
  // Nothing of B is left from shift 8 on; red never leaks into blue.
  EXPECT_EQ(AddShiftedSat(0x00102030, 0x00FFFFFF, 16), 0x00102030u);
  EXPECT_EQ(AddShiftedSat(0x00102030, 0x00FFFFFF, 255), 0x00102030u);
}

TEST(RasterTest, FillRectAndClearStoreTheValueAsGiven) {
  TDIBRaster R(10, 6);
  R.Clear(0xAB123456);
  for (size_t I = 0; I < R.PixelCount(); ++I) ASSERT_EQ(R.Bits[I], 0xAB123456u);
  R.FillRect(Rect(-5, 4, 2, 50), 7);
  for (int Y = 0; Y < 6; ++Y)
    for (int X = 0; X < 10; ++X) EXPECT_EQ(At(R, X, Y), (X <= 2 && Y >= 4) ? 7u : 0xAB123456u);
  R.FillRect(Rect(4, 0, 3, 5), 9);  // Right < Left: nothing
  for (size_t I = 0; I < R.PixelCount(); ++I) EXPECT_NE(R.Bits[I], 9u);
}

TEST(RasterTest, ClipRectClampsEachCoordinateAndNeverEmpties) {
  const TRect B = Rect(0, 0, 99, 49);
  TRect R = Rect(-20, -5, -10, 10);
  ClipRect(R, B);
  EXPECT_EQ(R, Rect(0, 0, 0, 10));
  R = Rect(10, 60, 200, 70);
  ClipRect(R, B);
  EXPECT_EQ(R, Rect(10, 49, 99, 49));
  R = Rect(30, 20, 10, 5);  // reversed stays reversed
  ClipRect(R, B);
  EXPECT_EQ(R, Rect(30, 20, 10, 5));
}

TEST(RasterTest, PointAndRectangleArithmeticIsChecked) {
  EXPECT_EQ(PointAdd(Point(3, -4), Point(10, 20)), Point(13, 16));
  EXPECT_EQ(PointSub(Point(3, -4), Point(10, 20)), Point(-7, -24));
  EXPECT_THROW(PointAdd(Point(INT_MAX, 0), Point(1, 0)), EIntOverflow);
  EXPECT_THROW(PointSub(Point(0, INT_MIN), Point(0, 1)), EIntOverflow);
  EXPECT_EQ(RectWidth(Rect(0, 0, 63, 17)), 64);
  EXPECT_EQ(RectHeight(Rect(0, 0, 63, 17)), 18);
  EXPECT_EQ(RectWidth(Rect(5, 0, 4, 0)), 0);
  EXPECT_THROW(RectWidth(Rect(INT_MIN, 0, INT_MAX, 0)), EIntOverflow);
}

TEST(RasterTest, SwapRBExchangesRedAndBlueAndDropsTheTopByte) {
  EXPECT_EQ(SwapRB(0xAA112233), 0x00332211u);
  EXPECT_EQ(SwapRB(0x000000FF), 0x00FF0000u);  // framework red becomes pixel red
  EXPECT_EQ(SwapRB(SwapRB(0x00123456)), 0x00123456u);
}

TEST(RasterTest, LerpTruncatesTowardZero) {
  testsupport::ProgramFPU Program;
  EXPECT_EQ(Lerp(0, 10, 0.25f), 2);
  EXPECT_EQ(Lerp(10, 0, 0.25f), 7);
  EXPECT_EQ(Lerp(-10, 0, 0.25f), -7);
  EXPECT_EQ(Lerp(3, 4, 0.999f), 3);
  EXPECT_EQ(Lerp(4, 3, 0.999f), 3);
  EXPECT_EQ(Lerp(5, 5, 123.0f), 5);
  EXPECT_EQ(Lerp(0, 16777219, 0.75f), 12582914);  // the difference has no single; it loads exactly
  EXPECT_THROW(Lerp(INT_MIN, INT_MAX, 0.5f), EIntOverflow);
  EXPECT_THROW(Lerp(0, 1000, 1e10f), ERangeError);
}

TEST(RasterTest, LerpRoundsEachStepAsTheProgramsFloatingPointUnitDoes) {
  // 100 - 1e-7 is 99.9999999: to nearest that is 100.0 in single precision, toward zero it is
  // 99.99999, which truncates to 99.
  testsupport::ProgramFPU Program;
  EXPECT_EQ(Lerp(100, 99, 1e-7f), 99);
  FPU().SetRoundingMode(0);
  EXPECT_EQ(Lerp(100, 99, 1e-7f), 100);
}

TEST(AlphaChannelTest, FillAndFillRectClampToTheChannel) {
  TAlphaChannel A(7, 5);
  EXPECT_EQ(A.Width, 8);
  EXPECT_EQ(A.Height, 6);
  A.Fill(255);
  A.FillRect(Rect(6, -3, 20, 1), 0);
  for (int Y = 0; Y < 6; ++Y)
    for (int X = 0; X < 8; ++X) EXPECT_EQ(A.Data[Y * 8 + X], (X >= 6 && Y <= 1) ? 0 : 255) << X << "," << Y;
  A.FillRect(Rect(3, 3, 2, 4), 1);  // reversed: nothing
  for (int I = 0; I < 48; ++I) EXPECT_NE(A.Data[I], 1);
  TAlphaChannel None(0, 4);
  None.Fill(3);
  None.FillRect(Rect(0, 0, 1, 1), 3);
  EXPECT_EQ(None.Data, nullptr);
  EXPECT_THROW(TAlphaChannel(65536, 65536), EIntOverflow);
}

TEST(AlphaChannelTest, BlendCoversOnlyWhatEveryRasterHolds) {
  TAlphaChannel A(16, 16);
  A.Fill(0);
  TDIBRaster Big(16, 16), Other(16, 16), Small(4, 4);
  Big.Clear(0x112233);
  Other.Clear(0x445566);
  A.Blend(&Big, &Other, &Small);  // alpha 0 gives B
  for (size_t I = 0; I < Small.PixelCount(); ++I) EXPECT_EQ(Small.Bits[I], 0x445566u);
}

TEST(RasterTest, RasterFromGraphicDrawsAtTheOriginAndKeepsTheAddedEdgeBlack) {
  QImage Pic(5, 3, QImage::Format_RGB32);
  for (int Y = 0; Y < 3; ++Y)
    for (int X = 0; X < 5; ++X) Pic.setPixel(X, Y, qRgb(10 * X, 20 * Y, 200));
  auto R = RasterFromGraphic(Pic);
  ASSERT_EQ(R->Width, 6);
  ASSERT_EQ(R->Height, 4);
  for (int Y = 0; Y < 4; ++Y)
    for (int X = 0; X < 6; ++X) {
      const uint32_t Want = (X < 5 && Y < 3) ? (uint32_t(10 * X) << 16 | uint32_t(20 * Y) << 8 | 200u) : 0u;
      EXPECT_EQ(At(*R, X, Y) & 0xFFFFFF, Want) << X << "," << Y;
    }
  auto Empty = RasterFromGraphic(QImage());
  EXPECT_EQ(Empty->Bits, nullptr);
}
