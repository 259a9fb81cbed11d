// The persistent figures: registration, the shape's raster and drawing, copies, and what a
// stored figure list brings back.

#include <gtest/gtest.h>

#include "graphics/GraphicObjects.h"
#include "persistence/PropertyBags.h"

namespace {

class FiguresTest : public ::testing::Test {
protected:
  void SetUp() override { RegisterGraphicObjectsClasses(); }
};

void Number(TDIBRaster& R) {
  for (size_t I = 0; I < R.PixelCount(); ++I) R.Bits[I] = 0x00100000u + uint32_t(I);
}

}  // namespace

TEST_F(FiguresTest, TheThreeClassesAreRegisteredUnderTheirNames) {
  for (const char* Name : {"TFigure", "TFigureList", "TDIBShape"}) {
    TReflectiveClassRef C = GetReflectiveClass(Name);
    ASSERT_NE(C, nullptr) << Name;
    EXPECT_EQ(C->ClassName(), Name);
    EXPECT_EQ(C->Create()->ClassName(), Name);
  }
  EXPECT_TRUE(GetReflectiveClass("TDIBShape")->InheritsFrom(TFigure::StaticClass()));
  EXPECT_TRUE(GetReflectiveClass("TFigureList")->InheritsFrom(TReflectiveObjectList::StaticClass()));
  EXPECT_EQ(TFigure().PropertyCount(), 0);
  EXPECT_EQ(TDIBShape().PropertyCount(), 0);
}

TEST_F(FiguresTest, APlainFigureCannotDraw) {
  TFigure F;
  TDIBRaster Target(8, 8);
  EXPECT_THROW(F.DrawTo(&Target), EAbstractError);
  F.SetSize(Point(3, 4));
  F.SetPosition(Point(-1, 2));
  EXPECT_EQ(F.GetSize(), Point(3, 4));
  EXPECT_EQ(F.Position, Point(-1, 2));
}

TEST_F(FiguresTest, AShapeKeepsItsSizeWhileItsRasterIsRoundedUp) {
  TDIBShape S;
  EXPECT_EQ(S.Raster(), nullptr);
  S.SetSize(Point(5, 3));
  EXPECT_EQ(S.GetSize(), Point(5, 3));
  ASSERT_NE(S.Raster(), nullptr);
  EXPECT_EQ(S.Raster()->Width, 6);
  EXPECT_EQ(S.Raster()->Height, 4);
  Number(*S.Raster());
  S.SetPosition(Point(-2, -2));
  TDIBRaster Target(640, 480);
  S.DrawTo(&Target);
  for (int Y = 0; Y < 4; ++Y)
    for (int X = 0; X < 6; ++X) {
      const bool In = X < 4 && Y < 2;
      EXPECT_EQ(Target.Bits[Y * 640 + X], In ? S.Raster()->Bits[(Y + 2) * 6 + X + 2] : 0u) << X << "," << Y;
    }
  // A new size makes a new, black raster.
  S.SetSize(Point(5, 3));
  EXPECT_EQ(S.Raster()->Bits[0], 0u);
}

TEST_F(FiguresTest, AShapeWithoutASizeDrawsAndCopiesNothing) {
  TDIBShape Empty;
  TDIBRaster Target(8, 8);
  Target.Clear(0x123456);
  Empty.DrawTo(&Target);
  for (size_t I = 0; I < Target.PixelCount(); ++I) EXPECT_EQ(Target.Bits[I], 0x123456u);
  TDIBShape Dest;
  Dest.SetSize(Point(4, 4));
  Dest.Raster()->Clear(7);
  Dest.Assign(Empty);
  EXPECT_EQ(Dest.GetSize(), Point(0, 0));
  ASSERT_NE(Dest.Raster(), nullptr);
  EXPECT_EQ(Dest.Raster()->Bits, nullptr);
  Dest.DrawTo(&Target);
  EXPECT_EQ(Target.Bits[0], 0x123456u);
}

TEST_F(FiguresTest, AssignAndCloneCopySizePositionAndPixels) {
  TDIBShape S;
  S.SetSize(Point(7, 5));
  S.SetPosition(Point(10, 20));
  Number(*S.Raster());
  std::unique_ptr<TDIBShape> C = CloneOf(S);
  EXPECT_EQ(C->GetSize(), Point(7, 5));
  EXPECT_EQ(C->Position, Point(10, 20));
  ASSERT_NE(C->Raster(), nullptr);
  ASSERT_NE(C->Raster(), S.Raster());
  EXPECT_EQ(std::memcmp(C->Raster()->Bits, S.Raster()->Bits, S.Raster()->PixelCount() * 4), 0);

  TFigure F, G;
  F.SetSize(Point(1, 2));
  F.SetPosition(Point(3, 4));
  G.Assign(F);
  EXPECT_EQ(G.GetSize(), Point(1, 2));
  EXPECT_EQ(G.Position, Point(3, 4));
  EXPECT_THROW(S.Assign(F), EConvertError);  // only between figures of one class
}

TEST_F(FiguresTest, AStoredListComesBackWithItsItemsButNoFigureData) {
  TFigureList List;
  auto Shape = std::make_unique<TDIBShape>();
  Shape->SetSize(Point(5, 3));
  Shape->SetPosition(Point(7, 8));
  Number(*Shape->Raster());
  List.Add(std::move(Shape));
  auto Plain = std::make_unique<TFigure>();
  Plain->SetSize(Point(9, 9));
  List.Add(std::move(Plain));

  TMemoryStream Stream;
  TStreamPropertyBag(Stream).WriteObject(&List);
  Stream.SetPosition(0);
  std::unique_ptr<TReflectivePersistent> Read;
  ASSERT_TRUE(TStreamPropertyBag(Stream).ReadObject(Read));
  ASSERT_NE(Read, nullptr);
  ASSERT_EQ(Read->ClassName(), "TFigureList");
  auto* Back = static_cast<TFigureList*>(Read.get());
  ASSERT_EQ(Back->Count(), 2);
  ASSERT_EQ(Back->Items(0)->ClassName(), "TDIBShape");
  ASSERT_EQ(Back->Items(1)->ClassName(), "TFigure");
  auto* S = static_cast<TDIBShape*>(Back->Items(0));
  EXPECT_EQ(S->GetSize(), Point(0, 0));
  EXPECT_EQ(S->Position, Point(0, 0));
  EXPECT_EQ(S->Raster(), nullptr);
  EXPECT_EQ(static_cast<TFigure*>(Back->Items(1))->GetSize(), Point(0, 0));
}
