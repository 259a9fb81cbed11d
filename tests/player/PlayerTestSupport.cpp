#include "tests/player/PlayerTestSupport.h"

#include "platform/Platform.h"

namespace playertest {

RIZ_PUBLISHED(TTestTransition) { D.Integer("Marker", &TTestTransition::Marker); }

void TTestTransition::Step() {
  inherited::Step();
  ++Steps;
  if (!FOldPicture || !FNewPicture || !FAnimationControl) return;
  const TDIBRaster* Shown = int64_t{Elapsed()} * 2 < Duration ? FOldPicture.get() : FNewPicture;
  Shown->CopyTo(FAnimationControl->Raster());
}

void PlayerTest::SetUp() {
  RegisterModelClasses();
  RegisterScreenSaverSequencesClasses();
  RegisterReflectiveClass<TTestTransition>();
  plat::SetTickHook([this] { return Now; });
}

std::unique_ptr<TScreenSaverProject> PlayerTest::MakeProject(
    const std::vector<demosaver::TSequenceMaker>& Sequences, TScreenResolution Resolution, int W, int H) {
  demosaver::TDemoOptions O;
  O.Resolution = Resolution;
  O.PictureWidth = W;
  O.PictureHeight = H;
  O.Movie = true;
  O.NoFonts = true;
  O.WithDemoSequences = false;
  O.ExtraSequences = Sequences;
  std::unique_ptr<TScreenSaverProject> P = demosaver::MakeDemoProject(O, &Ids);
  Media.SetNativeSize(MediaFile(*P, Ids.Movie), 160, 120);
  return P;
}

TFakeMediaPlayer* PlayerTest::Sound(const TAnimationControl& C, int Channel) {
  return dynamic_cast<TFakeMediaPlayer*>(C.SoundPlayer(Channel));
}

TFakeMediaPlayer* PlayerTest::Movie(const TAnimationControl& C) {
  return dynamic_cast<TFakeMediaPlayer*>(C.MoviePlayer());
}

std::string PlayerTest::MediaFile(const TScreenSaverProject& P, int32_t Id) const {
  const TMedia* M = P.MediaManager()->MediaById(Id);
  return M ? M->FileName : std::string();
}

void PlayerTest::StepAt(TAnimationControl& C, uint32_t At) {
  Now = At;
  C.Step();
}

std::vector<std::string> Commands(const TFakeMediaPlayer* Player) {
  std::vector<std::string> R;
  for (const std::string& C : Player->Calls())
    if (C.rfind("DisplayRect", 0) != 0) R.push_back(C);
  return R;
}

demosaver::TSequenceMaker Slide(size_t Picture, TColor Color, int X, int Y, int32_t Duration,
                                bool WithTransition) {
  return [=](TScreenSaverProject& P, const demosaver::TDemoMedia& M) {
    auto S = TSequence::CreateNamed<TSlideSequence>("Bild", nullptr);
    S->MediaID = Picture < M.Pictures.size() ? M.Pictures[Picture] : 0;
    S->Color = Color;
    S->Left = X;
    S->Top = Y;
    S->Duration = Duration;
    if (WithTransition) {
      TTestTransition T;
      S->SetTransition(&T);
    }
    P.Sequences()->Add(std::move(S));
  };
}

demosaver::TSequenceMaker Pause(int32_t Duration, bool LoopMusic) {
  return [=](TScreenSaverProject& P, const demosaver::TDemoMedia& M) {
    auto S = std::make_unique<TPauseSequence>();
    S->Duration = Duration;
    if (LoopMusic) {
      S->MusicMediaID = M.Sound;
      S->MusicPlayMode = spmLoop;
    }
    P.Sequences()->Add(std::move(S));
  };
}

demosaver::TSequenceMaker EmptyPage(TColor Color, int32_t Duration) {
  return [=](TScreenSaverProject& P, const demosaver::TDemoMedia&) {
    auto S = std::make_unique<TEmptyPageSequence>();
    S->Color = Color;
    S->Duration = Duration;
    P.Sequences()->Add(std::move(S));
  };
}

demosaver::TSequenceMaker MovieClip(int X, int Y, TMovieDisplaySize Size) {
  return [=](TScreenSaverProject& P, const demosaver::TDemoMedia& M) {
    auto S = std::make_unique<TMovieSequence>();
    S->MediaID = M.Movie;
    S->Left = X;
    S->Top = Y;
    S->MovieDisplaySize = Size;
    P.Sequences()->Add(std::move(S));
  };
}

}  // namespace playertest
