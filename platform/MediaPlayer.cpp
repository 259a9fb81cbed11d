#include "platform/MediaPlayer.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>
#include <QWidget>

#include <deque>
#include <map>

// ---------------------------------------------------------------------------------------------
// Queued delivery of notifications: one queue for all players, in posting order, like the
// window messages the notifications once were.

namespace {

struct TQueuedNotify {
  uint64_t Player;
  TMPNotifyValues Value;
};

std::deque<TQueuedNotify> GQueue;
std::map<uint64_t, TMediaPlayer*> GLive;
uint64_t GNextSerial = 1;
int GHoldDepth = 0;

}  // namespace

class TMediaNotifier : public QObject {
public:
  static void Post(uint64_t Player, TMPNotifyValues Value) {
    GQueue.push_back({Player, Value});
    Request();
  }

  static void Request() {
    // Never deleted: queued requests must always find their receiver.
    static TMediaNotifier* const Instance = new TMediaNotifier;
    QCoreApplication::postEvent(Instance, new QEvent(DeliverEvent()));
  }

  bool event(QEvent* E) override {
    if (E->type() != DeliverEvent()) return QObject::event(E);
    while (GHoldDepth == 0 && !GQueue.empty()) {
      const TQueuedNotify N = GQueue.front();
      GQueue.pop_front();
      const auto It = GLive.find(N.Player);
      if (It == GLive.end()) continue;
      TMediaPlayer* P = It->second;
      P->FNotifyValue = N.Value;
      // A copy: the handler may close, replay or even destroy the player.
      if (const TMediaPlayer::TNotifyEvent Handler = P->OnNotify) Handler(P);
    }
    return true;
  }

private:
  static QEvent::Type DeliverEvent() {
    static const auto T = static_cast<QEvent::Type>(QEvent::registerEventType());
    return T;
  }
};

TMediaPlayer::THoldNotifications::THoldNotifications() { ++GHoldDepth; }

TMediaPlayer::THoldNotifications::~THoldNotifications() {
  // What arrived while held was skipped: ask again now that delivery is allowed.
  if (--GHoldDepth == 0 && !GQueue.empty()) TMediaNotifier::Request();
}

int TMediaPlayer::QueuedNotifications() { return static_cast<int>(GQueue.size()); }

// ---------------------------------------------------------------------------------------------
// TMediaPlayer

TMediaPlayer::TMediaPlayer() : FSerial(GNextSerial++) { GLive[FSerial] = this; }

TMediaPlayer::~TMediaPlayer() {
  GLive.erase(FSerial);
  std::erase_if(GQueue, [this](const TQueuedNotify& N) { return N.Player == FSerial; });
}

void TMediaPlayer::PostNotify(TMPNotifyValues Value) { TMediaNotifier::Post(FSerial, Value); }

void TMediaPlayer::Open() {
  if (FOpen) Close();
  DoOpen();
  FOpen = true;
  FPlaying = false;
  int W = 0, H = 0;
  NativeSize(W, H);
  FDisplayRect = {0, 0, W, H};
  ApplyDisplayRect(FDisplayRect);
}

void TMediaPlayer::Close() {
  if (!FOpen) return;
  if (FNotifyPending) {
    FNotifyPending = false;
    PostNotify(nvAborted);
  }
  FPlaying = false;
  FOpen = false;
  FDisplayRect = {};
  DoClose();
}

void TMediaPlayer::Play() {
  if (!FOpen) throw EMCIDeviceError(SMCINotOpen);
  if (FNotifyPending) {
    FNotifyPending = false;
    PostNotify(nvSuperseded);
  }
  DoPlay();
  FPlaying = true;
  FNotifyPending = FNotify;
}

void TMediaPlayer::PlaybackEnded(bool Failed) {
  if (!FPlaying) return;
  FPlaying = false;
  if (FNotifyPending) {
    FNotifyPending = false;
    PostNotify(Failed ? nvFailure : nvSuccessful);
  }
}

TMPModes TMediaPlayer::Mode() const {
  if (!FOpen) return mpNotReady;
  return FPlaying ? mpPlaying : mpStopped;
}

QWidget* TMediaPlayer::Display() const { return FDisplay.data(); }

void TMediaPlayer::SetDisplay(QWidget* Value) {
  if (FDisplay == Value) return;
  FDisplay = Value;
  DoDisplayChanged();
  if (FOpen) ApplyDisplayRect(FDisplayRect);
}

TMediaRect TMediaPlayer::DisplayRect() const { return FOpen ? FDisplayRect : TMediaRect{}; }

void TMediaPlayer::SetDisplayRect(const TMediaRect& Value) {
  // A closed device has no placement. Ignoring the call keeps a resize that races a failed
  // movie open from raising out of the resize handling.
  if (!FOpen) return;
  if (Value == TMediaRect{}) {
    int W = 0, H = 0;
    NativeSize(W, H);
    FDisplayRect = {0, 0, W, H};
  } else {
    FDisplayRect = Value;
  }
  ApplyDisplayRect(FDisplayRect);
}

// ---------------------------------------------------------------------------------------------
// The Qt Multimedia player

namespace {

// Local files load in milliseconds; the cap only keeps a broken decoder from stalling the show.
constexpr int KOpenTimeoutMs = 2000;

class TQtMediaPlayer final : public TMediaPlayer {
public:
  ~TQtMediaPlayer() override {
    DropPipeline();
    delete FVideo.data();
  }

protected:
  void DoOpen() override;
  void DoClose() override;
  void DoPlay() override;
  void DoDisplayChanged() override;
  void NativeSize(int& Width, int& Height) const override {
    Width = FNative.width() > 0 ? FNative.width() : 0;
    Height = FNative.height() > 0 ? FNative.height() : 0;
  }
  void ApplyDisplayRect(const TMediaRect& Rect) override;

private:
  void NewPipeline();
  void DropPipeline();
  void FrameArrived(const QVideoFrame& Frame);
  bool WaitUntil(const std::function<bool()>& Done, int Ms);
  void Reset();
  void StateOrStatusChanged();
  void ErrorOccurred(const QString& Text);

  // One pipeline per opened medium: a failing medium's errors still arrive after it was given
  // up, and must not reach the next one. None while closed, so the preview never starts the
  // media framework.
  std::unique_ptr<QMediaPlayer> FPlayer;
  std::unique_ptr<QAudioOutput> FAudio;
  // The pipeline always renders into this sink, which hands the pictures on to the display's
  // widget. A display that comes or goes then never reconfigures a running pipeline (which can
  // fail it with a stream error).
  std::unique_ptr<QVideoSink> FSink;
  QPointer<QVideoWidget> FVideo;  // owned by the display
  QSize FNative;
  QString FError;
  bool FOpening = false;
  bool FProbing = false;
};

void TQtMediaPlayer::NewPipeline() {
  DropPipeline();
  FPlayer = std::make_unique<QMediaPlayer>();
  FAudio = std::make_unique<QAudioOutput>();
  FSink = std::make_unique<QVideoSink>();
  FPlayer->setAudioOutput(FAudio.get());
  FPlayer->setVideoOutput(FSink.get());
  QObject::connect(FPlayer.get(), &QMediaPlayer::mediaStatusChanged, FPlayer.get(),
                   [this] { StateOrStatusChanged(); });
  QObject::connect(FPlayer.get(), &QMediaPlayer::playbackStateChanged, FPlayer.get(),
                   [this] { StateOrStatusChanged(); });
  QObject::connect(FPlayer.get(), &QMediaPlayer::errorOccurred, FPlayer.get(),
                   [this](QMediaPlayer::Error, const QString& Text) { ErrorOccurred(Text); });
  QObject::connect(FSink.get(), &QVideoSink::videoFrameChanged, FPlayer.get(),
                   [this](const QVideoFrame& Frame) { FrameArrived(Frame); });
}

void TQtMediaPlayer::DropPipeline() {
  if (!FPlayer) return;
  // Detaching the sink makes the pipeline hand it a last frame: disconnect first, and take the
  // player apart before the outputs it renders into.
  QObject::disconnect(FSink.get(), nullptr, FPlayer.get(), nullptr);
  FPlayer->stop();
  FPlayer->setVideoOutput(nullptr);
  FPlayer->setAudioOutput(nullptr);
  FPlayer.reset();
  FSink.reset();
  FAudio.reset();
}

void TQtMediaPlayer::FrameArrived(const QVideoFrame& Frame) {
  if (!IsOpen() && !FOpening) return;
  if (!FNative.isValid() && Frame.isValid() && Frame.size().isValid()) FNative = Frame.size();
  if (FVideo) FVideo->videoSink()->setVideoFrame(Frame);
}

void TQtMediaPlayer::DoDisplayChanged() {
  delete FVideo.data();
  if (QWidget* D = Display()) {
    FVideo = new QVideoWidget(D);
    FVideo->setAspectRatioMode(Qt::IgnoreAspectRatio);  // the movie fills its rectangle
    FVideo->hide();
  }
}

bool TQtMediaPlayer::WaitUntil(const std::function<bool()>& Done, int Ms) {
  if (Done()) return true;
  if (Ms <= 0) return false;
  QEventLoop Loop;
  QTimer Deadline;
  Deadline.setSingleShot(true);
  QObject::connect(&Deadline, &QTimer::timeout, &Loop, &QEventLoop::quit);
  // The backend reports through signals and the pictures through the sink; a short poll covers
  // whatever changes without a signal.
  QTimer Poll;
  QObject::connect(&Poll, &QTimer::timeout, &Loop, [&] {
    if (Done()) Loop.quit();
  });
  Poll.start(5);
  auto Check = [&] {
    if (Done()) Loop.quit();
  };
  QObject::connect(FPlayer.get(), &QMediaPlayer::mediaStatusChanged, &Loop, Check);
  QObject::connect(FPlayer.get(), &QMediaPlayer::errorOccurred, &Loop, Check);
  QObject::connect(FPlayer.get(), &QMediaPlayer::hasVideoChanged, &Loop, Check);
  Deadline.start(Ms);
  // No user input in here: it would be handled in the middle of the caller's frame.
  Loop.exec(QEventLoop::ExcludeUserInputEvents);
  return Done();
}

void TQtMediaPlayer::DoOpen() {
  if (FileName().empty()) throw EMCIDeviceError(Format(SMCICannotPlay, "no file name"));
  NewPipeline();
  THoldNotifications Hold;
  QElapsedTimer Clock;
  Clock.start();
  FNative = QSize();
  FError.clear();
  FOpening = true;
  FPlayer->setSource(QUrl::fromLocalFile(QString::fromStdString(FileName())));

  const auto Ready = [this] {
    switch (FPlayer->mediaStatus()) {
      case QMediaPlayer::LoadedMedia:
      case QMediaPlayer::BufferingMedia:
      case QMediaPlayer::BufferedMedia:
      case QMediaPlayer::EndOfMedia:
        return true;
      default:
        return false;
    }
  };
  const auto Failed = [this] {
    return !FError.isEmpty() || FPlayer->mediaStatus() == QMediaPlayer::InvalidMedia;
  };
  const auto Fail = [this](const QString& Why) {
    FOpening = false;
    Reset();
    throw EMCIDeviceError(Format(SMCICannotPlay, Why.toStdString().c_str()));
  };

  WaitUntil([&] { return Ready() || Failed(); }, KOpenTimeoutMs);
  if (Failed()) Fail(FError.isEmpty() ? FPlayer->errorString() : FError);
  if (!Ready()) {
    FOpening = false;
    Reset();
    throw EMCIDeviceError(SMCIOpenTimeout);
  }
  if (FPlayer->hasVideo()) {
    // Pausing prerolls the first picture, which tells the movie's own size before it plays.
    FProbing = true;
    FPlayer->pause();
    WaitUntil([&] { return FNative.isValid() || Failed(); },
              KOpenTimeoutMs - static_cast<int>(Clock.elapsed()));
    FProbing = false;
    if (Failed()) Fail(FError.isEmpty() ? FPlayer->errorString() : FError);
  }
  FOpening = false;
}

void TQtMediaPlayer::Reset() {
  DropPipeline();
  FNative = QSize();
  FError.clear();
  if (FVideo) {
    FVideo->hide();
    FVideo->videoSink()->setVideoFrame(QVideoFrame());
  }
}

void TQtMediaPlayer::DoClose() {
  Reset();
}

void TQtMediaPlayer::DoPlay() {
  if (!FPlayer) throw EMCIDeviceError(SMCINotOpen);
  if (FPlayer->mediaStatus() == QMediaPlayer::EndOfMedia) FPlayer->setPosition(0);
  FPlayer->play();
}

void TQtMediaPlayer::ApplyDisplayRect(const TMediaRect& Rect) {
  if (!FVideo) return;
  FVideo->setGeometry(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom);
  FVideo->setVisible(Rect.Right > 0 && Rect.Bottom > 0);
}

void TQtMediaPlayer::StateOrStatusChanged() {
  if (FProbing || !IsPlaying()) return;
  const QMediaPlayer::MediaStatus Status = FPlayer->mediaStatus();
  // The end is both: the medium at its end and the player stopped, whichever is reported
  // last. An end status alone may belong to the run before a restart.
  if (Status == QMediaPlayer::EndOfMedia &&
      FPlayer->playbackState() == QMediaPlayer::StoppedState)
    PlaybackEnded(false);
  else if (Status == QMediaPlayer::InvalidMedia)
    PlaybackEnded(true);
}

void TQtMediaPlayer::ErrorOccurred(const QString& Text) {
  if (FOpening) {
    if (FError.isEmpty()) FError = Text;
    return;
  }
  if (IsPlaying()) PlaybackEnded(true);
}

plat::MediaPlayerFactory& Factory() {
  static plat::MediaPlayerFactory F;
  return F;
}

}  // namespace

namespace plat {

std::unique_ptr<TMediaPlayer> CreateMediaPlayer() {
  if (Factory()) return Factory()();
  return std::make_unique<TQtMediaPlayer>();
}

void SetMediaPlayerFactory(MediaPlayerFactory F) { Factory() = std::move(F); }

}  // namespace plat
