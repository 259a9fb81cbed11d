// Text on rasters: the face substitutes, font sizes, the line layout of the text call with its
// flags, and MeasureText.

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

#include "graphics/GfxTool.h"

namespace {

TFont Arial(int Height) {
  TFont F;
  F.Name = "Arial";
  F.Height = Height;
  F.Color = clWhite;
  return F;
}

// Bounding box of the pixels whose colour channels differ from Background (-1s when none).
TRect LitBox(const TDIBRaster& R, uint32_t Background = 0) {
  TRect B = Rect(INT32_MAX, INT32_MAX, -1, -1);
  for (int Y = 0; Y < R.Height; ++Y)
    for (int X = 0; X < R.Width; ++X)
      if ((R.Bits[size_t(Y) * R.Width + X] & 0xFFFFFF) != Background) {
        B.Left = std::min(B.Left, X);
        B.Top = std::min(B.Top, Y);
        B.Right = std::max(B.Right, X);
        B.Bottom = std::max(B.Bottom, Y);
      }
  return B;
}

int Draw(TDIBRaster& R, const TFont& F, const std::string& Text, TRect Box, uint32_t Flags,
         TBrushStyle Brush = TBrushStyle::bsClear, TColor BrushColor = clWhite) {
  R.Canvas->Font.Assign(F);
  R.Canvas->Brush.Style = Brush;
  R.Canvas->Brush.Color = BrushColor;
  return plat::DrawText(R.Canvas->Handle(), Text, -1, Box, Flags);
}

}  // namespace

TEST(TextTest, WindowsFacesResolveToMetricCompatibleSubstitutes) {
  const QString Sans = QFontInfo(Arial(-20).ToQFont()).family();
  if (Sans != "Liberation Sans") GTEST_SKIP() << "fonts-liberation is not installed (got " << Sans.toStdString() << ")";
  TFont Mono = Arial(-20);
  Mono.Name = "Courier New";
  EXPECT_EQ(QFontInfo(Mono.ToQFont()).family(), "Liberation Mono");
  // Arial's advances for "Hello" are 4667/2048 em: 45.6 pixels at 20 pixels per em.
  EXPECT_NEAR(MeasureText(Arial(-20), "Hello", 0, 0).X - 1, 45.6, 1.0);
  // Courier New is 1229/2048 em per character.
  EXPECT_NEAR(MeasureText(Mono, "0123456789", 0, 0).X - 1, 120.0, 1.0);
}

TEST(TextTest, FontSizeAndHeightConvertAtNinetySixDotsPerInch) {
  TFont F;
  EXPECT_EQ(F.Name, "MS Sans Serif");
  EXPECT_EQ(F.Height, -11);
  EXPECT_EQ(F.Size(), 8);
  F.SetSize(12);
  EXPECT_EQ(F.Height, -16);
  F.SetSize(10);
  EXPECT_EQ(F.Height, -13);  // 13.33 rounds down
  F.Height = -20;
  EXPECT_EQ(F.Size(), 15);
  EXPECT_EQ(F.ToQFont().pixelSize(), 20);
  // A positive height is the cell: ascent plus descent come out at it.
  F.Height = 40;
  const QFontMetrics FM(F.ToQFont());
  EXPECT_NEAR(FM.ascent() + FM.descent(), 40, 1);
}

TEST(TextTest, MeasureTextIsOneMoreThanTheExtentOfAllLines) {
  const TFont F = Arial(-16);
  const QFontMetrics FM(F.ToQFont());
  const TPoint One = MeasureText(F, "Wide line", 0, 0);
  EXPECT_EQ(One.X, FM.horizontalAdvance("Wide line") + 1);
  EXPECT_EQ(One.Y, FM.height() + 1);
  // CR LF, LF and CR each end a line; the widest line gives the width; alignment does not matter.
  const TPoint Three = MeasureText(F, "a\r\nWide line\nbb", plat::DT_CENTER, 0);
  EXPECT_EQ(Three.X, One.X);
  EXPECT_EQ(Three.Y, 3 * FM.height() + 1);
  EXPECT_EQ(MeasureText(F, "a\rb\r\n", 0, 0).Y, 2 * FM.height() + 1);  // a final break adds no line
  EXPECT_EQ(MeasureText(F, "a\n\nb", 0, 0).Y, 3 * FM.height() + 1);    // an empty line counts
  EXPECT_EQ(MeasureText(F, "", 0, 0), Point(1, 1));
  // Ampersands are literal, so "&&" is two of them.
  EXPECT_EQ(MeasureText(F, "&&", 0, 0).X - 1, FM.horizontalAdvance("&&"));
  EXPECT_GT(MeasureText(F, "&&", 0, 0).X, MeasureText(F, "&", 0, 0).X + 5);
}

TEST(TextTest, MeasureTextHeightArgumentReplacesTheFontHeight) {
  const TFont F = Arial(-10);
  const TPoint Small = MeasureText(F, "Text", 0, 0);
  const TPoint Big = MeasureText(F, "Text", 0, -40);
  EXPECT_GT(Big.X, 3 * Small.X);
  EXPECT_EQ(Big.Y, QFontMetrics(Arial(-40).ToQFont()).height() + 1);
  EXPECT_EQ(F.Height, -10);  // the caller's font is not touched
}

TEST(TextTest, CalcRectKeepsTheTopLeftAndDrawsNothing) {
  TDIBRaster R(200, 100);
  TRect Box = Rect(10, 20, 10, 20);
  R.Canvas->Font.Assign(Arial(-16));
  const int H = plat::DrawText(R.Canvas->Handle(), "Hi\nthere", -1, Box, plat::DT_CALCRECT);
  const QFontMetrics FM(Arial(-16).ToQFont());
  EXPECT_EQ(H, 2 * FM.height());
  EXPECT_EQ(Box, Rect(10, 20, 10 + FM.horizontalAdvance("there"), 20 + 2 * FM.height()));
  EXPECT_EQ(LitBox(R).Right, -1);
}

TEST(TextTest, LinesAreAlignedWithinTheRectangle) {
  const TFont F = Arial(-24);
  const int W = QFontMetrics(F.ToQFont()).horizontalAdvance("MM");
  TDIBRaster L(400, 60), C(400, 60), Rt(400, 60);
  Draw(L, F, "MM", Rect(100, 10, 300, 50), plat::DT_LEFT);
  Draw(C, F, "MM", Rect(100, 10, 300, 50), plat::DT_CENTER);
  Draw(Rt, F, "MM", Rect(100, 10, 300, 50), plat::DT_RIGHT);
  const TRect BL = LitBox(L), BC = LitBox(C), BR = LitBox(Rt);
  ASSERT_GE(BL.Right, 0);
  EXPECT_NEAR(BL.Left, 100, 3);
  EXPECT_NEAR(BR.Right, 299, 3);
  EXPECT_NEAR(BC.Left, 100 + (200 - W) / 2, 3);
  EXPECT_EQ(BC.Left - BL.Left, (200 - W) / 2);  // the same glyphs, shifted by whole pixels
  EXPECT_EQ(BR.Left - BL.Left, 200 - W);
  EXPECT_GE(BL.Top, 10);
}

TEST(TextTest, DrawingIsClippedToTheRectangleUnlessNoClipIsGiven) {
  const TFont F = Arial(-30);
  TDIBRaster Clipped(300, 80), Free(300, 80);
  Draw(Clipped, F, "WWWWWW", Rect(10, 10, 40, 70), plat::DT_LEFT);
  Draw(Free, F, "WWWWWW", Rect(10, 10, 40, 70), plat::DT_LEFT | plat::DT_NOCLIP);
  EXPECT_LE(LitBox(Clipped).Right, 39);
  EXPECT_GT(LitBox(Free).Right, 100);
}

TEST(TextTest, ColoursComeFromTheFontAndTheBrush) {
  TFont F = Arial(-20);
  F.Color = 0x0000FF;  // framework red
  // An opaque brush fills the line's box (framework blue is pixel blue); blanks leave no ink.
  TDIBRaster R(200, 40);
  R.Clear(0x123456);
  const int H = Draw(R, F, "    ", Rect(0, 0, 200, 40), plat::DT_LEFT, TBrushStyle::bsSolid, 0xFF0000);
  const int W = QFontMetrics(F.ToQFont()).horizontalAdvance("    ");
  EXPECT_EQ(LitBox(R, 0x123456), Rect(0, 0, W - 1, H - 1));
  EXPECT_EQ(R.Bits[size_t(H - 1) * 200 + W - 1] & 0xFFFFFF, 0x0000FFu);
  // A clear brush leaves the background between the glyphs; the ink is the font's colour.
  TDIBRaster C(200, 40);
  C.Clear(0x123456);
  Draw(C, F, "|||", Rect(0, 0, 200, 40), plat::DT_LEFT);
  int Red = 0, Kept = 0;
  for (size_t I = 0; I < C.PixelCount(); ++I) {
    Red += (C.Bits[I] & 0xFFFFFF) == 0xFF0000u;
    Kept += (C.Bits[I] & 0xFFFFFF) == 0x123456u;
  }
  EXPECT_GT(Red, 10);
  EXPECT_GT(Kept, int(C.PixelCount()) / 2);
}

TEST(TextTest, CountLimitsTheTextAndAMissingContextDoesNothing) {
  const TFont F = Arial(-16);
  TDIBRaster R(10, 10);
  TRect A = Rect(0, 0, 0, 0), B = Rect(0, 0, 0, 0);
  R.Canvas->Font.Assign(F);
  plat::DrawText(R.Canvas->Handle(), "Hello", -1, A, plat::DT_CALCRECT);
  plat::DrawText(R.Canvas->Handle(), "Hello world", 5, B, plat::DT_CALCRECT);
  EXPECT_EQ(A, B);
  TRect C = Rect(1, 2, 3, 4);
  EXPECT_EQ(plat::DrawText(nullptr, "x", -1, C, plat::DT_CALCRECT), 0);
  EXPECT_EQ(C, Rect(1, 2, 3, 4));
}

TEST(TextTest, CanvasDrawAndFillRect) {
  TDIBRaster R(20, 10);
  R.Canvas->Brush.Color = 0x00FF00;
  R.Canvas->FillRect(Rect(2, 3, 5, 6));  // right and bottom outside
  EXPECT_EQ(R.Bits[3 * 20 + 2] & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(R.Bits[5 * 20 + 4] & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(R.Bits[6 * 20 + 4] & 0xFFFFFF, 0u);
  EXPECT_EQ(R.Bits[5 * 20 + 5] & 0xFFFFFF, 0u);
  R.Canvas->FillRect(Rect(10, 3, 9, 6));  // empty: nothing
  EXPECT_EQ(R.Bits[3 * 20 + 9] & 0xFFFFFF, 0u);
  QImage Pic(4, 4, QImage::Format_RGB32);
  Pic.fill(qRgb(1, 2, 3));
  R.Canvas->Draw(18, 8, Pic);  // cut off at the edges
  EXPECT_EQ(R.Bits[9 * 20 + 19] & 0xFFFFFF, 0x010203u);
  EXPECT_EQ(R.Bits[7 * 20 + 19] & 0xFFFFFF, 0u);
}
