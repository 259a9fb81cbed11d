// The raster control: its rasters, double buffering by exchange, the raster-to-client mapping,
// and its paint checked pixel by pixel on the grabbed widget.

#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QPixmap>
#include <QScreen>

#include <climits>
#include <cmath>

#include "graphics/GraphicObjects.h"
#include "tests/support/ProgramFPU.h"
#include "tests/support/XvfbRun.h"

namespace {

void Number(TDIBRaster& R) {
  for (size_t I = 0; I < R.PixelCount(); ++I) R.Bits[I] = uint32_t(I * 2654435761u) & 0x00FFFFFF;
}

// The client area as painted, with the paint running through the widget's own paint event.
QImage Grab(QWidget& W) { return W.grab().toImage().convertToFormat(QImage::Format_RGB32); }

}  // namespace

TEST(CustomGraphicsTest, ANewControlShowsABlack64x64RasterOverItsClientArea) {
  TCustomGraphics C;
  ASSERT_NE(C.Raster(), nullptr);
  EXPECT_EQ(C.Raster()->Width, 64);
  EXPECT_EQ(C.Raster()->Height, 64);
  EXPECT_FALSE(C.DoubleBuffered());
  EXPECT_EQ(C.BackRaster(), nullptr);
  EXPECT_TRUE(C.testAttribute(Qt::WA_OpaquePaintEvent));
  EXPECT_TRUE(C.testAttribute(Qt::WA_NoSystemBackground));
  C.resize(130, 70);
  const QImage Img = Grab(C);
  ASSERT_EQ(Img.size(), QSize(130, 70));
  for (int Y = 0; Y < 70; ++Y)
    for (int X = 0; X < 130; ++X) ASSERT_EQ(Img.pixel(X, Y) & 0xFFFFFF, 0u) << X << "," << Y;
}

TEST(CustomGraphicsTest, PaintStretchesTheWholeRasterOverTheWholeClientArea) {
  TCustomGraphics C;
  C.SetRasterSize(40, 30);
  Number(*C.Raster());
  for (QSize Client : {QSize(320, 200), QSize(33, 17), QSize(40, 30)}) {
    C.resize(Client);
    C.show();
    QApplication::processEvents();
    const QImage Img = Grab(C);
    ASSERT_EQ(Img.size(), Client);
    for (int Y = 0; Y < Client.height(); ++Y)
      for (int X = 0; X < Client.width(); ++X) {
        const int Sx = X * 40 / Client.width(), Sy = Y * 30 / Client.height();
        ASSERT_EQ(Img.pixel(X, Y) & 0xFFFFFF, C.Raster()->Bits[Sy * 40 + Sx])
            << X << "," << Y << " in " << Client.width() << "x" << Client.height();
      }
  }
}

namespace {
// Inside a program whose screen Qt scales (QT_SCALE_FACTOR): two controls, one at whole device
// pixels and one between them at 1.5, must each show the whole raster stretched over the device
// pixels of their client area, nearest-neighbour, and touch no pixel beyond it.
void ExpectDevicePixelStretch(double Ratio) {
  testsupport::ProgramFPU Fpu;
  ASSERT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), Ratio);
  QWidget Top;
  Top.setAutoFillBackground(true);
  Top.setPalette(QPalette(QColor(0x12, 0x34, 0x56)));
  Top.resize(300, 200);
  const QRect Places[] = {QRect(20, 10, 201, 121), QRect(233, 141, 47, 37)};
  std::vector<TCustomGraphics*> Controls;
  for (const QRect& G : Places) {
    auto* C = new TCustomGraphics(&Top);
    C->setGeometry(G);
    C->SetRasterSize(40, 30);
    Number(*C->Raster());
    Controls.push_back(C);
  }
  Top.show();
  QApplication::processEvents();
  Top.repaint();
  const auto* Back = static_cast<const QImage*>(Top.backingStore()->paintDevice());
  ASSERT_EQ(Back->devicePixelRatio(), Ratio);
  const auto Edge = [Ratio](int V) { return int(std::floor(V * Ratio + 0.5)); };
  for (size_t I = 0; I < Controls.size(); ++I) {
    const QRect G = Places[I];
    const int L = Edge(G.left()), T = Edge(G.top()), W = Edge(G.left() + G.width()) - L,
              H = Edge(G.top() + G.height()) - T;
    const TDIBRaster& R = *Controls[I]->Raster();
    for (int Y = 0; Y < H; ++Y)
      for (int X = 0; X < W; ++X)
        ASSERT_EQ(Back->pixel(L + X, T + Y) & 0xFFFFFF, R.Bits[(Y * R.Height / H) * R.Width + X * R.Width / W])
            << "control " << I << " at device pixel " << X << "," << Y << " of " << W << "x" << H;
    EXPECT_EQ(Back->pixel(L + W, T) & 0xFFFFFF, 0x123456u) << "control " << I;
    EXPECT_EQ(Back->pixel(L, T + H) & 0xFFFFFF, 0x123456u) << "control " << I;
  }
}
}  // namespace

TEST(CustomGraphicsTest, OnAScaledScreenTheWholeRasterCoversTheClientAreasDevicePixels) {
  if (const double Ratio = testsupport::ScaleOfThisRun()) return ExpectDevicePixelStretch(Ratio);
  for (const char* Ratio : {"2", "1.5"}) testsupport::RunThisTestAtScale(Ratio);
}

TEST(CustomGraphicsTest, SetRasterSizeRoundsUpAndRasterToClientReachesTheEdge) {
  TCustomGraphics C;
  C.resize(1024, 768);
  C.SetRasterSize(801, 599);
  EXPECT_EQ(C.Raster()->Width, 802);
  EXPECT_EQ(C.Raster()->Height, 600);
  EXPECT_EQ(C.RasterToClientX(802), C.ClientWidth());
  EXPECT_EQ(C.RasterToClientY(600), C.ClientHeight());
  C.SetRasterSize(640, 480);
  EXPECT_EQ(C.RasterToClientX(100), 160);
  EXPECT_EQ(C.RasterToClientX(1), 1);
  EXPECT_EQ(C.RasterToClientY(-10), -16);  // truncation toward zero
  C.resize(320, 240);
  EXPECT_EQ(C.RasterToClientX(1), 0);
  EXPECT_THROW(C.RasterToClientX(INT_MAX), EIntOverflow);
  C.SetRasterSize(0, 0);
  EXPECT_THROW(C.RasterToClientX(1), EDivByZero);
  EXPECT_THROW(C.RasterToClientY(1), EDivByZero);
}

TEST(CustomGraphicsTest, DoubleBufferingExchangesTheRastersNeverCopies) {
  TCustomGraphics C;
  TDIBRaster* Front = C.Raster();
  C.SwapBuffers();  // not double buffered: nothing
  EXPECT_EQ(C.Raster(), Front);
  EXPECT_EQ(C.BackRaster(), nullptr);

  C.SetRasterSize(20, 10);
  C.SetDoubleBuffered(true);
  ASSERT_NE(C.BackRaster(), nullptr);
  EXPECT_EQ(C.BackRaster()->Width, 20);
  EXPECT_EQ(C.BackRaster()->Height, 10);
  C.Raster()->Clear(0x111111);
  C.BackRaster()->Clear(0x222222);
  TDIBRaster* A = C.Raster();
  TDIBRaster* B = C.BackRaster();
  C.SwapBuffers();
  EXPECT_EQ(C.Raster(), B);
  EXPECT_EQ(C.BackRaster(), A);
  EXPECT_EQ(C.BackRaster()->Bits[0], 0x111111u);  // the last frame stays in the back raster

  // Switching again, even to the same value, replaces and clears the rasters.
  C.SetDoubleBuffered(true);
  EXPECT_EQ(C.Raster()->Bits[0], 0u);
  C.SetDoubleBuffered(false);
  EXPECT_EQ(C.BackRaster(), nullptr);
  EXPECT_EQ(C.Raster()->Width, 20);
  TDIBRaster* Single = C.Raster();
  C.SwapBuffers();
  EXPECT_EQ(C.Raster(), Single);
}

TEST(CustomGraphicsTest, ResizingTheRasterKeepsTheBackRasterInStep) {
  TCustomGraphics C;
  C.SetDoubleBuffered(true);
  C.SetRasterSize(33, 21);
  ASSERT_NE(C.BackRaster(), nullptr);
  EXPECT_EQ(C.BackRaster()->Width, C.Raster()->Width);
  EXPECT_EQ(C.BackRaster()->Height, C.Raster()->Height);
}

namespace {
class TResizeCounter : public TCustomGraphics {
public:
  int Calls = 0;
  QSize Seen;

protected:
  void Resize() override {
    ++Calls;
    Seen = QSize(ClientWidth(), ClientHeight());
  }
};
}  // namespace

TEST(CustomGraphicsTest, ResizingTellsTheControlWithItsNewClientSize) {
  TResizeCounter C;
  C.resize(100, 50);
  C.show();
  QApplication::processEvents();
  const int Before = C.Calls;
  C.resize(321, 123);
  QApplication::processEvents();
  EXPECT_GT(C.Calls, Before);
  EXPECT_EQ(C.Seen, QSize(321, 123));
}

TEST(CustomGraphicsTest, AlignmentMapsToTheTextFlags) {
  EXPECT_EQ(AlignmentToDrawTextFlags(haLeft), 0u);
  EXPECT_EQ(AlignmentToDrawTextFlags(haCenter), 1u);
  EXPECT_EQ(AlignmentToDrawTextFlags(haRight), 2u);
  EXPECT_EQ(AlignmentToDrawTextFlags(static_cast<THorizontalAlignment>(7)), 0u);
}
