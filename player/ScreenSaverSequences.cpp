#include "player/ScreenSaverSequences.h"

#include "persistence/PropertyBags.h"
#include "player/ScreenSaverAnimator.h"

// ---------------------------------------------------------------------------------------------
// TScreenSaverSequence

RIZ_PUBLISHED(TScreenSaverSequence) {
  D.Integer("SoundMediaID", &TScreenSaverSequence::SoundMediaID);
  D.Enumeration("SoundPlayMode", TSoundPlayModeNames, &TScreenSaverSequence::SoundPlayMode);
  D.Integer("MusicMediaID", &TScreenSaverSequence::MusicMediaID);
  D.Enumeration("MusicPlayMode", TSoundPlayModeNames, &TScreenSaverSequence::MusicPlayMode);
  D.String("WebLinkTitle", &TScreenSaverSequence::WebLinkTitle);
  D.String("WebLinkAddress", &TScreenSaverSequence::WebLinkAddress);
}

TScreenSaverSequence::TScreenSaverSequence() {
  Name = SNewSequenceName;
  Duration = 8000;
}

void TScreenSaverSequence::AssignInnerProperties(const TReflectivePersistent& Source) {
  inherited::AssignInnerProperties(Source);
  SetProject(static_cast<const TScreenSaverSequence&>(Source).FProject);
}

void TScreenSaverSequence::SetProject(TScreenSaverProject* Project) { FProject = Project; }

void TScreenSaverSequence::Prepare() {
  inherited::Prepare();
  if (FAnimationControl) {
    if (SoundMediaID > 0) {
      std::string File;
      GetMediaFile(SoundMediaID, File);
      FAnimationControl->OpenSound(File, 0);
    }
    if (MusicMediaID > 0) {
      std::string File;
      GetMediaFile(MusicMediaID, File);
      FAnimationControl->OpenSound(File, 1);
    }
  }
  FStartPending = true;
}

void TScreenSaverSequence::Step() {
  inherited::Step();
  if (!FStartPending) return;
  FStartPending = false;
  if (!FAnimationControl) return;
  if (SoundMediaID > 0) FAnimationControl->PlaySound(SoundPlayMode == spmLoop, 0);
  if (MusicMediaID > 0) FAnimationControl->PlaySound(MusicPlayMode == spmLoop, 1);
}

namespace {
TMedia* FindMedia(const TScreenSaverProject* Project, int32_t MediaID) {
  if (!Project || !Project->MediaManager()) return nullptr;
  return Project->MediaManager()->MediaById(MediaID);
}
}  // namespace

void TScreenSaverSequence::GetMediaFile(int32_t MediaID, std::string& FileName) const {
  if (TMedia* M = FindMedia(FProject, MediaID)) FileName = M->FileName;
}

void TScreenSaverSequence::GetMediaOriginalName(int32_t MediaID, std::string& AName) const {
  if (TMedia* M = FindMedia(FProject, MediaID)) AName = M->OriginalFileName;
}

void TScreenSaverSequence::GetChannelText(int32_t MediaID, TSoundPlayMode PlayMode,
                                          std::string& S) const {
  if (MediaID == 0) {
    S = SNoChannelMedia;
    return;
  }
  S = PlayMode == spmLoop ? SPlayLoop : SPlayOnce;
  std::string Original;
  GetMediaOriginalName(MediaID, Original);
  S += " \"" + ExtractFileName(Original) + "\"";
}

void TScreenSaverSequence::GetMusicText(std::string& S) const {
  GetChannelText(MusicMediaID, MusicPlayMode, S);
}

void TScreenSaverSequence::GetSoundText(std::string& S) const {
  GetChannelText(SoundMediaID, SoundPlayMode, S);
}

// ---------------------------------------------------------------------------------------------
// TMediaSequence

RIZ_PUBLISHED(TMediaSequence) { D.Integer("MediaID", &TMediaSequence::MediaID); }

void TMediaSequence::GetMediaFileName(std::string& FileName) const {
  FileName.clear();
  GetMediaFile(MediaID, FileName);
}

TPicture* TMediaSequence::GetMediaPicture() const {
  TMedia* M = FindMedia(FProject, MediaID);
  return M ? M->GetPicture() : nullptr;
}

// ---------------------------------------------------------------------------------------------
// TBlendableSequence

RIZ_PUBLISHED(TBlendableSequence) {
  D.Object("Transition", &TBlendableSequence::Transition, &TBlendableSequence::SetTransition);
}

TBlendableSequence::TBlendableSequence() = default;

TBlendableSequence::~TBlendableSequence() = default;

void TBlendableSequence::SetTransition(const TTransitionSequence* Value) {
  // The clone is taken before the old object goes, so Value may be the current transition.
  std::unique_ptr<TTransitionSequence> Old = std::move(FTransition);
  if (Value) {
    FTransition = CloneOf(*Value);
    FTransition->SetProject(FProject);
  }
  Old.reset();
}

void TBlendableSequence::SetProject(TScreenSaverProject* Project) {
  inherited::SetProject(Project);
  if (FTransition) FTransition->SetProject(Project);
}

TDIBRaster* TBlendableSequence::GetPicture() { throw EAbstractError(SAbstractError); }

// ---------------------------------------------------------------------------------------------
// TTransitionSequence

RIZ_PUBLISHED(TTransitionSequence) {}

TTransitionSequence::TTransitionSequence() = default;

TTransitionSequence::~TTransitionSequence() = default;

void TTransitionSequence::Prepare() {
  inherited::Prepare();
  FNewPicture = nullptr;
  FOldPicture.reset();
  if (!FAnimationControl) return;
  auto* Next = dynamic_cast<TBlendableSequence*>(FAnimationControl->NextSequence());
  if (!Next) return;
  const TDIBRaster* Screen = FAnimationControl->Raster();
  auto Old = std::make_unique<TDIBRaster>(Screen->Width, Screen->Height);
  Screen->CopyTo(Old.get());
  // A stored bare blendable sequence has no picture and raises: the transition keeps nothing.
  FNewPicture = Next->GetPicture();
  FOldPicture = std::move(Old);
}

void TTransitionSequence::Unprepare() {
  FOldPicture.reset();
  FNewPicture = nullptr;
  inherited::Unprepare();
}

void TTransitionSequence::GetCaption(std::string&) { throw EAbstractError(SAbstractError); }

void TTransitionSequence::GetDescription(std::string&) { throw EAbstractError(SAbstractError); }

void TTransitionSequence::GetParameterText(std::string& S) {
  std::string Caption, Music, Sound;
  GetCaption(Caption);
  GetMusicText(Music);
  GetSoundText(Sound);
  S = Caption + ", Dauer " + IntToStr(DurationTenths()) + " [1/10 Sek.], Kanal 1 " + Music +
      ", Kanal 2 " + Sound;
}

// ---------------------------------------------------------------------------------------------

void MeasureSequenceText(const std::string& Text, int32_t Position, TScrollTextStyle Style,
                         TCanvas& Canvas, int32_t W, int32_t H, bool FullBand, TRect& R) {
  const int32_t Right = CheckedSub(W, 1);
  const int32_t Bottom = CheckedSub(H, 1);
  std::string S = Text;
  if (Style == stsCharByCharHorizontal) {
    S = StringReplaceAll(std::move(S), "\r\n", " ");
    R = Rect(0, Position, Right, Bottom);
  } else {
    R = Rect(Position, 0, Right, Bottom);
  }
  plat::DrawText(Canvas.Handle(), S, -1, R, plat::DT_CALCRECT | plat::DT_NOPREFIX | plat::DT_NOCLIP);
  if (FullBand) {
    if (Style == stsCharByCharHorizontal)
      R.Right = Right;
    else
      R.Bottom = Bottom;
  }
}

// ---------------------------------------------------------------------------------------------
// TBaseSlideSequence, TSlideSequence, TEmptyPageSequence

RIZ_PUBLISHED(TBaseSlideSequence) { D.Integer("Color", &TBaseSlideSequence::Color); }

TBaseSlideSequence::~TBaseSlideSequence() = default;

void TBaseSlideSequence::Prepare() {
  inherited::Prepare();
  const TDIBRaster* Screen = FAnimationControl ? FAnimationControl->Raster() : nullptr;
  FPage = std::make_unique<TDIBRaster>(Screen ? Screen->Width : 0, Screen ? Screen->Height : 0);
  FPage->Clear(SwapRB(Color));
}

void TBaseSlideSequence::Unprepare() {
  FPage.reset();
  TSequence::Unprepare();
}

void TBaseSlideSequence::Step() {
  inherited::Step();
  if (FPage && FAnimationControl) FPage->CopyTo(FAnimationControl->Raster());
}

TDIBRaster* TBaseSlideSequence::GetPicture() {
  if (!Prepared()) Start();
  return FPage.get();
}

RIZ_PUBLISHED(TSlideSequence) {
  D.Integer("Left", &TSlideSequence::Left);
  D.Integer("Top", &TSlideSequence::Top);
}

void TSlideSequence::Prepare() {
  inherited::Prepare();
  TPicture* Picture = GetMediaPicture();
  if (Picture && FPage->Canvas) FPage->Canvas->Draw(Left, Top, Picture->Graphic());
}

RIZ_PUBLISHED(TEmptyPageSequence) {}

TEmptyPageSequence::TEmptyPageSequence() { Name = SEmptyPageName; }

// ---------------------------------------------------------------------------------------------
// TPauseSequence

RIZ_PUBLISHED(TPauseSequence) {}

TPauseSequence::TPauseSequence() { Name = SPauseName; }

// ---------------------------------------------------------------------------------------------
// TMovieSequence

RIZ_PUBLISHED(TMovieSequence) {
  D.Integer("Left", &TMovieSequence::Left);
  D.Integer("Top", &TMovieSequence::Top);
  D.Enumeration("MovieDisplaySize", TMovieDisplaySizeNames, &TMovieSequence::MovieDisplaySize);
}

TMovieSequence::TMovieSequence() { Duration = -1; }

TMovieSequence::~TMovieSequence() {
  // The base destructor can no longer reach this class's Unprepare, which closes the movie.
  try {
    Finish();
  } catch (...) {
  }
}

void TMovieSequence::Prepare() {
  inherited::Prepare();
  if (FAnimationControl) FAnimationControl->OpenMovie(this);
}

void TMovieSequence::Unprepare() {
  if (FAnimationControl) FAnimationControl->CloseMovie();
  TSequence::Unprepare();
}

void TMovieSequence::Step() {
  const bool First = FStartPending;
  inherited::Step();
  if (First && FAnimationControl) FAnimationControl->PlayMovie();
}

bool TMovieSequence::IsRunning() { return FAnimationControl && FAnimationControl->MovieIsPlaying(); }

// ---------------------------------------------------------------------------------------------

void RegisterScreenSaverSequencesClasses() {
  // The order of the stored format's class list; the kinds of the other units take their
  // places as they arrive.
  RegisterReflectiveClass<TScreenSaverSequence>();
  RegisterReflectiveClass<TMediaSequence>();
  RegisterReflectiveClass<TBlendableSequence>();
  RegisterReflectiveClass<TBaseSlideSequence>();
  RegisterReflectiveClass<TSlideSequence>();
  RegisterReflectiveClass<TLogoSequence>();
  RegisterReflectiveClass<TTextSequence>();
  RegisterReflectiveClass<TScrollTextSequence>();
  RegisterReflectiveClass<TFlyingTextSequence>();
  RegisterReflectiveClass<TMovieSequence>();
  RegisterReflectiveClass<TPSSSWaveSequence>();
  RegisterReflectiveClass<TTransitionSequence>();
  RegisterReflectiveClass<TBaseAlphaBlendSequence>();
  RegisterReflectiveClass<TAlphaBlendSequence>();
  RegisterReflectiveClass<TBaseTileBlendSequence>();
  RegisterReflectiveClass<TShutterBlendSequence>();
  RegisterReflectiveClass<TTileBlendSequence>();
  RegisterReflectiveClass<TScrollTransitionSequence>();
  RegisterReflectiveClass<TPauseSequence>();
  RegisterReflectiveClass<TEmptyPageSequence>();
}
