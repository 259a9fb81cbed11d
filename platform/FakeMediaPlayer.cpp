#include "platform/FakeMediaPlayer.h"

#include <QCoreApplication>

#include <algorithm>

TFakeMediaPlayer::TFakeMediaPlayer(TFakeMediaSystem* System) : FSystem(System) {}

TFakeMediaPlayer::~TFakeMediaPlayer() {
  if (FSystem) std::replace(FSystem->FPlayers.begin(), FSystem->FPlayers.end(), this,
                            static_cast<TFakeMediaPlayer*>(nullptr));
}

void TFakeMediaPlayer::FinishPlayback() { PlaybackEnded(false); }

void TFakeMediaPlayer::FailPlayback() { PlaybackEnded(true); }

void TFakeMediaPlayer::SettleOpen(bool Ok) {
  OpenSettled(Ok, Ok ? std::string() : Format(SMCICannotPlay, "scripted failure"));
}

void TFakeMediaPlayer::DoOpen() {
  FCalls.push_back("Open " + FileName());
  if (FileName().empty()) throw EMCIDeviceError(Format(SMCICannotPlay, "no file name"));
  if (FSystem && FSystem->FHoldOpen.count(FileName())) return;
  SettleOpen(!(FSystem && FSystem->FFailOpen.count(FileName())));
}

void TFakeMediaPlayer::DoClose() { FCalls.push_back("Close"); }

void TFakeMediaPlayer::DoPlay() {
  FCalls.push_back(Notify() ? "Play notify" : "Play");
  if (FSystem && FSystem->FFailPlay.count(FileName()))
    throw EMCIDeviceError(Format(SMCICannotPlay, "scripted failure"));
  // With no pause or seek, a player that is not playing is fresh or has run to its end.
  if (!IsPlaying()) ++FStarts;
}

void TFakeMediaPlayer::NativeSize(int& Width, int& Height) const {
  Width = Height = 0;
  if (!FSystem) return;
  const auto It = FSystem->FSizes.find(FileName());
  if (It == FSystem->FSizes.end()) return;
  Width = It->second.first;
  Height = It->second.second;
}

void TFakeMediaPlayer::ApplyDisplayRect(const TMediaRect& Rect) {
  FApplied = Rect;
  FCalls.push_back(Format("DisplayRect %d,%d,%d,%d", Rect.Left, Rect.Top, Rect.Right, Rect.Bottom));
}

TFakeMediaSystem::TFakeMediaSystem() {
  plat::SetMediaPlayerFactory([this]() -> std::unique_ptr<TMediaPlayer> {
    auto P = std::make_unique<TFakeMediaPlayer>(this);
    FPlayers.push_back(P.get());
    return P;
  });
}

TFakeMediaSystem::~TFakeMediaSystem() {
  plat::SetMediaPlayerFactory({});
  for (TFakeMediaPlayer* P : FPlayers)
    if (P) P->FSystem = nullptr;
}

TFakeMediaPlayer* TFakeMediaSystem::Player(size_t Index) const {
  return Index < FPlayers.size() ? FPlayers[Index] : nullptr;
}

void DeliverMediaNotifications() {
  for (int Round = 0; Round < 100 && TMediaPlayer::QueuedNotifications() > 0; ++Round)
    QCoreApplication::processEvents();
}
