// The raster control: its rasters, double buffering by exchange, the raster-to-client mapping,
// and its paint checked pixel by pixel on the grabbed widget.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPixmap>

#include <climits>

#include "graphics/GraphicObjects.h"

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
