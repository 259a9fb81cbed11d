// The text sequences: defaults, the font's stored values, copies; the scrolling text's band,
// travel and offset at chosen clock values, both styles, opaque and transparent, cut off at the
// top; the flying text's flight area, placement, alignment, size effect and fade. Where the
// text lands is compared by the box of its ink against the same text laid out at the expected
// place (glyph shapes differ between fonts, places do not), within a pixel.

#include <algorithm>
#include <functional>

#include "persistence/PropertyBags.h"
#include "platform/Registry.h"
#include "tests/player/PlayerTestSupport.h"

using namespace playertest;

namespace {

constexpr TColor PageColor = 0x000000;
const uint32_t PagePixel = SwapRB(PageColor);

// The smallest rectangle (inclusive) of pixels that differ from Background; Right < Left when
// there are none.
struct TInk {
  TRect Box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  int Pixels = 0;
  uint32_t Brightest = 0;  // highest colour channel value among them
  bool Empty() const { return Pixels == 0; }
};

TInk InkOf(const TDIBRaster& R, uint32_t Background, const TRect& Within = {0, 0, INT32_MAX, INT32_MAX}) {
  TInk I;
  for (int Y = std::max(0, Within.Top); Y < R.Height && Y <= Within.Bottom; ++Y)
    for (int X = std::max(0, Within.Left); X < R.Width && X <= Within.Right; ++X) {
      const uint32_t P = Rgb(R.Bits[size_t(Y) * size_t(R.Width) + size_t(X)]);
      if (P == Background) continue;
      ++I.Pixels;
      I.Box.Left = std::min(I.Box.Left, X);
      I.Box.Top = std::min(I.Box.Top, Y);
      I.Box.Right = std::max(I.Box.Right, X);
      I.Box.Bottom = std::max(I.Box.Bottom, Y);
      I.Brightest = std::max({I.Brightest, P & 0xFF, (P >> 8) & 0xFF, (P >> 16) & 0xFF});
    }
  return I;
}

// The ink of Text laid out into R with Flags on a page of W x H, in Font at Height (0: its own).
TInk ReferenceInk(const TFont& Font, TColor Color, const std::string& Text, TRect R, uint32_t Flags,
                  int W, int H, int Height = 0) {
  TDIBRaster Ref(W, H);
  Ref.Clear(PagePixel);
  Ref.Canvas->Font = Font;
  Ref.Canvas->Font.Color = Color;
  if (Height != 0) Ref.Canvas->Font.Height = Height;
  Ref.Canvas->Brush.Style = TBrushStyle::bsClear;
  plat::DrawText(Ref.Canvas->Handle(), Text, -1, R, Flags);
  return InkOf(Ref, PagePixel);
}

void ExpectNear(const TRect& A, const TRect& B, const std::string& What) {
  EXPECT_LE(std::abs(A.Left - B.Left), 1) << What;
  EXPECT_LE(std::abs(A.Top - B.Top), 1) << What;
  EXPECT_LE(std::abs(A.Right - B.Right), 1) << What;
  EXPECT_LE(std::abs(A.Bottom - B.Bottom), 1) << What;
}

constexpr uint32_t HorizontalFlags = plat::DT_NOPREFIX | plat::DT_NOCLIP;
constexpr uint32_t VerticalFlags = HorizontalFlags | plat::DT_CENTER;

class Texts : public PlayerTest {
protected:
  // A black page for 100 ms, then the text sequence S set up by Setup; the control is stepped
  // to its start, so At(E) shows its frame at elapsed time E.
  template <class T>
  T* Play(const std::function<void(T&)>& Setup) {
    Project = MakeProject({EmptyPage(PageColor, 100), [Setup](TScreenSaverProject& P, const demosaver::TDemoMedia&) {
                             auto S = std::make_unique<T>();
                             S->Font().SetSize(20);
                             S->Text = "HHHH";
                             Setup(*S);
                             P.Sequences()->Add(std::move(S));
                           }});
    Control = std::make_unique<TAnimationControl>();
    Control->SetProject(Project.get());
    Control->Start();
    StepAt(*Control, Now);
    StepAt(*Control, Now + 100);
    T0 = Now;
    return dynamic_cast<T*>(Control->CurrentSequence());
  }
  void At(int32_t E) { StepAt(*Control, T0 + uint32_t(E)); }
  TInk Ink(const TRect& Within = {0, 0, INT32_MAX, INT32_MAX}) const {
    return InkOf(*Control->Raster(), PagePixel, Within);
  }
  int W() const { return Control->Raster()->Width; }
  int H() const { return Control->Raster()->Height; }

  std::unique_ptr<TScreenSaverProject> Project;
  std::unique_ptr<TAnimationControl> Control;
  uint32_t T0 = 0;
};

std::unique_ptr<TReflectivePersistent> RoundTrip(TReflectivePersistent& Obj) {
  TMemoryStream Stream;
  TStreamPropertyBag(Stream).WriteObject(&Obj);
  Stream.SetPosition(0);
  std::unique_ptr<TReflectivePersistent> Back;
  EXPECT_TRUE(TStreamPropertyBag(Stream).ReadObject(Back));
  return Back;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Defaults, records, copies

TEST_F(Texts, DefaultsOfTheThreeKinds) {
  TTextSequence T;
  EXPECT_EQ(T.Text, "Geben Sie einen Text ein...");
  EXPECT_EQ(T.Color, 0xFFFFFFu);
  EXPECT_EQ(T.Transparency, 0);
  EXPECT_EQ(T.Font().Name, "Arial");
  EXPECT_EQ(T.Font().Size(), 8);
  EXPECT_EQ(T.Font().Style, 0);
  EXPECT_EQ(T.Name, "Neue Sequenz");
  EXPECT_EQ(T.Duration, 8000);

  TScrollTextSequence S;
  EXPECT_EQ(S.Position, 0);
  EXPECT_EQ(S.Style, stsCharByCharHorizontal);

  TFlyingTextSequence F;
  EXPECT_EQ(F.Alignment, haLeft);
  EXPECT_TRUE(F.UseCurve);
  EXPECT_FALSE(F.FadeIn);
  EXPECT_EQ(F.ScaleFXPercent, 100);
  EXPECT_EQ(F.ScaleFXMode, ftsmNormal);
  EXPECT_EQ(F.ScaleFXRepeat, 0);
  EXPECT_EQ(std::vector<int32_t>({F.StartX(), F.StartY(), F.EndX(), F.EndY()}),
            std::vector<int32_t>({0, 0, 64, 64}));
  EXPECT_EQ(F.FlightPath()->Degree(), 3);

  for (const char* N : {"TTextSequence", "TScrollTextSequence", "TFlyingTextSequence"}) {
    ASSERT_TRUE(GetReflectiveClass(N)) << N;
    EXPECT_EQ(GetReflectiveClass(N)->Create()->ClassName(), N);
    EXPECT_TRUE(GetReflectiveClass(N)->InheritsFrom(TTextSequence::StaticClass()));
  }
}

TEST_F(Texts, TheFontTravelsAsNameSizeAndStyleByte) {
  TScrollTextSequence S;
  S.Text = "Zeile eins\r\nZeile zwei mit Ümlaut";
  S.Color = 0x00FF00;
  S.Transparency = 30;
  S.Position = -12;
  S.Style = stsLineByLineVertical;
  S.Font().Name = "Courier New";
  S.Font().SetSize(12);
  S.Font().Style = FontStyleBit(fsBold) | FontStyleBit(fsUnderline);
  S.Font().Color = 0x123456;  // not stored: the sequence's colour draws

  const std::string Key = "Software\\Test\\Scroll";
  S.SaveToRegistry(Key, HKEY_CURRENT_USER);
  TRegistry Reg;
  ASSERT_TRUE(Reg.OpenKeyReadOnly(Key + "\\InnerProperties"));
  EXPECT_EQ(Reg.ReadString("FontName"), "Courier New");
  int32_t Size = 0;
  EXPECT_EQ(Reg.ReadBinaryData("FontSize", &Size, 4), 4);
  EXPECT_EQ(Size, 12);
  uint8_t Styles[4] = {};
  EXPECT_EQ(Reg.ReadBinaryData("FontStyles", Styles, 4), 1);
  EXPECT_EQ(Styles[0], 0x05);
  Reg.CloseKey();

  const std::unique_ptr<TReflectivePersistent> Back = RoundTrip(S);
  auto* B = dynamic_cast<TScrollTextSequence*>(Back.get());
  ASSERT_TRUE(B);
  EXPECT_EQ(B->Text, S.Text);
  EXPECT_EQ(B->Color, 0x00FF00u);
  EXPECT_EQ(B->Transparency, 30);
  EXPECT_EQ(B->Position, -12);
  EXPECT_EQ(B->Style, stsLineByLineVertical);
  EXPECT_EQ(B->Font().Name, "Courier New");
  EXPECT_EQ(B->Font().Size(), 12);
  EXPECT_EQ(B->Font().Height, S.Font().Height);
  EXPECT_EQ(B->Font().Style, S.Font().Style);
  EXPECT_EQ(B->Font().Color, TFont().Color);

  // A copy takes the whole font, colour included.
  std::unique_ptr<TScrollTextSequence> C = CloneOf(S);
  EXPECT_EQ(C->Font().Name, "Courier New");
  EXPECT_EQ(C->Font().Height, S.Font().Height);
  EXPECT_EQ(C->Font().Color, 0x123456u);
}

TEST_F(Texts, AFlyingTextKeepsItsPathThroughRecordsAndCopies) {
  TFlyingTextSequence F;
  F.Alignment = haRight;
  F.FadeIn = true;
  F.UseCurve = false;
  F.ScaleFXPercent = 250;
  F.ScaleFXMode = ftsmPingPong;
  F.ScaleFXRepeat = 3;
  TBSpline Path;
  for (TPoint P : {Point(0, 0), Point(900, 10), Point(-40, 700), Point(1280, 960)}) Path.AddPoint(P);
  Path.SetDegree(4);
  F.SetFlightPath(&Path);
  const std::unique_ptr<TReflectivePersistent> Back = RoundTrip(F);
  auto* B = dynamic_cast<TFlyingTextSequence*>(Back.get());
  ASSERT_TRUE(B);
  EXPECT_EQ(B->Alignment, haRight);
  EXPECT_TRUE(B->FadeIn);
  EXPECT_FALSE(B->UseCurve);
  EXPECT_EQ(B->ScaleFXPercent, 250);
  EXPECT_EQ(B->ScaleFXMode, ftsmPingPong);
  EXPECT_EQ(B->ScaleFXRepeat, 3);
  ASSERT_EQ(B->FlightPath()->Count(), 4);
  EXPECT_EQ(B->FlightPath()->Degree(), 4);
  EXPECT_EQ(B->FlightPath()->Points(2), Point(-40, 700));
  EXPECT_EQ(std::vector<int32_t>({B->StartX(), B->StartY(), B->EndX(), B->EndY()}),
            std::vector<int32_t>({0, 0, 1280, 960}));
  std::unique_ptr<TFlyingTextSequence> C = CloneOf(F);
  EXPECT_NE(C->FlightPath(), F.FlightPath());
  EXPECT_EQ(C->FlightPath()->Points(1), Point(900, 10));

  // Without points the end views read 0 and move nothing.
  F.FlightPath()->Clear();
  F.SetEndX(5);
  EXPECT_EQ(F.EndX(), 0);
  EXPECT_EQ(F.FlightPath()->Count(), 0);
}

// ---------------------------------------------------------------------------------------------
// Scrolling text

TEST_F(Texts, AHorizontalScrollDrawsTwoLinesAsOne) {
  auto* S = Play<TScrollTextSequence>([](TScrollTextSequence& T) {
    T.Text = "HHHH\r\nHH";
    T.Position = 100;
  });
  ASSERT_TRUE(S);
  const TPoint One = MeasureText(S->Font(), "HHHH HH", 0, 0);
  EXPECT_EQ(S->Travel(), One.X + W());
  EXPECT_EQ(S->TextRect(), Rect(0, 100, W() - 1, 100 + One.Y - 1)) << "the band is one line high";

  At(4000);
  const int32_t Off = 4000 * S->Travel() / 8000;
  const TInk I = Ink();
  ASSERT_FALSE(I.Empty());
  ExpectNear(I.Box,
             ReferenceInk(S->Font(), S->Color, "HHHH HH", Rect(W() - Off, 100, W() - 1, 100 + One.Y - 1),
                          HorizontalFlags, W(), H()).Box,
             "one line at the offset");
  EXPECT_GE(I.Box.Top, 100);
  EXPECT_LT(I.Box.Bottom, 100 + One.Y);
}

TEST_F(Texts, TheScrollEntersAtTheRightAndHasLeftAtTheEnd) {
  auto* S = Play<TScrollTextSequence>([](TScrollTextSequence& T) { T.Position = 200; });
  ASSERT_TRUE(S);
  At(0);
  EXPECT_TRUE(Ink().Empty()) << "just beyond the right edge";
  At(2000);
  const TInk Early = Ink();
  At(6000);
  const TInk Late = Ink();
  ASSERT_FALSE(Early.Empty());
  ASSERT_FALSE(Late.Empty());
  const int32_t Move = (6000 * S->Travel() / 8000) - (2000 * S->Travel() / 8000);
  EXPECT_NEAR(Early.Box.Left - Late.Box.Left, Move, 1) << "the previous frame's text is erased";
  EXPECT_EQ(Early.Pixels, Late.Pixels);
  At(8000);
  EXPECT_TRUE(Ink().Empty()) << "just past the left edge";
}

TEST_F(Texts, AScrollOfNoDurationHasAlreadyPassed) {
  auto* S = Play<TScrollTextSequence>([](TScrollTextSequence& T) { T.Duration = 0; });
  ASSERT_TRUE(S);
  ASSERT_NO_THROW(At(0));
  EXPECT_TRUE(Ink().Empty());
}

TEST_F(Texts, AVerticalScrollCentresItsLinesAndRisesFromTheBottom) {
  auto* S = Play<TScrollTextSequence>([](TScrollTextSequence& T) {
    T.Text = "HHHHHH\r\nH";
    T.Style = stsLineByLineVertical;
    T.Position = 250;
  });
  ASSERT_TRUE(S);
  const TPoint Size = MeasureText(S->Font(), "HHHHHH\r\nH", 0, 0);
  EXPECT_EQ(S->Travel(), Size.Y + H());
  EXPECT_EQ(S->TextRect(), Rect(250, 0, 250 + Size.X - 1, H() - 1));
  At(4000);
  const int32_t Off = 4000 * S->Travel() / 8000;
  const TInk I = Ink();
  ASSERT_FALSE(I.Empty());
  ExpectNear(I.Box,
             ReferenceInk(S->Font(), S->Color, S->Text, Rect(250, H() - Off, 250 + Size.X - 1, H() - 1),
                          VerticalFlags, W(), H()).Box,
             "two lines at the offset");
  // The short line's ink sits in the middle of the long one's.
  const int LineH = Size.Y / 2;
  const TInk Long = Ink(Rect(0, H() - Off, W(), H() - Off + LineH - 1));
  const TInk Short = Ink(Rect(0, H() - Off + LineH, W(), H() - Off + 2 * LineH - 1));
  ASSERT_FALSE(Long.Empty());
  ASSERT_FALSE(Short.Empty());
  EXPECT_NEAR(Long.Box.Left + Long.Box.Right, Short.Box.Left + Short.Box.Right, 2);
}

TEST_F(Texts, ATransparentScrollMixesItsBandAtItsPlace) {
  auto* Opaque = Play<TScrollTextSequence>([](TScrollTextSequence& T) { T.Position = 300; });
  ASSERT_TRUE(Opaque);
  EXPECT_EQ(Opaque->TextRaster(), nullptr);
  At(3000);
  const TInk Solid = Ink();

  auto* S = Play<TScrollTextSequence>([](TScrollTextSequence& T) {
    T.Position = 300;
    T.Transparency = 50;
  });
  ASSERT_TRUE(S && S->TextRaster() && S->Work() && S->Alpha());
  EXPECT_EQ(S->TextRaster()->Width, W());
  At(3000);
  EXPECT_EQ(S->Alpha()->Data[0], 128);
  const TInk Mixed = Ink();
  ASSERT_FALSE(Mixed.Empty());
  ExpectNear(Mixed.Box, Solid.Box, "the same place as opaque");
  EXPECT_EQ(Solid.Brightest, 255u);
  EXPECT_LE(Mixed.Brightest, 128u) << "white at alpha 128 over black";
  EXPECT_GE(Mixed.Brightest, 120u);
}

TEST_F(Texts, ABandCutOffAtTheTopShiftsTheTextUpInsideIt) {
  auto* Opaque = Play<TScrollTextSequence>([](TScrollTextSequence& T) { T.Position = -10; });
  ASSERT_TRUE(Opaque);
  At(4000);
  const TInk Solid = Ink();

  auto* S = Play<TScrollTextSequence>([](TScrollTextSequence& T) {
    T.Position = -10;
    T.Transparency = 25;
  });
  ASSERT_TRUE(S && S->TextRaster());
  const TPoint One = MeasureText(S->Font(), S->Text, 0, 0);
  EXPECT_EQ(S->TextRect(), Rect(0, 0, W() - 1, One.Y - 1 - 10));
  At(4000);
  const TInk Mixed = Ink();
  ASSERT_FALSE(Mixed.Empty());
  ExpectNear(Mixed.Box, Solid.Box, "cut off where the opaque text is");
  EXPECT_EQ(Mixed.Box.Top, 0);
}

TEST_F(Texts, TransparencyOutsideItsRangeIsTakenAsTheNearerBound) {
  auto* Neg = Play<TScrollTextSequence>([](TScrollTextSequence& T) { T.Transparency = -5; });
  ASSERT_TRUE(Neg);
  EXPECT_EQ(Neg->TextRaster(), nullptr);
  At(4000);
  EXPECT_EQ(Ink().Brightest, 255u);
  auto* Over = Play<TScrollTextSequence>([](TScrollTextSequence& T) { T.Transparency = 300; });
  ASSERT_TRUE(Over && Over->Alpha());
  At(4000);
  EXPECT_TRUE(Ink().Empty()) << "wholly transparent";
}

TEST_F(Texts, ALongTextOverMinutesScrollsWithoutOverflow) {
  auto* S = Play<TScrollTextSequence>([](TScrollTextSequence& T) {
    T.Text = std::string(400, 'H');
    T.Duration = 20 * 60 * 1000;
  });
  ASSERT_TRUE(S);
  ASSERT_GT(int64_t(S->Travel()) * S->Duration, int64_t(INT32_MAX));
  // Near the end, when the text's tail is about to leave at the left.
  const int32_t E = int32_t(int64_t(S->Travel() - 301) * S->Duration / S->Travel()) + 1;
  const int32_t Off = int32_t(int64_t(E) * S->Travel() / S->Duration);
  ASSERT_NO_THROW(At(E));
  const TInk I = Ink();
  ASSERT_FALSE(I.Empty());
  EXPECT_EQ(I.Box.Left, 0);
  EXPECT_NEAR(I.Box.Right, S->Travel() - 1 - Off, 3) << "the text's end, W - Off + its width";
}

// ---------------------------------------------------------------------------------------------
// Flying text

TEST_F(Texts, TheSizeEffectOverTime) {
  TFlyingTextSequence F;
  F.ScaleFXPercent = 200;
  F.ScaleFXMode = ftsmPingPong;
  EXPECT_EQ(F.ScalePercentAt(0, 8000), 100);
  EXPECT_EQ(F.ScalePercentAt(4000, 8000), 199);
  EXPECT_EQ(F.ScalePercentAt(4001, 8000), 200);
  EXPECT_EQ(F.ScalePercentAt(8000, 8000), 100);

  // A saw-tooth from 100 towards the percent, twice.
  F.ScaleFXMode = ftsmNormal;
  F.ScaleFXPercent = 300;
  F.ScaleFXRepeat = 1;
  EXPECT_EQ(F.ScalePercentAt(0, 8000), 100);
  EXPECT_EQ(F.ScalePercentAt(2000, 8000), 199);
  EXPECT_EQ(F.ScalePercentAt(4000, 8000), 299);
  EXPECT_EQ(F.ScalePercentAt(4001, 8000), 100);
  EXPECT_EQ(F.ScalePercentAt(8000, 8000), 299);

  // A percent of 100 never changes the size.
  F.ScaleFXPercent = 100;
  for (int32_t E : {0, 1234, 8000}) EXPECT_EQ(F.ScalePercentAt(E, 8000), 100);

  // Values no guard stopped: a negative repeat counts as none, a duration of 0 or below has
  // no period, and extreme percents stay between 100 and themselves.
  F.ScaleFXPercent = 200;
  F.ScaleFXRepeat = -1;
  EXPECT_EQ(F.ScalePercentAt(4000, 8000), 149);
  F.ScaleFXMode = ftsmPingPong;
  F.ScaleFXRepeat = INT32_MIN;
  EXPECT_EQ(F.ScalePercentAt(4001, 8000), 200);
  EXPECT_EQ(F.ScalePercentAt(0, 0), 100);
  EXPECT_EQ(F.ScalePercentAt(-1, -1), 100);
  F.ScaleFXRepeat = INT32_MAX;
  EXPECT_NO_THROW(F.ScalePercentAt(8000, 8000));
  F.ScaleFXPercent = INT32_MAX;
  F.ScaleFXRepeat = 0;
  const int32_t P = F.ScalePercentAt(4000, 8000);
  EXPECT_GT(P, 100);
  F.ScaleFXMode = static_cast<TTextScaleFXMode>(7);
  EXPECT_EQ(F.ScalePercentAt(4000, 8000), 100);

  F.Font().Height = -27;
  EXPECT_EQ(F.ScaledFontHeight(200), -54);
  EXPECT_EQ(F.ScaledFontHeight(50), -13) << "truncated toward zero";
}

TEST_F(Texts, TheFlightAreaWidensTheScreenByTheTextOnEverySide) {
  auto* S = Play<TFlyingTextSequence>([](TFlyingTextSequence& T) { T.Text = "HHHH\r\nHH"; });
  ASSERT_TRUE(S);
  const TPoint E = MeasureText(S->Font(), S->Text, 0, 0);
  EXPECT_EQ(S->TextSize(), E);
  EXPECT_EQ(S->PathOffset(), E) << "an area of 2 * E + the resolution, the screen in its middle";
  EXPECT_EQ(S->TextRaster(), nullptr) << "opaque: no buffers";

  // Measured at the largest size the effect reaches.
  auto* Big = Play<TFlyingTextSequence>([](TFlyingTextSequence& T) { T.ScaleFXPercent = 200; });
  ASSERT_TRUE(Big);
  EXPECT_EQ(Big->TextSize(), MeasureText(Big->Font(), Big->Text, 0, Big->ScaledFontHeight(200)));
  // A shrinking text keeps its normal box.
  auto* Small = Play<TFlyingTextSequence>([](TFlyingTextSequence& T) { T.ScaleFXPercent = 50; });
  ASSERT_TRUE(Small);
  EXPECT_EQ(Small->TextSize(), MeasureText(Small->Font(), Small->Text, 0, 0));

  // A text wider than twice the screen is clamped, and so is its area.
  auto* Huge = Play<TFlyingTextSequence>([](TFlyingTextSequence& T) {
    T.Text = std::string(300, 'H');
    T.Font().SetSize(72);
  });
  ASSERT_TRUE(Huge);
  EXPECT_EQ(Huge->TextSize().X, 2 * 640);
  EXPECT_EQ(Huge->PathOffset().X, 320);
}

TEST_F(Texts, AFlyingTextStandsWherePathAndAreaPutIt) {
  auto* S = Play<TFlyingTextSequence>([](TFlyingTextSequence& T) {
    T.Text = "HHHH\r\nHH";
    TBSpline Still;
    Still.AddPoint(Point(400, 300));
    T.SetFlightPath(&Still);
  });
  ASSERT_TRUE(S);
  At(1000);
  const TPoint Pos = PointSub(Point(400, 300), S->PathOffset());
  EXPECT_EQ(S->LastPos(), Pos);
  const TRect Box = Rect(Pos, PointAdd(Pos, S->TextSize()));
  const TInk I = Ink();
  ASSERT_FALSE(I.Empty());
  ExpectNear(I.Box, ReferenceInk(S->Font(), S->Color, S->Text, Box, HorizontalFlags, W(), H()).Box, "left-aligned");
  EXPECT_GE(I.Box.Left, Box.Left);
  EXPECT_LE(I.Box.Bottom, Box.Bottom);
}

TEST_F(Texts, AlignmentPlacesEachLineInTheTextsBox) {
  for (THorizontalAlignment A : {haLeft, haCenter, haRight}) {
    auto* S = Play<TFlyingTextSequence>([A](TFlyingTextSequence& T) {
      T.Text = "HHHHHH\r\nH";
      T.Alignment = A;
      TBSpline Still;
      Still.AddPoint(Point(500, 400));
      T.SetFlightPath(&Still);
    });
    ASSERT_TRUE(S);
    At(100);
    const int LineH = S->TextSize().Y / 2;
    const int Top = S->LastPos().Y;
    const TInk Long = Ink(Rect(0, Top, W(), Top + LineH - 1));
    const TInk Short = Ink(Rect(0, Top + LineH, W(), Top + 2 * LineH));
    ASSERT_FALSE(Long.Empty());
    ASSERT_FALSE(Short.Empty());
    switch (A) {
      case haLeft: EXPECT_NEAR(Long.Box.Left, Short.Box.Left, 1); break;
      case haCenter: EXPECT_NEAR(Long.Box.Left + Long.Box.Right, Short.Box.Left + Short.Box.Right, 2); break;
      case haRight: EXPECT_NEAR(Long.Box.Right, Short.Box.Right, 1); break;
    }
    EXPECT_GT(Long.Box.Right - Long.Box.Left, 3 * (Short.Box.Right - Short.Box.Left)) << A;
  }
}

TEST_F(Texts, AMovingTextErasesItsPreviousFrame) {
  auto* S = Play<TFlyingTextSequence>([](TFlyingTextSequence& T) {
    TBSpline Line;
    Line.AddPoint(Point(100, 100));
    Line.AddPoint(Point(700, 500));
    T.SetFlightPath(&Line);
  });
  ASSERT_TRUE(S);
  At(1000);
  const TInk First = Ink();
  At(5000);
  const TInk Second = Ink();
  ASSERT_FALSE(First.Empty());
  EXPECT_EQ(First.Pixels, Second.Pixels) << "only the text at its new place";
  EXPECT_EQ(Second.Box.Left - First.Box.Left, 300);
  EXPECT_EQ(Second.Box.Top - First.Box.Top, 200);
}

TEST_F(Texts, ScalingGrowsAndShrinksTheTextInsideItsBox) {
  auto Still = [](int32_t Percent) {
    return [Percent](TFlyingTextSequence& T) {
      T.ScaleFXPercent = Percent;
      TBSpline P;
      P.AddPoint(Point(400, 300));
      T.SetFlightPath(&P);
    };
  };
  auto* Same = Play<TFlyingTextSequence>(Still(100));
  ASSERT_TRUE(Same);
  At(0);
  const TInk A = Ink();
  At(7000);
  const TInk B = Ink();
  EXPECT_EQ(A.Box, B.Box) << "100 % keeps the size";

  auto* Shrink = Play<TFlyingTextSequence>(Still(50));
  ASSERT_TRUE(Shrink);
  At(7999);  // near the end of the saw-tooth: about half the height
  EXPECT_EQ(Shrink->ScalePercent(), 51);
  const TPoint Pos = Shrink->LastPos();
  const TInk Half = Ink();
  ASSERT_FALSE(Half.Empty());
  const TInk Want = ReferenceInk(Shrink->Font(), Shrink->Color, Shrink->Text,
                                 Rect(Pos, PointAdd(Pos, Shrink->TextSize())), HorizontalFlags, W(), H(),
                                 Shrink->ScaledFontHeight(51));
  ExpectNear(Half.Box, Want.Box, "half height at the box's top-left");
  EXPECT_LT(RectHeight(Half.Box), RectHeight(A.Box) * 2 / 3);

  // Shrunk to nothing: a height of 0 would mean the default size; nothing is drawn instead.
  auto* Gone = Play<TFlyingTextSequence>(Still(0));
  ASSERT_TRUE(Gone);
  At(7999);
  EXPECT_EQ(Gone->ScaledFontHeight(Gone->ScalePercent()), 0);
  EXPECT_TRUE(Ink().Empty());
}

TEST_F(Texts, FadingInRisesFromNothingToTheFullText) {
  auto* S = Play<TFlyingTextSequence>([](TFlyingTextSequence& T) {
    T.FadeIn = true;
    TBSpline P;
    P.AddPoint(Point(400, 300));
    T.SetFlightPath(&P);
  });
  ASSERT_TRUE(S && S->TextRaster() && S->Work() && S->Alpha());
  EXPECT_EQ(S->TextRaster()->Width, S->TextSize().X + S->TextSize().X % 2);
  At(0);
  EXPECT_EQ(S->Alpha()->Data[0], 0);
  EXPECT_TRUE(Ink().Empty());
  At(4000);
  EXPECT_EQ(S->Alpha()->Data[0], 127);
  const TInk Half = Ink();
  EXPECT_LE(Half.Brightest, 127u);
  EXPECT_GE(Half.Brightest, 120u);
  EXPECT_EQ(S->FlyingAlpha(8000), 255);
  At(8000);
  EXPECT_EQ(Ink().Brightest, 254u) << "alpha 255 gives 254 for white over black";
}

TEST_F(Texts, ATransparentFlyingTextMixesAtItsPlace) {
  auto Setup = [](int32_t Transparency) {
    return [Transparency](TFlyingTextSequence& T) {
      T.Transparency = Transparency;
      T.Alignment = haCenter;
      T.Text = "HH\r\nHHHHH";
      TBSpline P;
      P.AddPoint(Point(300, 200));
      T.SetFlightPath(&P);
    };
  };
  Play<TFlyingTextSequence>(Setup(0));
  At(100);
  const TInk Solid = Ink();
  auto* S = Play<TFlyingTextSequence>(Setup(50));
  ASSERT_TRUE(S && S->Alpha());
  At(100);
  EXPECT_EQ(S->Alpha()->Data[0], 128);
  const TInk Mixed = Ink();
  ASSERT_FALSE(Mixed.Empty());
  // The text raster's box ends one pixel further right: centring may move by half of that.
  ExpectNear(Mixed.Box, Solid.Box, "the same place as opaque");
  EXPECT_LE(Mixed.Brightest, 128u);
}
