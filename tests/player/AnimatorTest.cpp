// The animation control: clones of the project's sequences, stepping, the sound and music
// channels with their replay, mute, no-movies, the movie panel and mouse input.

#include <QCoreApplication>
#include <QMouseEvent>

#include <algorithm>

#include "tests/player/PlayerTestSupport.h"

using namespace playertest;

namespace {

class Animator : public PlayerTest {};

std::vector<std::string> ClassesOf(const TAnimationControl& C) {
  std::vector<std::string> R;
  for (int I = 0; I < C.Sequences().Count(); ++I) R.push_back(C.Sequences().Items(I)->ClassName());
  return R;
}

bool Has(const std::vector<std::string>& Calls, const std::string& Call) {
  return std::find(Calls.begin(), Calls.end(), Call) != Calls.end();
}

}  // namespace

TEST_F(Animator, ATransitionIsClonedInFrontOfItsSequence) {
  auto P = MakeProject({Pause(1000), EmptyPage(0, 1000), Slide(0, 0, 0, 0, 1000, true)});
  TAnimationControl C;
  C.SetProject(P.get());
  EXPECT_EQ(ClassesOf(C), (std::vector<std::string>{"TPauseSequence", "TEmptyPageSequence",
                                                     "TTestTransition", "TSlideSequence"}));
  EXPECT_EQ(C.Raster()->Width, 640);
  EXPECT_EQ(C.Raster()->Height, 480);
  ASSERT_TRUE(C.BackRaster());
  EXPECT_EQ(C.BackRaster()->Width, 640);

  // Every clone is the control's own, knows the control and the project.
  for (int I = 0; I < C.Sequences().Count(); ++I) {
    auto* S = dynamic_cast<TScreenSaverSequence*>(C.Sequences().Items(I));
    ASSERT_TRUE(S);
    EXPECT_EQ(S->AnimationControl(), &C);
    EXPECT_EQ(S->Project(), P.get());
    for (int J = 0; J < P->Sequences()->Count(); ++J) {
      EXPECT_NE(static_cast<TSequence*>(S), P->Sequences()->Items(J));
    }
  }
  // The project's own sequences are never played.
  for (int I = 0; I < P->Sequences()->Count(); ++I)
    EXPECT_EQ(static_cast<TScreenSaverSequence*>(P->Sequences()->Items(I))->AnimationControl(), nullptr);
}

TEST_F(Animator, NSequencesWithKTransitionsGiveNPlusKClones) {
  auto P = MakeProject({Slide(0, 0, 0, 0, 1000, true), Pause(500), Slide(1, 0, 0, 0, 1000, true),
                        MovieClip(0, 0), Slide(2, 0, 0, 0, 1000, true), EmptyPage(0, 100)});
  TAnimationControl C;
  C.SetProject(P.get());
  EXPECT_EQ(C.Sequences().Count(), 6 + 3);
  EXPECT_EQ(ClassesOf(C)[0], "TTestTransition");
  EXPECT_EQ(ClassesOf(C)[1], "TSlideSequence");
  EXPECT_EQ(ClassesOf(C)[8], "TEmptyPageSequence");
}

TEST_F(Animator, StepBeforeStartDoesNothing) {
  auto P = MakeProject({Pause(1000, true), Slide(0, 0xFF, 0, 0, 1000)});
  TAnimationControl C;
  C.SetProject(P.get());
  C.Step();
  C.Step();
  EXPECT_EQ(C.CurrentSequence(), nullptr);
  for (int I = 0; I < C.Sequences().Count(); ++I) EXPECT_FALSE(C.Sequences().Items(I)->Prepared());
  EXPECT_TRUE(Sound(C, 1)->Calls().empty());
  EXPECT_EQ(C.Raster()->Bits[0] & 0xFFFFFF, 0u);
}

TEST_F(Animator, AnEmptyProjectNeitherPlaysNorFails) {
  auto P = MakeProject({});
  TAnimationControl C;
  C.SetProject(P.get());
  C.Start();
  C.Step();
  EXPECT_EQ(C.CurrentSequence(), nullptr);
  C.Stop();
}

TEST_F(Animator, StepsAdvanceByTheClockAndLoop) {
  auto P = MakeProject({Pause(1000), EmptyPage(0xFF, 500)});
  TAnimationControl C;
  C.SetProject(P.get());
  C.Start();
  TSequence* First = C.Sequences().Items(0);
  TSequence* Second = C.Sequences().Items(1);
  EXPECT_EQ(C.CurrentSequence(), First);
  EXPECT_EQ(C.NextSequence(), Second);
  StepAt(C, Now + 999);
  EXPECT_EQ(C.CurrentSequence(), First);
  StepAt(C, Now + 1);
  EXPECT_EQ(C.CurrentSequence(), Second);
  EXPECT_EQ(C.NextSequence(), First) << "after the last, the first";
  StepAt(C, Now + 500);
  EXPECT_EQ(C.CurrentSequence(), First);
  EXPECT_FALSE(Second->Prepared());

  C.Stop();
  EXPECT_EQ(C.CurrentSequence(), nullptr);
  EXPECT_FALSE(First->Prepared());
  C.Step();  // stopped: nothing
  EXPECT_EQ(C.CurrentSequence(), nullptr);
}

TEST_F(Animator, LoopingMusicRunsOnAcrossSequencesWithTheSameFile) {
  auto P = MakeProject({Pause(1000, true), Pause(1000, true), Pause(1000)});
  TAnimationControl C;
  C.SetProject(P.get());
  TFakeMediaPlayer* Music = Sound(C, 1);
  const std::string Tone = MediaFile(*P, Ids.Sound);
  C.Start();
  StepAt(C, Now);
  EXPECT_EQ(Commands(Music), (std::vector<std::string>{"Open " + Tone, "Play notify"}));
  EXPECT_EQ(Music->Mode(), mpPlaying);

  // The second sequence names the same file: nothing is reopened or restarted.
  StepAt(C, Now + 1000);
  StepAt(C, Now + 10);
  EXPECT_EQ(C.CurrentSequence(), C.Sequences().Items(1));
  EXPECT_EQ(Commands(Music).size(), 2u);
  EXPECT_EQ(Music->Starts(), 1);

  // The tone reaches its end: the replay handler starts it again, with a notification.
  Music->FinishPlayback();
  DeliverMediaNotifications();
  EXPECT_EQ(Music->Starts(), 2);
  EXPECT_EQ(Music->Calls().back(), "Play notify");
  EXPECT_EQ(Music->Mode(), mpPlaying);

  // A sequence without music does not close the channel.
  StepAt(C, Now + 1000);
  EXPECT_EQ(C.CurrentSequence(), C.Sequences().Items(2));
  EXPECT_EQ(Music->Mode(), mpPlaying);

  C.Stop();
  EXPECT_EQ(Music->Mode(), mpNotReady);
  DeliverMediaNotifications();  // the aborted notification restarts nothing
  EXPECT_EQ(Music->Mode(), mpNotReady);
}

TEST_F(Animator, TheSameFileOnAStoppedChannelPlaysAgainFromTheStart) {
  auto P = MakeProject({Pause(1000), Pause(1000)});
  for (int I = 0; I < 2; ++I) {
    auto* S = static_cast<TScreenSaverSequence*>(P->Sequences()->Items(I));
    S->SoundMediaID = Ids.Sound;  // once, no notification
  }
  TAnimationControl C;
  C.SetProject(P.get());
  TFakeMediaPlayer* Snd = Sound(C, 0);
  C.Start();
  StepAt(C, Now);
  EXPECT_EQ(Snd->Starts(), 1);
  Snd->FinishPlayback();
  DeliverMediaNotifications();
  EXPECT_EQ(Snd->Starts(), 1) << "a sound without loop plays once";
  EXPECT_EQ(Snd->Mode(), mpStopped);

  StepAt(C, Now + 1000);  // the second sequence: same file, not playing any more
  StepAt(C, Now + 1);
  EXPECT_EQ(Snd->Starts(), 2);
  EXPECT_EQ(std::count(Snd->Calls().begin(), Snd->Calls().end(), "Open " + MediaFile(*P, Ids.Sound)), 1);
  EXPECT_EQ(Snd->Calls().back(), "Play");
}

TEST_F(Animator, AnotherFileReplacesTheChannel) {
  auto P = MakeProject({Pause(1000, true), Pause(1000)});
  auto* Second = static_cast<TScreenSaverSequence*>(P->Sequences()->Items(1));
  Second->MusicMediaID = Ids.Movie;  // any other medium
  Second->MusicPlayMode = spmOnce;
  TAnimationControl C;
  C.SetProject(P.get());
  TFakeMediaPlayer* Music = Sound(C, 1);
  C.Start();
  StepAt(C, Now);
  StepAt(C, Now + 1000);
  StepAt(C, Now + 1);
  const std::vector<std::string> Expected = {"Open " + MediaFile(*P, Ids.Sound), "Play notify", "Close",
                                             "Open " + MediaFile(*P, Ids.Movie), "Play"};
  EXPECT_EQ(Commands(Music), Expected);
  EXPECT_EQ(Music->FileName(), MediaFile(*P, Ids.Movie));
  // The superseded tone reports no success, so nothing replays it.
  DeliverMediaNotifications();
  EXPECT_EQ(Commands(Music).size(), Expected.size());
}

TEST_F(Animator, MuteClosesBothChannelsAndKeepsThemClosed) {
  auto P = MakeProject({Pause(1000, true), Pause(1000, true)});
  static_cast<TScreenSaverSequence*>(P->Sequences()->Items(0))->SoundMediaID = Ids.Sound;
  TAnimationControl C;
  C.SetProject(P.get());
  C.Start();
  StepAt(C, Now);
  ASSERT_EQ(Sound(C, 0)->Mode(), mpPlaying);
  ASSERT_EQ(Sound(C, 1)->Mode(), mpPlaying);
  C.SetMute(true);
  EXPECT_TRUE(C.Mute());
  EXPECT_EQ(Sound(C, 0)->Mode(), mpNotReady);
  EXPECT_EQ(Sound(C, 1)->Mode(), mpNotReady);
  Sound(C, 0)->ClearCalls();
  Sound(C, 1)->ClearCalls();
  StepAt(C, Now + 1000);
  StepAt(C, Now + 1);
  C.OpenSound(MediaFile(*P, Ids.Sound), 0);
  C.PlaySound(true, 0);
  EXPECT_TRUE(Sound(C, 0)->Calls().empty());
  EXPECT_TRUE(Sound(C, 1)->Calls().empty());

  // Switching mute off reopens nothing by itself.
  C.SetMute(false);
  EXPECT_EQ(Sound(C, 1)->Mode(), mpNotReady);
}

TEST_F(Animator, AChannelClosedByStopOpensAgainWhenTheShowRestarts) {
  auto P = MakeProject({Pause(1000, true)});
  TAnimationControl C;
  C.SetProject(P.get());
  C.Start();
  StepAt(C, Now);
  C.Stop();
  ASSERT_EQ(Sound(C, 1)->Mode(), mpNotReady);
  C.Start();
  StepAt(C, Now + 5);
  EXPECT_EQ(Sound(C, 1)->Mode(), mpPlaying) << "the same file name must not keep a closed device shut";
}

TEST_F(Animator, FailingPlayersAreSwallowedAndTheShowGoesOn) {
  auto P = MakeProject({Pause(1000, true), Pause(1000, true)});
  static_cast<TScreenSaverSequence*>(P->Sequences()->Items(0))->SoundMediaID = 999;  // no such medium
  const std::string Tone = MediaFile(*P, Ids.Sound);
  Media.FailOpen(Tone);
  TAnimationControl C;
  C.SetProject(P.get());
  C.Start();
  EXPECT_NO_THROW(StepAt(C, Now));
  EXPECT_TRUE(Sound(C, 0)->Calls().empty()) << "an empty name is no file to open";
  EXPECT_EQ(Sound(C, 1)->Mode(), mpNotReady);
  EXPECT_NO_THROW(StepAt(C, Now + 1000));
  EXPECT_EQ(C.CurrentSequence(), C.Sequences().Items(1));
  // The next sequence naming the medium that failed does not try it again.
  EXPECT_EQ(Commands(Sound(C, 1)), (std::vector<std::string>{"Open " + Tone}));

  // Channel numbers other than 0 and 1 do nothing.
  EXPECT_NO_THROW(C.OpenSound(MediaFile(*P, Ids.Sound), 2));
  EXPECT_NO_THROW(C.PlaySound(true, -1));
  EXPECT_NO_THROW(C.CloseSound(7));
}

TEST_F(Animator, AMovieWithMoviesOffEndsAfterOneTickWithItsSoundStarted) {
  auto P = MakeProject({MovieClip(10, 10), Pause(1000)});
  static_cast<TScreenSaverSequence*>(P->Sequences()->Items(0))->SoundMediaID = Ids.Sound;
  TAnimationControl C;
  C.SetProject(P.get());
  C.SetNoMovies(true);
  EXPECT_TRUE(C.NoMovies());
  C.Start();
  EXPECT_EQ(C.CurrentSequence(), C.Sequences().Items(0));
  StepAt(C, Now);
  EXPECT_EQ(C.CurrentSequence(), C.Sequences().Items(1));
  EXPECT_TRUE(Movie(C)->Calls().empty());
  EXPECT_FALSE(C.MovieIsPlaying());
  EXPECT_EQ(Sound(C, 0)->Starts(), 1);
  EXPECT_FALSE(C.MoviePanel()->isVisibleTo(&C));

  // With sound muted as well (the preview), the movie's channel stays silent.
  C.SetMute(true);
  Sound(C, 0)->ClearCalls();
  StepAt(C, Now + 1000);
  ASSERT_EQ(C.CurrentSequence(), C.Sequences().Items(0));
  StepAt(C, Now);
  EXPECT_EQ(C.CurrentSequence(), C.Sequences().Items(1));
  EXPECT_TRUE(Sound(C, 0)->Calls().empty());
}

TEST_F(Animator, AMoviePlaysInItsPanelUntilItEnds) {
  auto P = MakeProject({Pause(500), MovieClip(320, 240)});
  TAnimationControl C;
  C.resize(320, 240);  // half the raster's size
  C.show();
  C.SetProject(P.get());
  C.Start();
  StepAt(C, Now + 500);
  ASSERT_EQ(C.CurrentSequence(), C.Sequences().Items(1));
  EXPECT_EQ(Movie(C)->FileName(), MediaFile(*P, Ids.Movie));
  EXPECT_EQ(C.MovieRect(), (TMediaRect{0, 0, 160, 120}));
  EXPECT_EQ(C.MoviePanel()->geometry(), QRect(160, 120, 80, 60));
  EXPECT_EQ(Movie(C)->AppliedRect(), (TMediaRect{0, 0, 80, 60}));
  EXPECT_FALSE(C.MoviePanel()->isVisibleTo(&C)) << "shown when it plays";

  StepAt(C, Now + 5);
  EXPECT_TRUE(C.MovieIsPlaying());
  EXPECT_TRUE(C.MoviePanel()->isVisibleTo(&C));
  EXPECT_FALSE(C.CurrentSequence()->NeedsRepaint());
  StepAt(C, Now + 60000);  // the clock plays no part
  EXPECT_EQ(C.CurrentSequence(), C.Sequences().Items(1));

  // A resize moves and scales the panel with the raster.
  C.resize(1280, 960);
  EXPECT_EQ(C.MoviePanel()->geometry(), QRect(640, 480, 320, 240));
  EXPECT_EQ(Movie(C)->AppliedRect(), (TMediaRect{0, 0, 320, 240}));

  Movie(C)->FinishPlayback();
  StepAt(C, Now + 1);
  EXPECT_EQ(C.CurrentSequence(), C.Sequences().Items(0));
  EXPECT_EQ(Movie(C)->Mode(), mpNotReady);
  EXPECT_FALSE(C.MoviePanel()->isVisibleTo(&C));

  // Resizing during another sequence leaves the panel alone.
  C.resize(640, 480);
  EXPECT_EQ(C.MoviePanel()->geometry(), QRect(640, 480, 320, 240));
}

TEST_F(Animator, AFullScreenMovieCoversTheControl) {
  auto P = MakeProject({MovieClip(50, 50, mdsFullScreen)});
  TAnimationControl C;
  C.resize(400, 300);
  C.show();
  C.SetProject(P.get());
  C.Start();
  EXPECT_EQ(C.MoviePanel()->geometry(), QRect(0, 0, 400, 300));
  C.resize(500, 200);
  EXPECT_EQ(C.MoviePanel()->geometry(), QRect(0, 0, 500, 200));
  EXPECT_EQ(Movie(C)->AppliedRect(), (TMediaRect{0, 0, 500, 200}));
}

TEST_F(Animator, AMovieThatCannotBeOpenedEndsAtItsFirstFrame) {
  auto P = MakeProject({MovieClip(0, 0), Pause(1000)});
  Media.FailOpen(MediaFile(*P, Ids.Movie));
  TAnimationControl C;
  C.SetProject(P.get());
  EXPECT_NO_THROW(C.Start());
  EXPECT_NO_THROW(StepAt(C, Now));
  EXPECT_EQ(C.CurrentSequence(), C.Sequences().Items(1));
  EXPECT_FALSE(C.MoviePanel()->isVisibleTo(&C));

  // A movie sequence whose medium does not exist opens nothing at all.
  auto* Clip = static_cast<TMovieSequence*>(C.Sequences().Items(0));
  Clip->MediaID = 4711;
  Movie(C)->ClearCalls();
  StepAt(C, Now + 1000);
  StepAt(C, Now);
  EXPECT_EQ(C.CurrentSequence(), C.Sequences().Items(1));
  EXPECT_FALSE(Has(Movie(C)->Calls(), "Play"));
}

// The movie's player answers long after the sequence starts: the sequence runs on meanwhile, its
// looping sound keeps restarting, and the movie is placed and shown once its size is known, or
// the sequence ends and shows nothing when it fails.
TEST_F(Animator, AMovieThatOpensLateIsShownThenOrEndsItsSequence) {
  for (const bool Opens : {true, false}) {
    SCOPED_TRACE(Opens ? "opens" : "fails");
    auto P = MakeProject({MovieClip(320, 240), Pause(1000)});
    auto* Clip = static_cast<TScreenSaverSequence*>(P->Sequences()->Items(0));
    Clip->SoundMediaID = Ids.Sound;
    Clip->SoundPlayMode = spmLoop;
    Media.HoldOpen(MediaFile(*P, Ids.Movie));
    TAnimationControl C;
    C.resize(320, 240);
    C.show();
    C.SetProject(P.get());
    C.Start();
    StepAt(C, Now);
    EXPECT_TRUE(C.MovieIsPlaying());
    EXPECT_EQ(C.MovieRect(), TMediaRect{});
    EXPECT_FALSE(C.MoviePanel()->isVisibleTo(&C)) << "shown before its size is known";
    for (int I = 0; I < 3; ++I) {
      Sound(C, 0)->FinishPlayback();
      DeliverMediaNotifications();
      StepAt(C, Now + 60000);
    }
    EXPECT_EQ(Sound(C, 0)->Starts(), 4);
    EXPECT_EQ(C.CurrentSequence(), C.Sequences().Items(0));

    Movie(C)->SettleOpen(Opens);
    DeliverMediaNotifications();
    StepAt(C, Now + 1);
    if (Opens) {
      EXPECT_EQ(C.CurrentSequence(), C.Sequences().Items(0));
      EXPECT_EQ(C.MovieRect(), (TMediaRect{0, 0, 160, 120}));
      EXPECT_EQ(C.MoviePanel()->geometry(), QRect(160, 120, 80, 60));
      EXPECT_EQ(Movie(C)->AppliedRect(), (TMediaRect{0, 0, 80, 60}));
      EXPECT_TRUE(C.MoviePanel()->isVisibleTo(&C));
    } else {
      EXPECT_EQ(C.CurrentSequence(), C.Sequences().Items(1));
      EXPECT_FALSE(C.MoviePanel()->isVisibleTo(&C));
    }
  }
}

TEST_F(Animator, NoMoviesDuringAMovieClosesIt) {
  auto P = MakeProject({MovieClip(0, 0)});
  TAnimationControl C;
  C.SetProject(P.get());
  C.Start();
  StepAt(C, Now);
  ASSERT_TRUE(C.MovieIsPlaying());
  C.SetNoMovies(true);
  EXPECT_FALSE(C.MovieIsPlaying());
  EXPECT_EQ(Movie(C)->Mode(), mpNotReady);
  StepAt(C, Now + 1);  // the movie sequence ends; the next pass opens nothing
  StepAt(C, Now + 1);
  EXPECT_EQ(Movie(C)->Mode(), mpNotReady);
}

TEST_F(Animator, DestroyingThePlayingControlIsOrderly) {
  // The movie clone closes the movie through the control while the controller goes, so the
  // players must still be there then; afterwards they are gone with the control.
  auto P = MakeProject({MovieClip(0, 0), Pause(100, true)});
  auto C = std::make_unique<TAnimationControl>();
  C->SetProject(P.get());
  C->Start();
  StepAt(*C, Now);
  ASSERT_TRUE(C->MovieIsPlaying());
  ASSERT_EQ(Media.PlayerCount(), 3u);
  C.reset();
  for (size_t I = 0; I < Media.PlayerCount(); ++I) EXPECT_EQ(Media.Player(I), nullptr);
  EXPECT_EQ(P->Sequences()->Count(), 2) << "the project keeps its own sequences";
  DeliverMediaNotifications();
}

TEST_F(Animator, MouseInputReachesTheHandlersInControlCoordinates) {
  TAnimationControl C;
  C.resize(200, 100);
  EXPECT_TRUE(C.hasMouseTracking());
  std::vector<QPoint> Moves;
  std::vector<Qt::MouseButton> Buttons;
  C.OnMouseMove = [&](int X, int Y) { Moves.emplace_back(X, Y); };
  C.OnMouseDown = [&](Qt::MouseButton B, int X, int Y) {
    Buttons.push_back(B);
    Moves.emplace_back(X, Y);
  };
  QMouseEvent Move(QEvent::MouseMove, QPointF(12, 34), QPointF(12, 34), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(&C, &Move);
  QMouseEvent Press(QEvent::MouseButtonPress, QPointF(50, 60), QPointF(50, 60), Qt::RightButton,
                    Qt::RightButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&C, &Press);
  EXPECT_EQ(Moves, (std::vector<QPoint>{QPoint(12, 34), QPoint(50, 60)}));
  EXPECT_EQ(Buttons, (std::vector<Qt::MouseButton>{Qt::RightButton}));
  EXPECT_TRUE(Move.isAccepted());
}
