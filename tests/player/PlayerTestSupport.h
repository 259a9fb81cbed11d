#pragma once
// Shared ground of the player tests: a clock the test sets, scripted media players, projects
// built with the demo's media, and a transition of the tests' own (the real ones live apart).

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/FakeMediaPlayer.h"
#include "player/ScreenSaverAnimator.h"
#include "player/ScreenSaverSequences.h"
#include "tools/DemoSaver.h"

namespace playertest {

// Shows the old picture for the first half of its time and the new one for the second; counts
// its frames. Stored as "TTestTransition".
class TTestTransition : public TTransitionSequence {
  RIZ_REFLECTIVE(TTestTransition, TTransitionSequence)
public:
  TTestTransition() { Duration = 1000; }
  void Step() override;
  void GetCaption(std::string& S) override { S = "Probe"; }
  void GetDescription(std::string& S) override { S = "Eine Probe"; }

  int32_t Marker = 0;
  int Steps = 0;
};

class PlayerTest : public ::testing::Test {
protected:
  void SetUp() override;

  // A project of Resolution with three pictures of W x H, the tone and a movie of 160 x 120
  // (the fake player's size), holding the given sequences; Ids receives the media ids.
  std::unique_ptr<TScreenSaverProject> MakeProject(const std::vector<demosaver::TSequenceMaker>& Sequences,
                                                   TScreenResolution Resolution = sr640x480,
                                                   int W = 64, int H = 48);
  // The fake behind a channel (0 sound, 1 music) or the movie player.
  static TFakeMediaPlayer* Sound(const TAnimationControl& C, int Channel);
  static TFakeMediaPlayer* Movie(const TAnimationControl& C);
  // The temporary file of a medium.
  std::string MediaFile(const TScreenSaverProject& P, int32_t Id) const;
  // Sets the clock, then steps once.
  void StepAt(TAnimationControl& C, uint32_t At);

  TFakeMediaSystem Media;  // before any control: every player made is a fake
  uint32_t Now = 50000;
  demosaver::TDemoMedia Ids;
};

// What a player was asked to do, without the placements (every open places the picture).
std::vector<std::string> Commands(const TFakeMediaPlayer* Player);

// Masks the top byte, which carries no meaning (the painter writes 0xFF there).
inline uint32_t Rgb(uint32_t Pixel) { return Pixel & 0x00FFFFFFu; }

// Sequence makers for MakeProject.
demosaver::TSequenceMaker Slide(size_t Picture, TColor Color, int X, int Y, int32_t Duration,
                                bool WithTransition = false);
demosaver::TSequenceMaker Pause(int32_t Duration, bool LoopMusic = false);
demosaver::TSequenceMaker EmptyPage(TColor Color, int32_t Duration);
demosaver::TSequenceMaker MovieClip(int X, int Y, TMovieDisplaySize Size = mdsNormal);

}  // namespace playertest
