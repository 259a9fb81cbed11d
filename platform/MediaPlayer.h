#pragma once
// The media-player control the show plays its sound, music and movies with: open a file with
// the device chosen by the file, play it with a completion notification, close it.
//
// TMediaPlayer holds the behaviour every player shares (modes, notify bookkeeping, queued
// delivery of notifications); CreateMediaPlayer() makes the Qt Multimedia player, or whatever
// a test installed with SetMediaPlayerFactory (see FakeMediaPlayer.h).
//
// No call waits for the media framework. Open hands the file over and returns; Play and Close
// follow it in order. Whether the medium opened is reported later, like the notifications:
// posted to the GUI thread's event queue, they reach OnOpened and OnNotify when the program next
// processes events, never from inside a call.
//
// The Qt player gives every opened medium a thread of its own, so a medium stuck in the media
// framework holds nothing but itself, and it is left behind, never waited for. As the device is
// chosen by the file, a sound or music file (by its extension) is decoded once and played on an
// audio output of its own, where playing it again from its end restarts it without a gap; any
// other file plays in the framework's player, with its picture in Display.

#include <functional>
#include <memory>
#include <string>

#include <QPointer>

#include "platform/SysUtils.h"

class QWidget;

RIZ_DECLARE_EXCEPTION(EMCIDeviceError, Exception);

// The device's state: mpNotReady while no device is open (or its medium failed to open),
// mpOpen while it opens its medium and nothing was played yet, mpPlaying from Play until the
// medium ends (also while it still opens), mpStopped otherwise.
enum TMPModes : uint8_t { mpNotReady, mpStopped, mpPlaying, mpOpen };

// Outcome of the last command that asked for a notification.
enum TMPNotifyValues : uint8_t { nvSuccessful, nvSuperseded, nvAborted, nvFailure };

// Only automatic selection exists: the media framework picks the decoder by the file.
enum TMPDeviceTypes : uint8_t { dtAutoSelect };

// A placement as the multimedia interface reports it: Left and Top, the width in Right and the
// height in Bottom.
struct TMediaRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TMediaRect&) const = default;
};

// Texts of the errors the players raise or report.
inline constexpr const char* SMCINotOpen = "No MCI device open";
inline constexpr const char* SMCIOpenTimeout = "The device did not open the file in time";
inline constexpr const char* SMCICannotPlay = "The file cannot be played: %s";
inline constexpr const char* SMCINotStarted = "The multimedia system did not start";
inline constexpr const char* SMCINoAnswer = "The multimedia system does not answer";

class TMediaPlayer : public TObject {
public:
  using TNotifyEvent = std::function<void(TMediaPlayer* Sender)>;

  TMediaPlayer();
  ~TMediaPlayer() override;
  TMediaPlayer(const TMediaPlayer&) = delete;
  TMediaPlayer& operator=(const TMediaPlayer&) = delete;
  std::string ClassName() const override { return "TMediaPlayer"; }

  // Hands FileName to a device, closing whatever was open first, and returns at once with the
  // device open (Mode mpOpen). OnOpened follows when the medium is ready or failed; a failed
  // medium leaves the device closed. Raises EMCIDeviceError only for a call that can never
  // succeed (no file name).
  void Open();
  // Stops and closes the device; a pending notification reports nvAborted. Nothing when closed.
  void Close();
  // Plays from the current position, once the medium is open when it still opens; a medium that
  // has run to its end starts again from the beginning. Mode is mpPlaying as soon as Play
  // returns. With Notify set, nvSuccessful is posted when the medium reaches its natural end
  // and nvFailure when it fails (to open, or while playing); a pending notification of an
  // earlier command reports nvSuperseded. Raises EMCIDeviceError when nothing is open.
  void Play();

  TMPModes Mode() const;
  // Why the last open failed; empty while it opens or when it opened.
  const std::string& Error() const { return FError; }

  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& Value) { FFileName = Value; }
  TMPDeviceTypes DeviceType() const { return FDeviceType; }
  void SetDeviceType(TMPDeviceTypes Value) { FDeviceType = Value; }
  // Whether the next Play asks for a notification; stays as set until changed.
  bool Notify() const { return FNotify; }
  void SetNotify(bool Value) { FNotify = Value; }
  // Valid inside OnNotify: the outcome being reported.
  TMPNotifyValues NotifyValue() const { return FNotifyValue; }

  // The widget a movie is shown in (not owned); nullptr shows no picture.
  QWidget* Display() const;
  void SetDisplay(QWidget* Value);
  // Where in Display the movie shows. Setting (0, 0, 0, 0) selects the movie's own size at the
  // top-left corner, which is known once the medium is open; reading gives the placement in use.
  // A closed player, a medium still opening or one without a picture reads (0, 0, 0, 0) while
  // it has its own size; setting it on a closed player is ignored.
  TMediaRect DisplayRect() const;
  void SetDisplayRect(const TMediaRect& Value);

  TNotifyEvent OnNotify;
  // The open in progress ended: the medium is ready (its picture size is known), or it failed
  // and the device is closed (Mode mpNotReady). Not delivered for an open that was closed or
  // replaced since.
  TNotifyEvent OnOpened;

  // Notifications and open reports posted but not yet delivered, over all players.
  static int QueuedNotifications();

protected:
  // The implementation's side of the commands. DoOpen hands the medium over and reports the
  // outcome with OpenSettled, then or later; it raises only when nothing was handed over.
  virtual void DoOpen() = 0;
  virtual void DoClose() = 0;
  virtual void DoPlay() = 0;
  virtual void DoDisplayChanged() {}
  // The medium's own picture size, 0 x 0 without a picture or while it opens.
  virtual void NativeSize(int& Width, int& Height) const = 0;
  virtual void ApplyDisplayRect(const TMediaRect& Rect) = 0;

  // The implementation reports how the open in progress ended; nothing when none is. A failed
  // medium has been let go by the implementation already.
  void OpenSettled(bool Ok, const std::string& Why = {});
  // The implementation reports that playback ended: at the natural end, or by a failure.
  void PlaybackEnded(bool Failed);
  bool IsOpen() const { return FOpen; }
  bool IsOpening() const { return FOpening; }
  bool IsPlaying() const { return FPlaying; }
  // Identifies the player to what is queued for it; unique among all players ever made.
  uint64_t Serial() const { return FSerial; }

private:
  friend class TMediaNotifier;
  void PostNotify(TMPNotifyValues Value);

  std::string FFileName;
  std::string FError;
  TMPDeviceTypes FDeviceType = dtAutoSelect;
  bool FNotify = false;
  TMPNotifyValues FNotifyValue = nvSuccessful;
  bool FOpen = false;
  bool FOpening = false;
  bool FPlaying = false;
  bool FNotifyPending = false;
  uint64_t FOpens = 0;  // identifies the open in progress or in use to its report
  QPointer<QWidget> FDisplay;
  TMediaRect FDisplayRect;
  uint64_t FSerial;  // identifies the player to notifications still queued
};

namespace plat {
// A new player: the Qt Multimedia one, or one from the factory a test installed. Making one
// does not start the media framework: the first open does, off the GUI thread.
std::unique_ptr<TMediaPlayer> CreateMediaPlayer();
using MediaPlayerFactory = std::function<std::unique_ptr<TMediaPlayer>()>;
void SetMediaPlayerFactory(MediaPlayerFactory Factory);  // empty function: the Qt player

// How long a medium may take to open, counted on the GUI thread's clock but never waited for
// there: StartMs for the media framework's start (a new user's plugin registry, the sound
// server), counted once from the first medium handed over, then OpenMs for each medium itself
// once its thread has the framework at hand. A medium that takes longer counts as failed.
// Tests shorten them.
void SetMediaOpenLimits(int StartMs, int OpenMs);
// How much decoded sound one medium keeps in memory to play it again; a longer one is decoded
// anew for every play. Tests lower it.
void SetSoundCacheLimit(int64_t Bytes);

// The end of the program: gives the media threads still taking their media apart a moment, and
// returns when none is left. Otherwise the process ends here at once with ExitCode, after the
// standard streams are flushed: a normal end would unload the media libraries from under a
// thread still inside them. Call it when everything else is done and the players are gone.
void EndMedia(int ExitCode);
// Media threads not yet ended, stuck ones included.
int MediaThreadsRunning();
}  // namespace plat
