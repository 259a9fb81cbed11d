#pragma once
// Every kind of sequence a show is made of. TScreenSaverSequence is the common ground: the
// sound channel (0), the music channel (1), the web link, and the back references to the
// project and to the animation control that plays the sequence. Only clones made by the
// control play; they draw into the control's raster, whose size is the project's resolution.
//
// Channels are started on a sequence's first frame and never closed when it ends, so a looping
// music runs on through the following sequences until another file is opened on its channel.

#include <cstdint>
#include <memory>
#include <string>

#include "graphics/GfxTool.h"
#include "model/MediaManager.h"
#include "model/ScreenSaverModel.h"
#include "model/Sequencer.h"
#include "platform/PaintTarget.h"

class TAnimationControl;
class TTransitionSequence;

// ---------------------------------------------------------------------------------------------
// Enumerations stored with the sequences (identifiers in ordinal order).

enum TSoundPlayMode : uint8_t { spmOnce = 0, spmLoop = 1 };
inline constexpr const char* TSoundPlayModeNames[] = {"spmOnce", "spmLoop"};

enum TEffectDirection : uint8_t { edLeftToRight = 0, edRightToLeft = 1, edTopToBottom = 2, edBottomToTop = 3 };
inline constexpr const char* TEffectDirectionNames[] = {"edLeftToRight", "edRightToLeft",
                                                        "edTopToBottom", "edBottomToTop"};

enum TTilingMode : uint8_t { tmLineByLine = 0, tmSpiralToInner = 1 };
inline constexpr const char* TTilingModeNames[] = {"tmLineByLine", "tmSpiralToInner"};

// tdLowerToUpper: index increasing; tdUpperToLower: decreasing; tdPingPong: alternating.
enum TTilingDirection : uint8_t { tdLowerToUpper = 0, tdUpperToLower = 1, tdPingPong = 2 };
inline constexpr const char* TTilingDirectionNames[] = {"tdLowerToUpper", "tdUpperToLower", "tdPingPong"};

enum TSpiralStart : uint8_t { ssLeftTop = 0, ssRightTop = 1, ssLeftBottom = 2, ssRightBottom = 3 };
inline constexpr const char* TSpiralStartNames[] = {"ssLeftTop", "ssRightTop", "ssLeftBottom",
                                                    "ssRightBottom"};

enum TScrollTextStyle : uint8_t { stsCharByCharHorizontal = 0, stsLineByLineVertical = 1 };
inline constexpr const char* TScrollTextStyleNames[] = {"stsCharByCharHorizontal",
                                                        "stsLineByLineVertical"};

enum TMovieDisplaySize : uint8_t { mdsNormal = 0, mdsFullScreen = 1 };
inline constexpr const char* TMovieDisplaySizeNames[] = {"mdsNormal", "mdsFullScreen"};

// ---------------------------------------------------------------------------------------------
// The German word tables of the parameter texts, indexed by the enumeration's ordinal.

inline constexpr const char* EffectDirectionTexts[] = {"nach rechts", "nach links", "nach unten",
                                                       "nach oben"};
inline constexpr const char* TilingModeTexts[] = {"Zeile für Zeile", "Spirale nach innen"};
inline constexpr const char* RowDirectionTexts[] = {"nach rechts", "nach links", "Ping Pong"};
inline constexpr const char* ColumnDirectionTexts[] = {"nach unten", "nach oben", "Ping Pong"};
inline constexpr const char* SpiralStartTexts[] = {"oben links", "oben rechts", "unten links",
                                                   "unten rechts"};

// Display texts of the sequences.
inline constexpr const char* SNewSequenceName = "Neue Sequenz";
inline constexpr const char* SEmptyPageName = "Leere Seite";
inline constexpr const char* SPauseName = "Pause";
inline constexpr const char* SNoChannelMedia = "<kein(e) Musik / Klang>";
inline constexpr const char* SPlayOnce = "einmal";
inline constexpr const char* SPlayLoop = "wiederholt";

// ---------------------------------------------------------------------------------------------

class TScreenSaverSequence : public TSequence {
  RIZ_REFLECTIVE(TScreenSaverSequence, TSequence)
public:
  // Name "Neue Sequenz", Duration 8000.
  TScreenSaverSequence();

  // Copies the project reference; the animation control is never copied (it sets its own
  // clones' reference).
  void AssignInnerProperties(const TReflectivePersistent& Source) override;
  // Opens the sound and music channels of the control (ids > 0) and marks the first frame.
  void Prepare() override;
  // On the first frame after Prepare the channels start playing.
  void Step() override;
  void SetProject(TScreenSaverProject* Project) override;
  // Whether the control repaints its raster after a tick of this sequence.
  virtual bool NeedsRepaint() { return true; }

  TScreenSaverProject* Project() const { return FProject; }
  TAnimationControl* AnimationControl() const { return FAnimationControl; }
  void SetAnimationControl(TAnimationControl* Value) { FAnimationControl = Value; }

  // The temporary file (original name) of a medium of the project; left unchanged when the
  // project holds no medium of that id.
  void GetMediaFile(int32_t MediaID, std::string& FileName) const;
  void GetMediaOriginalName(int32_t MediaID, std::string& Name) const;
  // "<kein(e) Musik / Klang>" for id 0, else "einmal" or "wiederholt", a blank and the file
  // name part of the medium's original name in double quotes.
  void GetChannelText(int32_t MediaID, TSoundPlayMode PlayMode, std::string& S) const;
  void GetMusicText(std::string& S) const;
  void GetSoundText(std::string& S) const;

  int32_t SoundMediaID = 0;
  TSoundPlayMode SoundPlayMode = spmOnce;
  int32_t MusicMediaID = 0;
  TSoundPlayMode MusicPlayMode = spmOnce;
  std::string WebLinkAddress;
  std::string WebLinkTitle;

protected:
  TScreenSaverProject* FProject = nullptr;       // not owned
  TAnimationControl* FAnimationControl = nullptr;  // not owned; nullptr outside play
  bool FStartPending = false;
};

// A sequence bound to one medium of the project.
class TMediaSequence : public TScreenSaverSequence {
  RIZ_REFLECTIVE(TMediaSequence, TScreenSaverSequence)
public:
  TMediaSequence() = default;

  // The medium's temporary file; empty when the project holds no medium MediaID.
  void GetMediaFileName(std::string& FileName) const;
  // The medium's picture (loaded on first use, cached by the media manager); nullptr when the
  // project holds no medium MediaID. A file that cannot be decoded raises EInvalidGraphic at the
  // first request, which ends the show with its message; later requests get the empty picture.
  TPicture* GetMediaPicture() const;

  int32_t MediaID = 0;
};

// A sequence a transition can blend into. Its transition (optional) is always its own clone.
class TBlendableSequence : public TMediaSequence {
  RIZ_REFLECTIVE(TBlendableSequence, TMediaSequence)
public:
  TBlendableSequence();
  ~TBlendableSequence() override;

  TTransitionSequence* Transition() const { return FTransition.get(); }
  // Keeps a clone of Value (told this sequence's project); nullptr clears. Value may be the
  // current transition itself.
  void SetTransition(const TTransitionSequence* Value);
  // Also tells the transition.
  void SetProject(TScreenSaverProject* Project) override;
  // The raster that shows this sequence's picture, prepared on demand; still owned by the
  // sequence. Every kind that can be stored as blendable answers; this base (which a stored
  // project may still name) raises EAbstractError.
  virtual TDIBRaster* GetPicture();

private:
  std::unique_ptr<TTransitionSequence> FTransition;
};

// The base of all picture transitions: it takes the picture on screen and the picture of the
// blendable sequence that follows, and describes itself in German texts.
class TTransitionSequence : public TScreenSaverSequence {
  RIZ_REFLECTIVE(TTransitionSequence, TScreenSaverSequence)
public:
  TTransitionSequence();
  ~TTransitionSequence() override;

  // Opens the channels, then (when the control's next sequence is blendable) copies the
  // control's raster into FOldPicture and takes FNewPicture from the next sequence, which
  // starts it early.
  void Prepare() override;
  // Frees FOldPicture.
  void Unprepare() override;

  // The short name and the description of the transition kind; EAbstractError here.
  virtual void GetCaption(std::string& S);
  virtual void GetDescription(std::string& S);
  // Caption, ", Dauer " tenths " [1/10 Sek.], Kanal 1 " music ", Kanal 2 " sound.
  virtual void GetParameterText(std::string& S);

  TDIBRaster* OldPicture() const { return FOldPicture.get(); }
  TDIBRaster* NewPicture() const { return FNewPicture; }

protected:
  std::unique_ptr<TDIBRaster> FOldPicture;  // the screen when the transition started
  TDIBRaster* FNewPicture = nullptr;         // owned by the following sequence
};

// Measures Text as the scrolling text places it in its band: horizontal style in one line (every
// CR LF becomes a blank) from (0, Position), vertical style in its lines from (Position, 0).
// R's right and bottom become those of the text; with FullBand the band's far edge (W - 1 or
// H - 1) replaces the text's in the direction across the travel.
void MeasureSequenceText(const std::string& Text, int32_t Position, TScrollTextStyle Style,
                         TCanvas& Canvas, int32_t W, int32_t H, bool FullBand, TRect& R);

// ---------------------------------------------------------------------------------------------
// Slides, empty pages, pauses and movies

// A page of one colour the size of the control's raster; the only kind a transition blends into.
class TBaseSlideSequence : public TBlendableSequence {
  RIZ_REFLECTIVE(TBaseSlideSequence, TBlendableSequence)
public:
  TBaseSlideSequence() = default;
  ~TBaseSlideSequence() override;

  // Opens the channels, then builds the page in Color.
  void Prepare() override;
  void Unprepare() override;
  // Copies the whole page into the control's raster.
  void Step() override;
  // Starts the sequence when it is not prepared yet, so a transition can show the page.
  TDIBRaster* GetPicture() override;

  TDIBRaster* Page() const { return FPage.get(); }

  TColor Color = clBlack;

protected:
  std::unique_ptr<TDIBRaster> FPage;
};

// A picture unscaled on its page, top-left at (Left, Top) in raster coordinates, clipped.
class TSlideSequence : public TBaseSlideSequence {
  RIZ_REFLECTIVE(TSlideSequence, TBaseSlideSequence)
public:
  TSlideSequence() = default;
  void Prepare() override;

  int32_t Left = 0;
  int32_t Top = 0;
};

// A page alone. Name "Leere Seite".
class TEmptyPageSequence : public TBaseSlideSequence {
  RIZ_REFLECTIVE(TEmptyPageSequence, TBaseSlideSequence)
public:
  TEmptyPageSequence();
};

// Draws nothing for Duration: the raster keeps what the previous sequence left. Name "Pause".
class TPauseSequence : public TScreenSaverSequence {
  RIZ_REFLECTIVE(TPauseSequence, TScreenSaverSequence)
public:
  TPauseSequence();
};

// A movie played by the control's movie player; it runs until the player stops playing.
class TMovieSequence : public TMediaSequence {
  RIZ_REFLECTIVE(TMovieSequence, TMediaSequence)
public:
  // Duration -1: the movie, not the clock, ends the sequence.
  TMovieSequence();
  ~TMovieSequence() override;

  void Prepare() override;
  void Unprepare() override;
  void Step() override;
  bool IsRunning() override;
  // The movie window shows the movie; the raster is not painted meanwhile.
  bool NeedsRepaint() override { return false; }

  int32_t Left = 0;
  int32_t Top = 0;
  TMovieDisplaySize MovieDisplaySize = mdsNormal;
};

// Registers the persistent sequence classes, in the order stored projects were written with.
void RegisterScreenSaverSequencesClasses();

#include "player/ScreenSaverSequences_Transitions.h"

#include "player/ScreenSaverSequences_Logo.h"
#include "player/ScreenSaverSequences_Text.h"
#include "player/ScreenSaverSequences_Waves.h"
