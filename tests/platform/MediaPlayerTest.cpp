#include "platform/FakeMediaPlayer.h"
#include "platform/MediaPlayer.h"
#include "tests/support/SoundServer.h"
#include "tests/support/TestEnv.h"
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
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
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

// Writes a medium into the test's temporary folder; its path.
std::string Medium(const std::string& Name, const std::string& Bytes) {
  const std::string Path = testsupport::TempDir() + "/" + Name;
  EXPECT_TRUE(mediafixtures::WriteFile(Path, Bytes));
  return Path;
}

// Processes events until Done or the time is up; true when Done.
bool WaitFor(const std::function<bool()>& Done, int Ms) {
  QElapsedTimer T;
  T.start();
  while (!Done() && T.elapsed() < Ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);  // leaves the processor to the media threads on a busy machine
  }
  return Done();
}

// ---------------------------------------------------------------------------------------------
// The shared behaviour, driven through the scripted player

TEST(MediaPlayerLogic, ModesFollowOpenPlayEndAndClose) {
  TFakeMediaSystem Media;
  Media.HoldOpen("slow.wav");
  auto Owned = plat::CreateMediaPlayer();
  auto& P = *Media.Player(0);
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

  // A medium that takes its time: open from the start, playing as soon as asked.
  P.SetFileName("slow.wav");
  P.Open();
  EXPECT_EQ(P.Mode(), mpOpen);
  P.Play();
  EXPECT_EQ(P.Mode(), mpPlaying);
  P.SettleOpen(true);
  EXPECT_EQ(P.Mode(), mpPlaying);
  EXPECT_EQ(P.Error(), "");
}

// Whether a medium opened is reported once, queued, and only for the open still in use; a failed
// one leaves the device closed, says why, and fails the play that waited for it.
TEST(MediaPlayerLogic, OpenReportsAreQueuedAndBelongToTheOpenInUse) {
  TFakeMediaSystem Media;
  Media.HoldOpen("slow.avi");
  Media.FailOpen("bad.avi");
  auto P = plat::CreateMediaPlayer();
  TNotifyLog Log;
  Log.Attach(*P);
  int Reports = 0;
  TMPModes Seen = mpStopped;
  P->OnOpened = [&](TMediaPlayer* Sender) {
    ++Reports;
    Seen = Sender->Mode();
  };

  P->SetFileName("bad.avi");
  P->Open();  // fails, but not by raising
  EXPECT_EQ(P->Mode(), mpNotReady);
  EXPECT_EQ(P->Error(), "The file cannot be played: scripted failure");
  EXPECT_THROW(P->Play(), EMCIDeviceError);
  EXPECT_EQ(Reports, 0) << "never from inside the call";
  DeliverMediaNotifications();
  EXPECT_EQ(Reports, 1);
  EXPECT_EQ(Seen, mpNotReady);

  P->SetFileName("slow.avi");
  P->Open();
  EXPECT_EQ(P->Error(), "");
  P->SetNotify(true);
  P->Play();
  Media.Player(0)->SettleOpen(false);
  EXPECT_EQ(P->Mode(), mpNotReady);
  DeliverMediaNotifications();
  EXPECT_EQ(Reports, 2);
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvFailure});

  // Closed or opened anew before its report arrives: the report is dropped.
  P->Open();
  P->Close();
  P->SetFileName("a.wav");
  P->Open();
  P->Open();
  DeliverMediaNotifications();
  EXPECT_EQ(Reports, 3);
  EXPECT_EQ(Seen, mpStopped);

  P->SetFileName("");
  EXPECT_THROW(P->Open(), EMCIDeviceError);
  EXPECT_EQ(P->Mode(), mpNotReady);
  DeliverMediaNotifications();
  EXPECT_EQ(Reports, 3);
}

TEST(MediaPlayerLogic, AFailingPlayRaisesAndAsksForNothing) {
  TFakeMediaSystem Media;
  Media.FailPlay("mute.wav");
  auto P = plat::CreateMediaPlayer();
  try {
    P->Play();
    FAIL() << "Play without a device must raise";
  } catch (const EMCIDeviceError& E) {
    EXPECT_STREQ(E.what(), "No MCI device open");
  }
  P->SetFileName("mute.wav");
  P->Open();
  P->SetNotify(true);
  EXPECT_THROW(P->Play(), EMCIDeviceError);
  EXPECT_EQ(P->Mode(), mpStopped);
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
  EXPECT_EQ(TMediaPlayer::QueuedNotifications(), 2) << "B's open report and end";
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

  // While a movie opens its size is not known: the empty rectangle becomes its size once it is,
  // a placement given meanwhile stays.
  Media.HoldOpen("m.avi");
  P->SetFileName("m.avi");
  for (const TMediaRect Given : {TMediaRect{}, TMediaRect{0, 0, 800, 600}}) {
    P->Open();
    P->SetDisplayRect(Given);
    EXPECT_EQ(P->DisplayRect(), Given);
    Media.Player(0)->SettleOpen(true);
    EXPECT_EQ(P->DisplayRect(), (Given == TMediaRect{} ? TMediaRect{0, 0, 320, 240} : Given));
    EXPECT_EQ(Media.Player(0)->AppliedRect(), P->DisplayRect());
  }

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
  // Making, placing and closing a player never starts the media framework (the muted preview
  // without movies does no more).
  QWidget Panel;
  Real->SetDisplay(&Panel);
  Real->Close();
  EXPECT_EQ(plat::MediaThreadsRunning(), 0);
}

// ---------------------------------------------------------------------------------------------
// The Qt Multimedia player with generated media (real time; no sound card needed)

// What a busy machine with a new media registry never reaches: every wait is for what happens.
constexpr int KLong = testsupport::PatientMs;

class RealMediaPlayer : public ::testing::Test {
protected:
  static std::string Write(const std::string& Name, const std::string& Bytes) { return Medium(Name, Bytes); }
  std::string Tone(int Ms) { return Write("tone.wav", mediafixtures::SineWav(Ms)); }
  std::string Movie() { return Write("movie.avi", mediafixtures::MjpegAvi(64, 48, 10, 20)); }
  // A medium whose open never completes, as on a stalled disk: reading a pipe without a writer.
  std::string Stuck(const std::string& Name) {
    const std::string Path = testsupport::TempDir() + "/" + Name;
    EXPECT_EQ(::mkfifo(Path.c_str(), 0600), 0);
    Stalled.push_back(Path);
    return Path;
  }
  // Opens P's medium and waits for its report; true when it opened.
  static bool OpenAndWait(TMediaPlayer& P) {
    bool Reported = false;
    P.OnOpened = [&](TMediaPlayer*) { Reported = true; };
    P.Open();
    const bool Done = WaitFor([&] { return Reported; }, KLong);
    P.OnOpened = nullptr;
    return Done && P.Mode() != mpNotReady;
  }
  void TearDown() override {
    // Frees the threads stuck on a pipe: a writer that comes and goes ends a reader's wait, once
    // the reader waits.
    EXPECT_TRUE(WaitFor(
        [this] {
          for (const std::string& Path : Stalled)
            if (const int Fd = ::open(Path.c_str(), O_WRONLY | O_NONBLOCK); Fd >= 0) ::close(Fd);
          return plat::MediaThreadsRunning() == 0;
        },
        KLong))
        << "a media thread stays";
  }
  std::vector<std::string> Stalled;
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
  ASSERT_TRUE(OpenAndWait(*P)) << P->Error();
  EXPECT_EQ(P->Mode(), mpStopped);
  EXPECT_EQ(P->DisplayRect(), TMediaRect{});
  P->SetNotify(true);
  QElapsedTimer T;
  T.start();
  P->Play();
  EXPECT_EQ(P->Mode(), mpPlaying);
  ASSERT_TRUE(WaitFor([&] { return !Log.Values.empty(); }, KLong)) << "no end reported";
  EXPECT_GE(T.elapsed(), 200);  // it played, it did not just skip to the end
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvSuccessful});
  EXPECT_FALSE(Log.OffGuiThread);
  EXPECT_EQ(P->Mode(), mpStopped);
}

// Played as soon as it is handed over, as the show does: it plays once it is open.
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
  EXPECT_EQ(P->Mode(), mpOpen);
  P->SetNotify(true);
  QElapsedTimer T;
  T.start();
  P->Play();
  ASSERT_TRUE(WaitFor([&] { return Ends >= 3; }, KLong)) << "ends seen: " << Ends << ", " << P->Error();
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
  ASSERT_TRUE(WaitFor([&] { return Log.Values.size() == 1; }, KLong)) << P->Error();
  QElapsedTimer T;
  T.start();
  P->Play();
  EXPECT_EQ(P->Mode(), mpPlaying);
  ASSERT_TRUE(WaitFor([&] { return Log.Values.size() == 2; }, KLong));
  EXPECT_GE(T.elapsed(), 200);
  EXPECT_EQ(Log.Values.back(), nvSuccessful);
}

TEST_F(RealMediaPlayer, CloseWhilePlayingAbortsAndNothingEndsLater) {
  auto P = plat::CreateMediaPlayer();
  TNotifyLog Log;
  Log.Attach(*P);
  P->SetFileName(Tone(400));
  ASSERT_TRUE(OpenAndWait(*P)) << P->Error();
  P->SetNotify(true);
  P->Play();
  WaitFor([] { return false; }, 100);
  P->Close();
  EXPECT_EQ(P->Mode(), mpNotReady);
  WaitFor([] { return false; }, 600);
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvAborted});
}

TEST_F(RealMediaPlayer, UnplayableFilesFailWithTheirOwnReasonAndThePlayerStaysUsable) {
  auto P = plat::CreateMediaPlayer();
  const std::string Wav = mediafixtures::SineWav(300);
  const std::vector<std::pair<std::string, std::string>> Bad = {
      {"missing.wav", ""},                                            // not there at all
      {"noise.bin", std::string(4096, '\x5A')},                       // no known format
      {"cut.wav", Wav.substr(0, 20)},                                 // header cut short
      {"cut.mid", mediafixtures::MidiTune(100).substr(0, 30)},        // track cut short
  };
  // Each fails with the framework's own reason, not by running out of time.
  const std::string Own = Format(SMCICannotPlay, "");
  for (const auto& [Name, Bytes] : Bad) {
    const std::string Path = Name == "missing.wav" ? testsupport::TempDir() + "/missing.wav"
                                                   : Write(Name, Bytes);
    P->SetFileName(Path);
    EXPECT_FALSE(OpenAndWait(*P)) << Name << " opened";
    const std::string Text = P->Error();
    EXPECT_EQ(Text.substr(0, Own.size()), Own) << Name << ": " << Text;
    EXPECT_GT(Text.size(), Own.size()) << Name << ": no reason given";
    EXPECT_EQ(P->Mode(), mpNotReady) << Name;
    EXPECT_THROW(P->Play(), EMCIDeviceError) << Name;
  }
  TNotifyLog Log;
  Log.Attach(*P);
  P->SetFileName(Tone(200));
  P->Open();
  P->SetNotify(true);
  P->Play();
  EXPECT_TRUE(WaitFor([&] { return !Log.Values.empty(); }, KLong));
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvSuccessful});
}

// A medium stuck in the media framework (its file never opens) holds nothing but itself: the GUI
// thread's calls return at once, a looping sound of another player keeps restarting, another
// movie opens and plays to its end; closing it lets it go without waiting, and a stuck medium
// that outlasts its limit fails, failing the play that waited for it.
TEST_F(RealMediaPlayer, AStuckMediumHoldsOnlyItselfAndFailsAtItsLimit) {
  auto Sound = plat::CreateMediaPlayer();
  int Loops = 0;
  Sound->OnNotify = [&](TMediaPlayer* Sender) {
    if (Sender->NotifyValue() != nvSuccessful) return;
    ++Loops;
    Sender->Play();
  };
  Sound->SetFileName(Tone(150));
  Sound->SetNotify(true);
  Sound->Open();
  Sound->Play();

  auto Jammed = plat::CreateMediaPlayer();
  TNotifyLog JammedLog;
  JammedLog.Attach(*Jammed);
  Jammed->SetFileName(Stuck("stuck.avi"));
  Jammed->Open();
  Jammed->SetNotify(true);
  Jammed->Play();
  EXPECT_EQ(Jammed->Mode(), mpPlaying);

  auto Other = plat::CreateMediaPlayer();
  TNotifyLog OtherLog;
  OtherLog.Attach(*Other);
  Other->SetFileName(Movie());
  Other->SetNotify(true);
  Other->Open();
  Other->Play();
  ASSERT_TRUE(WaitFor([&] { return Loops >= 3 && !OtherLog.Values.empty(); }, KLong))
      << "loops " << Loops << ", " << Sound->Error() << Other->Error();
  EXPECT_EQ(OtherLog.Values, std::vector<TMPNotifyValues>{nvSuccessful});
  EXPECT_EQ(Jammed->Mode(), mpPlaying) << "still opening, the play waits for it";

  Jammed->Close();
  EXPECT_EQ(Jammed->Mode(), mpNotReady);
  Jammed.reset();
  Sound->Close();

  plat::SetMediaOpenLimits(KLong, 200);
  auto Late = plat::CreateMediaPlayer();
  TNotifyLog LateLog;
  LateLog.Attach(*Late);
  Late->SetFileName(Stuck("late.avi"));
  const bool Opened = OpenAndWait(*Late);
  plat::SetMediaOpenLimits(60000, 5000);
  EXPECT_FALSE(Opened);
  EXPECT_EQ(Late->Error(), SMCIOpenTimeout);
  DeliverMediaNotifications();
  EXPECT_TRUE(LateLog.Values.empty());
  EXPECT_GE(plat::MediaThreadsRunning(), 2) << "the stuck media are left behind";
}

namespace {
// Whether a strong colour (the movie's frames) shows at (X, Y) of Image.
bool Saturated(const QImage& Image, int X, int Y) {
  const QColor C = Image.pixelColor(X, Y);
  return std::max({C.red(), C.green(), C.blue()}) - std::min({C.red(), C.green(), C.blue()}) > 100;
}
}  // namespace

TEST_F(RealMediaPlayer, MovieReportsItsSizeShowsInTheDisplayAndPlaysToItsEnd) {
  QWidget Panel;
  Panel.resize(300, 200);
  Panel.show();
  auto P = plat::CreateMediaPlayer();
  P->SetDisplay(&Panel);
  TNotifyLog Log;
  Log.Attach(*P);
  P->SetFileName(Write("long.avi", mediafixtures::MjpegAvi(64, 48, 30, 20)));
  ASSERT_TRUE(OpenAndWait(*P)) << P->Error();
  EXPECT_EQ(P->DisplayRect(), (TMediaRect{0, 0, 64, 48}));
  const auto Views = Panel.findChildren<QWidget*>();
  ASSERT_EQ(Views.size(), 1);
  QWidget* View = Views.front();
  EXPECT_EQ(View->geometry(), QRect(0, 0, 64, 48));

  P->SetDisplayRect({0, 0, 300, 200});  // fill the panel
  EXPECT_EQ(P->DisplayRect(), (TMediaRect{0, 0, 300, 200}));
  EXPECT_EQ(View->geometry(), QRect(0, 0, 300, 200));
  EXPECT_TRUE(View->isVisible());

  P->SetNotify(true);
  QElapsedTimer T;
  T.start();
  P->Play();
  EXPECT_EQ(P->Mode(), mpPlaying);
  EXPECT_TRUE(WaitFor([&] { return Saturated(Panel.grab().toImage(), 150, 100); }, KLong))
      << "no picture reached the display";
  ASSERT_TRUE(WaitFor([&] { return !Log.Values.empty(); }, KLong)) << "movie did not end";
  EXPECT_EQ(Log.Values, std::vector<TMPNotifyValues>{nvSuccessful});
  EXPECT_GE(T.elapsed(), 1200);  // thirty frames at 20 per second
  P->Close();
  EXPECT_FALSE(View->isVisible());
}

TEST_F(RealMediaPlayer, MovieSizeIsKnownWithoutADisplayAndSurvivesTheDisplayGoing) {
  auto P = plat::CreateMediaPlayer();
  P->SetFileName(Movie());
  ASSERT_TRUE(OpenAndWait(*P)) << P->Error();
  EXPECT_EQ(P->DisplayRect(), (TMediaRect{0, 0, 64, 48}));
  P->Close();

  auto Panel = std::make_unique<QWidget>();
  P->SetDisplay(Panel.get());
  ASSERT_TRUE(OpenAndWait(*P)) << P->Error();
  EXPECT_EQ(P->DisplayRect(), (TMediaRect{0, 0, 64, 48}));
  TNotifyLog Log;
  Log.Attach(*P);
  P->SetNotify(true);
  P->Play();
  Panel.reset();  // the movie goes on without a picture
  EXPECT_EQ(P->Display(), nullptr);
  EXPECT_TRUE(WaitFor([&] { return !Log.Values.empty(); }, KLong));
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
    ASSERT_TRUE(Child.waitForFinished(3 * KLong));
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
  P->SetFileName(Write("long.avi", mediafixtures::MjpegAvi(64, 48, 1200, 20)));
  ASSERT_TRUE(OpenAndWait(*P)) << P->Error();
  P->SetDisplayRect({10, 10, 100, 80});
  P->Play();
  const QPoint Origin = Panel.mapToGlobal(QPoint(0, 0));
  QImage Screen;
  const auto Grab = [&] {
    Screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    return Saturated(Screen, Origin.x() + 11, Origin.y() + 11) && Saturated(Screen, Origin.x() + 60, Origin.y() + 50) &&
           Saturated(Screen, Origin.x() + 108, Origin.y() + 88);
  };
  EXPECT_TRUE(WaitFor(Grab, KLong)) << "no picture on screen";
  ASSERT_EQ(P->Mode(), mpPlaying);
  EXPECT_EQ(Screen.pixelColor(Origin + QPoint(5, 5)), QColor(Qt::white));
  EXPECT_EQ(Screen.pixelColor(Origin + QPoint(115, 95)), QColor(Qt::white));
  EXPECT_EQ(Screen.pixelColor(Origin + QPoint(150, 120)), QColor(Qt::white));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// What is heard on a sound server: looping sound and music play on without a gap, each loop
// started again from the end's notification as the show does.

namespace {

struct TLoopCase {
  const char* Name;
  std::vector<std::string> Kinds;  // one looping player each: "tone440", "tone660" or "midi"
  std::vector<double> Heard;       // what the recording must hold throughout (0: any sound)
  bool Movie = false;              // a movie plays beside them
  bool Streamed = false;           // too long to keep: decoded anew for every play
};

void PrintTo(const TLoopCase& Case, std::ostream* Os) { *Os << Case.Name; }

const TLoopCase LoopCases[] = {
    {"TwoChannelsBesideAMovie", {"tone440", "tone660"}, {440, 660}, true},
    {"Midi", {"midi"}, {0}},
    {"DecodedAnewForEveryPlay", {"tone660"}, {660}, false, true},
};

constexpr int KLoopPlayMs = 20000;  // how long the loops play once they sound
constexpr int KLongestGapMs = 300;

// Plays P again from each end it reports, as the show's replay handler does, counting the ends;
// any other outcome goes to Others.
void LoopOnEnds(TMediaPlayer& P, int& Ends, std::vector<TMPNotifyValues>* Others = nullptr) {
  P.OnNotify = [&Ends, Others](TMediaPlayer* Sender) {
    if (Sender->NotifyValue() != nvSuccessful) {
      if (Others) Others->push_back(Sender->NotifyValue());
      return;
    }
    ++Ends;
    Sender->SetNotify(true);
    Sender->Play();
  };
  P.SetNotify(true);
  P.Open();
  P.Play();
}

// The side that plays, in a process of its own that meets the server from its start.
void PlayLoops(const TLoopCase& Case) {
  if (Case.Streamed) plat::SetSoundCacheLimit(4096);
  std::vector<std::unique_ptr<TMediaPlayer>> Players;
  std::vector<int> Ends(Case.Kinds.size());
  std::vector<TMPNotifyValues> Others;
  for (size_t I = 0; I < Case.Kinds.size(); ++I) {
    const std::string& Kind = Case.Kinds[I];
    auto P = plat::CreateMediaPlayer();
    P->SetFileName(Kind == "midi"      ? Medium("midi.mid", mediafixtures::MidiTune(400, 4))
                   : Kind == "tone440" ? Medium("tone440.wav", mediafixtures::SineWav(500, 440))
                                       : Medium("tone660.wav", mediafixtures::SineWav(2000, 660)));
    LoopOnEnds(*P, Ends[I], &Others);
    Players.push_back(std::move(P));
  }
  if (Case.Movie) {
    auto M = plat::CreateMediaPlayer();
    M->SetFileName(Medium("movie.avi", mediafixtures::MjpegAvi(64, 48, 100, 20)));
    M->Open();
    M->Play();
    Players.push_back(std::move(M));
  }
  // Counted from the first end: by then every loop sounds.
  ASSERT_TRUE(WaitFor([&] { return *std::min_element(Ends.begin(), Ends.end()) > 0; }, KLong));
  WaitFor([] { return false; }, KLoopPlayMs);
  for (size_t I = 0; I < Ends.size(); ++I) {
    EXPECT_EQ(Players[I]->Mode(), mpPlaying) << Case.Kinds[I];
    EXPECT_GE(Ends[I], KLoopPlayMs / 2000 - 1) << Case.Kinds[I];  // none is longer than 2 s
  }
  EXPECT_TRUE(Others.empty());
  for (auto& P : Players) P->Close();
}

// In the test's run of its own (see RunAlone): true, with the sound server its first run gave it.
bool RunningAlone() {
  const char* Server = std::getenv("RIZUDER_TEST_PULSE");
  if (Server) setenv("PULSE_SERVER", Server, 1);
  return Server != nullptr;
}

// Runs the current test again in a process of its own, which meets the media framework and the
// sound server at Address from its start; Add goes into its environment, and WhileRunning is
// called meanwhile.
::testing::AssertionResult RunAlone(const std::string& Address, int Ms, const std::function<void()>& WhileRunning,
                                    QProcessEnvironment Add = {}) {
  const ::testing::TestInfo* Self = ::testing::UnitTest::GetInstance()->current_test_info();
  Add.insert("RIZUDER_TEST_PULSE", QString::fromStdString(Address));
  QProcess Child;
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert(Add);
  Child.setProcessEnvironment(Env);
  Child.setProcessChannelMode(QProcess::MergedChannels);
  Child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=%1.%2").arg(Self->test_suite_name(), Self->name())});
  const bool Ended = WaitFor(
      [&] {
        if (WhileRunning) WhileRunning();
        Child.waitForFinished(20);
        return Child.state() == QProcess::NotRunning;
      },
      Ms);
  if (!Ended) Child.kill();
  const QString Out = QString::fromLocal8Bit(Child.readAll());
  if (Ended && Child.exitCode() == 0 && Out.contains("[  PASSED  ] 1 test")) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << (Ended ? "" : "it did not end\n") << Out.toStdString();
}

}  // namespace

class RealSoundServer : public ::testing::TestWithParam<TLoopCase> {};

TEST_P(RealSoundServer, LoopsPlayOnWithoutAGap) {
  if (RunningAlone()) return PlayLoops(GetParam());
  testsupport::SoundServer Server;
  std::string Why;
  ASSERT_TRUE(Server.Start(testsupport::TestDir() + "/run", Why)) << Why;
  const int FromMs = Server.RecordedMs();
  // The recording is read while the loops play, so the recorder never waits on its pipe.
  ASSERT_TRUE(RunAlone(Server.Address(), KLong + KLoopPlayMs, [&] { Server.Recorded(); }));
  const int ToMs = Server.RecordedMs();
  for (const double Hz : GetParam().Heard) {
    const testsupport::Hearing H = testsupport::Listen(testsupport::Heard(Server.Recorded(), Hz), FromMs, ToMs);
    ASSERT_GE(H.FirstMs, 0) << Hz << " Hz never heard";
    EXPECT_LE(H.LongestGapMs, KLongestGapMs) << Hz << " Hz";
    EXPECT_GE(H.LastMs - H.FirstMs, KLoopPlayMs) << Hz << " Hz fell silent";
  }
}

INSTANTIATE_TEST_SUITE_P(Media, RealSoundServer, ::testing::ValuesIn(LoopCases),
                         [](const ::testing::TestParamInfo<TLoopCase>& I) { return I.param.Name; });

// A sound server that goes away or stops answering while a sound loops: the loop goes on by the
// clock, so the channel never reports playing while nothing sounds.
class SoundServerLost : public ::testing::TestWithParam<int> {};

TEST_P(SoundServerLost, TheLoopGoesOnByTheClock) {
  if (RunningAlone()) {
    auto P = plat::CreateMediaPlayer();
    int Ends = 0;
    P->SetFileName(Medium("tone.wav", mediafixtures::SineWav(500)));
    LoopOnEnds(*P, Ends);
    ASSERT_TRUE(WaitFor([&] { return Ends >= 2; }, KLong));
    ::kill(static_cast<pid_t>(std::atoll(std::getenv("RIZUDER_TEST_PULSE_PID"))), GetParam());
    EXPECT_TRUE(WaitFor([&] { return Ends >= 8; }, KLong)) << "ends seen: " << Ends;
    EXPECT_EQ(P->Mode(), mpPlaying);
    return;
  }
  testsupport::SoundServer Server;
  std::string Why;
  ASSERT_TRUE(Server.Start(testsupport::TestDir() + "/run", Why)) << Why;
  QProcessEnvironment Env;
  Env.insert("RIZUDER_TEST_PULSE_PID", QString::number(Server.Pid()));
  EXPECT_TRUE(RunAlone(Server.Address(), 3 * KLong, [&] { Server.Recorded(); }, Env));
}

INSTANTIATE_TEST_SUITE_P(Media, SoundServerLost, ::testing::Values(SIGKILL, SIGSTOP),
                         [](const ::testing::TestParamInfo<int>& I) {
                           return I.param == SIGKILL ? "Gone" : "Frozen";
                         });

// The framework's start is counted once, from the first medium handed over: a medium handed over
// while a sound server that never answers holds the start fails when that first limit runs out,
// not a whole limit after its own open.
TEST(MediaFramework, ItsStartIsCountedOnceFromTheFirstMedium) {
  if (RunningAlone()) {
    constexpr int Limit = 3000;
    plat::SetMediaOpenLimits(Limit, 5000);
    auto First = plat::CreateMediaPlayer();
    First->SetFileName(Medium("tone.wav", mediafixtures::SineWav(300)));
    First->Open();
    // Timers run in the order they are due: this one, due after the first limit but before a
    // limit counted from the second open, sees how both opens ended.
    std::unique_ptr<TMediaPlayer> Second;
    std::string Seen;
    QTimer::singleShot(Limit * 4 / 3, [&] { Seen = First->Error() + " / " + Second->Error(); });
    WaitFor([] { return false; }, Limit * 2 / 3);
    Second = plat::CreateMediaPlayer();
    Second->SetFileName(Medium("movie.avi", mediafixtures::MjpegAvi(64, 48, 10, 20)));
    Second->Open();
    ASSERT_TRUE(WaitFor([&] { return !Seen.empty(); }, KLong));
    EXPECT_EQ(Seen, std::string(SMCINotStarted) + " / " + SMCINotStarted);
    return;
  }
  const std::string Socket = testsupport::TestDir() + "/hung";
  testsupport::HungSoundServer Server(Socket);
  ASSERT_TRUE(Server.Ok());
  EXPECT_TRUE(RunAlone(Server.Address(), KLong, [&] { Server.Connections(); }));
  EXPECT_GT(Server.Connections(), 0) << "the sound server was never asked";
}
