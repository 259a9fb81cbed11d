#include "platform/FakeMediaPlayer.h"
#include "platform/MediaPlayer.h"
#include "tests/support/TestEnv.h"
#include "tests/support/Watchdog.h"
#include "tools/MediaFixtures.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QThread>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>
#include <QWidget>

#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// Readable failure messages: the values are bytes, which the test framework prints as characters.
void PrintTo(TMPNotifyValues V, std::ostream* Os) {
  static const char* const Names[] = {"nvSuccessful", "nvSuperseded", "nvAborted", "nvFailure"};
  *Os << (V <= nvFailure ? Names[V] : "?");
}

namespace {

// Records every notification a player delivers, with the thread it arrived on.
struct TNotifyLog {
  std::vector<TMPNotifyValues> Values;
  bool OffGuiThread = false;
  void Attach(TMediaPlayer& P) {
    P.OnNotify = [this](TMediaPlayer* Sender) {
      Values.push_back(Sender->NotifyValue());
      if (QThread::currentThread() != qApp->thread()) OffGuiThread = true;
    };
  }
};

// Processes events until Done or the time is up; true when Done.
bool WaitFor(const std::function<bool()>& Done, int Ms) {
  QElapsedTimer T;
  T.start();
  while (!Done() && T.elapsed() < Ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return Done();
}

// ---------------------------------------------------------------------------------------------
// The shared behaviour, driven through the scripted player

TEST(MediaPlayerLogic, ModesFollowOpenPlayEndAndClose) {
  TFakeMediaPlayer P;
  EXPECT_EQ(P.Mode(), mpNotReady);
  P.SetFileName("a.wav");
  P.Open();
  EXPECT_EQ(P.Mode(), mpStopped);
  P.Play();
  EXPECT_EQ(P.Mode(), mpPlaying);  // at once, not when the device gets round to it
  P.FinishPlayback();
  EXPECT_EQ(P.Mode(), mpStopped);
  P.Play();
  EXPECT_EQ(P.Starts(), 2);  // a finished medium starts again from the beginning
  P.Play();
  EXPECT_EQ(P.Starts(), 2);  // playing on is no new start
  P.Close();
  EXPECT_EQ(P.Mode(), mpNotReady);
  EXPECT_EQ(P.Calls(), (std::vector<std::string>{"Open a.wav", "DisplayRect 0,0,0,0", "Play", "Play",
                                                 "Play", "Close"}));
}

TEST(MediaPlayerLogic, FailuresRaiseAndLeaveNothingOpen) {
  TFakeMediaSystem Media;
  Media.FailOpen("bad.avi");
  Media.FailPlay("mute.wav");
  auto P = plat::CreateMediaPlayer();

  try {
    P->Play();
    FAIL() << "Play without a device must raise";
  } catch (const EMCIDeviceError& E) {
    EXPECT_STREQ(E.what(), "No MCI device open");
  }

  P->SetFileName("bad.avi");
  EXPECT_THROW(P->Open(), EMCIDeviceError);
  EXPECT_EQ(P->Mode(), mpNotReady);
  P->SetFileName("");
  EXPECT_THROW(P->Open(), EMCIDeviceError);

  P->SetFileName("mute.wav");
  P->Open();
  P->SetNotify(true);
  EXPECT_THROW(P->Play(), EMCIDeviceError);
  EXPECT_EQ(P->Mode(), mpStopped);
  // The failed Play asked for nothing: closing reports no aborted command.
  TNotifyLog Log;
  Log.Attach(*P);
  P->Close();
  DeliverMediaNotifications();
  EXPECT_TRUE(Log.Values.empty());
}

TEST(MediaPlayerLogic, SuccessIsQueuedAndReportedOnlyAtTheNaturalEnd) {
  TFakeMediaPlayer P;
  TNotifyLog Log;
  Log.Attach(P);
  P.SetFileName("a.wav");
  P.Open();
  P.SetNotify(true);
  P.Play();
  DeliverMediaNotifications();
  EXPECT_TRUE(Log.Values.empty());
  P.FinishPlayback();
  EXPECT_TRUE(Log.Values.empty());  // never from inside the call
  EXPECT_EQ(TMediaPlayer::QueuedNotifications(), 1);
  DeliverMediaNotifications();
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvSuccessful});
  EXPECT_FALSE(Log.OffGuiThread);

  // Without Notify the end passes silently.
  P.SetNotify(false);
  P.Play();
  P.FinishPlayback();
  DeliverMediaNotifications();
  EXPECT_EQ(Log.Values.size(), 1u);
}

TEST(MediaPlayerLogic, NewPlaySupersedesAndCloseOrReopenAborts) {
  TFakeMediaPlayer P;
  TNotifyLog Log;
  Log.Attach(P);
  P.SetFileName("a.wav");
  P.Open();
  P.SetNotify(true);
  P.Play();
  P.Play();
  P.FinishPlayback();
  DeliverMediaNotifications();
  EXPECT_EQ(Log.Values, (std::vector<TMPNotifyValues>{nvSuperseded, nvSuccessful}));

  Log.Values.clear();
  P.Play();
  P.Close();
  P.FinishPlayback();  // too late: nothing is playing any more
  DeliverMediaNotifications();
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvAborted});

  Log.Values.clear();
  P.Open();
  P.Play();
  P.SetFileName("b.wav");
  P.Open();  // closes the playing medium first
  DeliverMediaNotifications();
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvAborted});
  EXPECT_EQ(P.Mode(), mpStopped);

  Log.Values.clear();
  P.Play();
  P.FailPlayback();
  DeliverMediaNotifications();
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvFailure});
}

TEST(MediaPlayerLogic, ReplayHandlerLoopsUntilTheChannelIsClosed) {
  TFakeMediaPlayer P;
  int Replays = 0;
  P.OnNotify = [&](TMediaPlayer* Sender) {
    if (Sender->NotifyValue() != nvSuccessful) return;
    ++Replays;
    Sender->SetNotify(true);
    Sender->Play();
  };
  P.SetFileName("music.wav");
  P.Open();
  P.SetNotify(true);
  P.Play();
  for (int I = 0; I < 3; ++I) {
    P.FinishPlayback();
    DeliverMediaNotifications();
    EXPECT_EQ(P.Mode(), mpPlaying);
  }
  EXPECT_EQ(Replays, 3);
  EXPECT_EQ(P.Starts(), 4);
  P.Close();
  DeliverMediaNotifications();
  EXPECT_EQ(Replays, 3);
  EXPECT_EQ(P.Mode(), mpNotReady);
}

TEST(MediaPlayerLogic, NotificationsOfADestroyedPlayerAreDropped) {
  TNotifyLog Log;
  auto A = std::make_unique<TFakeMediaPlayer>();
  TFakeMediaPlayer B;
  Log.Attach(*A);
  Log.Attach(B);
  for (TFakeMediaPlayer* P : {A.get(), &B}) {
    P->SetFileName("x.wav");
    P->Open();
    P->SetNotify(true);
    P->Play();
    P->FinishPlayback();
  }
  A.reset();
  EXPECT_EQ(TMediaPlayer::QueuedNotifications(), 1);
  DeliverMediaNotifications();
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvSuccessful});  // B's only
}

TEST(MediaPlayerLogic, AHandlerMayDestroyItsPlayer) {
  auto P = std::make_unique<TFakeMediaPlayer>();
  TFakeMediaPlayer Other;
  TNotifyLog Log;
  Log.Attach(Other);
  P->OnNotify = [&](TMediaPlayer*) { P.reset(); };
  for (TFakeMediaPlayer* Q : {P.get(), &Other}) {
    Q->SetFileName("x.wav");
    Q->Open();
    Q->SetNotify(true);
    Q->Play();
    Q->FinishPlayback();
  }
  DeliverMediaNotifications();
  EXPECT_EQ(P, nullptr);
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvSuccessful});
}

struct THoldingPlayer : TFakeMediaPlayer {
  using TMediaPlayer::THoldNotifications;
};

TEST(MediaPlayerLogic, HeldNotificationsWaitForTheRelease) {
  THoldingPlayer P;
  TNotifyLog Log;
  Log.Attach(P);
  P.SetFileName("x.wav");
  P.Open();
  P.SetNotify(true);
  P.Play();
  {
    THoldingPlayer::THoldNotifications Outer;
    {
      THoldingPlayer::THoldNotifications Inner;
      P.FinishPlayback();
      QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(Log.Values.empty());
  }
  DeliverMediaNotifications();
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvSuccessful});
}

TEST(MediaPlayerLogic, DisplayRectIsTheNativeSizeUntilPlacedAndEmptyWhenClosed) {
  TFakeMediaSystem Media;
  Media.SetNativeSize("m.avi", 320, 240);
  auto Panel = std::make_unique<QWidget>();
  auto P = plat::CreateMediaPlayer();
  P->SetDisplay(Panel.get());
  EXPECT_EQ(P->Display(), Panel.get());

  P->SetDisplayRect({1, 2, 3, 4});  // closed: nothing to place
  EXPECT_EQ(P->DisplayRect(), TMediaRect{});
  P->SetFileName("m.avi");
  P->Open();
  EXPECT_EQ(P->DisplayRect(), (TMediaRect{0, 0, 320, 240}));
  P->SetDisplayRect({10, 20, 640, 480});
  EXPECT_EQ(P->DisplayRect(), (TMediaRect{10, 20, 640, 480}));
  EXPECT_EQ(Media.Player(0)->AppliedRect(), (TMediaRect{10, 20, 640, 480}));
  P->SetDisplayRect({});
  EXPECT_EQ(P->DisplayRect(), (TMediaRect{0, 0, 320, 240}));
  P->SetDisplayRect({5, 5, 0, 0});  // only all zero means the native size
  EXPECT_EQ(P->DisplayRect(), (TMediaRect{5, 5, 0, 0}));
  P->Close();
  EXPECT_EQ(P->DisplayRect(), TMediaRect{});

  P->SetFileName("sound.wav");  // no picture
  P->Open();
  EXPECT_EQ(P->DisplayRect(), TMediaRect{});

  Panel.reset();
  EXPECT_EQ(P->Display(), nullptr);
}

TEST(MediaPlayerLogic, FakeSystemRecordsItsPlayersAndRestoresTheRealFactory) {
  {
    TFakeMediaSystem Media;
    auto A = plat::CreateMediaPlayer();
    auto B = plat::CreateMediaPlayer();
    ASSERT_EQ(Media.PlayerCount(), 2u);
    EXPECT_EQ(Media.Player(0), A.get());
    EXPECT_EQ(Media.Player(1), B.get());
    EXPECT_EQ(Media.Player(2), nullptr);
    A.reset();
    EXPECT_EQ(Media.Player(0), nullptr);
  }
  auto Real = plat::CreateMediaPlayer();
  EXPECT_EQ(dynamic_cast<TFakeMediaPlayer*>(Real.get()), nullptr);
  EXPECT_EQ(Real->Mode(), mpNotReady);
}

// ---------------------------------------------------------------------------------------------
// The Qt Multimedia player with generated media (real time; no sound card needed)

class RealMediaPlayer : public ::testing::Test {
protected:
  std::string Write(const std::string& Name, const std::string& Bytes) {
    const std::string Path = testsupport::TempDir() + "/" + Name;
    EXPECT_TRUE(mediafixtures::WriteFile(Path, Bytes));
    return Path;
  }
  std::string Tone(int Ms) { return Write("tone.wav", mediafixtures::SineWav(Ms)); }
  std::string Movie() { return Write("movie.avi", mediafixtures::MjpegAvi(64, 48, 10, 20)); }
};

// Sound and music of either kind the show carries: a WAV tone and a MIDI tune, each about Ms long.
class RealSound : public RealMediaPlayer, public ::testing::WithParamInterface<const char*> {
protected:
  std::string Sound(int Ms) {
    const std::string Kind = GetParam();
    return Kind == "mid" ? Write("tune.mid", mediafixtures::MidiTune(Ms / 3, 3)) : Tone(Ms);
  }
};

TEST_P(RealSound, OpensPlaysAndReportsItsEndOnTheGuiThread) {
  auto P = plat::CreateMediaPlayer();
  TNotifyLog Log;
  Log.Attach(*P);
  P->SetFileName(Sound(300));
  P->Open();
  EXPECT_EQ(P->Mode(), mpStopped);
  EXPECT_EQ(P->DisplayRect(), TMediaRect{});
  P->SetNotify(true);
  QElapsedTimer T;
  T.start();
  P->Play();
  EXPECT_EQ(P->Mode(), mpPlaying);
  ASSERT_TRUE(WaitFor([&] { return !Log.Values.empty(); }, 5000)) << "no end reported";
  EXPECT_GE(T.elapsed(), 200);  // it played, it did not just skip to the end
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvSuccessful});
  EXPECT_FALSE(Log.OffGuiThread);
  EXPECT_EQ(P->Mode(), mpStopped);
}

TEST_P(RealSound, LoopingSoundRestartsFromItsNotifyHandler) {
  auto P = plat::CreateMediaPlayer();
  int Ends = 0;
  std::vector<TMPNotifyValues> Others;
  P->OnNotify = [&](TMediaPlayer* Sender) {
    if (Sender->NotifyValue() != nvSuccessful) {
      Others.push_back(Sender->NotifyValue());
      return;
    }
    ++Ends;
    Sender->SetNotify(true);
    Sender->Play();
  };
  P->SetFileName(Sound(150));
  P->Open();
  P->SetNotify(true);
  QElapsedTimer T;
  T.start();
  P->Play();
  ASSERT_TRUE(WaitFor([&] { return Ends >= 3; }, 8000)) << "ends seen: " << Ends;
  EXPECT_GE(T.elapsed(), 3 * 100);  // each round played in real time
  EXPECT_EQ(P->Mode(), mpPlaying);
  P->Close();
  const int Seen = Ends;
  WaitFor([] { return false; }, 300);
  EXPECT_EQ(Ends, Seen);
  EXPECT_EQ(Others, std::vector<TMPNotifyValues>{nvAborted});
}

INSTANTIATE_TEST_SUITE_P(Media, RealSound, ::testing::Values("wav", "mid"),
                         [](const ::testing::TestParamInfo<const char*>& I) { return I.param; });

TEST_F(RealMediaPlayer, FinishedToneReplaysFromTheBeginning) {
  auto P = plat::CreateMediaPlayer();
  TNotifyLog Log;
  Log.Attach(*P);
  P->SetFileName(Tone(300));
  P->Open();
  P->SetNotify(true);
  P->Play();
  ASSERT_TRUE(WaitFor([&] { return Log.Values.size() == 1; }, 5000));
  QElapsedTimer T;
  T.start();
  P->Play();
  EXPECT_EQ(P->Mode(), mpPlaying);
  ASSERT_TRUE(WaitFor([&] { return Log.Values.size() == 2; }, 5000));
  EXPECT_GE(T.elapsed(), 200);
  EXPECT_EQ(Log.Values.back(), nvSuccessful);
}

TEST_F(RealMediaPlayer, CloseWhilePlayingAbortsAndNothingEndsLater) {
  auto P = plat::CreateMediaPlayer();
  TNotifyLog Log;
  Log.Attach(*P);
  P->SetFileName(Tone(400));
  P->Open();
  P->SetNotify(true);
  P->Play();
  WaitFor([] { return false; }, 100);
  P->Close();
  EXPECT_EQ(P->Mode(), mpNotReady);
  WaitFor([] { return false; }, 600);
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvAborted});
}

TEST_F(RealMediaPlayer, UnplayableFilesRaiseAndThePlayerStaysUsable) {
  auto P = plat::CreateMediaPlayer();
  const std::string Wav = mediafixtures::SineWav(300);
  const std::vector<std::pair<std::string, std::string>> Bad = {
      {"missing.wav", ""},                                            // not there at all
      {"noise.bin", std::string(4096, '\x5A')},                       // no known format
      {"cut.wav", Wav.substr(0, 20)},                                 // header cut short
      {"cut.mid", mediafixtures::MidiTune(100).substr(0, 30)},        // track cut short
  };
  // Each fails with the framework's own reason, not by waiting for the open's cap.
  const std::string Own = Format(SMCICannotPlay, "");
  for (const auto& [Name, Bytes] : Bad) {
    const std::string Path = Name == "missing.wav" ? testsupport::TempDir() + "/missing.wav"
                                                   : Write(Name, Bytes);
    P->SetFileName(Path);
    try {
      P->Open();
      ADD_FAILURE() << Name << " opened";
    } catch (const EMCIDeviceError& E) {
      const std::string Text = E.what();
      EXPECT_EQ(Text.substr(0, Own.size()), Own) << Name << ": " << Text;
      EXPECT_GT(Text.size(), Own.size()) << Name << ": no reason given";
    }
    EXPECT_EQ(P->Mode(), mpNotReady) << Name;
    EXPECT_THROW(P->Play(), EMCIDeviceError) << Name;
  }
  TNotifyLog Log;
  Log.Attach(*P);
  P->SetFileName(Tone(200));
  P->Open();
  P->SetNotify(true);
  P->Play();
  EXPECT_TRUE(WaitFor([&] { return !Log.Values.empty(); }, 5000));
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvSuccessful});
}

// The GUI thread never waits for the media framework: with the media thread stuck, as behind a
// pipeline whose state change never completes, playing, closing and destroying a player return,
// an open fails as one that timed out, and players work again once the thread is free.
TEST_F(RealMediaPlayer, AStuckMediaThreadNeverHoldsTheGuiThread) {
  const testsupport::TWatchdog Hang(std::chrono::seconds(60), "a player's call while the media thread is stuck");
  auto P = plat::CreateMediaPlayer();
  TNotifyLog Log;
  Log.Attach(*P);
  P->SetFileName(Tone(3000));
  P->Open();
  P->SetNotify(true);
  P->Play();
  std::promise<void> Free;
  plat::RunOnMediaThread([Freed = Free.get_future().share()] { Freed.wait(); });
  P->Play();
  P->Close();
  EXPECT_EQ(P->Mode(), mpNotReady);
  DeliverMediaNotifications();
  EXPECT_EQ(Log.Values, (std::vector<TMPNotifyValues>{nvSuperseded, nvAborted}));
  const std::string Short = Write("short.wav", mediafixtures::SineWav(200));
  P->SetFileName(Short);
  try {
    P->Open();
    ADD_FAILURE() << "opened on a stuck media thread";
  } catch (const EMCIDeviceError& E) {
    EXPECT_STREQ(E.what(), SMCIOpenTimeout);
  }
  EXPECT_EQ(P->Mode(), mpNotReady);
  P.reset();
  Free.set_value();

  auto Q = plat::CreateMediaPlayer();
  TNotifyLog After;
  After.Attach(*Q);
  Q->SetFileName(Short);
  Q->Open();
  Q->SetNotify(true);
  Q->Play();
  EXPECT_TRUE(WaitFor([&] { return !After.Values.empty(); }, 5000));
  EXPECT_EQ(After.Values, std::vector<TMPNotifyValues>{nvSuccessful});
}

TEST_F(RealMediaPlayer, MovieReportsItsSizeShowsInTheDisplayAndPlaysToItsEnd) {
  QWidget Panel;
  Panel.resize(300, 200);
  Panel.show();
  auto P = plat::CreateMediaPlayer();
  P->SetDisplay(&Panel);
  TNotifyLog Log;
  Log.Attach(*P);
  P->SetFileName(Movie());
  P->Open();
  EXPECT_EQ(P->DisplayRect(), (TMediaRect{0, 0, 64, 48}));
  auto* Video = Panel.findChild<QVideoWidget*>();
  ASSERT_NE(Video, nullptr);
  EXPECT_EQ(Video->geometry(), QRect(0, 0, 64, 48));

  P->SetDisplayRect({0, 0, 300, 200});  // fill the panel
  EXPECT_EQ(P->DisplayRect(), (TMediaRect{0, 0, 300, 200}));
  EXPECT_EQ(Video->geometry(), QRect(0, 0, 300, 200));
  EXPECT_TRUE(Video->isVisible());

  int Frames = 0;
  QObject::connect(Video->videoSink(), &QVideoSink::videoFrameChanged, Video,
                   [&](const QVideoFrame& F) { Frames += F.isValid() ? 1 : 0; });
  P->SetNotify(true);
  QElapsedTimer T;
  T.start();
  P->Play();
  EXPECT_EQ(P->Mode(), mpPlaying);
  ASSERT_TRUE(WaitFor([&] { return !Log.Values.empty(); }, 5000)) << "movie did not end";
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvSuccessful});
  EXPECT_GE(T.elapsed(), 350);  // ten frames at 20 per second
  EXPECT_GE(Frames, 5);
  P->Close();
  EXPECT_FALSE(Video->isVisible());
}

TEST_F(RealMediaPlayer, MovieSizeIsKnownWithoutADisplayAndSurvivesTheDisplayGoing) {
  auto P = plat::CreateMediaPlayer();
  P->SetFileName(Movie());
  P->Open();
  EXPECT_EQ(P->DisplayRect(), (TMediaRect{0, 0, 64, 48}));
  P->Close();

  auto Panel = std::make_unique<QWidget>();
  P->SetDisplay(Panel.get());
  P->Open();
  EXPECT_EQ(P->DisplayRect(), (TMediaRect{0, 0, 64, 48}));
  TNotifyLog Log;
  Log.Attach(*P);
  P->SetNotify(true);
  P->Play();
  Panel.reset();  // the movie goes on without a picture
  EXPECT_EQ(P->Display(), nullptr);
  EXPECT_TRUE(WaitFor([&] { return !Log.Values.empty(); }, 5000));
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvSuccessful});
}

// The picture really reaches the screen inside the display rectangle. Needs an X server: under
// the offscreen platform the test runs itself again under xvfb-run.
TEST_F(RealMediaPlayer, MovieShowsOnScreenInsideItsRectangle) {
  if (QGuiApplication::platformName() != "xcb") {
    const QString XvfbRun = QStandardPaths::findExecutable("xvfb-run");
    if (XvfbRun.isEmpty()) GTEST_SKIP() << "no xvfb-run to start an X server";
    QProcess Child;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert("QT_QPA_PLATFORM", "xcb");
    Child.setProcessEnvironment(Env);
    Child.setProcessChannelMode(QProcess::MergedChannels);
    // A server number of our own to start the search from, so parallel runs rarely meet.
    Child.start(XvfbRun, {"-a", "-n", QString::number(9200 + QCoreApplication::applicationPid() % 4000),
                          "-s", "-screen 0 1280x1024x24 -noreset",
                          QCoreApplication::applicationFilePath(),
                          "--gtest_filter=RealMediaPlayer.MovieShowsOnScreenInsideItsRectangle"});
    ASSERT_TRUE(Child.waitForFinished(60000));
    const QString Out = QString::fromLocal8Bit(Child.readAll());
    if (Out.contains("[  SKIPPED ]")) GTEST_SKIP() << "skipped under the X server";
    EXPECT_EQ(Child.exitCode(), 0) << Out.toStdString();
    EXPECT_TRUE(Out.contains("[       OK ]")) << Out.toStdString();
    return;
  }
  QWidget Panel;
  Panel.setAutoFillBackground(true);
  QPalette Pal = Panel.palette();
  Pal.setColor(QPalette::Window, Qt::white);
  Panel.setPalette(Pal);
  Panel.setGeometry(0, 0, 200, 150);
  Panel.show();
  auto P = plat::CreateMediaPlayer();
  P->SetDisplay(&Panel);
  P->SetFileName(Write("long.avi", mediafixtures::MjpegAvi(64, 48, 40, 20)));
  P->Open();
  P->SetDisplayRect({10, 10, 100, 80});
  P->Play();
  WaitFor([] { return false; }, 800);
  ASSERT_EQ(P->Mode(), mpPlaying);
  const QImage Screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
  const QPoint Origin = Panel.mapToGlobal(QPoint(0, 0));
  const auto Saturated = [&](int X, int Y) {
    const QColor C = Screen.pixelColor(Origin + QPoint(X, Y));
    return std::max({C.red(), C.green(), C.blue()}) - std::min({C.red(), C.green(), C.blue()}) > 100;
  };
  EXPECT_TRUE(Saturated(11, 11));
  EXPECT_TRUE(Saturated(60, 50));
  EXPECT_TRUE(Saturated(108, 88));
  EXPECT_EQ(Screen.pixelColor(Origin + QPoint(5, 5)), QColor(Qt::white));
  EXPECT_EQ(Screen.pixelColor(Origin + QPoint(115, 95)), QColor(Qt::white));
  EXPECT_EQ(Screen.pixelColor(Origin + QPoint(150, 120)), QColor(Qt::white));
}

TEST_F(RealMediaPlayer, NoNotifyHandlerRunsWhileAPlayerOpens) {
  TFakeMediaPlayer Sound;
  bool Opening = false, RanDuringOpen = false;
  int Delivered = 0;
  Sound.OnNotify = [&](TMediaPlayer*) {
    ++Delivered;
    RanDuringOpen = RanDuringOpen || Opening;
  };
  Sound.SetFileName("x.wav");
  Sound.Open();
  Sound.SetNotify(true);
  Sound.Play();
  Sound.FinishPlayback();  // queued, waiting for the event loop

  auto Movie = plat::CreateMediaPlayer();
  Movie->SetFileName(this->Movie());
  Opening = true;
  Movie->Open();  // runs a nested event loop
  Opening = false;
  EXPECT_EQ(Delivered, 0);
  DeliverMediaNotifications();
  EXPECT_EQ(Delivered, 1);
  EXPECT_FALSE(RanDuringOpen);
}

}  // namespace
