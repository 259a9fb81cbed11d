// Output of a raster to a device context: the unscaled block copy and the drop-or-repeat stretch,
// onto an image context and onto an active painter.

#include <gtest/gtest.h>

#include <QPainter>

#include "graphics/GfxTool.h"

namespace {

void Number(TDIBRaster& R) {
  for (size_t I = 0; I < R.PixelCount(); ++I) R.Bits[I] = uint32_t(I * 2654435761u) & 0x00FFFFFF;
}

TPixel At(const TDIBRaster& R, int64_t X, int64_t Y) { return R.Bits[size_t(Y) * R.Width + size_t(X)]; }

uint32_t Colour(const QImage& I, int X, int Y) { return I.pixel(X, Y) & 0xFFFFFF; }

// Every pixel of Img's block (DestX, DestY, DW, DH) is the raster pixel the nearest-neighbour rule
// names for it.
void ExpectStretched(const QImage& Img, const TDIBRaster& R, int SrcX, int SrcY, int SW, int SH,
                     int DestX, int DestY, int DW, int DH) {
  for (int Y = std::max(0, DestY); Y < std::min(Img.height(), DestY + DH); ++Y)
    for (int X = std::max(0, DestX); X < std::min(Img.width(), DestX + DW); ++X) {
      const int64_t Sx = SrcX + int64_t(X - DestX) * SW / DW, Sy = SrcY + int64_t(Y - DestY) * SH / DH;
      ASSERT_EQ(Colour(Img, X, Y), At(R, Sx, Sy)) << "at " << X << "," << Y;
    }
}

}  // namespace

TEST(StretchTest, EnlargingRepeatsAndShrinkingDropsWithoutAveraging) {
  TDIBRaster R(64, 48);
  Number(R);
  for (auto [W, H] : {std::pair{200, 150}, {20, 10}, {64, 48}, {1000, 7}}) {
    QImage Img(W, H, QImage::Format_RGB32);
    Img.fill(0);
    plat::TPaintTarget DC(&Img);
    R.StretchToDC(&DC, 0, 0, R.Width, R.Height, 0, 0, W, H, plat::COLORONCOLOR);
    ExpectStretched(Img, R, 0, 0, 64, 48, 0, 0, W, H);
    EXPECT_EQ(DC.StretchMode, plat::COLORONCOLOR);  // the mode stays set on the context
  }
}

TEST(StretchTest, ThroughAnActivePainterTheResultIsTheSame) {
  TDIBRaster R(16, 16);
  Number(R);
  QImage Img(100, 60, QImage::Format_ARGB32_Premultiplied);
  Img.fill(Qt::white);
  {
    QPainter P(&Img);
    P.translate(5, 3);  // a painter's transform moves the output as it moves everything else
    plat::TPaintTarget DC(&P);
    R.StretchToDC(&DC, 0, 0, 16, 16, 0, 0, 90, 50, plat::COLORONCOLOR);
  }
  ExpectStretched(Img, R, 0, 0, 16, 16, 5, 3, 90, 50);
  EXPECT_EQ(Colour(Img, 4, 3), 0xFFFFFFu);
  EXPECT_EQ(Colour(Img, 95, 3), 0xFFFFFFu);
  EXPECT_EQ(qAlpha(Img.pixel(50, 30)), 255);  // the picture is opaque whatever its top bytes
}

TEST(StretchTest, SourceBlockAndDestinationOffsetsAreHonouredAndClipped) {
  TDIBRaster R(32, 32);
  Number(R);
  QImage Img(50, 40, QImage::Format_RGB32);
  Img.fill(0x00ABCDEF);
  plat::TPaintTarget DC(&Img);
  R.StretchToDC(&DC, 8, 4, 16, 8, -10, 25, 64, 32, plat::COLORONCOLOR);
  ExpectStretched(Img, R, 8, 4, 16, 8, -10, 25, 64, 32);
  EXPECT_EQ(Colour(Img, 10, 24), 0xABCDEFu);
  // Samples beyond the raster are black, never memory outside it.
  QImage Edge(8, 8, QImage::Format_RGB32);
  plat::TPaintTarget EdgeDC(&Edge);
  R.StretchToDC(&EdgeDC, 28, 28, 8, 8, 0, 0, 8, 8, plat::COLORONCOLOR);
  EXPECT_EQ(Colour(Edge, 3, 3), At(R, 31, 31));
  EXPECT_EQ(Colour(Edge, 4, 3), 0u);
  EXPECT_EQ(Colour(Edge, 3, 7), 0u);
}

TEST(StretchTest, EmptyOrNegativeSizesAndMissingTargetsDrawNothing) {
  TDIBRaster R(8, 8);
  R.Clear(0xFFFFFF);
  QImage Img(10, 10, QImage::Format_RGB32);
  Img.fill(0);
  plat::TPaintTarget DC(&Img);
  R.StretchToDC(&DC, 0, 0, 0, 8, 0, 0, 10, 10, plat::COLORONCOLOR);
  R.StretchToDC(&DC, 0, 0, 8, 8, 0, 0, -10, 10, plat::COLORONCOLOR);
  R.StretchToDC(&DC, 0, 0, 8, 8, 10, 0, 10, 10, plat::COLORONCOLOR);
  R.StretchToDC(nullptr, 0, 0, 8, 8, 0, 0, 10, 10, plat::COLORONCOLOR);
  plat::TPaintTarget Memory;  // a context without a picture
  R.StretchToDC(&Memory, 0, 0, 8, 8, 0, 0, 10, 10, plat::COLORONCOLOR);
  for (int Y = 0; Y < 10; ++Y)
    for (int X = 0; X < 10; ++X) ASSERT_EQ(Colour(Img, X, Y), 0u);
  TDIBRaster Refused(0, 0);
  Refused.StretchToDC(&DC, 0, 0, 8, 8, 0, 0, 10, 10, plat::COLORONCOLOR);
  EXPECT_EQ(Colour(Img, 5, 5), 0u);
}

TEST(StretchTest, DrawToDCCopiesTheBlockUnscaled) {
  TDIBRaster R(20, 10);
  Number(R);
  QImage Img(30, 30, QImage::Format_RGB32);
  Img.fill(0x00112233);
  plat::TPaintTarget DC(&Img);
  R.DrawToDC(&DC, 4, 2, 10, 20, 6, 5);
  for (int Y = 0; Y < 30; ++Y)
    for (int X = 0; X < 30; ++X) {
      const bool In = X >= 10 && X < 16 && Y >= 20 && Y < 25;
      ASSERT_EQ(Colour(Img, X, Y), In ? At(R, X - 6, Y - 18) : 0x112233u) << X << "," << Y;
    }
  // A block reaching past the raster copies only what exists.
  QImage Small(10, 10, QImage::Format_RGB32);
  Small.fill(0x00112233);
  plat::TPaintTarget SmallDC(&Small);
  R.DrawToDC(&SmallDC, 18, -2, 0, 0, 5, 5);
  EXPECT_EQ(Colour(Small, 0, 2), At(R, 18, 0));
  EXPECT_EQ(Colour(Small, 1, 4), At(R, 19, 2));
  EXPECT_EQ(Colour(Small, 2, 2), 0x112233u);
  EXPECT_EQ(Colour(Small, 0, 1), 0x112233u);
  EXPECT_THROW(R.DrawToDC(&DC, 0, 0, 0, 0, -1, 5), ERangeError);
  EXPECT_THROW(R.DrawToDC(&DC, 0, 0, 0, 0, 5, -1), ERangeError);
}

TEST(StretchTest, DrawToDCThroughAPainter) {
  TDIBRaster R(8, 8);
  Number(R);
  QImage Img(20, 20, QImage::Format_ARGB32_Premultiplied);
  Img.fill(Qt::black);
  {
    QPainter P(&Img);
    plat::TPaintTarget DC(&P);
    R.DrawToDC(&DC, 0, 0, 3, 4, 8, 8);
  }
  for (int Y = 0; Y < 8; ++Y)
    for (int X = 0; X < 8; ++X) ASSERT_EQ(Colour(Img, X + 3, Y + 4), At(R, X, Y));
}
