#pragma once
// A scripted media player for tests of the code that drives players. It keeps the shared
// behaviour of TMediaPlayer (modes, notify bookkeeping, queued delivery) and replaces the media
// framework by a script: which files fail to open or to play, which ones take their time to
// open (until the test settles them), what size a movie has, and when a medium reaches its end
// (the test says so with FinishPlayback). A medium not held settles inside Open.
//
//   TFakeMediaSystem Media;             // from now on plat::CreateMediaPlayer() makes fakes
//   Media.SetNativeSize("/tmp/m.avi", 320, 240);
//   ... code under test creates players and plays ...
//   Media.Player(1)->FinishPlayback();  // the second player created reaches its end
//   DeliverMediaNotifications();        // OnNotify handlers run

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/MediaPlayer.h"

class TFakeMediaSystem;

class TFakeMediaPlayer : public TMediaPlayer {
public:
  explicit TFakeMediaPlayer(TFakeMediaSystem* System = nullptr);
  ~TFakeMediaPlayer() override;
  std::string ClassName() const override { return "TFakeMediaPlayer"; }

  // The medium runs to its natural end, or the device fails while playing. Nothing when the
  // player is not playing.
  void FinishPlayback();
  void FailPlayback();
  // The held open in progress ends: the medium is ready, or it failed.
  void SettleOpen(bool Ok);

  // What the player was asked to do, one entry per command that reached the device:
  // "Open <file>", "Close", "Play" or "Play notify", "DisplayRect <l>,<t>,<r>,<b>".
  const std::vector<std::string>& Calls() const { return FCalls; }
  void ClearCalls() { FCalls.clear(); }
  // How often playback started from the beginning of a medium.
  int Starts() const { return FStarts; }
  // The placement last given to the picture.
  TMediaRect AppliedRect() const { return FApplied; }

protected:
  void DoOpen() override;
  void DoClose() override;
  void DoPlay() override;
  void NativeSize(int& Width, int& Height) const override;
  void ApplyDisplayRect(const TMediaRect& Rect) override;

private:
  friend class TFakeMediaSystem;
  TFakeMediaSystem* FSystem;
  std::vector<std::string> FCalls;
  int FStarts = 0;
  TMediaRect FApplied;
};

// The script shared by the fakes; while it exists, plat::CreateMediaPlayer() makes fakes.
class TFakeMediaSystem {
public:
  TFakeMediaSystem();
  ~TFakeMediaSystem();
  TFakeMediaSystem(const TFakeMediaSystem&) = delete;
  TFakeMediaSystem& operator=(const TFakeMediaSystem&) = delete;

  // Open of this file fails (an empty file name raises EMCIDeviceError).
  void FailOpen(const std::string& FileName) { FFailOpen.insert(FileName); }
  // Open of this file stays in progress until the player's SettleOpen.
  void HoldOpen(const std::string& FileName) { FHoldOpen.insert(FileName); }
  // Play of this file raises EMCIDeviceError.
  void FailPlay(const std::string& FileName) { FFailPlay.insert(FileName); }
  // A movie's own picture size; files without one have no picture.
  void SetNativeSize(const std::string& FileName, int Width, int Height) {
    FSizes[FileName] = {Width, Height};
  }

  // The players made through the factory, in order of creation; nullptr once destroyed.
  size_t PlayerCount() const { return FPlayers.size(); }
  TFakeMediaPlayer* Player(size_t Index) const;

private:
  friend class TFakeMediaPlayer;
  std::set<std::string> FFailOpen, FHoldOpen, FFailPlay;
  std::map<std::string, std::pair<int, int>> FSizes;
  std::vector<TFakeMediaPlayer*> FPlayers;
};

// Lets queued notifications and open reports reach their handlers, including those the handlers
// post in turn (bounded, so that a handler that always posts again cannot hang a test).
void DeliverMediaNotifications();
