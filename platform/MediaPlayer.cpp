#include "platform/MediaPlayer.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>
#include <QWidget>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

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
//
// Qt Multimedia's objects (the player, its audio output and the sink its pipeline renders into)
// live on a media thread of their own. Qt 6.4's GStreamer backend changes a pipeline's state
// synchronously in setSource, pause, stop and the player's destructor, and a state change waits
// for the pipeline's streaming threads, which a stuck decoder or sound server can hold without a
// limit. The GUI thread only posts commands to the media thread and takes its answers as queued
// calls: Open waits for them with a limit, everything else does not wait at all.

namespace {

// Counted from the moment the media thread takes the open up; the media framework's start (on a
// new user's first show it builds its plugin registry) is waited for before, in
// CreateMediaPlayer. A valid local file opens in a fraction of it also on a busy machine that
// loads its decoders from disk; the cap only keeps a broken decoder from stalling the show, which
// ignores input while it waits.
constexpr int KOpenTimeoutMs = 5000;
// The media framework's start: GStreamer loads and lists every plugin when its registry is new,
// and asks the sound server for its devices.
constexpr int KStartTimeoutMs = 30000;
// How long the end of the program waits for the media thread to take its pipelines apart.
constexpr int KStopTimeoutMs = 3000;

class TQtMediaPlayer;

// Receives the media thread's answers on the GUI thread. Never deleted: queued answers must
// always find their receiver.
QObject* GuiReceiver() {
  static QObject* const Receiver = new QObject;
  return Receiver;
}

// The players the media thread's answers may still reach, by serial; GUI thread only.
std::map<uint64_t, TQtMediaPlayer*> GQtPlayers;
uint64_t GNextQtSerial = 1;

// Runs Apply on the GUI thread with the player Serial, if it still exists by then.
void Answer(uint64_t Serial, std::function<void(TQtMediaPlayer&)> Apply) {
  QMetaObject::invokeMethod(
      GuiReceiver(),
      [Serial, Apply = std::move(Apply)] {
        const auto It = GQtPlayers.find(Serial);
        if (It != GQtPlayers.end()) Apply(*It->second);
      },
      Qt::QueuedConnection);
}

void DropAllPipelines();

// The thread the media objects live on: started with the first player, ended with the program.
class TMediaThread {
public:
  static TMediaThread& Get() {
    // Never deleted: a thread stuck in the media framework may outlive the application object.
    static TMediaThread* const Instance = new TMediaThread;
    return *Instance;
  }

  // Runs Work on the media thread, in the order of posting; nothing once the program ends.
  void Post(std::function<void()> Work) {
    if (!FStopped) QMetaObject::invokeMethod(FContext, std::move(Work), Qt::QueuedConnection);
  }

  // Waits for the media framework to have started, until KStartTimeoutMs after the thread
  // began: one wait in all, however many players are made. True when it has started.
  bool WaitStarted() {
    std::unique_lock L(FLock);
    return FStartedCv.wait_until(L, FStartDeadline, [this] { return FStarted; });
  }

private:
  TMediaThread() {
    FThread = new QThread;
    FThread->setObjectName(QStringLiteral("media"));
    FContext = new QObject;
    FContext->moveToThread(FThread);
    FStartDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(KStartTimeoutMs);
    FThread->start();
    Post([this] {
      // Qt Multimedia starts its backend with the first question: GStreamer with its plugin
      // registry, and the device monitor.
      (void)QMediaDevices::audioOutputs();
      {
        std::lock_guard L(FLock);
        FStarted = true;
      }
      FStartedCv.notify_all();
    });
    qAddPostRoutine([] { Get().Stop(); });
  }

  void Stop() {
    Post([this] {
      DropAllPipelines();
      FContext->deleteLater();
      FThread->quit();
    });
    FStopped = true;
    // A thread still stuck in the media framework is left to the end of the process.
    if (FThread->wait(KStopTimeoutMs)) delete FThread;
  }

  QThread* FThread = nullptr;
  QObject* FContext = nullptr;  // lives on the media thread and runs the posted work there
  bool FStopped = false;
  std::mutex FLock;
  std::condition_variable FStartedCv;
  bool FStarted = false;
  std::chrono::steady_clock::time_point FStartDeadline;
};

// ---- The GUI thread's side ----

class TQtMediaPlayer final : public TMediaPlayer {
public:
  TQtMediaPlayer() : FSerial(GNextQtSerial++) { GQtPlayers[FSerial] = this; }
  ~TQtMediaPlayer() override;

  // The media thread's answers; each names the open it belongs to, and is ignored when that
  // open was given up or closed since.
  void Started(uint64_t Open);
  void Opened(uint64_t Open, bool Ok, const QString& Why, QSize Size);
  void FrameArrived(uint64_t Open, const QVideoFrame& Frame);
  void Ended(uint64_t Open, uint64_t Play, bool Failed);

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
  bool WaitUntil(const std::function<bool()>& Done, int Ms);
  [[noreturn]] void GiveUp(const std::string& Why);
  void Reset();

  const uint64_t FSerial;
  QPointer<QVideoWidget> FVideo;  // owned by the display
  QSize FNative;
  uint64_t FOpens = 0;    // opens asked for
  uint64_t FCurrent = 0;  // the open in progress or in use; 0 while closed
  uint64_t FPlays = 0;    // plays asked for
  // The answer to the open in progress.
  bool FStarted = false;
  bool FAnswered = false;
  bool FOk = false;
  QString FWhy;
  QEventLoop* FWaiting = nullptr;
};

// ---- The media thread's side: one pipeline per player ----

// One pipeline per opened medium: a failing medium's errors still arrive after it was given up,
// and must not reach the next one. None while closed.
struct TPipeline {
  std::unique_ptr<QObject> Connections;  // context of every connection to the pipeline
  std::unique_ptr<QMediaPlayer> Player;
  std::unique_ptr<QAudioOutput> Audio;
  // The pipeline always renders into this sink; the GUI thread hands the pictures on to the
  // display's widget. A display that comes or goes then never reconfigures a running pipeline
  // (which can fail it with a stream error).
  std::unique_ptr<QVideoSink> Sink;
  uint64_t Open = 0;     // the open it serves
  uint64_t Play = 0;     // the last play it carried out
  bool Opening = false;  // the open is not answered yet
  bool Probing = false;  // paused for the first picture
  bool Playing = false;
  QSize Picture;  // the size of the first picture seen while opening
  QString Error;  // the first error while opening
};

// Media thread only. Never destroyed: the end of the process must not take apart pipelines of
// a media thread that is stuck in one of them.
std::map<uint64_t, TPipeline>& GPipelines = *new std::map<uint64_t, TPipeline>;

TPipeline* PipelineOf(uint64_t Serial, const QMediaPlayer* Player) {
  const auto It = GPipelines.find(Serial);
  return It != GPipelines.end() && It->second.Player && It->second.Player.get() == Player ? &It->second
                                                                                            : nullptr;
}

// Never from inside one of the pipeline's own signals.
void Drop(TPipeline& P) {
  if (P.Player) {
    // Detaching the sink makes the pipeline hand it a last frame: disconnect first, and take the
    // player apart before the outputs it renders into.
    P.Connections.reset();
    P.Player->stop();
    P.Player->setVideoOutput(nullptr);
    P.Player->setAudioOutput(nullptr);
    P.Player.reset();
  }
  P = TPipeline{};
}

void DropAllPipelines() {
  for (auto& [Serial, P] : GPipelines) Drop(P);
  GPipelines.clear();
}

void AnswerOpen(uint64_t Serial, TPipeline& P, bool Ok, const QString& Why, QSize Size) {
  P.Opening = P.Probing = false;
  Answer(Serial, [Open = P.Open, Ok, Why, Size](TQtMediaPlayer& Q) { Q.Opened(Open, Ok, Why, Size); });
}

void EndPlay(uint64_t Serial, TPipeline& P, bool Failed) {
  P.Playing = false;
  Answer(Serial, [Open = P.Open, Play = P.Play, Failed](TQtMediaPlayer& Q) { Q.Ended(Open, Play, Failed); });
}

bool Loaded(QMediaPlayer::MediaStatus Status) {
  switch (Status) {
    case QMediaPlayer::LoadedMedia:
    case QMediaPlayer::BufferingMedia:
    case QMediaPlayer::BufferedMedia:
    case QMediaPlayer::EndOfMedia:
      return true;
    default:
      return false;
  }
}

void StatusChanged(uint64_t Serial, const QMediaPlayer* Player) {
  TPipeline* P = PipelineOf(Serial, Player);
  if (!P) return;
  const QMediaPlayer::MediaStatus Status = P->Player->mediaStatus();
  if (P->Opening) {
    if (!P->Error.isEmpty() || Status == QMediaPlayer::InvalidMedia) {
      AnswerOpen(Serial, *P, false, P->Error.isEmpty() ? P->Player->errorString() : P->Error, {});
    } else if (!P->Probing && Loaded(Status)) {
      if (!P->Player->hasVideo()) {
        AnswerOpen(Serial, *P, true, {}, {});
      } else if (P->Picture.isValid()) {
        AnswerOpen(Serial, *P, true, {}, P->Picture);
      } else {
        // Pausing prerolls the first picture, which tells the movie's own size before it plays.
        P->Probing = true;
        P->Player->pause();
      }
    }
    return;
  }
  if (!P->Playing) return;
  // The end is both: the medium at its end and the player stopped, whichever is reported last.
  // An end status alone may belong to the run before a restart.
  if (Status == QMediaPlayer::EndOfMedia && P->Player->playbackState() == QMediaPlayer::StoppedState)
    EndPlay(Serial, *P, false);
  else if (Status == QMediaPlayer::InvalidMedia)
    EndPlay(Serial, *P, true);
}

void ErrorOccurred(uint64_t Serial, const QMediaPlayer* Player, const QString& Text) {
  TPipeline* P = PipelineOf(Serial, Player);
  if (!P) return;
  if (P->Opening) {
    if (P->Error.isEmpty()) P->Error = Text;
    StatusChanged(Serial, Player);
  } else if (P->Playing) {
    EndPlay(Serial, *P, true);
  }
}

void FrameArrived(uint64_t Serial, const QMediaPlayer* Player, const QVideoFrame& Frame) {
  TPipeline* P = PipelineOf(Serial, Player);
  if (!P) return;
  if (P->Opening && !P->Picture.isValid() && Frame.isValid() && Frame.size().isValid()) {
    P->Picture = Frame.size();
    if (P->Probing) AnswerOpen(Serial, *P, true, {}, P->Picture);
  }
  Answer(Serial, [Open = P->Open, Frame](TQtMediaPlayer& Q) { Q.FrameArrived(Open, Frame); });
}

void PipelineOpen(uint64_t Serial, uint64_t Open, const QString& File) {
  TPipeline& P = GPipelines[Serial];
  Drop(P);
  Answer(Serial, [Open](TQtMediaPlayer& Q) { Q.Started(Open); });
  P.Open = Open;
  P.Opening = true;
  P.Connections = std::make_unique<QObject>();
  P.Player = std::make_unique<QMediaPlayer>();
  P.Audio = std::make_unique<QAudioOutput>();
  P.Sink = std::make_unique<QVideoSink>();
  P.Player->setAudioOutput(P.Audio.get());
  P.Player->setVideoOutput(P.Sink.get());
  QMediaPlayer* const Player = P.Player.get();
  QObject* const Context = P.Connections.get();
  const auto Changed = [Serial, Player] { StatusChanged(Serial, Player); };
  QObject::connect(Player, &QMediaPlayer::mediaStatusChanged, Context, Changed);
  QObject::connect(Player, &QMediaPlayer::playbackStateChanged, Context, Changed);
  QObject::connect(Player, &QMediaPlayer::hasVideoChanged, Context, Changed);
  QObject::connect(Player, &QMediaPlayer::errorOccurred, Context,
                   [Serial, Player](QMediaPlayer::Error, const QString& Text) { ErrorOccurred(Serial, Player, Text); });
  QObject::connect(P.Sink.get(), &QVideoSink::videoFrameChanged, Context,
                   [Serial, Player](const QVideoFrame& Frame) { FrameArrived(Serial, Player, Frame); });
  Player->setSource(QUrl::fromLocalFile(File));
  StatusChanged(Serial, Player);  // a missing file may have failed inside setSource
}

void PipelinePlay(uint64_t Serial, uint64_t Open, uint64_t Play) {
  const auto It = GPipelines.find(Serial);
  if (It == GPipelines.end() || !It->second.Player || It->second.Open != Open) return;
  TPipeline& P = It->second;
  // Not playing while the commands run: what they report belongs to the run before.
  P.Playing = false;
  P.Play = Play;
  if (P.Player->mediaStatus() == QMediaPlayer::EndOfMedia) P.Player->setPosition(0);
  P.Player->play();
  P.Playing = true;
}

void PipelineClose(uint64_t Serial, uint64_t Open) {
  const auto It = GPipelines.find(Serial);
  if (It != GPipelines.end() && It->second.Open == Open) Drop(It->second);
}

void PipelineForget(uint64_t Serial) {
  const auto It = GPipelines.find(Serial);
  if (It == GPipelines.end()) return;
  Drop(It->second);
  GPipelines.erase(It);
}

// ---- TQtMediaPlayer ----

TQtMediaPlayer::~TQtMediaPlayer() {
  GQtPlayers.erase(FSerial);
  TMediaThread::Get().Post([Serial = FSerial] { PipelineForget(Serial); });
  delete FVideo.data();
}

void TQtMediaPlayer::Started(uint64_t Open) {
  if (Open != FCurrent) return;
  FStarted = true;
  if (FWaiting) FWaiting->quit();
}

void TQtMediaPlayer::Opened(uint64_t Open, bool Ok, const QString& Why, QSize Size) {
  if (Open != FCurrent || FAnswered) return;
  FAnswered = true;
  FOk = Ok;
  FWhy = Why;
  if (Ok) FNative = Size;
  if (FWaiting) FWaiting->quit();
}

void TQtMediaPlayer::FrameArrived(uint64_t Open, const QVideoFrame& Frame) {
  if (Open == FCurrent && FVideo) FVideo->videoSink()->setVideoFrame(Frame);
}

void TQtMediaPlayer::Ended(uint64_t Open, uint64_t Play, bool Failed) {
  if (Open == FCurrent && Play == FPlays) PlaybackEnded(Failed);
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
  QElapsedTimer Clock;
  Clock.start();
  while (!Done()) {
    const qint64 Left = Ms - Clock.elapsed();
    if (Left <= 0) return false;
    QEventLoop Loop;
    QTimer Deadline;
    Deadline.setSingleShot(true);
    QObject::connect(&Deadline, &QTimer::timeout, &Loop, &QEventLoop::quit);
    Deadline.start(static_cast<int>(Left));
    QEventLoop* const Outer = FWaiting;
    FWaiting = &Loop;
    // No user input in here: it would be handled in the middle of the caller's frame.
    Loop.exec(QEventLoop::ExcludeUserInputEvents);
    FWaiting = Outer;
  }
  return true;
}

void TQtMediaPlayer::DoOpen() {
  if (FileName().empty()) throw EMCIDeviceError(Format(SMCICannotPlay, "no file name"));
  THoldNotifications Hold;
  Reset();
  FCurrent = ++FOpens;
  FStarted = FAnswered = FOk = false;
  FWhy.clear();
  TMediaThread::Get().Post([Serial = FSerial, Open = FCurrent, File = QString::fromStdString(FileName())] {
    PipelineOpen(Serial, Open, File);
  });
  // The media thread may still be taking an earlier medium apart: the cap counts from when it
  // takes this one up, and a thread that never does fails the open all the same.
  if (!WaitUntil([this] { return FStarted; }, KOpenTimeoutMs) ||
      !WaitUntil([this] { return FAnswered; }, KOpenTimeoutMs))
    GiveUp(SMCIOpenTimeout);
  // A movie opens with its own size or not at all: a movie without it would stay invisible.
  if (!FOk) GiveUp(Format(SMCICannotPlay, FWhy.toStdString().c_str()));
}

void TQtMediaPlayer::GiveUp(const std::string& Why) {
  TMediaThread::Get().Post([Serial = FSerial, Open = FCurrent] { PipelineClose(Serial, Open); });
  FCurrent = 0;
  Reset();
  throw EMCIDeviceError(Why);
}

void TQtMediaPlayer::Reset() {
  FNative = QSize();
  if (FVideo) {
    FVideo->hide();
    FVideo->videoSink()->setVideoFrame(QVideoFrame());
  }
}

void TQtMediaPlayer::DoClose() {
  if (FCurrent != 0)
    TMediaThread::Get().Post([Serial = FSerial, Open = FCurrent] { PipelineClose(Serial, Open); });
  FCurrent = 0;
  Reset();
}

void TQtMediaPlayer::DoPlay() {
  if (FCurrent == 0) throw EMCIDeviceError(SMCINotOpen);
  TMediaThread::Get().Post([Serial = FSerial, Open = FCurrent, Play = ++FPlays] { PipelinePlay(Serial, Open, Play); });
}

void TQtMediaPlayer::ApplyDisplayRect(const TMediaRect& Rect) {
  if (!FVideo) return;
  FVideo->setGeometry(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom);
  FVideo->setVisible(Rect.Right > 0 && Rect.Bottom > 0);
}

// Stands in for the Qt player when the media framework did not start in time: every open fails,
// and the show goes on without sound and movies.
class TAbsentMediaPlayer final : public TMediaPlayer {
protected:
  void DoOpen() override { throw EMCIDeviceError(SMCINotStarted); }
  void DoClose() override {}
  void DoPlay() override { throw EMCIDeviceError(SMCINotOpen); }
  void NativeSize(int& Width, int& Height) const override { Width = Height = 0; }
  void ApplyDisplayRect(const TMediaRect&) override {}
};

plat::MediaPlayerFactory& Factory() {
  static plat::MediaPlayerFactory F;
  return F;
}

}  // namespace

namespace plat {

std::unique_ptr<TMediaPlayer> CreateMediaPlayer() {
  if (Factory()) return Factory()();
  GuiReceiver();  // made on the GUI thread, before the media thread can answer
  if (!TMediaThread::Get().WaitStarted()) return std::make_unique<TAbsentMediaPlayer>();
  return std::make_unique<TQtMediaPlayer>();
}

void SetMediaPlayerFactory(MediaPlayerFactory F) { Factory() = std::move(F); }

void RunOnMediaThread(std::function<void()> Work) { TMediaThread::Get().Post(std::move(Work)); }

}  // namespace plat
