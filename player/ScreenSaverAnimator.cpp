#include "player/ScreenSaverAnimator.h"

#include <QMouseEvent>

TAnimationControl::TAnimationControl(QWidget* AOwner) : TCustomGraphics(AOwner) {
  // The particle waves draw over the last frame, which needs a back raster from the start.
  SetDoubleBuffered(true);
  setMouseTracking(true);

  FController = std::make_unique<TSequenceControler>();
  FController->SetLoop(true);

  FMoviePanel = std::make_unique<QWidget>(this);
  FMoviePanel->hide();
  // Only the movie is drawn in the panel; leave its background alone.
  FMoviePanel->setAttribute(Qt::WA_OpaquePaintEvent);

  FMoviePlayer = plat::CreateMediaPlayer();
  FMoviePlayer->SetDisplay(FMoviePanel.get());
  FMoviePlayer->OnNotify = [](TMediaPlayer*) {};
  FMoviePlayer->OnOpened = [this](TMediaPlayer*) { MovieOpened(); };

  for (int Channel = 0; Channel < 2; ++Channel) {
    FSoundPlayers[Channel] = plat::CreateMediaPlayer();
    FSoundPlayers[Channel]->OnNotify = [this, Channel](TMediaPlayer*) { SoundNotify(Channel); };
  }
}

TAnimationControl::~TAnimationControl() {
  // The clone on screen closes the movie through this control while it finishes; a player
  // error must not escape a destructor.
  try {
    FController->StopAll();
  } catch (...) {
  }
  FController.reset();
  FMoviePlayer.reset();
  FMoviePanel.reset();
  FSoundPlayers[0].reset();
  FSoundPlayers[1].reset();
}

// ---------------------------------------------------------------------------------------------

void TAnimationControl::SetProject(TScreenSaverProject* Project) {
  if (!Project) return;
  const TScreenSaverInfo* Info = Project->RizuderInfo();
  SetRasterSize(Info->ResolutionWidth(), Info->ResolutionHeight());
  TSequenceList* List = Project->Sequences();
  for (int I = 0; I < List->Count(); ++I) AddSequence(List->Items(I), Project);
}

void TAnimationControl::AddSequence(TSequence* Sequence, TScreenSaverProject* Project) {
  if (!Sequence) return;
  // A transition plays directly before the sequence it blends into.
  if (auto* Blendable = dynamic_cast<TBlendableSequence*>(Sequence); Blendable && Blendable->Transition()) {
    std::unique_ptr<TTransitionSequence> T = CloneOf(*Blendable->Transition());
    T->SetProject(Project);
    T->SetAnimationControl(this);
    Sequences().Add(std::move(T));
  }
  std::unique_ptr<TSequence> C = CloneOf(*Sequence);
  // A read project has told its sequences already; one built in memory may not have, and the
  // clones find their media through it.
  C->SetProject(Project);
  if (auto* S = dynamic_cast<TScreenSaverSequence*>(C.get())) S->SetAnimationControl(this);
  Sequences().Add(std::move(C));
}

void TAnimationControl::Start() { FController->Play(); }

void TAnimationControl::Step() {
  if (!FController->CurrentSequence()) return;
  FController->Tick();
  TSequence* Current = FController->CurrentSequence();
  if (!Current) return;
  auto* S = dynamic_cast<TScreenSaverSequence*>(Current);
  if (!S || S->NeedsRepaint()) update();
}

void TAnimationControl::Stop() {
  FController->StopAll();
  CloseMovie();
  CloseSound(0);
  CloseSound(1);
}

TScreenSaverSequence* TAnimationControl::CurrentSequence() const {
  return dynamic_cast<TScreenSaverSequence*>(FController->CurrentSequence());
}

void TAnimationControl::SetMute(bool Value) {
  FMute = Value;
  if (Value) {
    CloseSound(0);
    CloseSound(1);
  }
}

void TAnimationControl::SetNoMovies(bool Value) {
  FNoMovies = Value;
  if (Value) CloseMovie();
}

TSequenceList& TAnimationControl::Sequences() const { return FController->Sequences(); }

TSequence* TAnimationControl::NextSequence() const { return FController->PeekNext(); }

TMediaPlayer* TAnimationControl::SoundPlayer(int Channel) const {
  if (Channel < 0 || Channel > 1) return nullptr;
  return FSoundPlayers[Channel].get();
}

// ---------------------------------------------------------------------------------------------
// Sound and music

void TAnimationControl::OpenSound(const std::string& FileName, int Channel) {
  if (FMute) return;
  TMediaPlayer* P = SoundPlayer(Channel);
  if (!P) return;
  try {
    // The file the channel has is left alone whatever the player's state: it may be playing on
    // from the previous sequence, and a medium that failed to open is not tried again by every
    // sequence that names it. A channel closed on purpose has forgotten its file.
    if (FileName == P->FileName()) {
      FSameFile[Channel] = true;
      return;
    }
    P->Close();
    P->SetDeviceType(dtAutoSelect);
    P->SetFileName(FileName);
    P->Open();
  } catch (...) {
  }
}

void TAnimationControl::PlaySound(bool Loop, int Channel) {
  if (FMute) return;
  TMediaPlayer* P = SoundPlayer(Channel);
  if (!P) return;
  try {
    // Music that runs on from the previous sequence is not restarted.
    if (FSameFile[Channel] && P->Mode() == mpPlaying) return;
    FSameFile[Channel] = false;
    P->SetNotify(Loop);
    P->Play();
  } catch (...) {
  }
}

void TAnimationControl::SoundNotify(int Channel) {
  TMediaPlayer* P = SoundPlayer(Channel);
  // Only a sound that reached its end is replayed; a closed or superseded one is not.
  if (!P || P->NotifyValue() != nvSuccessful) return;
  try {
    P->SetNotify(true);
    P->Play();
  } catch (...) {
  }
}

void TAnimationControl::CloseSound(int Channel) {
  TMediaPlayer* P = SoundPlayer(Channel);
  if (!P) return;
  try {
    // Forgotten with the device, so that the next show or the end of mute opens the file
    // afresh instead of taking the closed channel for one that has it.
    P->SetFileName({});
    if (P->Mode() != mpNotReady) P->Close();
  } catch (...) {
  }
}

// ---------------------------------------------------------------------------------------------
// Movies

void TAnimationControl::OpenMovie(TMovieSequence* Sequence) {
  if (FNoMovies || !Sequence) return;
  try {
    FMoviePlayer->Close();
    FMoviePlayer->SetDeviceType(dtAutoSelect);
    std::string File;
    Sequence->GetMediaFileName(File);
    if (File.empty()) return;
    FMoviePlayer->SetFileName(File);
    // Returns before the medium is open: its size, and with it the placement, may follow in
    // MovieOpened.
    FMoviePlayer->Open();
    // The empty rectangle asks for the movie's own size.
    FMoviePlayer->SetDisplayRect(TMediaRect{});
    FMovieRect = FMoviePlayer->DisplayRect();
    PlaceMovie();
  } catch (...) {
  }
}

void TAnimationControl::MovieOpened() {
  try {
    if (FMoviePlayer->Mode() == mpNotReady) {
      // It failed: the sequence ends as for a movie that did not open, with nothing shown.
      FMoviePanel->hide();
      return;
    }
    FMoviePlayer->SetDisplayRect(TMediaRect{});
    FMovieRect = FMoviePlayer->DisplayRect();
    PlaceMovie();
    if (FMoviePlayer->Mode() == mpPlaying) ShowMovie();
  } catch (...) {
  }
}

bool TAnimationControl::MovieSizeKnown() const { return FMovieRect.Right > 0 && FMovieRect.Bottom > 0; }

void TAnimationControl::ShowMovie() {
  if (!MovieSizeKnown()) return;
  FMoviePanel->show();
  FMoviePanel->update();
}

void TAnimationControl::PlaceMovie() {
  auto* Movie = dynamic_cast<TMovieSequence*>(CurrentSequence());
  if (!Movie) return;
  switch (Movie->MovieDisplaySize) {
    case mdsNormal:
      // The movie keeps its own size in raster pixels and is scaled with the raster.
      FMoviePanel->setGeometry(RasterToClientX(Movie->Left), RasterToClientY(Movie->Top),
                               RasterToClientX(FMovieRect.Right), RasterToClientY(FMovieRect.Bottom));
      break;
    case mdsFullScreen:
      FMoviePanel->setGeometry(0, 0, width(), height());
      break;
  }
  FMoviePlayer->SetDisplayRect(TMediaRect{0, 0, FMoviePanel->width(), FMoviePanel->height()});
}

void TAnimationControl::PlayMovie() {
  if (FNoMovies) return;
  try {
    FMoviePlayer->Play();
    // Shown once its size is known, which may come later.
    ShowMovie();
  } catch (...) {
  }
}

void TAnimationControl::CloseMovie() {
  if (FMoviePlayer->Mode() == mpNotReady) return;
  FMoviePlayer->Close();
  FMoviePanel->hide();
}

bool TAnimationControl::MovieIsPlaying() const { return FMoviePlayer->Mode() == mpPlaying; }

// ---------------------------------------------------------------------------------------------
// Window events

void TAnimationControl::Resize() {
  TCustomGraphics::Resize();
  // Nothing may escape into the window system's event dispatch: a placement that cannot be
  // computed (a raster without pixels) leaves the panel where it is.
  try {
    PlaceMovie();
  } catch (...) {
  }
}

void TAnimationControl::mouseMoveEvent(QMouseEvent* Event) {
  // Taken here: the form must not see the same move a second time in its own coordinates.
  Event->accept();
  const QPoint P = Event->position().toPoint();
  if (OnMouseMove) OnMouseMove(P.x(), P.y());
}

void TAnimationControl::mousePressEvent(QMouseEvent* Event) {
  Event->accept();
  const QPoint P = Event->position().toPoint();
  if (OnMouseDown) OnMouseDown(Event->button(), P.x(), P.y());
}
