#pragma once
// The control that plays a project: its own clones of the project's sequences in a looping
// controller, drawing into the control's raster (the project's resolution), which is painted
// stretched over the client area; a hidden panel that shows movies; one media player for
// movies, one for sounds (channel 0) and one for music (channel 1).
//
// Failures of the media players while opening, playing or closing sounds, and while opening or
// playing a movie, are swallowed: the show goes on without that sound or movie. Errors of the
// sequences themselves pass through Step to the caller.

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "graphics/GraphicObjects.h"
#include "model/ScreenSaverModel.h"
#include "model/Sequencer.h"
#include "platform/MediaPlayer.h"
#include "player/ScreenSaverSequences.h"

class TAnimationControl : public TCustomGraphics {
  Q_OBJECT

public:
  explicit TAnimationControl(QWidget* AOwner = nullptr);
  // Frees the controller (its clones finish, which may close the movie), then the movie
  // player, the movie panel and the two sound players.
  ~TAnimationControl() override;

  // --- Used by the show forms ---------------------------------------------------------------

  // Sizes the raster to the project's resolution and adds a clone of every sequence (a
  // blendable sequence's transition cloned in front of it). Adds to what is there already.
  void SetProject(TScreenSaverProject* Project);
  // The first clone starts.
  void Start();
  // One frame: the current clone draws, a finished one hands over to the next; the control
  // repaints when the sequence on screen asks for it. Nothing before Start.
  void Step();
  // Finishes the current clone and closes the movie and both channels.
  void Stop();
  // The clone on screen, or nullptr.
  TScreenSaverSequence* CurrentSequence() const;
  // On: both channels close, no sound is opened or played any more.
  void SetMute(bool Value);
  // On: the movie closes, no movie is opened or played any more.
  void SetNoMovies(bool Value);
  bool Mute() const { return FMute; }
  bool NoMovies() const { return FNoMovies; }

  // Mouse input over the control, in the control's own coordinates (mouse tracking is on, so
  // moves without a button pressed arrive too).
  std::function<void(int X, int Y)> OnMouseMove;
  std::function<void(Qt::MouseButton Button, int X, int Y)> OnMouseDown;

  // --- Used by the sequences ------------------------------------------------------------------

  TSequenceList& Sequences() const;
  // The clone after the current one; after the last, the first.
  TSequence* NextSequence() const;
  // Channels 0 (sound) and 1 (music); other channel numbers are ignored. A channel asked to
  // open the file it already has is left as it is (playing on, or shut after a failed open);
  // closing a channel makes it forget its file.
  void OpenSound(const std::string& FileName, int Channel);
  void PlaySound(bool Loop, int Channel);
  void CloseSound(int Channel);
  void OpenMovie(TMovieSequence* Sequence);
  void PlayMovie();
  // Not guarded: an error of the player reaches the caller.
  void CloseMovie();
  bool MovieIsPlaying() const;

  // --- Inspection -----------------------------------------------------------------------------

  TSequenceControler& Controller() const { return *FController; }
  TMediaPlayer* MoviePlayer() const { return FMoviePlayer.get(); }
  QWidget* MoviePanel() const { return FMoviePanel.get(); }
  TMediaPlayer* SoundPlayer(int Channel) const;
  // The open movie's own placement: Left, Top, its width in Right and its height in Bottom.
  TMediaRect MovieRect() const { return FMovieRect; }

protected:
  // Places the movie panel again after the inherited resize handling.
  void Resize() override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;

private:
  void AddSequence(TSequence* Sequence, TScreenSaverProject* Project);
  void PlaceMovie();
  // The movie player's open ended: the movie is placed and, when it plays, shown; a failed one
  // is hidden.
  void MovieOpened();
  bool MovieSizeKnown() const;
  void ShowMovie();
  // The replay handler of a sound channel: a sound that reached its end plays again.
  void SoundNotify(int Channel);

  std::unique_ptr<TSequenceControler> FController;
  std::unique_ptr<TMediaPlayer> FMoviePlayer;
  std::unique_ptr<QWidget> FMoviePanel;
  TMediaRect FMovieRect;
  std::array<std::unique_ptr<TMediaPlayer>, 2> FSoundPlayers;
  std::array<bool, 2> FSameFile{false, false};
  bool FMute = false;
  bool FNoMovies = false;
};
