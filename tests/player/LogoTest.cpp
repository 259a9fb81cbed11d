// The logo sequence: its stored record and path views, where the logo stands and how it is
// mixed at chosen clock values, the erasing of the previous frame, clipping at the raster's
// edges, runs one after the other, and values outside their ranges. Also: a demo saver with
// the logo and the texts reads back from its file and plays them.

#include <algorithm>
#include <functional>

#include "model/ScreenSaverFiles.h"
#include "persistence/PropertyBags.h"
#include "platform/Platform.h"
#include "tests/player/PlayerTestSupport.h"
#include "tests/support/TestEnv.h"

using namespace playertest;

namespace {

constexpr TColor PageColor = 0x204060;  // $00BBGGRR
const uint32_t PagePixel = SwapRB(PageColor);

// b + floor((a - b) * alpha / 256) per colour channel.
uint32_t Mix(uint32_t A, uint32_t B, int Alpha) {
  uint32_t R = 0;
  for (int Shift = 0; Shift < 24; Shift += 8) {
    const int CA = int((A >> Shift) & 0xFF), CB = int((B >> Shift) & 0xFF);
    R |= uint32_t(CB + (((CA - CB) * Alpha) >> 8)) << Shift;
  }
  return R;
}

class Logos : public PlayerTest {
protected:
  // A page for 100 ms, then a logo of the first picture (W x H) set up by Setup; the control
  // is stepped to the logo's start, so At(E) shows the logo's frame at elapsed time E.
  TLogoSequence* Play(const std::function<void(TLogoSequence&)>& Setup, int W = 32, int H = 32) {
    Project = MakeProject({EmptyPage(PageColor, 100),
                           [Setup](TScreenSaverProject& P, const demosaver::TDemoMedia& M) {
                             auto S = std::make_unique<TLogoSequence>();
                             S->MediaID = M.Pictures[0];
                             Setup(*S);
                             P.Sequences()->Add(std::move(S));
                           }},
                          sr640x480, W, H);
    Control = std::make_unique<TAnimationControl>();
    Control->SetProject(Project.get());
    Control->Start();
    StepAt(*Control, Now);
    StepAt(*Control, Now + 100);
    T0 = Now;
    auto* S = dynamic_cast<TLogoSequence*>(Control->CurrentSequence());
    // The logo's raster goes when the run ends; the checks of its last frame need its pixels.
    LogoPixels.clear();
    LogoWidth = LogoHeight = 0;
    if (S && S->Logo()) {
      LogoPixels.assign(S->Logo()->Bits, S->Logo()->Bits + S->Logo()->PixelCount());
      LogoWidth = S->Logo()->Width;
      LogoHeight = S->Logo()->Height;
    }
    return S;
  }
  void At(int32_t E) { StepAt(*Control, T0 + uint32_t(E)); }

  // Pixels of the raster that differ from the logo at TopLeft (mixed with Alpha, or copied
  // when Alpha < 0) on the page.
  int Mismatches(TPoint TopLeft, int Alpha = -1) const {
    const TDIBRaster& R = *Control->Raster();
    int Bad = 0;
    for (int Y = 0; Y < R.Height; ++Y)
      for (int X = 0; X < R.Width; ++X) {
        const int LX = X - TopLeft.X, LY = Y - TopLeft.Y;
        uint32_t Want = PagePixel;
        if (LX >= 0 && LY >= 0 && LX < LogoWidth && LY < LogoHeight) {
          const uint32_t Logo = Rgb(LogoPixels[size_t(LY) * size_t(LogoWidth) + size_t(LX)]);
          Want = Alpha < 0 ? Logo : Mix(Logo, PagePixel, Alpha);
        }
        if (Rgb(R.Bits[size_t(Y) * size_t(R.Width) + size_t(X)]) != Want) ++Bad;
      }
    return Bad;
  }

  int PageMismatches() const {
    int Bad = 0;
    for (size_t I = 0; I < Control->Raster()->PixelCount(); ++I)
      if (Rgb(Control->Raster()->Bits[I]) != PagePixel) ++Bad;
    return Bad;
  }

  std::unique_ptr<TScreenSaverProject> Project;
  std::unique_ptr<TAnimationControl> Control;
  uint32_t T0 = 0;
  std::vector<uint32_t> LogoPixels;
  int LogoWidth = 0, LogoHeight = 0;
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

TEST_F(Logos, DefaultsAndTheStoredRecord) {
  TLogoSequence D;
  EXPECT_EQ(D.Name, "Neue Sequenz");
  EXPECT_EQ(D.Duration, 8000);
  EXPECT_TRUE(D.UseCurve);
  EXPECT_EQ(D.Transparency, 0);
  EXPECT_FALSE(D.FadeIn);
  ASSERT_EQ(D.FlightPath()->Count(), 2);
  EXPECT_EQ(D.FlightPath()->Degree(), 3);
  EXPECT_EQ(D.FlightPath()->Points(0), Point(0, 0));
  EXPECT_EQ(D.FlightPath()->Points(1), Point(64, 64));
  EXPECT_EQ(std::vector<int32_t>({D.StartX(), D.StartY(), D.EndX(), D.EndY()}),
            std::vector<int32_t>({0, 0, 64, 64}));
  ASSERT_EQ(GetReflectiveClass("TLogoSequence"), &TLogoSequence::StaticClass());
  EXPECT_TRUE(TLogoSequence::StaticClass().InheritsFrom(TMediaSequence::StaticClass()));

  TLogoSequence S;
  S.MediaID = 3;
  S.UseCurve = false;
  S.Transparency = 35;
  S.FadeIn = true;
  TBSpline Path;
  Path.SetDegree(2);
  for (TPoint P : {Point(-5, 7), Point(300, -40), Point(10, 900), Point(640, 480)}) Path.AddPoint(P);
  S.SetFlightPath(&Path);
  Path.SetPoints(0, Point(1, 1));
  EXPECT_EQ(S.StartX(), -5) << "the sequence keeps its own copy of the path";
  const std::unique_ptr<TReflectivePersistent> Back = RoundTrip(S);
  auto* L = dynamic_cast<TLogoSequence*>(Back.get());
  ASSERT_TRUE(L);
  EXPECT_EQ(L->MediaID, 3);
  EXPECT_FALSE(L->UseCurve);
  EXPECT_EQ(L->Transparency, 35);
  EXPECT_TRUE(L->FadeIn);
  ASSERT_EQ(L->FlightPath()->Count(), 4);
  EXPECT_EQ(L->FlightPath()->Degree(), 2);
  for (int I = 0; I < 4; ++I) EXPECT_EQ(L->FlightPath()->Points(I), S.FlightPath()->Points(I));
  EXPECT_EQ(std::vector<int32_t>({L->StartX(), L->StartY(), L->EndX(), L->EndY()}),
            std::vector<int32_t>({-5, 7, 640, 480}));

  // A copy has its own curve.
  std::unique_ptr<TLogoSequence> Copy = CloneOf(S);
  EXPECT_NE(Copy->FlightPath(), S.FlightPath());
  EXPECT_EQ(Copy->FlightPath()->Points(2), Point(10, 900));
}

TEST_F(Logos, TheEndCoordinatesAreViewsOfThePath) {
  TLogoSequence S;
  S.SetStartX(-100);
  S.SetEndY(700);
  EXPECT_EQ(S.FlightPath()->Points(0), Point(-100, 0));
  EXPECT_EQ(S.FlightPath()->Points(1), Point(64, 700));
  S.FlightPath()->AddPoint(Point(5, 6));
  EXPECT_EQ(S.EndX(), 5) << "the end is the last point, whatever the count";
  S.SetEndX(9);
  EXPECT_EQ(S.FlightPath()->Points(1), Point(64, 700));
  EXPECT_EQ(S.FlightPath()->Points(2), Point(9, 6));
  // A path without points: nothing to read or move.
  S.FlightPath()->Clear();
  EXPECT_EQ(S.StartX(), 0);
  EXPECT_EQ(S.EndY(), 0);
  EXPECT_NO_THROW(S.SetStartY(12));
  EXPECT_EQ(S.FlightPath()->Count(), 0);
}

TEST_F(Logos, TheDefaultPathCarriesTheLogoInFromAboveLeft) {
  TLogoSequence* S = Play([](TLogoSequence&) {});
  ASSERT_TRUE(S);
  ASSERT_TRUE(S->Logo());
  EXPECT_EQ(S->Logo()->Width, 32);
  EXPECT_EQ(S->Work(), nullptr) << "an opaque logo needs no blending buffers";
  EXPECT_EQ(S->Alpha(), nullptr);

  At(0);
  EXPECT_EQ(S->LastPos(), Point(-32, -32));
  EXPECT_EQ(PageMismatches(), 0) << "wholly above and left of the raster";
  At(4000);
  EXPECT_EQ(S->LastPos(), Point(0, 0));
  EXPECT_EQ(Mismatches(Point(0, 0)), 0) << "the logo's pixels as they are";
  At(8000);
  EXPECT_EQ(S->LastPos(), Point(32, 32));
  EXPECT_EQ(Mismatches(Point(32, 32)), 0) << "the previous frame's logo is erased";
}

TEST_F(Logos, HalfTransparentMixesEveryFrameAtTheSameWeight) {
  TLogoSequence* S = Play([](TLogoSequence& L) { L.Transparency = 50; });
  ASSERT_TRUE(S && S->Work() && S->Alpha());
  for (int32_t E : {1000, 4000, 6500}) {
    At(E);
    EXPECT_EQ(S->Alpha()->Data[0], 128) << E;
    EXPECT_EQ(Mismatches(S->LastPos(), 128), 0) << E;
  }
}

TEST_F(Logos, FadingInRisesFromTheBackgroundToTheLogo) {
  TLogoSequence* S = Play([](TLogoSequence& L) {
    L.FadeIn = true;
    TBSpline Still;
    Still.AddPoint(Point(300, 200));
    L.SetFlightPath(&Still);
  });
  ASSERT_TRUE(S && S->Work() && S->Alpha());
  At(0);
  EXPECT_EQ(S->Alpha()->Data[0], 0);
  EXPECT_EQ(PageMismatches(), 0) << "alpha 0 shows the background exactly";
  At(4000);
  EXPECT_EQ(S->Alpha()->Data[0], 127);
  EXPECT_EQ(Mismatches(Point(268, 168), 127), 0);
  EXPECT_EQ(S->LogoAlpha(8000), 255);
  At(8000);  // the last frame; the run ends with it
  EXPECT_EQ(Mismatches(Point(268, 168), 255), 0);

  // Without a duration there is nothing to fade over: the plain transparency.
  S->Duration = 0;
  EXPECT_EQ(S->LogoAlpha(0), 255);
  S->Transparency = 60;
  EXPECT_EQ(S->LogoAlpha(0), 255 - 153);
  S->Duration = 8000;
  EXPECT_EQ(S->LogoAlpha(4000), 51);
  // A logo hours long fades without overflowing.
  S->Duration = INT32_MAX;
  EXPECT_EQ(S->LogoAlpha(INT32_MAX - 1), 101);
}

TEST_F(Logos, AStraightPathOfNoDurationShowsItsEnd) {
  TLogoSequence* S = Play([](TLogoSequence& L) {
    L.Duration = 0;
    L.SetEndX(100);
    L.SetEndY(50);
  });
  ASSERT_TRUE(S);
  // The sequence's only frame is drawn at the end point; then the page comes again.
  ASSERT_NO_THROW(At(0));
  EXPECT_EQ(S->LastPos(), Point(68, 18));
  EXPECT_EQ(Mismatches(Point(68, 18)), 0);
}

TEST_F(Logos, CopiesAreClippedAtTheRastersEdges) {
  TLogoSequence* S = Play([](TLogoSequence& L) {
    L.SetEndX(650);
    L.SetEndY(490);
  });
  ASSERT_TRUE(S);
  At(8000);
  EXPECT_EQ(S->LastPos(), Point(618, 458));
  EXPECT_EQ(Mismatches(Point(618, 458)), 0) << "the visible 22 x 22 corner, nothing else";

  TLogoSequence* Out = Play([](TLogoSequence& L) {
    L.Transparency = 20;
    L.SetStartX(-1000);
    L.SetStartY(5000);
    L.SetEndX(2000);
    L.SetEndY(-3000);
  });
  ASSERT_TRUE(Out);
  for (int32_t E : {0, 2000, 8000}) {
    At(E);
    EXPECT_EQ(PageMismatches(), 0) << E;
  }
}

TEST_F(Logos, ALaterRunRestoresFromItsOwnSnapshot) {
  TLogoSequence* S = Play([](TLogoSequence& L) { L.Duration = 1000; });
  ASSERT_TRUE(S);
  At(1000);  // the last frame, then the page starts again
  EXPECT_EQ(S->LastPos(), Point(32, 32));
  EXPECT_FALSE(S->Logo()) << "buffers freed when the run ended";
  StepAt(*Control, Now + 1);    // the page draws
  StepAt(*Control, Now + 100);  // and hands over to the logo again
  ASSERT_EQ(Control->CurrentSequence(), S);
  EXPECT_EQ(S->LastPos(), Point(32, 32)) << "kept from the earlier run";
  T0 = Now;
  At(0);
  EXPECT_EQ(PageMismatches(), 0) << "the old place is restored from the new snapshot";
  EXPECT_EQ(S->LastPos(), Point(-32, -32));
}

TEST_F(Logos, TransparencyOutsideItsRangeIsTakenAsTheNearerBound) {
  TLogoSequence* Neg = Play([](TLogoSequence& L) { L.Transparency = -40; });
  ASSERT_TRUE(Neg);
  EXPECT_FALSE(Neg->Blended());
  At(4000);
  EXPECT_EQ(Mismatches(Point(0, 0)), 0) << "drawn opaque";

  TLogoSequence* Over = Play([](TLogoSequence& L) { L.Transparency = 250; });
  ASSERT_TRUE(Over && Over->Alpha());
  At(4000);
  EXPECT_EQ(Over->Alpha()->Data[0], 0);
  EXPECT_EQ(PageMismatches(), 0) << "wholly transparent";
}

TEST_F(Logos, WithoutAPictureNothingIsDrawn) {
  TLogoSequence* S = Play([](TLogoSequence& L) {
    L.MediaID = 4711;
    L.Transparency = 10;
  });
  ASSERT_TRUE(S);
  EXPECT_EQ(S->Logo(), nullptr);
  EXPECT_NO_THROW(At(4000));
  EXPECT_EQ(PageMismatches(), 0);
}

TEST_F(Logos, AnOddSizedPictureFliesInAnEvenRaster) {
  TLogoSequence* S = Play([](TLogoSequence& L) {}, 31, 17);
  ASSERT_TRUE(S && S->Logo());
  EXPECT_EQ(S->Logo()->Width, 32);
  EXPECT_EQ(S->Logo()->Height, 18);
  At(8000);
  EXPECT_EQ(S->LastPos(), Point(32, 46));
  EXPECT_EQ(Mismatches(Point(32, 46)), 0);
  EXPECT_EQ(Rgb(Control->Raster()->Bits[63 * 640 + 63]), 0u) << "the added column stays black";
}

// ---------------------------------------------------------------------------------------------

TEST_F(Logos, ADemoSaverWithLogoAndTextsReadsBackAndPlaysThem) {
  const std::string Host = testsupport::TestDir() + "/host.bin";
  testsupport::WriteFileBytes(Host, std::string(4096, 'H'));
  const std::string File = testsupport::TestDir() + "/demo.scr";
  demosaver::TDemoOptions O;
  O.Movie = false;
  demosaver::MakeScreenSaverFile(Host, File, O);
  plat::SetProgramFileName(File);
  std::unique_ptr<TScreenSaverInfo> Info;
  std::unique_ptr<TScreenSaverProject> P;
  LoadScreenSaverInfoAndProject(Info, P);
  ASSERT_TRUE(P);
  EXPECT_TRUE(testsupport::MessageBoxes().empty());

  const std::string Font = demosaver::DefaultDemoFont();
  int Logos = 0, Scrolls = 0, Flying = 0;
  for (int I = 0; I < P->Sequences()->Count(); ++I) {
    TSequence* S = P->Sequences()->Items(I);
    if (auto* L = dynamic_cast<TLogoSequence*>(S)) {
      ++Logos;
      EXPECT_EQ(L->FlightPath()->Count(), 3);
      EXPECT_GT(L->Transparency, 0);
    } else if (auto* T = dynamic_cast<TTextSequence*>(S)) {
      if (!Font.empty()) {
        EXPECT_EQ(T->Font().Name, Font) << "the embedded font";
      }
      Scrolls += dynamic_cast<TScrollTextSequence*>(S) != nullptr;
      Flying += dynamic_cast<TFlyingTextSequence*>(S) != nullptr;
    }
  }
  EXPECT_EQ(Logos, 1);
  EXPECT_EQ(Scrolls, 1);
  EXPECT_EQ(Flying, 2);

  // Each of them, halfway through, shows something over the picture it started on.
  TAnimationControl C;
  C.SetProject(P.get());
  C.Start();
  std::vector<TSequence*> Drew;
  const uint32_t Start = Now;
  for (uint32_t T = Start; T < Start + 120000 && Drew.size() < 4; T += 50) {
    ASSERT_NO_THROW(StepAt(C, T));
    TSequence* S = C.CurrentSequence();
    const TDIBRaster* Before = nullptr;
    if (auto* L = dynamic_cast<TLogoSequence*>(S)) Before = L->Background();
    if (auto* X = dynamic_cast<TTextSequence*>(S)) Before = X->Background();
    if (!Before || S->Elapsed() < S->Duration / 2 || std::count(Drew.begin(), Drew.end(), S)) continue;
    int Changed = 0;
    for (size_t I = 0; I < C.Raster()->PixelCount(); ++I)
      if (Rgb(C.Raster()->Bits[I]) != Rgb(Before->Bits[I])) ++Changed;
    EXPECT_GT(Changed, 100) << S->ClassName() << " " << S->Name;
    Drew.push_back(S);
  }
  EXPECT_EQ(Drew.size(), 4u);
  C.Stop();
}
