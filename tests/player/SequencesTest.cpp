// The sequence base: defaults, stored records, copies with their transitions, the channels a
// sequence opens and starts, the German texts, the transition's pictures and the text band.

#include <algorithm>

#include "persistence/PropertyBags.h"
#include "tests/player/PlayerTestSupport.h"

using namespace playertest;

namespace {

class Sequences : public PlayerTest {};

// Writes Obj into a memory stream and reads a new object back from it.
std::unique_ptr<TReflectivePersistent> RoundTrip(TReflectivePersistent& Obj) {
  TMemoryStream Stream;
  {
    TStreamPropertyBag Bag(Stream);
    Bag.WriteObject(&Obj);
  }
  Stream.SetPosition(0);
  TStreamPropertyBag Bag(Stream);
  std::unique_ptr<TReflectivePersistent> Back;
  EXPECT_TRUE(Bag.ReadObject(Back));
  return Back;
}

}  // namespace

TEST_F(Sequences, DefaultsOfEveryKind) {
  TScreenSaverSequence S;
  EXPECT_EQ(S.Name, "Neue Sequenz");
  EXPECT_EQ(S.Duration, 8000);
  EXPECT_EQ(S.SoundMediaID, 0);
  EXPECT_EQ(S.SoundPlayMode, spmOnce);
  EXPECT_EQ(S.MusicMediaID, 0);
  EXPECT_EQ(S.MusicPlayMode, spmOnce);
  EXPECT_TRUE(S.WebLinkAddress.empty());
  EXPECT_TRUE(S.NeedsRepaint());
  EXPECT_EQ(TEmptyPageSequence().Name, "Leere Seite");
  EXPECT_EQ(TPauseSequence().Name, "Pause");
  EXPECT_EQ(TPauseSequence().Duration, 8000);
  EXPECT_EQ(TMovieSequence().Duration, -1);
  EXPECT_EQ(TMovieSequence().MovieDisplaySize, mdsNormal);
  EXPECT_FALSE(TMovieSequence().NeedsRepaint());
  EXPECT_EQ(TSlideSequence().Color, clBlack);
  // The second constructor keeps each kind's own defaults.
  auto E = TSequence::CreateNamed<TEmptyPageSequence>("Seite", nullptr);
  EXPECT_EQ(E->Name, "Seite");
  EXPECT_EQ(E->Duration, 8000);
  EXPECT_EQ(TSequence::CreateNamed<TMovieSequence>("Film", nullptr)->Duration, -1);
}

TEST_F(Sequences, EveryStoredClassNameIsRegistered) {
  RegisterScreenSaverSequencesClasses();  // a second time changes nothing
  for (const char* N : {"TScreenSaverSequence", "TMediaSequence", "TBlendableSequence",
                        "TBaseSlideSequence", "TSlideSequence", "TMovieSequence", "TTransitionSequence",
                        "TPauseSequence", "TEmptyPageSequence"}) {
    const TReflectiveClassRef C = GetReflectiveClass(N);
    ASSERT_TRUE(C) << N;
    EXPECT_EQ(C->ClassName(), N);
    EXPECT_TRUE(C->InheritsFrom(TScreenSaverSequence::StaticClass()));
    EXPECT_EQ(C->Create()->ClassName(), N) << "every class can be made from its stored name";
  }
  EXPECT_EQ(GetReflectiveClass("tslidesequence"), &TSlideSequence::StaticClass());
}

TEST_F(Sequences, EveryKindSurvivesItsStoredRecord) {
  TSlideSequence Slide;
  Slide.Name = "Strand";
  Slide.Duration = 3500;
  Slide.SoundMediaID = 4;
  Slide.SoundPlayMode = spmLoop;
  Slide.MusicMediaID = -2;
  Slide.MusicPlayMode = spmLoop;
  Slide.WebLinkTitle = "Zum Strand";
  Slide.WebLinkAddress = "https://example.org/strand";
  Slide.MediaID = 7;
  Slide.Color = clWindowText;  // a system colour keeps its bits
  Slide.Left = -20;
  Slide.Top = 33;
  TTestTransition T;
  T.Marker = 99;
  T.Duration = 1234;
  Slide.SetTransition(&T);

  const auto Back = RoundTrip(Slide);
  auto* S = dynamic_cast<TSlideSequence*>(Back.get());
  ASSERT_TRUE(S);
  EXPECT_EQ(S->Name, "Strand");
  EXPECT_EQ(S->Duration, 3500);
  EXPECT_EQ(S->SoundMediaID, 4);
  EXPECT_EQ(S->SoundPlayMode, spmLoop);
  EXPECT_EQ(S->MusicMediaID, -2);
  EXPECT_EQ(S->MusicPlayMode, spmLoop);
  EXPECT_EQ(S->WebLinkTitle, "Zum Strand");
  EXPECT_EQ(S->WebLinkAddress, "https://example.org/strand");
  EXPECT_EQ(S->MediaID, 7);
  EXPECT_EQ(S->Color, clWindowText);
  EXPECT_EQ(S->Left, -20);
  EXPECT_EQ(S->Top, 33);
  auto* BackT = dynamic_cast<TTestTransition*>(S->Transition());
  ASSERT_TRUE(BackT);
  EXPECT_EQ(BackT->Marker, 99);
  EXPECT_EQ(BackT->Duration, 1234);

  TMovieSequence Movie;
  Movie.MediaID = 3;
  Movie.Left = 5;
  Movie.Top = 6;
  Movie.MovieDisplaySize = mdsFullScreen;
  const auto BackMovie = RoundTrip(Movie);
  auto* M = dynamic_cast<TMovieSequence*>(BackMovie.get());
  ASSERT_TRUE(M);
  EXPECT_EQ(M->Duration, -1);
  EXPECT_EQ(M->MovieDisplaySize, mdsFullScreen);
  EXPECT_EQ(M->Left, 5);
  EXPECT_EQ(M->Top, 6);

  TEmptyPageSequence Empty;
  Empty.Color = 0x123456;
  const auto BackEmpty = RoundTrip(Empty);
  ASSERT_TRUE(dynamic_cast<TEmptyPageSequence*>(BackEmpty.get()));
  EXPECT_EQ(static_cast<TEmptyPageSequence*>(BackEmpty.get())->Color, 0x123456u);
  EXPECT_EQ(static_cast<TEmptyPageSequence*>(BackEmpty.get())->Transition(), nullptr);
  TPauseSequence Pause;
  Pause.Duration = 0;
  const auto BackPause = RoundTrip(Pause);
  ASSERT_TRUE(dynamic_cast<TPauseSequence*>(BackPause.get()));
  EXPECT_EQ(static_cast<TPauseSequence*>(BackPause.get())->Duration, 0);
}

TEST_F(Sequences, AReadProjectTellsTransitionsTheirProject) {
  auto P = MakeProject({Slide(0, 0, 0, 0, 1000, true), Pause(100)});
  const auto Back = RoundTrip(*P);
  auto* Read = dynamic_cast<TScreenSaverProject*>(Back.get());
  ASSERT_TRUE(Read);
  auto* S = dynamic_cast<TSlideSequence*>(Read->Sequences()->Items(0));
  ASSERT_TRUE(S);
  EXPECT_EQ(S->Project(), Read);
  ASSERT_TRUE(S->Transition());
  EXPECT_EQ(S->Transition()->Project(), Read);
  EXPECT_EQ(static_cast<TScreenSaverSequence*>(Read->Sequences()->Items(1))->Project(), Read);
}

TEST_F(Sequences, EveryBlendableSequenceGetsItsOwnTransition) {
  TScreenSaverProject Project;
  TSlideSequence A, B;
  A.SetProject(&Project);
  auto T = std::make_unique<TTestTransition>();
  T->Marker = 5;
  A.SetTransition(T.get());
  B.SetTransition(T.get());
  ASSERT_TRUE(A.Transition() && B.Transition());
  EXPECT_NE(A.Transition(), T.get());
  EXPECT_NE(A.Transition(), B.Transition());
  EXPECT_EQ(A.Transition()->Project(), &Project) << "the clone is told the sequence's project";
  EXPECT_EQ(B.Transition()->Project(), nullptr);
  T.reset();
  EXPECT_EQ(static_cast<TTestTransition*>(A.Transition())->Marker, 5);
  EXPECT_EQ(static_cast<TTestTransition*>(B.Transition())->Marker, 5);

  // The sequence's own transition assigned to it again: the clone is taken first.
  A.SetTransition(A.Transition());
  ASSERT_TRUE(A.Transition());
  EXPECT_EQ(static_cast<TTestTransition*>(A.Transition())->Marker, 5);

  // A copy of the sequence has a copy of the transition, and both know the project.
  const std::unique_ptr<TSlideSequence> C = CloneOf(A);
  ASSERT_TRUE(C->Transition());
  EXPECT_NE(C->Transition(), A.Transition());
  EXPECT_EQ(C->Project(), &Project);
  EXPECT_EQ(C->Transition()->Project(), &Project);

  // A later project reaches the transition too; nil clears.
  TScreenSaverProject Other;
  B.SetProject(&Other);
  EXPECT_EQ(B.Transition()->Project(), &Other);
  B.SetTransition(nullptr);
  EXPECT_EQ(B.Transition(), nullptr);
}

TEST_F(Sequences, CopiesKeepTheProjectButNotTheControl) {
  TScreenSaverProject Project;
  TAnimationControl C;
  TPauseSequence S;
  S.SetProject(&Project);
  S.SetAnimationControl(&C);
  S.WebLinkAddress = "www.example.org";
  const std::unique_ptr<TPauseSequence> Copy = CloneOf(S);
  EXPECT_EQ(Copy->Project(), &Project);
  EXPECT_EQ(Copy->AnimationControl(), nullptr);
  EXPECT_EQ(Copy->WebLinkAddress, "www.example.org");
}

TEST_F(Sequences, ChannelsOpenAtPrepareAndStartOnTheFirstFrame) {
  auto P = MakeProject({Pause(1000)});
  auto* S = static_cast<TScreenSaverSequence*>(P->Sequences()->Items(0));
  S->MusicMediaID = Ids.Sound;
  S->MusicPlayMode = spmLoop;
  S->SoundMediaID = Ids.Pictures[0];  // any medium will do for the sound channel
  S->SoundPlayMode = spmOnce;
  TAnimationControl C;
  C.SetProject(P.get());
  C.Start();
  const std::string Tone = MediaFile(*P, Ids.Sound);
  EXPECT_EQ(Commands(Sound(C, 1)), (std::vector<std::string>{"Open " + Tone}));
  EXPECT_EQ(Commands(Sound(C, 0)), (std::vector<std::string>{"Open " + MediaFile(*P, Ids.Pictures[0])}));
  StepAt(C, Now);
  StepAt(C, Now + 10);
  EXPECT_EQ(Commands(Sound(C, 1)), (std::vector<std::string>{"Open " + Tone, "Play notify"}));
  EXPECT_EQ(Commands(Sound(C, 0)).back(), "Play");
  EXPECT_EQ(Sound(C, 0)->Starts(), 1);
}

TEST_F(Sequences, NegativeMediaIdsOpenNothingButStillNameAMode) {
  auto P = MakeProject({Pause(1000)});
  auto* S = static_cast<TScreenSaverSequence*>(P->Sequences()->Items(0));
  S->MusicMediaID = -1;
  S->MusicPlayMode = spmLoop;
  S->SoundMediaID = -5;
  TAnimationControl C;
  C.SetProject(P.get());
  C.Start();
  StepAt(C, Now);
  EXPECT_TRUE(Sound(C, 0)->Calls().empty());
  EXPECT_TRUE(Sound(C, 1)->Calls().empty());
  std::string Text;
  S->GetMusicText(Text);
  EXPECT_EQ(Text, "wiederholt \"\"");
  S->GetSoundText(Text);
  EXPECT_EQ(Text, "einmal \"\"");
}

TEST_F(Sequences, ChannelAndParameterTexts) {
  auto P = MakeProject({});
  TMedia* Tone = P->MediaManager()->MediaById(Ids.Sound);
  Tone->OriginalFileName = "C:\\Eigene Musik\\Alben\\song.mp3";
  TTestTransition T;
  T.SetProject(P.get());
  T.Duration = 4000;
  std::string S;
  T.GetParameterText(S);
  EXPECT_EQ(S, "Probe, Dauer 40 [1/10 Sek.], Kanal 1 <kein(e) Musik / Klang>, Kanal 2 <kein(e) Musik / Klang>");
  T.MusicMediaID = Ids.Sound;
  T.MusicPlayMode = spmLoop;
  T.SoundMediaID = 4711;  // no such medium: an empty name
  T.Duration = 150;
  T.GetParameterText(S);
  EXPECT_EQ(S, "Probe, Dauer 1 [1/10 Sek.], Kanal 1 wiederholt \"song.mp3\", Kanal 2 einmal \"\"");

  // A duration whose tenfold overflows is reported, not wrapped.
  T.Duration = INT32_MAX;
  EXPECT_THROW(T.GetParameterText(S), EIntOverflow);

  // Without a project no medium is found.
  TPauseSequence Lone;
  Lone.MusicMediaID = Ids.Sound;
  Lone.GetMusicText(S);
  EXPECT_EQ(S, "einmal \"\"");
  std::string File = "unchanged";
  Lone.GetMediaFile(Ids.Sound, File);
  EXPECT_EQ(File, "unchanged");

  // The base transition has no texts of its own.
  TTransitionSequence Bare;
  EXPECT_THROW(Bare.GetCaption(S), EAbstractError);
  EXPECT_THROW(Bare.GetDescription(S), EAbstractError);
  EXPECT_THROW(Bare.GetParameterText(S), EAbstractError);
}

TEST_F(Sequences, WordTables) {
  EXPECT_STREQ(EffectDirectionTexts[edLeftToRight], "nach rechts");
  EXPECT_STREQ(EffectDirectionTexts[edRightToLeft], "nach links");
  EXPECT_STREQ(EffectDirectionTexts[edTopToBottom], "nach unten");
  EXPECT_STREQ(EffectDirectionTexts[edBottomToTop], "nach oben");
  EXPECT_STREQ(TilingModeTexts[tmLineByLine], "Zeile für Zeile");
  EXPECT_STREQ(TilingModeTexts[tmSpiralToInner], "Spirale nach innen");
  EXPECT_STREQ(RowDirectionTexts[tdPingPong], "Ping Pong");
  EXPECT_STREQ(RowDirectionTexts[tdUpperToLower], "nach links");
  EXPECT_STREQ(ColumnDirectionTexts[tdLowerToUpper], "nach unten");
  EXPECT_STREQ(ColumnDirectionTexts[tdUpperToLower], "nach oben");
  EXPECT_STREQ(SpiralStartTexts[ssRightTop], "oben rechts");
  EXPECT_STREQ(SpiralStartTexts[ssLeftBottom], "unten links");
  EXPECT_EQ(std::size(SpiralStartTexts), 4u);
  EXPECT_EQ(std::size(ColumnDirectionTexts), 3u);
}

TEST_F(Sequences, ATransitionTakesTheScreenAndTheNextPicture) {
  auto P = MakeProject({EmptyPage(0x0000FF, 1000), Slide(0, 0xFF0000, 0, 0, 2000, true)});
  TAnimationControl C;
  C.SetProject(P.get());
  auto* T = dynamic_cast<TTestTransition*>(C.Sequences().Items(1));
  auto* S = dynamic_cast<TSlideSequence*>(C.Sequences().Items(2));
  ASSERT_TRUE(T && S);
  C.Start();
  StepAt(C, Now);
  StepAt(C, Now + 1000);  // the page ends, the transition starts
  ASSERT_EQ(C.CurrentSequence(), T);
  ASSERT_TRUE(T->OldPicture());
  EXPECT_NE(T->OldPicture(), C.Raster());
  EXPECT_EQ(Rgb(T->OldPicture()->Bits[0]), 0xFF0000u) << "red page, red in the raster's byte order";
  EXPECT_EQ(T->NewPicture(), S->Page());
  EXPECT_TRUE(S->Prepared()) << "the slide was started early";
  EXPECT_EQ(Rgb(S->Page()->Bits[S->Page()->PixelCount() - 1]), 0x0000FFu);

  StepAt(C, Now + 100);
  EXPECT_EQ(Rgb(C.Raster()->Bits[0]), 0xFF0000u);
  StepAt(C, Now + 500);
  EXPECT_EQ(Rgb(C.Raster()->Bits[C.Raster()->PixelCount() - 1]), 0x0000FFu);
  StepAt(C, Now + 400);  // the transition's time is up
  EXPECT_EQ(C.CurrentSequence(), S);
  EXPECT_EQ(T->OldPicture(), nullptr);
  EXPECT_EQ(T->NewPicture(), nullptr);
}

TEST_F(Sequences, ATransitionWithoutABlendableSuccessorDrawsNothing) {
  auto P = MakeProject({EmptyPage(0x00FF00, 100), Pause(500)});
  // A stored list may hold a transition object directly.
  P->Sequences()->Add(std::make_unique<TTestTransition>());
  P->Sequences()->Add(std::make_unique<TPauseSequence>());
  TAnimationControl C;
  C.SetProject(P.get());
  auto* T = dynamic_cast<TTestTransition*>(C.Sequences().Items(2));
  ASSERT_TRUE(T);
  C.Start();
  StepAt(C, Now);
  StepAt(C, Now + 100);
  StepAt(C, Now + 500);
  ASSERT_EQ(C.CurrentSequence(), T);
  EXPECT_EQ(T->OldPicture(), nullptr);
  EXPECT_EQ(T->NewPicture(), nullptr);
  StepAt(C, Now + 400);
  EXPECT_GT(T->Steps, 0);
  EXPECT_EQ(Rgb(C.Raster()->Bits[123]), 0x00FF00u) << "the page stays";
}

TEST_F(Sequences, ATransitionIntoABareBlendableSequenceFailsThroughStep) {
  // A stored project may name the base class itself, which has no picture to blend into.
  auto P = MakeProject({EmptyPage(0x00FF00, 100)});
  auto Bare = std::make_unique<TBlendableSequence>();
  TTestTransition Blend;
  Bare->SetTransition(&Blend);
  P->Sequences()->Add(std::move(Bare));
  TAnimationControl C;
  C.SetProject(P.get());
  auto* T = dynamic_cast<TTestTransition*>(C.Sequences().Items(1));
  ASSERT_TRUE(T);
  C.Start();
  StepAt(C, Now);
  EXPECT_THROW(StepAt(C, Now + 100), EAbstractError);
  EXPECT_FALSE(T->Prepared());
  EXPECT_EQ(T->OldPicture(), nullptr) << "the failed start keeps no picture";
  C.Stop();
  EXPECT_EQ(C.CurrentSequence(), nullptr);
}

TEST_F(Sequences, TheTextBandOfTheScrollingText) {
  TDIBRaster Surface(16, 16);
  TCanvas& Canvas = *Surface.Canvas;
  Canvas.Font.Name = "Arial";
  Canvas.Font.Height = -20;
  TRect One, Two, Joined;
  MeasureSequenceText("Zeile eins", 10, stsCharByCharHorizontal, Canvas, 640, 480, false, One);
  MeasureSequenceText("Zeile eins\r\nZeile zwei", 10, stsCharByCharHorizontal, Canvas, 640, 480,
                      false, Two);
  MeasureSequenceText("Zeile eins Zeile zwei", 10, stsCharByCharHorizontal, Canvas, 640, 480, false,
                      Joined);
  EXPECT_EQ(Two.Left, 0);
  EXPECT_EQ(Two.Top, 10);
  EXPECT_EQ(RectHeight(Two), RectHeight(One)) << "the line break became a blank";
  EXPECT_EQ(Two, Joined);
  EXPECT_GT(Two.Right, One.Right);

  TRect Vertical;
  MeasureSequenceText("Zeile eins\r\nZeile zwei", 30, stsLineByLineVertical, Canvas, 640, 480, false,
                      Vertical);
  EXPECT_EQ(Vertical.Left, 30);
  EXPECT_EQ(Vertical.Top, 0);
  EXPECT_NEAR(Vertical.Bottom - Vertical.Top, 2 * (One.Bottom - One.Top), 1) << "two lines";

  TRect Band;
  MeasureSequenceText("Zeile eins", 10, stsCharByCharHorizontal, Canvas, 640, 480, true, Band);
  EXPECT_EQ(Band, Rect(0, 10, 639, One.Bottom));
  MeasureSequenceText("Zeile eins\r\nZeile zwei", 30, stsLineByLineVertical, Canvas, 640, 480, true, Band);
  EXPECT_EQ(Band, Rect(30, 0, Vertical.Right, 479));
}
