#include "platform/MediaPlayer.h"

#include <QAudioBuffer>
#include <QAudioDecoder>
#include <QAudioDevice>
#include <QAudioOutput>
#include <QAudioSink>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPainter>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <QWidget>

#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <unistd.h>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Queued delivery of notifications and open reports: one queue for all players, in posting
// order, like the window messages the notifications once were.

namespace {

enum class TQueuedKind : uint8_t { Notify, Opened };

struct TQueued {
  uint64_t Player;
  TQueuedKind Kind;
  TMPNotifyValues Value;
  uint64_t Open;  // an open report: the open it reports on
};

std::deque<TQueued> GQueue;
std::map<uint64_t, TMediaPlayer*> GLive;
uint64_t GNextSerial = 1;

}  // namespace

class TMediaNotifier : public QObject {
public:
  static void Post(const TQueued& Q) {
    GQueue.push_back(Q);
    // Never deleted: queued requests must always find their receiver.
    static TMediaNotifier* const Instance = new TMediaNotifier;
    QCoreApplication::postEvent(Instance, new QEvent(DeliverEvent()));
  }

  bool event(QEvent* E) override {
    if (E->type() != DeliverEvent()) return QObject::event(E);
    while (!GQueue.empty()) {
      const TQueued N = GQueue.front();
      GQueue.pop_front();
      const auto It = GLive.find(N.Player);
      if (It == GLive.end()) continue;
      TMediaPlayer* P = It->second;
      // A copy: the handler may close, replay or even destroy the player.
      TMediaPlayer::TNotifyEvent Handler;
      if (N.Kind == TQueuedKind::Opened) {
        if (N.Open != P->FOpens) continue;  // closed or opened anew since
        Handler = P->OnOpened;
      } else {
        P->FNotifyValue = N.Value;
        Handler = P->OnNotify;
      }
      if (Handler) Handler(P);
    }
    return true;
  }

private:
  static QEvent::Type DeliverEvent() {
    static const auto T = static_cast<QEvent::Type>(QEvent::registerEventType());
    return T;
  }
};

int TMediaPlayer::QueuedNotifications() { return static_cast<int>(GQueue.size()); }

// ---------------------------------------------------------------------------------------------
// TMediaPlayer

TMediaPlayer::TMediaPlayer() : FSerial(GNextSerial++) { GLive[FSerial] = this; }

TMediaPlayer::~TMediaPlayer() {
  GLive.erase(FSerial);
  std::erase_if(GQueue, [this](const TQueued& N) { return N.Player == FSerial; });
}

void TMediaPlayer::PostNotify(TMPNotifyValues Value) {
  TMediaNotifier::Post({FSerial, TQueuedKind::Notify, Value, 0});
}

void TMediaPlayer::Open() {
  if (FOpen) Close();
  FError.clear();
  FOpen = FOpening = true;
  FPlaying = FNotifyPending = false;
  FDisplayRect = {};
  const uint64_t This = ++FOpens;
  try {
    DoOpen();
  } catch (const std::exception& E) {
    if (FOpens == This) {
      FOpen = FOpening = false;
      FError = E.what();
    }
    throw;
  }
}

void TMediaPlayer::OpenSettled(bool Ok, const std::string& Why) {
  if (!FOpening) return;
  FOpening = false;
  if (Ok) {
    // Unless a placement was given while it opened, the movie shows at its own size.
    if (FDisplayRect == TMediaRect{}) {
      int W = 0, H = 0;
      NativeSize(W, H);
      FDisplayRect = {0, 0, W, H};
    }
    ApplyDisplayRect(FDisplayRect);
  } else {
    FError = Why.empty() ? Format(SMCICannotPlay, "unknown reason") : Why;
    FOpen = false;
    FDisplayRect = {};
    if (FPlaying) {
      FPlaying = false;
      if (FNotifyPending) {
        FNotifyPending = false;
        PostNotify(nvFailure);
      }
    }
  }
  TMediaNotifier::Post({FSerial, TQueuedKind::Opened, nvSuccessful, FOpens});
}

void TMediaPlayer::Close() {
  if (!FOpen) return;
  if (FNotifyPending) {
    FNotifyPending = false;
    PostNotify(nvAborted);
  }
  FPlaying = FOpen = FOpening = false;
  FDisplayRect = {};
  ++FOpens;  // a report still queued belongs to the medium closed here
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
  if (!FPlaying || FOpening) return;
  FPlaying = false;
  if (FNotifyPending) {
    FNotifyPending = false;
    PostNotify(Failed ? nvFailure : nvSuccessful);
  }
}

TMPModes TMediaPlayer::Mode() const {
  if (!FOpen) return mpNotReady;
  if (FPlaying) return mpPlaying;
  return FOpening ? mpOpen : mpStopped;
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
  if (Value == TMediaRect{} && !FOpening) {
    int W = 0, H = 0;
    NativeSize(W, H);
    FDisplayRect = {0, 0, W, H};
  } else {
    // While the medium opens, the empty rectangle stands for its own size until it is known.
    FDisplayRect = Value;
  }
  ApplyDisplayRect(FDisplayRect);
}

// ---------------------------------------------------------------------------------------------
// The Qt Multimedia player
//
// Qt 6.4's GStreamer backend changes a pipeline's state synchronously in setSource, pause, stop
// and the player's destructor, and a state change waits for the pipeline's streaming threads,
// which a stalled disk, a broken decoder or a sound server that does not answer can hold without
// a limit; the backend's start (the plugin registry, the sound server's devices) can take as long.
// So no pipeline lives on the GUI thread. Every opened medium gets a thread of its own (a lane)
// that makes its pipeline, carries out the GUI thread's commands in order and sends its answers
// and pictures back as queued calls. Closing a medium only tells its lane to let go and
// end; a lane stuck in the framework is left behind. The GUI thread learns how long a medium takes
// from its own timer and gives up on it without waiting.

namespace {

int GStartLimitMs = 60000;
int GOpenLimitMs = 5000;
// How long the end of the program gives lanes to take their media apart.
constexpr int KEndGraceMs = 500;
// Lanes not ended, the stuck ones among them, beyond which no new medium is handed over: a
// framework that leaves this many behind does not answer, and each one holds a thread.
constexpr size_t KMaxLanes = 12;

// The media framework's start, as the GUI thread sees it.
enum class TStart : uint8_t { NotTried, Starting, Up, Failed };
TStart GStart = TStart::NotTried;
QElapsedTimer GStartClock;  // since the first medium was handed over

class TQtMediaPlayer;
class TLane;

// Receives the lanes' answers on the GUI thread. Never deleted: queued answers must always find
// their receiver.
QObject* GuiReceiver() {
  static QObject* const Receiver = new QObject;
  return Receiver;
}

// The player Serial, if it still exists; only a Qt player has lanes that answer it.
TQtMediaPlayer* QtPlayer(uint64_t Serial);
// Every lane whose thread object was not deleted yet; GUI thread only.
std::vector<TLane*> GLanes;

// Runs Apply on the GUI thread with the player Serial, if it still exists by then.
void Answer(uint64_t Serial, std::function<void(TQtMediaPlayer&)> Apply) {
  QMetaObject::invokeMethod(
      GuiReceiver(),
      [Serial, Apply = std::move(Apply)] {
        if (TQtMediaPlayer* P = QtPlayer(Serial)) Apply(*P);
      },
      Qt::QueuedConnection);
}

// The latest picture of a movie, handed from its lane to the GUI thread: a lane never queues a
// second one while the GUI thread has not taken the first, so a busy GUI thread only skips frames.
// The lane only passes the frame on: the pipeline waits for its sink's thread to take each frame,
// and fails the stream when that takes long, so the picture is made on the GUI thread, from memory
// the frame already holds.
struct TFrameSlot {
  std::mutex Lock;
  QVideoFrame Latest;
  bool Queued = false;
};

// Shows the movie's pictures, stretched over its rectangle; only a frame that gets painted is
// turned into an image. Input goes through it to the control below.
class TMovieView final : public QWidget {
public:
  explicit TMovieView(QWidget* Parent) : QWidget(Parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  void SetFrame(QVideoFrame Frame) {
    FFrame = std::move(Frame);
    FImage = QImage();
    update();
  }

protected:
  void paintEvent(QPaintEvent*) override {
    if (FImage.isNull() && FFrame.isValid()) FImage = FFrame.toImage();
    QPainter P(this);
    if (FImage.isNull())
      P.fillRect(rect(), Qt::black);  // until the first picture
    else
      P.drawImage(rect(), FImage);
  }

private:
  QVideoFrame FFrame;
  QImage FImage;  // FFrame's picture, once painted
};

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

// One medium's thread. Everything but Post and Retire runs on the lane. The medium's kind lives in
// a descendant: a movie's pipeline, or a sound decoded once and played on an audio output.
class TLane : public QThread {
public:
  TLane(uint64_t Player, uint64_t Open) : FPlayer(Player), FOpen(Open), FContext(new QObject) {
    setObjectName(QStringLiteral("media"));
    FContext->moveToThread(this);
  }

  // Runs Work on the lane, after what was posted before. Never after Retire.
  void Post(std::function<void()> Work) {
    QMetaObject::invokeMethod(FContext, std::move(Work), Qt::QueuedConnection);
  }
  // The medium is let go and the thread ends, once the lane gets there.
  void Retire() {
    Post([this] {
      Drop();
      quit();
    });
  }

  virtual void OpenMedium(const QString& File) = 0;
  void PlayMedium(uint64_t P) {
    if (!FAlive) return;
    if (Opening) {
      PlayAfterOpen = P;
      return;
    }
    Play = P;
    StartPlay();
  }

protected:
  void run() override {
    exec();
    Drop();
    delete FContext;
  }
  // Lets the medium go; runs on the lane, more than once.
  virtual void Drop() = 0;
  virtual void StartPlay() = 0;

  // The framework is at hand: the GUI thread counts the medium's own time from here.
  void Announce();
  void AnswerOpen(bool Ok, const QString& Why, QSize Size);
  void EndPlay(bool Failed);

  const uint64_t FPlayer;  // the GUI thread's player, by serial
  const uint64_t FOpen;    // the open the lane serves
  QObject* FContext;       // lives on the lane and runs the posted work there
  bool FAlive = false;     // a medium is at hand: opened, not dropped
  uint64_t Play = 0;           // the last play carried out
  uint64_t PlayAfterOpen = 0;  // a play asked for while the medium opened
  bool Opening = false;        // the open is not answered yet
  bool Playing = false;
};

// A movie (or any medium not known as sound): the framework's player, rendering into a sink whose
// frames go to the GUI thread.
class TMovieLane final : public TLane {
public:
  TMovieLane(uint64_t Player, uint64_t Open, std::shared_ptr<TFrameSlot> Frames)
      : TLane(Player, Open), FFrames(std::move(Frames)) {}
  void OpenMedium(const QString& File) override;

protected:
  void Drop() override;
  void StartPlay() override;

private:
  void StatusChanged();
  void ErrorOccurred(const QString& Text);
  void FrameArrived(const QVideoFrame& Frame);

  const std::shared_ptr<TFrameSlot> FFrames;
  // The pipeline, made on the lane. Connections is the context of every connection to it.
  std::unique_ptr<QObject> Connections;
  std::unique_ptr<QMediaPlayer> Player;
  std::unique_ptr<QAudioOutput> Audio;
  std::unique_ptr<QVideoSink> Sink;
  bool Probing = false;  // paused for the first picture
  QSize Picture;         // the size of the first picture seen while opening
  QString Error;         // the first error while opening
};

// A sound or music: decoded once into memory and written to an audio output of its own, which
// stays open between plays. The framework's player, restarted at its end on a sound server,
// stalls after a few rounds; an output that is simply written again does not. Without an
// output (no sound server) the medium plays silently by the clock, so it still lasts its time.
class TSoundLane final : public TLane {
public:
  using TLane::TLane;
  void OpenMedium(const QString& File) override;

protected:
  void Drop() override;
  void StartPlay() override;

private:
  void Take();
  void DecodeFailed(const QString& Why);
  void DecodeFinished();
  void Feed();
  void MakeOutput();
  void LoseOutput();
  qint64 Writable() const;
  qint64 Decoded() const { return Base + Pcm.size(); }

  std::unique_ptr<QAudioDecoder> Decoder;
  std::unique_ptr<QTimer> Feeder;  // runs while playing
  QAudioDevice Device;             // the sound server's output; none without a server
  std::unique_ptr<QAudioSink> Output;
  QIODevice* Stream = nullptr;  // writes into Output
  bool OutputLost = false;
  QAudioFormat Format;          // of every byte in Pcm
  QByteArray Pcm;               // the medium decoded, from byte Base on
  qint64 Base = 0;
  qint64 Pos = 0;               // the next byte to play, from the medium's start
  bool AllDecoded = false;
  bool Streaming = false;       // too long to keep: Pcm holds only what plays next
  QElapsedTimer Clock;          // without an output: the time played since ClockFrom
  qint64 ClockFrom = 0;
  QElapsedTimer Progress;       // since the output last took data
  qint64 LastFree = -1;
};

// Deletes the thread objects of lanes that have ended; the others stay listed.
void ReapLanes() {
  std::erase_if(GLanes, [](TLane* L) {
    if (!L->isFinished()) return false;
    delete L;
    return true;
  });
}

// What the device chooses by the file: the extensions of sound and music play on the sound lane.
bool IsSoundFile(const std::string& FileName) {
  static const QStringList Sounds = {"wav", "wave", "mid", "midi", "rmi", "kar", "mp3", "mp2",
                                     "mpa", "ogg", "oga", "opus", "flac", "aif", "aiff", "aifc",
                                     "au", "snd", "wma", "m4a", "aac"};
  const QString Name = QString::fromStdString(FileName);
  const qsizetype Dot = Name.lastIndexOf('.');
  if (Dot < 0 || Name.indexOf('/', Dot) >= 0) return false;
  return Sounds.contains(Name.mid(Dot + 1).toLower());
}

// ---- The GUI thread's side ----

class TQtMediaPlayer final : public TMediaPlayer {
public:
  TQtMediaPlayer() {
    FDeadline.setSingleShot(true);
    QObject::connect(&FDeadline, &QTimer::timeout, [this] { TimedOut(); });
  }
  ~TQtMediaPlayer() override {
    LetGo();
    delete FView.data();
  }

  // The lanes' answers; each names the open it belongs to, and is ignored when that open was
  // given up or closed since.
  void Started(uint64_t Open) {
    if (Open != FCurrent || !IsOpening()) return;
    FStarted = true;
    FDeadline.start(GOpenLimitMs);
  }
  void Opened(uint64_t Open, bool Ok, const QString& Why, QSize Size) {
    if (Open != FCurrent || !IsOpening()) return;
    FDeadline.stop();
    if (Ok) {
      FNative = Size;
      OpenSettled(true);
    } else {
      // A movie opens with its own size or not at all: a movie without it would stay invisible.
      LetGo();
      OpenSettled(false, Format(SMCICannotPlay, Why.toStdString().c_str()));
    }
  }
  void FrameArrived(uint64_t Open) {
    if (Open != FCurrent || !FFrames) return;
    QVideoFrame Frame;
    {
      std::lock_guard L(FFrames->Lock);
      Frame = std::move(FFrames->Latest);
      FFrames->Latest = QVideoFrame();
      FFrames->Queued = false;
    }
    if (FView && Frame.isValid()) FView->SetFrame(std::move(Frame));
  }
  void Ended(uint64_t Open, uint64_t Play, bool Failed) {
    if (Open == FCurrent && Play == FPlays) PlaybackEnded(Failed);
  }

protected:
  void DoOpen() override {
    if (FileName().empty()) throw EMCIDeviceError(Format(SMCICannotPlay, "no file name"));
    LetGo();
    Reset();
    FCurrent = ++FOpenCount;
    FStarted = false;
    ReapLanes();
    if (GStart == TStart::Starting && GStartClock.elapsed() >= GStartLimitMs) GStart = TStart::Failed;
    if (GStart == TStart::Failed || GLanes.size() >= KMaxLanes) {
      FCurrent = 0;
      OpenSettled(false, GStart == TStart::Failed ? SMCINotStarted : SMCINoAnswer);
      return;
    }
    if (GStart == TStart::NotTried) {
      GStart = TStart::Starting;
      GStartClock.start();
    }
    if (IsSoundFile(FileName())) {
      FLane = new TSoundLane(Serial(), FCurrent);
    } else {
      FFrames = std::make_shared<TFrameSlot>();
      FLane = new TMovieLane(Serial(), FCurrent, FFrames);
    }
    GLanes.push_back(FLane);
    FLane->start();
    FLane->Post([Lane = FLane, File = QString::fromStdString(FileName())] { Lane->OpenMedium(File); });
    // The framework's start is counted once, from the first medium: a later open gets what is
    // left of it, or its own time when the framework is up.
    if (GStart == TStart::Up)
      FDeadline.start(GOpenLimitMs);
    else
      FDeadline.start(std::max<qint64>(1, GStartLimitMs - GStartClock.elapsed()));
  }
  void DoClose() override {
    FDeadline.stop();
    LetGo();
    FCurrent = 0;
    Reset();
  }
  void DoPlay() override {
    if (!FLane) throw EMCIDeviceError(SMCINotOpen);
    FLane->Post([Lane = FLane, Play = ++FPlays] { Lane->PlayMedium(Play); });
  }
  void DoDisplayChanged() override {
    delete FView.data();
    if (QWidget* D = Display()) {
      FView = new TMovieView(D);
      FView->hide();
    }
  }
  void NativeSize(int& Width, int& Height) const override {
    Width = FNative.width() > 0 ? FNative.width() : 0;
    Height = FNative.height() > 0 ? FNative.height() : 0;
  }
  void ApplyDisplayRect(const TMediaRect& Rect) override {
    if (!FView) return;
    FView->setGeometry(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom);
    FView->setVisible(Rect.Right > 0 && Rect.Bottom > 0);
  }

private:
  void TimedOut() {
    if (!IsOpening()) return;
    // Without an answer from the lane, the framework's start ran out unless it came up since.
    const bool Start = !FStarted && GStart != TStart::Up;
    if (Start && GStart == TStart::Starting) GStart = TStart::Failed;
    LetGo();
    FCurrent = 0;
    OpenSettled(false, Start ? SMCINotStarted : SMCIOpenTimeout);
  }
  // The lane lets its medium go and ends, now or whenever it comes free.
  void LetGo() {
    if (FLane) FLane->Retire();
    FLane = nullptr;
    FFrames.reset();
  }
  void Reset() {
    FNative = QSize();
    if (FView) {
      FView->hide();
      FView->SetFrame(QVideoFrame());
    }
  }

  QTimer FDeadline;  // the open in progress counts as failed when it runs out
  QPointer<TMovieView> FView;  // owned by the display
  QSize FNative;
  TLane* FLane = nullptr;  // the lane of the medium in use; listed in GLanes
  std::shared_ptr<TFrameSlot> FFrames;  // a movie's pictures
  uint64_t FOpenCount = 0;  // opens handed over
  uint64_t FCurrent = 0;    // the open in progress or in use; 0 while closed
  uint64_t FPlays = 0;      // plays asked for
  bool FStarted = false;    // the lane of the open in progress has the framework at hand
};

TQtMediaPlayer* QtPlayer(uint64_t Serial) {
  const auto It = GLive.find(Serial);
  return It != GLive.end() ? static_cast<TQtMediaPlayer*>(It->second) : nullptr;
}

// ---- The lanes' side ----

void TLane::Announce() {
  FAlive = Opening = true;
  QMetaObject::invokeMethod(
      GuiReceiver(),
      [Serial = FPlayer, Open = FOpen] {
        GStart = TStart::Up;
        if (TQtMediaPlayer* P = QtPlayer(Serial)) P->Started(Open);
      },
      Qt::QueuedConnection);
}

void TLane::AnswerOpen(bool Ok, const QString& Why, QSize Size) {
  Opening = false;
  Answer(FPlayer, [Open = FOpen, Ok, Why, Size](TQtMediaPlayer& Q) { Q.Opened(Open, Ok, Why, Size); });
  if (Ok && PlayAfterOpen != 0) {
    Play = PlayAfterOpen;
    PlayAfterOpen = 0;
    StartPlay();
  }
}

void TLane::EndPlay(bool Failed) {
  Playing = false;
  Answer(FPlayer, [Open = FOpen, Play = Play, Failed](TQtMediaPlayer& Q) { Q.Ended(Open, Play, Failed); });
}

void TMovieLane::Drop() {
  // Detaching the sink makes the pipeline hand it a last frame: disconnect first, and take the
  // player apart before the outputs it renders into.
  Connections.reset();
  if (Player) {
    Player->stop();
    Player->setVideoOutput(nullptr);
    Player->setAudioOutput(nullptr);
    Player.reset();
  }
  Sink.reset();
  Audio.reset();
  FAlive = Opening = Probing = Playing = false;
}

void TMovieLane::OpenMedium(const QString& File) {
  // The first lane starts the framework; others wait for it here, off the GUI thread.
  Player = std::make_unique<QMediaPlayer>();
  Audio = std::make_unique<QAudioOutput>();
  Sink = std::make_unique<QVideoSink>();
  Announce();
  Connections = std::make_unique<QObject>();
  Player->setAudioOutput(Audio.get());
  Player->setVideoOutput(Sink.get());
  QObject* const Context = Connections.get();
  const auto Changed = [this] { StatusChanged(); };
  QObject::connect(Player.get(), &QMediaPlayer::mediaStatusChanged, Context, Changed);
  QObject::connect(Player.get(), &QMediaPlayer::playbackStateChanged, Context, Changed);
  QObject::connect(Player.get(), &QMediaPlayer::hasVideoChanged, Context, Changed);
  QObject::connect(Player.get(), &QMediaPlayer::errorOccurred, Context,
                   [this](QMediaPlayer::Error, const QString& Text) { ErrorOccurred(Text); });
  QObject::connect(Sink.get(), &QVideoSink::videoFrameChanged, Context,
                   [this](const QVideoFrame& Frame) { FrameArrived(Frame); });
  Player->setSource(QUrl::fromLocalFile(File));
  StatusChanged();  // a missing file may have failed inside setSource
}

void TMovieLane::StatusChanged() {
  if (!Player) return;
  const QMediaPlayer::MediaStatus Status = Player->mediaStatus();
  if (Opening) {
    if (!Error.isEmpty() || Status == QMediaPlayer::InvalidMedia) {
      Probing = false;
      AnswerOpen(false, Error.isEmpty() ? Player->errorString() : Error, {});
    } else if (Probing) {
      // A movie whose decoder is missing can run to its end without any picture.
      if (Status == QMediaPlayer::EndOfMedia) {
        Probing = false;
        AnswerOpen(false, QStringLiteral("no picture"), {});
      }
    } else if (Loaded(Status)) {
      if (!Player->hasVideo()) {
        AnswerOpen(true, {}, {});
      } else if (Picture.isValid()) {
        AnswerOpen(true, {}, Picture);
      } else {
        // Pausing prerolls the first picture, which tells the movie's own size before it plays.
        Probing = true;
        Player->pause();
      }
    }
    return;
  }
  if (!Playing) return;
  // The end is both: the medium at its end and the player stopped, whichever is reported last.
  // An end status alone may belong to the run before a restart.
  if (Status == QMediaPlayer::EndOfMedia && Player->playbackState() == QMediaPlayer::StoppedState)
    EndPlay(false);
  else if (Status == QMediaPlayer::InvalidMedia)
    EndPlay(true);
}

void TMovieLane::ErrorOccurred(const QString& Text) {
  if (Opening) {
    if (Error.isEmpty()) Error = Text;
    StatusChanged();
  } else if (Playing) {
    EndPlay(true);
  }
}

void TMovieLane::FrameArrived(const QVideoFrame& Frame) {
  if (!Frame.isValid()) return;
  if (Opening && !Picture.isValid() && Frame.size().isValid()) {
    Picture = Frame.size();
    if (Probing) {
      Probing = false;
      AnswerOpen(true, {}, Picture);
    }
  }
  {
    std::lock_guard L(FFrames->Lock);
    FFrames->Latest = Frame;
    if (FFrames->Queued) return;
    FFrames->Queued = true;
  }
  Answer(FPlayer, [Open = FOpen](TQtMediaPlayer& Q) { Q.FrameArrived(Open); });
}

void TMovieLane::StartPlay() {
  // Not playing while the commands run: what they report belongs to the run before.
  Playing = false;
  if (Player->mediaStatus() == QMediaPlayer::EndOfMedia) Player->setPosition(0);
  Player->play();
  Playing = true;
}

// How the sound lane paces itself.
constexpr int KFeedMs = 20;  // how often a playing sound is written
// The output's buffer: what a lane may be late by on a busy machine without a gap.
constexpr qint64 KOutputBufferUs = 250000;
// The end is reported this much before the output runs dry, so that a replay from the
// notification continues the sound without a gap.
constexpr qint64 KEndAheadUs = 120000;
// An output that takes nothing this long while it has sound to play has stopped playing; the rest
// of the medium plays by the clock, so that the channel ends as the sound would.
constexpr int KOutputStuckMs = 3000;
// A streamed medium is decoded this far ahead of what plays.
constexpr qint64 KStreamAheadUs = 2000000;
qint64 GSoundCacheBytes = 64 << 20;  // a longer sound is decoded anew for every play

void TSoundLane::Drop() {
  Feeder.reset();
  if (Output) Output->stop();
  Stream = nullptr;
  Output.reset();
  Decoder.reset();
  Pcm = QByteArray();
  FAlive = Opening = Playing = false;
}

void TSoundLane::OpenMedium(const QString& File) {
  // The first lane starts the framework and meets the sound server; others wait for it here.
  Decoder = std::make_unique<QAudioDecoder>();
  Device = QMediaDevices::defaultAudioOutput();
  Announce();
  QObject::connect(Decoder.get(), &QAudioDecoder::bufferReady, Decoder.get(), [this] { Take(); });
  QObject::connect(Decoder.get(), &QAudioDecoder::finished, Decoder.get(), [this] { DecodeFinished(); });
  QObject::connect(Decoder.get(), qOverload<QAudioDecoder::Error>(&QAudioDecoder::error), Decoder.get(),
                   [this](QAudioDecoder::Error) { DecodeFailed(Decoder->errorString()); });
  Feeder = std::make_unique<QTimer>();
  Feeder->setInterval(KFeedMs);
  QObject::connect(Feeder.get(), &QTimer::timeout, Feeder.get(), [this] { Feed(); });
  Decoder->setSource(QUrl::fromLocalFile(File));
  Decoder->start();
}

// Takes what the decoder has ready: all of it while the medium is kept whole, only what plays
// next when it streams; the decoder waits for what is not taken.
void TSoundLane::Take() {
  while (Decoder && Decoder->bufferAvailable()) {
    if (Streaming && Decoded() - Pos >= Format.bytesForDuration(KStreamAheadUs)) break;
    const QAudioBuffer B = Decoder->read();
    if (!B.isValid()) break;
    if (!Format.isValid()) Format = B.format();
    if (B.format() != Format) continue;  // a stream that changes its format midway keeps the first
    Pcm.append(B.constData<char>(), B.byteCount());
    if (!Streaming && Decoded() > GSoundCacheBytes) Streaming = true;
  }
  if (Opening && !Pcm.isEmpty()) AnswerOpen(true, {}, {});
}

void TSoundLane::DecodeFailed(const QString& Why) {
  if (Opening) {
    AnswerOpen(false, Why.isEmpty() ? QStringLiteral("cannot decode") : Why, {});
    return;
  }
  // Damaged further on: what was decoded plays.
  AllDecoded = true;
}

void TSoundLane::DecodeFinished() {
  Take();
  AllDecoded = true;
  if (Opening) AnswerOpen(false, QStringLiteral("no sound in the file"), {});
}

void TSoundLane::StartPlay() {
  if (Pos >= Decoded() && AllDecoded) {
    // At its end: from the beginning again, decoded anew when only its end was kept.
    if (Base > 0) {
      Pcm.clear();
      Base = 0;
      AllDecoded = false;
      Decoder->stop();
      Decoder->start();
    }
    Pos = 0;
  }
  if (!Output && !OutputLost) MakeOutput();
  if (!Output) {
    Clock.start();
    ClockFrom = Pos;
  }
  Progress.start();
  LastFree = -1;
  Playing = true;
  Feeder->start();
  Feed();
}

void TSoundLane::MakeOutput() {
  if (Device.isNull() || !Device.isFormatSupported(Format)) return;
  Output = std::make_unique<QAudioSink>(Device, Format);
  Output->setBufferSize(Format.bytesForDuration(KOutputBufferUs));
  Stream = Output->start();
  if (!Stream || Output->error() != QAudio::NoError) {
    Output.reset();
    Stream = nullptr;
    return;
  }
  QObject::connect(Output.get(), &QAudioSink::stateChanged, Output.get(), [this](QAudio::State S) {
    // The sound server went away: the rest plays by the clock.
    if (S == QAudio::StoppedState && Output && Output->error() != QAudio::NoError)
      QMetaObject::invokeMethod(FContext, [this] { LoseOutput(); }, Qt::QueuedConnection);
  });
}

void TSoundLane::LoseOutput() {
  if (!Output) return;
  Output->disconnect();
  Output->stop();
  Output.reset();
  Stream = nullptr;
  // A server that stopped or went away would hold every new output as long: this medium stays
  // on the clock.
  OutputLost = true;
  Clock.start();
  ClockFrom = Pos;
}

qint64 TSoundLane::Writable() const {
  if (Output) return Output->bytesFree();
  const qint64 Due = Format.bytesForDuration(Clock.elapsed() * 1000);
  return std::max<qint64>(0, ClockFrom + Due - Pos);
}

void TSoundLane::Feed() {
  Take();
  if (!Playing) {
    Feeder->stop();
    return;
  }
  const int Frame = std::max(1, Format.bytesPerFrame());
  while (Pos < Decoded()) {
    qint64 N = std::min(Writable(), Decoded() - Pos);
    N -= N % Frame;
    if (N <= 0) break;
    const qint64 Written = Stream ? Stream->write(Pcm.constData() + (Pos - Base), N) : N;
    if (Written <= 0) break;
    Pos += Written;
  }
  if (Streaming && Pos - Base >= std::min<qint64>(GSoundCacheBytes, 1 << 20)) {
    Pcm.remove(0, Pos - Base);
    Base = Pos;
  }
  qint64 Unplayed = 0;  // what the output holds still
  if (Output) {
    const qint64 Free = Output->bytesFree();
    Unplayed = std::max<qint64>(0, Output->bufferSize() - Free);
    if (Free != LastFree) {
      LastFree = Free;
      Progress.start();
    } else if (Unplayed > 0 && Progress.elapsed() > KOutputStuckMs) {
      LoseOutput();
      Unplayed = 0;
    }
  }
  if (AllDecoded && Pos >= Decoded() && Unplayed <= Format.bytesForDuration(KEndAheadUs)) {
    Feeder->stop();
    // Nothing to play (decoded anew, and failing now) is a failure, which is not replayed.
    EndPlay(Decoded() == 0);
  }
}

plat::MediaPlayerFactory& Factory() {
  static plat::MediaPlayerFactory F;
  return F;
}

}  // namespace

namespace plat {

std::unique_ptr<TMediaPlayer> CreateMediaPlayer() {
  if (Factory()) return Factory()();
  GuiReceiver();  // made on the GUI thread, before any lane can answer
  return std::make_unique<TQtMediaPlayer>();
}

void SetMediaPlayerFactory(MediaPlayerFactory F) { Factory() = std::move(F); }

void SetMediaOpenLimits(int StartMs, int OpenMs) {
  GStartLimitMs = StartMs;
  GOpenLimitMs = OpenMs;
}

void SetSoundCacheLimit(int64_t Bytes) { GSoundCacheBytes = Bytes; }

int MediaThreadsRunning() {
  ReapLanes();
  return static_cast<int>(GLanes.size());
}

void EndMedia(int ExitCode) {
  const QDeadlineTimer Grace(KEndGraceMs);
  bool Ended = true;
  for (TLane* L : GLanes) Ended = L->wait(Grace) && Ended;
  if (Ended) {
    ReapLanes();
    return;
  }
  std::fflush(nullptr);
  ::_exit(ExitCode);
}

}  // namespace plat
