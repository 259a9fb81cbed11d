// Output of a raster to a device context: the unscaled block copy and the drop-or-repeat stretch,
// onto an image context and onto an active painter; the fast stretch against the plain one, and
// the window's paint straight into its backing store.

#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QPainter>

#include <cstring>
#include <random>
#include <vector>

#include "graphics/GfxTool.h"
#include "graphics/GraphicObjects.h"
#include "persistence/CPUUtility.h"

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

namespace {

// The plain stretch (level None), or the fast one on one vector unit, for the guard's lifetime.
class ForceStretchPath {
public:
  explicit ForceStretchPath(gfx::TVectorLevel Level) {
    OverrideProcessorFeatures(Level != gfx::TVectorLevel::None, false);
    gfx::SetVectorLevel(Level);
  }
  ~ForceStretchPath() {
    ClearProcessorOverride();
    gfx::SetVectorLevel(gfx::BestVectorLevel());
  }
};

std::vector<gfx::TVectorLevel> FastLevels() {
  std::vector<gfx::TVectorLevel> L;
  if (gfx::FastPathsAvailable()) L.push_back(gfx::TVectorLevel::SSE2);
  if (gfx::BestVectorLevel() >= gfx::TVectorLevel::SSSE3) L.push_back(gfx::TVectorLevel::SSSE3);
  if (gfx::BestVectorLevel() >= gfx::TVectorLevel::AVX2) L.push_back(gfx::TVectorLevel::AVX2);
  return L;
}

// Mostly small, sometimes up to Max: 1 to Max, spread evenly over the orders of magnitude.
int RandomSize(std::mt19937& Rng, int Max) {
  return std::clamp(int(std::exp(std::uniform_real_distribution<double>(0, std::log(Max + 1.0))(Rng))), 1, Max);
}

int Between(std::mt19937& Rng, int Lo, int Hi) { return std::uniform_int_distribution<int>(Lo, Hi)(Rng); }

}  // namespace

TEST(StretchTest, FastPathsGiveThePlainPixelsForSeededRandomGeometries) {
  const std::vector<gfx::TVectorLevel> Levels = FastLevels();
  if (Levels.empty()) GTEST_SKIP() << "no vector unit";
  std::mt19937 Rng(20240917);
  int64_t Pixels = 0;
  for (int Case = 0; Case < 400; ++Case) {
    // The raster, the source block (reaching past the raster on any side now and then), the
    // destination grid and the picture it is clipped to, each from 1 to beyond 2048.
    TDIBRaster R(RandomSize(Rng, 2100), RandomSize(Rng, 2100));
    for (size_t I = 0; I < R.PixelCount(); ++I) R.Bits[I] = uint32_t(Rng());
    const bool Inside = Rng() % 4 != 0;
    const int SW = Inside ? Between(Rng, 1, R.Width) : RandomSize(Rng, 2 * R.Width);
    const int SH = Inside ? Between(Rng, 1, R.Height) : RandomSize(Rng, 2 * R.Height);
    const int SX = Inside ? Between(Rng, 0, R.Width - SW) : Between(Rng, -SW, R.Width);
    const int SY = Inside ? Between(Rng, 0, R.Height - SH) : Between(Rng, -SH, R.Height);
    // Now and then a width whose eight columns span about 4 to 18 source columns: the edges
    // between the ways a vector path gathers its pixels.
    const int DW = Rng() % 3 == 0 ? std::max(1, int(int64_t(SW) * 7 / Between(Rng, 4, 18))) : RandomSize(Rng, 2100);
    const int DH = RandomSize(Rng, 2100);
    const bool Clipped = Rng() % 2 != 0;
    const int TW = Clipped ? RandomSize(Rng, DW + 8) : DW, TH = Clipped ? RandomSize(Rng, DH + 8) : DH;
    const int DX = Clipped ? Between(Rng, -DW, TW) : 0, DY = Clipped ? Between(Rng, -DH, TH) : 0;
    QImage Plain(TW, TH, QImage::Format_RGB32);
    for (int Y = 0; Y < TH; ++Y)
      for (int X = 0; X < TW; ++X) reinterpret_cast<uint32_t*>(Plain.scanLine(Y))[X] = uint32_t(Rng());
    QImage Fast = Plain.copy();  // the pixels the stretch does not reach must stay
    {
      ForceStretchPath F(gfx::TVectorLevel::None);
      plat::TPaintTarget DC(&Plain);
      R.StretchToDC(&DC, SX, SY, SW, SH, DX, DY, DW, DH, plat::COLORONCOLOR);
    }
    for (gfx::TVectorLevel L : Levels) {
      ForceStretchPath F(L);
      QImage Out = Fast.copy();
      plat::TPaintTarget DC(&Out);
      R.StretchToDC(&DC, SX, SY, SW, SH, DX, DY, DW, DH, plat::COLORONCOLOR);
      ASSERT_TRUE(Out == Plain && std::memcmp(Out.constBits(), Plain.constBits(), size_t(Plain.sizeInBytes())) == 0)
          << "case " << Case << " on " << (L == gfx::TVectorLevel::AVX2 ? "avx2" : L == gfx::TVectorLevel::SSSE3 ? "ssse3" : "sse2") << ": raster "
          << R.Width << "x" << R.Height << ", source " << SX << "," << SY << " " << SW << "x" << SH
          << ", destination " << DX << "," << DY << " " << DW << "x" << DH << " in " << TW << "x" << TH;
    }
    Pixels += int64_t(TW) * TH;
  }
  EXPECT_GT(Pixels, 1000000);
}

TEST(StretchTest, ThroughAPainterItWritesWhereThePainterWouldAndNowhereElse) {
  TDIBRaster R(30, 20);
  Number(R);
  // What a painter shows of the plain stretch: the block drawn through it as a copy.
  QImage Block(70, 50, QImage::Format_RGB32);
  {
    plat::TPaintTarget DC(&Block);
    R.StretchToDC(&DC, 0, 0, 30, 20, 0, 0, 70, 50, plat::COLORONCOLOR);
  }
  const std::function<void(QPainter&)> States[] = {
      [](QPainter& P) { P.translate(-7, 11); },
      [](QPainter& P) { P.translate(9, 4); P.setClipRegion(QRegion(3, 2, 20, 30) + QRegion(40, 10, 100, 5)); },
      [](QPainter& P) { P.scale(2, 1.5); },
      [](QPainter& P) { P.setOpacity(0.5); },
      [](QPainter& P) { P.rotate(10); },
  };
  for (size_t I = 0; I < std::size(States); ++I) {
    QImage Expected(80, 60, QImage::Format_ARGB32_Premultiplied), Img(80, 60, QImage::Format_ARGB32_Premultiplied);
    Expected.fill(0xFF123456);
    Img.fill(0xFF123456);
    {
      QPainter P(&Expected);
      States[I](P);
      P.setCompositionMode(QPainter::CompositionMode_Source);
      P.drawImage(5, 3, Block);
    }
    {
      QPainter P(&Img);
      States[I](P);
      plat::TPaintTarget DC(&P);
      R.StretchToDC(&DC, 0, 0, 30, 20, 5, 3, 70, 50, plat::COLORONCOLOR);
    }
    EXPECT_TRUE(Img == Expected) << "painter state " << I;
  }
}

namespace {
// Records what the platform offers the paint for writing directly.
class TDirectProbe : public TCustomGraphics {
public:
  using TCustomGraphics::TCustomGraphics;
  bool Direct = false;
  plat::TDirectPixels Px;

protected:
  void Paint(plat::TPaintTarget& DC) override {
    Direct = DC.DirectPixels(Px);
    TCustomGraphics::Paint(DC);
  }
};

// Raster pixel (X, Y) of the picture shown in a Client-sized area: the nearest-neighbour rule.
uint32_t Shown(const TDIBRaster& R, QSize Client, int X, int Y) {
  return At(R, int64_t(X) * R.Width / Client.width(), int64_t(Y) * R.Height / Client.height());
}
}  // namespace

TEST(StretchTest, TheWindowsPaintStretchesStraightIntoItsBackingStore) {
  QWidget Top;
  Top.resize(300, 200);
  auto* C = new TDirectProbe(&Top);
  C->setGeometry(17, 9, 251, 163);
  C->SetRasterSize(40, 30);
  Number(*C->Raster());
  Top.show();
  QApplication::processEvents();
  C->repaint();
  QBackingStore* Store = Top.backingStore();
  ASSERT_NE(Store, nullptr);
  ASSERT_EQ(Store->paintDevice()->devType(), QInternal::Image);
  const auto* Back = static_cast<const QImage*>(Store->paintDevice());
  ASSERT_TRUE(C->Direct) << "the platform offers no pixels to write";
  EXPECT_EQ(C->Px.Bits, reinterpret_cast<const uint32_t*>(Back->constBits()));
  EXPECT_EQ(QPoint(C->Px.OffsetX, C->Px.OffsetY), C->pos());
  const QSize Client = C->size();
  const auto ShowsRaster = [&](const TDIBRaster& R, const QRect& Part) {
    for (int Y = Part.top(); Y <= Part.bottom(); ++Y)
      for (int X = Part.left(); X <= Part.right(); ++X)
        if (Back->pixel(C->x() + X, C->y() + Y) != (0xFF000000u | Shown(R, Client, X, Y))) return false;
    return true;
  };
  EXPECT_TRUE(ShowsRaster(*C->Raster(), C->rect()));
  // A partial repaint writes its region only.
  TDIBRaster Before(40, 30);
  C->Raster()->CopyTo(&Before);
  C->Raster()->Clear(0x00ABCDEF);
  const QRect Part(30, 20, 50, 40);
  C->repaint(Part);
  EXPECT_TRUE(ShowsRaster(*C->Raster(), Part));
  EXPECT_TRUE(ShowsRaster(Before, QRect(0, 0, Client.width(), 20)));
  EXPECT_TRUE(ShowsRaster(Before, QRect(80, 20, Client.width() - 80, Client.height() - 20)));
  EXPECT_EQ(Back->pixel(C->x() - 1, C->y() + 5), Back->pixel(0, 0));  // the parent's area stays
}
