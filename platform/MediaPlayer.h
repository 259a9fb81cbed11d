#pragma once
// The media-player control the show plays its sound, music and movies with: open a file with
// the device chosen by the file, play it with a completion notification, close it.
//
// TMediaPlayer holds the behaviour every player shares (modes, notify bookkeeping, queued
// delivery of notifications); CreateMediaPlayer() makes the Qt Multimedia player, or whatever
// a test installed with SetMediaPlayerFactory (see FakeMediaPlayer.h).
//
// Notifications are never delivered from inside a call: they are posted to the GUI thread's
// event queue and reach OnNotify when the program next processes events. While a player waits
// for a medium to open, delivery is held back, so no notify handler runs inside the caller of
// Open.
//
// The Qt player does the media framework's work on a thread of its own: no call waits for it
// without a limit, and only Open waits at all.

#include <functional>
#include <memory>
#include <string>

#include <QPointer>

#include "platform/SysUtils.h"

class QWidget;

RIZ_DECLARE_EXCEPTION(EMCIDeviceError, Exception);

// The device's state: mpNotReady while no device is open, any other mode while one is.
enum TMPModes : uint8_t { mpNotReady, mpStopped, mpPlaying };

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

// Texts of the errors the players raise.
inline constexpr const char* SMCINotOpen = "No MCI device open";
inline constexpr const char* SMCIOpenTimeout = "The device did not open the file in time";
inline constexpr const char* SMCICannotPlay = "The file cannot be played: %s";
inline constexpr const char* SMCINotStarted = "The multimedia system did not start";

class TMediaPlayer : public TObject {
public:
  using TNotifyEvent = std::function<void(TMediaPlayer* Sender)>;

  TMediaPlayer();
  ~TMediaPlayer() override;
  TMediaPlayer(const TMediaPlayer&) = delete;
  TMediaPlayer& operator=(const TMediaPlayer&) = delete;
  std::string ClassName() const override { return "TMediaPlayer"; }

  // Opens FileName, closing whatever was open first. Returns when the medium is ready; raises
  // EMCIDeviceError when it cannot be played (missing, damaged, no decoder, no answer).
  void Open();
  // Stops and closes the device; a pending notification reports nvAborted. Nothing when closed.
  void Close();
  // Plays from the current position; a medium that has run to its end starts again from the
  // beginning. Mode is mpPlaying as soon as Play returns. With Notify set, nvSuccessful is
  // posted when the medium reaches its natural end; a pending notification of an earlier
  // command reports nvSuperseded. Raises EMCIDeviceError when nothing is open.
  void Play();

  TMPModes Mode() const;

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
  // top-left corner; reading gives the placement in use. A closed player, or a medium without
  // a picture, reads (0, 0, 0, 0); setting it on a closed player is ignored.
  TMediaRect DisplayRect() const;
  void SetDisplayRect(const TMediaRect& Value);

  TNotifyEvent OnNotify;

  // Notifications posted but not yet delivered, over all players.
  static int QueuedNotifications();

protected:
  // The implementation's side of the commands. DoOpen raises on failure and leaves nothing
  // open; DoPlay may raise as well.
  virtual void DoOpen() = 0;
  virtual void DoClose() = 0;
  virtual void DoPlay() = 0;
  virtual void DoDisplayChanged() {}
  // The medium's own picture size, 0 x 0 without a picture.
  virtual void NativeSize(int& Width, int& Height) const = 0;
  virtual void ApplyDisplayRect(const TMediaRect& Rect) = 0;

  // The implementation reports that playback ended: at the natural end, or by a failure.
  void PlaybackEnded(bool Failed);
  bool IsOpen() const { return FOpen; }
  bool IsPlaying() const { return FPlaying; }

  // Holds notification delivery back while a player waits inside Open.
  class THoldNotifications {
  public:
    THoldNotifications();
    ~THoldNotifications();
    THoldNotifications(const THoldNotifications&) = delete;
    THoldNotifications& operator=(const THoldNotifications&) = delete;
  };

private:
  friend class TMediaNotifier;
  void PostNotify(TMPNotifyValues Value);

  std::string FFileName;
  TMPDeviceTypes FDeviceType = dtAutoSelect;
  bool FNotify = false;
  TMPNotifyValues FNotifyValue = nvSuccessful;
  bool FOpen = false;
  bool FPlaying = false;
  bool FNotifyPending = false;
  QPointer<QWidget> FDisplay;
  TMediaRect FDisplayRect;
  uint64_t FSerial;  // identifies the player to notifications still queued
};

namespace plat {
// A new player: the Qt Multimedia one, or one from the factory a test installed. The first one
// starts the media framework on a thread of its own (seconds on a new user's first run); players
// wait for that start with one limit in all, and one made when it ran out fails every open.
std::unique_ptr<TMediaPlayer> CreateMediaPlayer();
using MediaPlayerFactory = std::function<std::unique_ptr<TMediaPlayer>()>;
void SetMediaPlayerFactory(MediaPlayerFactory Factory);  // empty function: the Qt player
// Runs Work on the thread the Qt players' media objects live on, after what was posted there
// before: a test makes the media framework hang this way.
void RunOnMediaThread(std::function<void()> Work);
}  // namespace plat
