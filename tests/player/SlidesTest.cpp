// Slides, empty pages, pauses and movies as they draw, frame by frame at chosen clock values,
// in the demo show and in small projects; the control's stretched paint of what they drew.

#include <QImage>

#include "tests/player/PlayerTestSupport.h"
#include "tests/support/TestEnv.h"

using namespace playertest;

namespace {

class Slides : public PlayerTest {
protected:
  // The picture of a medium as the picture class decodes it.
  QImage Decoded(const TScreenSaverProject& P, int32_t Id) {
    TPicture Pic;
    Pic.LoadFromFile(MediaFile(P, Id));
    return Pic.Graphic().convertToFormat(QImage::Format_RGB32);
  }

  // Pixels of Raster that differ from Picture placed at (Left, Top) on a page of Color.
  static int SlideMismatches(const TDIBRaster& Raster, const QImage& Picture, int Left, int Top,
                             TColor Color) {
    int Bad = 0;
    for (int Y = 0; Y < Raster.Height; ++Y)
      for (int X = 0; X < Raster.Width; ++X) {
        const int PX = X - Left, PY = Y - Top;
        const bool Inside = PX >= 0 && PY >= 0 && PX < Picture.width() && PY < Picture.height();
        const uint32_t Want = Inside ? Rgb(Picture.pixel(PX, PY)) : SwapRB(Color);
        if (Rgb(Raster.Bits[size_t(Y) * size_t(Raster.Width) + size_t(X)]) != Want) ++Bad;
      }
    return Bad;
  }

  static int PageMismatches(const TDIBRaster& Raster, uint32_t Pixel) {
    int Bad = 0;
    for (size_t I = 0; I < Raster.PixelCount(); ++I)
      if (Rgb(Raster.Bits[I]) != Pixel) ++Bad;
    return Bad;
  }

  static std::vector<uint32_t> Pixels(const TDIBRaster& R) {
    return std::vector<uint32_t>(R.Bits, R.Bits + R.PixelCount());
  }
};

}  // namespace

TEST_F(Slides, TheDemoShowDrawsFrameByFrame) {
  demosaver::TDemoOptions O;
  O.NoFonts = true;
  // The basic show only: the later kinds add to it and play in tests of their own.
  O.WithDemoSequences = false;
  O.ExtraSequences.assign(demosaver::DemoSequences().begin(), demosaver::DemoSequences().begin() + 6);
  const std::unique_ptr<TScreenSaverProject> P = demosaver::MakeDemoProject(O, &Ids);
  ASSERT_NE(Ids.Movie, 0) << "the demo carries the movie";
  Media.SetNativeSize(MediaFile(*P, Ids.Movie), 160, 120);
  TAnimationControl C;
  C.SetProject(P.get());
  ASSERT_EQ(C.Sequences().Count(), 6);
  ASSERT_EQ(C.Raster()->Width, 800);
  ASSERT_EQ(C.Raster()->Height, 600);
  const uint32_t T0 = Now;
  C.Start();

  // First slide: picture 1 at (80, 60) on its page, the tone looping on the music channel.
  StepAt(C, T0 + 10);
  auto* First = dynamic_cast<TSlideSequence*>(C.CurrentSequence());
  ASSERT_TRUE(First);
  EXPECT_EQ(SlideMismatches(*C.Raster(), Decoded(*P, Ids.Pictures[0]), 80, 60, 0x663300), 0);
  EXPECT_EQ(Commands(Sound(C, 1)),
            (std::vector<std::string>{"Open " + MediaFile(*P, Ids.Sound), "Play notify"}));

  // The control paints its raster stretched over its client area.
  C.resize(400, 300);
  QImage Painted(400, 300, QImage::Format_RGB32);
  Painted.fill(Qt::magenta);
  C.render(&Painted);
  int Bad = 0;
  for (int Y = 0; Y < 300; ++Y)
    for (int X = 0; X < 400; ++X)
      if (Rgb(Painted.pixel(X, Y)) != Rgb(C.Raster()->Bits[size_t(Y * 2) * 800 + size_t(X * 2)])) ++Bad;
  EXPECT_EQ(Bad, 0);

  // Second slide, at (0, 0), with the same music running on and a web link.
  StepAt(C, T0 + 3000);
  StepAt(C, T0 + 3010);
  auto* Second = dynamic_cast<TSlideSequence*>(C.CurrentSequence());
  ASSERT_TRUE(Second);
  ASSERT_NE(Second, First);
  EXPECT_EQ(SlideMismatches(*C.Raster(), Decoded(*P, Ids.Pictures[1]), 0, 0, 0x202080), 0);
  EXPECT_EQ(Commands(Sound(C, 1)).size(), 2u);
  EXPECT_EQ(Sound(C, 1)->Mode(), mpPlaying);
  EXPECT_EQ(Second->WebLinkAddress, "https://example.org/rizuder");
  EXPECT_FALSE(Second->WebLinkTitle.empty());

  // The empty page.
  StepAt(C, T0 + 6000);
  StepAt(C, T0 + 6010);
  ASSERT_TRUE(dynamic_cast<TEmptyPageSequence*>(C.CurrentSequence()));
  EXPECT_EQ(PageMismatches(*C.Raster(), 0x008040), 0);

  // The pause draws nothing: the empty page stays, frame after frame.
  const std::vector<uint32_t> Before = Pixels(*C.Raster());
  StepAt(C, T0 + 8000);
  ASSERT_TRUE(dynamic_cast<TPauseSequence*>(C.CurrentSequence()));
  StepAt(C, T0 + 8500);
  StepAt(C, T0 + 9990);
  EXPECT_EQ(Pixels(*C.Raster()), Before);

  // Third slide: picture 3 at (160, 120), cut off at the raster's edges, with a sound once.
  StepAt(C, T0 + 10000);
  StepAt(C, T0 + 10010);
  ASSERT_TRUE(dynamic_cast<TSlideSequence*>(C.CurrentSequence()));
  EXPECT_EQ(SlideMismatches(*C.Raster(), Decoded(*P, Ids.Pictures[2]), 160, 120, clBlack), 0);
  EXPECT_EQ(Sound(C, 0)->Calls().back(), "Play");

  // The movie, in its panel; the raster is not painted meanwhile.
  StepAt(C, T0 + 13000);
  StepAt(C, T0 + 13010);
  ASSERT_TRUE(dynamic_cast<TMovieSequence*>(C.CurrentSequence()));
  EXPECT_TRUE(C.MovieIsPlaying());
  EXPECT_EQ(C.MoviePanel()->geometry(), QRect(160, 120, 80, 60));
  Movie(C)->FinishPlayback();
  StepAt(C, T0 + 13020);

  // And from the beginning again.
  EXPECT_EQ(C.CurrentSequence(), First);
  EXPECT_FALSE(C.MoviePanel()->isVisibleTo(&C));
}

TEST_F(Slides, AnEmptyPageWithTheDefaultColourIsBlack) {
  auto P = MakeProject({EmptyPage(0x00FFFF, 100)});
  P->Sequences()->Add(std::make_unique<TEmptyPageSequence>());
  TAnimationControl C;
  C.SetProject(P.get());
  C.Start();
  StepAt(C, Now);
  ASSERT_EQ(PageMismatches(*C.Raster(), 0xFFFF00), 0);
  StepAt(C, Now + 100);
  StepAt(C, Now + 1);
  EXPECT_EQ(PageMismatches(*C.Raster(), 0x000000), 0);
}

TEST_F(Slides, APictureIsCutOffAtThePagesEdges) {
  // Pictures larger than the raster, placed at negative and at far positions.
  auto P = MakeProject({Slide(0, 0x00FF00, -100, -50, 1000), Slide(1, 0xFF00FF, 600, 440, 1000),
                        Slide(2, 0x0000FF, 0, 0, 1000)},
                       sr640x480, 800, 600);
  TAnimationControl C;
  C.SetProject(P.get());
  C.Start();
  StepAt(C, Now);
  EXPECT_EQ(SlideMismatches(*C.Raster(), Decoded(*P, Ids.Pictures[0]), -100, -50, 0x00FF00), 0);
  StepAt(C, Now + 1000);
  StepAt(C, Now + 1);
  EXPECT_EQ(SlideMismatches(*C.Raster(), Decoded(*P, Ids.Pictures[1]), 600, 440, 0xFF00FF), 0);
  StepAt(C, Now + 1000);
  StepAt(C, Now + 1);
  EXPECT_EQ(SlideMismatches(*C.Raster(), Decoded(*P, Ids.Pictures[2]), 0, 0, 0x0000FF), 0);
}

TEST_F(Slides, ASlideWithoutAPictureShowsItsPage) {
  auto P = MakeProject({Slide(0, 0x336699, 10, 10, 1000)});
  static_cast<TSlideSequence*>(P->Sequences()->Items(0))->MediaID = 4711;  // no such medium
  TAnimationControl C;
  C.SetProject(P.get());
  C.Start();
  EXPECT_NO_THROW(StepAt(C, Now));
  EXPECT_EQ(PageMismatches(*C.Raster(), SwapRB(0x336699)), 0);
}

TEST_F(Slides, AnUndecodablePictureRaisesOnceThenItsSequenceDrawsNoPicture) {
  const auto Logo = [](TScreenSaverProject& P, const demosaver::TDemoMedia& M) {
    auto S = std::make_unique<TLogoSequence>();
    S->MediaID = M.Pictures[0];
    S->Transparency = 50;  // the blended road takes buffers of the picture's size
    P.Sequences()->Add(std::move(S));
  };
  const struct {
    const char* Road;
    demosaver::TSequenceMaker Maker;
    TColor Shown;  // after the failed pass: the slide's bare page, or the page under the logo
  } Roads[] = {{"slide", Slide(0, 0x996633, 10, 10, 60000), 0x996633},
               {"slide behind a transition", Slide(0, 0x996633, 10, 10, 60000, true), 0x996633},
               {"logo", Logo, 0x336699}};
  for (const auto& R : Roads) {
    SCOPED_TRACE(R.Road);
    auto P = MakeProject({EmptyPage(0x336699, 100), R.Maker});
    testsupport::WriteFileBytes(MediaFile(*P, Ids.Pictures[0]), "no picture in here");
    TAnimationControl C;
    C.SetProject(P.get());
    C.Start();
    StepAt(C, Now);
    // The page ends and the sequence that needs the picture is prepared.
    EXPECT_THROW(StepAt(C, Now + 100), EInvalidGraphic);
    C.Stop();
    // A new run meets the empty picture the medium now holds.
    C.Start();
    EXPECT_NO_THROW({
      StepAt(C, Now);
      StepAt(C, Now + 100);
      StepAt(C, Now + 1000);  // a transition's time is over
      StepAt(C, Now + 1);
    });
    EXPECT_EQ(PageMismatches(*C.Raster(), SwapRB(R.Shown)), 0);
  }
}

TEST_F(Slides, ASlideReachedThroughATransitionShowsForItsWholeDuration) {
  auto P = MakeProject({Pause(100), Slide(0, 0xFF0000, 0, 0, 2000, true)});
  TAnimationControl C;
  C.SetProject(P.get());
  auto* S = dynamic_cast<TSlideSequence*>(C.Sequences().Items(2));
  ASSERT_TRUE(S);
  C.Start();
  StepAt(C, Now + 100);  // the pause ends, the transition prepares the slide early
  const uint32_t TransitionStart = Now;
  ASSERT_TRUE(S->Prepared());
  EXPECT_EQ(S->StartTime, TransitionStart);
  TDIBRaster* Page = S->Page();

  StepAt(C, Now + 1000);  // the transition's 1000 ms are over
  ASSERT_EQ(C.CurrentSequence(), S);
  EXPECT_EQ(S->StartTime, Now) << "its clock restarts when it becomes current";
  EXPECT_EQ(S->Page(), Page) << "not prepared a second time";
  StepAt(C, TransitionStart + 1000 + 1999);
  EXPECT_EQ(C.CurrentSequence(), S);
  EXPECT_EQ(Rgb(C.Raster()->Bits[C.Raster()->PixelCount() - 1]), 0x0000FFu);
  StepAt(C, TransitionStart + 1000 + 2000);
  EXPECT_NE(C.CurrentSequence(), S);
  EXPECT_FALSE(S->Prepared());
}

TEST_F(Slides, APauseWithLoopingMusicLastsExactlyItsDuration) {
  auto P = MakeProject({Pause(1500, true), EmptyPage(0, 1000)});
  TAnimationControl C;
  C.SetProject(P.get());
  C.Start();
  const uint32_t T0 = Now;
  StepAt(C, T0);
  EXPECT_EQ(Sound(C, 1)->Calls().back(), "Play notify");
  EXPECT_EQ(Rgb(C.Raster()->Bits[0]), 0u);
  StepAt(C, T0 + 1499);
  EXPECT_TRUE(dynamic_cast<TPauseSequence*>(C.CurrentSequence()));
  StepAt(C, T0 + 1500);
  EXPECT_TRUE(dynamic_cast<TEmptyPageSequence*>(C.CurrentSequence()));
  EXPECT_EQ(Sound(C, 1)->Mode(), mpPlaying) << "the music runs on";
}

TEST_F(Slides, GetPictureStartsASlideThatIsNotPrepared) {
  auto P = MakeProject({Slide(0, 0x0000FF, 0, 0, 1000)});
  TAnimationControl C;
  C.SetProject(P.get());
  auto* S = dynamic_cast<TSlideSequence*>(C.Sequences().Items(0));
  ASSERT_TRUE(S);
  EXPECT_FALSE(S->Prepared());
  TDIBRaster* Page = S->GetPicture();
  ASSERT_TRUE(Page);
  EXPECT_TRUE(S->Prepared());
  EXPECT_EQ(S->StartTime, Now);
  EXPECT_EQ(Page->Width, 640);
  EXPECT_EQ(Page->Height, 480);
  EXPECT_EQ(SlideMismatches(*Page, Decoded(*P, Ids.Pictures[0]), 0, 0, 0x0000FF), 0);
  Now += 10;
  EXPECT_EQ(S->GetPicture(), Page);
  EXPECT_EQ(S->StartTime, Now - 10) << "a prepared slide is left as it is";
  // The base of blendable sequences has no picture of its own.
  TBlendableSequence Bare;
  EXPECT_THROW(Bare.GetPicture(), EAbstractError);
}
