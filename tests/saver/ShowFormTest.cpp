// The full-screen show form on the offscreen platform: loading, placement, display modes, the
// end conditions inside the running play loop, the web-link prompt and the 9x password road.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QTest>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

#include "graphics/GfxTool.h"
#include "model/ScreenSaverFiles.h"
#include "persistence/WindowsTool.h"
#include "platform/Platform.h"
#include "platform/Registry.h"
#include "player/ScreenSaverAnimator.h"
#include "saver/formSaveScreen.h"
#include "saver/formWebLink.h"
#include "tests/saver/ShowFixture.h"
#include "tests/support/TestEnv.h"
#include "tests/support/Watchdog.h"

using namespace showtest;

namespace {

// Runs the play loop with the steps executed inside it one after the other, 30 ms apart. The
// last step should end the show one way or another; a watchdog ends it after a minute, and one
// on a thread of its own dumps the stacks and aborts when the loop does not even get to that.
struct TShowScript {
  TfrmSaveScreen& Form;
  std::vector<std::function<void()>> Steps;
  bool TimedOut = false;
  size_t Done = 0;

  void Play() {
    QTimer Driver;
    Driver.setInterval(30);
    QObject::connect(&Driver, &QTimer::timeout, [this] {
      if (Done < Steps.size()) {
        const size_t I = Done++;
        Steps[I]();
      }
    });
    QTimer Watchdog;
    Watchdog.setSingleShot(true);
    QObject::connect(&Watchdog, &QTimer::timeout, [this] {
      TimedOut = true;
      if (QWidget* M = QApplication::activeModalWidget()) M->close();
      Form.Terminate();
    });
    Driver.start();
    Watchdog.start(testsupport::PatientMs);
    const testsupport::TWatchdog Blocked(std::chrono::seconds(90), "the show's play loop");
    Form.tmrStartTimer();
  }
};

void MoveTo(QWidget& W, int X, int Y) { QTest::mouseMove(W.windowHandle(), QPoint(X, Y)); }

class ShowForm : public ::testing::Test {
protected:
  void SetUp() override {
    Hang.emplace(std::chrono::seconds(240), "the test");
    Display = UseFakeDisplay(1024, 768, {{640, 480}, {800, 600}});
    CursorBefore = plat::CursorCount();
  }
  void TearDown() override {
    Form.reset();
    Hang.reset();
    ResetDisplay();
    EXPECT_EQ(plat::CursorCount(), CursorBefore) << "the cursor was not shown again";
    EXPECT_FALSE(plat::ScreenSaverRunning());
  }
  // Creates and shows the form: the show is set up but the loop not yet started.
  TfrmSaveScreen& Open() {
    Form = CreateForm<TfrmSaveScreen>();
    Form->show();
    return *Form;
  }

  std::optional<testsupport::TWatchdog> Hang;
  std::shared_ptr<plat::TFakeDisplaySettings> Display;
  FormPtr<TfrmSaveScreen> Form;
  int CursorBefore = 0;
};

}  // namespace

namespace {
int MediaFiles() {
  int N = 0;
  for (const std::string& Name : testsupport::ListDir(testsupport::TempDir()))
    if (Name.rfind("SCR_MEDIA", 0) == 0) ++N;
  return N;
}
}  // namespace

TEST_F(ShowForm, SwitchesToTheProjectsModeAndBackOnDestruction) {
  TSaverRecipe Recipe;
  Recipe.Pictures = 1;
  MakeSaver(Recipe);
  TfrmSaveScreen& F = Open();
  EXPECT_GE(MediaFiles(), 1) << "the media are unpacked while the show is up";
  EXPECT_EQ(Display->Current.dmPelsWidth, 640u);
  EXPECT_EQ(Display->Current.dmPelsHeight, 480u);
  EXPECT_EQ(F.geometry(), QRect(0, 0, 640, 480));
  EXPECT_EQ(F.Animation()->geometry(), QRect(0, 0, 639, 479));
  EXPECT_TRUE(plat::ScreenSaverRunning());
  EXPECT_EQ(plat::CursorCount(), CursorBefore - 1);
  EXPECT_TRUE(F.SwallowMouseMove());
  Form.reset();
  EXPECT_EQ(Display->Current.dmPelsWidth, 1024u);
  ASSERT_FALSE(Display->Requests.empty());
  EXPECT_EQ(Display->Requests.back().dmSize, 0) << "the last request restores the default mode";
  // The project went with the form: no media file is left in the temporary directory.
  EXPECT_EQ(MediaFiles(), 0);
}

TEST_F(ShowForm, PlacementFollowsTheUserProperties) {
  struct Case {
    bool Standard, Interpolate;
    TScreenResolution Res;
    QRect Expected;
  } const Cases[] = {
      {true, false, sr640x480, QRect(192, 144, 640, 480)},   // native size, centred
      {true, true, sr640x480, QRect(0, 0, 1023, 767)},       // stretched on request
      {true, false, sr1280x960, QRect(0, 0, 1023, 767)},     // larger than the screen
      {true, false, sr1024x768, QRect(0, 0, 1024, 768)},     // exactly the screen
  };
  for (const Case& C : Cases) {
    TSaverRecipe Recipe;
    Recipe.Resolution = C.Res;
    MakeSaver(Recipe);
    SetUserProperties(Recipe.Name, C.Standard, C.Interpolate);
    TfrmSaveScreen& F = Open();
    EXPECT_EQ(F.Animation()->geometry(), C.Expected) << ResolutionNames[C.Res] << " " << C.Interpolate;
    EXPECT_EQ(F.geometry(), QRect(0, 0, 1024, 768));
    Form.reset();
  }
  // The standard resolution never switches the mode.
  for (const plat::TDevMode& R : Display->Requests) EXPECT_EQ(R.dmSize, 0);
}

TEST_F(ShowForm, ModeNotOfferedOrRefusedKeepsTheCurrentResolution) {
  TSaverRecipe Recipe;
  Recipe.Resolution = sr1600x1200;  // not listed
  MakeSaver(Recipe);
  Open();
  EXPECT_EQ(Form->geometry(), QRect(0, 0, 1024, 768));
  Form.reset();

  MakeSaver({});
  Display->RefuseChange = true;  // listed, but the display says no
  Open();
  EXPECT_EQ(Display->Current.dmPelsWidth, 1024u);
  EXPECT_EQ(Form->geometry(), QRect(0, 0, 1024, 768));
  EXPECT_TRUE(plat::ScreenSaverRunning());
  EXPECT_TRUE(Form->StartTimer()->isActive()) << "the show starts all the same";
}

TEST_F(ShowForm, MouseMovesOfTenPixelsGoOnElevenEnd) {
  MakeSaver({});
  TfrmSaveScreen& F = Open();
  // The script starts the loop itself: the start timer firing inside this move would run the
  // loop before the script and its watchdogs exist.
  F.StartTimer()->stop();
  MoveTo(F, 300, 300);  // before the loop: swallowed, not even recorded
  bool After10 = false, After11 = false;
  TShowScript S{F, {
      [&] { MoveTo(F, 100, 100); },  // first move in the loop: recorded only
      [&] { MoveTo(F, 110, 110); },  // 10 on each axis
      [&] { After10 = F.Running(); },
      [&] { MoveTo(F, 110, 121); },  // 11 on one axis
      [&] { After11 = F.Running(); },
  }};
  S.Play();
  EXPECT_FALSE(S.TimedOut);
  EXPECT_TRUE(After10);
  EXPECT_FALSE(After11);
  EXPECT_FALSE(F.Running());
  EXPECT_FALSE(F.isVisible());
}

TEST_F(ShowForm, WhileAStoredCoordinateIsZeroNoDistanceCounts) {
  MakeSaver({});
  TfrmSaveScreen& F = Open();
  bool StillRunning = false;
  TShowScript S{F, {
      [&] { F.FormMouseMove(0, 300); },
      [&] { F.FormMouseMove(400, 300); },  // the stored X was 0: only recorded
      [&] { StillRunning = F.Running(); },
      [&] { F.FormMouseMove(400, 250); },
  }};
  S.Play();
  EXPECT_TRUE(StillRunning);
  EXPECT_FALSE(S.TimedOut);
}

TEST_F(ShowForm, InTheCentredModeASmallMoveAcrossThePicturesEdgeEnds) {
  TSaverRecipe Recipe;
  MakeSaver(Recipe);
  SetUserProperties(Recipe.Name, true, false);
  TfrmSaveScreen& F = Open();
  ASSERT_EQ(F.Animation()->geometry(), QRect(192, 144, 640, 480));
  // Each sender counts in its own coordinates: the form's 188 and the control's 3 are far apart.
  bool StillRunning = false;  // the steps after the show's end never run
  TShowScript S{F, {
      [&] { MoveTo(F, 188, 300); },  // on the form's black border: recorded only
      [&] { MoveTo(F, 195, 303); },  // 7 pixels on, onto the picture
      [&] { StillRunning = F.Running(); },
      [&] { QTest::keyClick(&F, Qt::Key_Space); },
  }};
  S.Play();
  EXPECT_FALSE(StillRunning);
  EXPECT_FALSE(S.TimedOut);
}

TEST_F(ShowForm, KeysClicksAndSystemKeysEndTheShow) {
  const std::vector<std::function<void(TfrmSaveScreen&)>> Inputs = {
      [](TfrmSaveScreen& F) { QTest::keyClick(&F, Qt::Key_Space); },
      [](TfrmSaveScreen& F) { QTest::keyClick(&F, Qt::Key_Escape); },
      [](TfrmSaveScreen& F) { QTest::keyClick(&F, Qt::Key_X, Qt::AltModifier); },
      [](TfrmSaveScreen& F) { QTest::mouseClick(F.windowHandle(), Qt::LeftButton, {}, QPoint(300, 200)); },
      [](TfrmSaveScreen& F) { QTest::mouseClick(F.windowHandle(), Qt::RightButton, {}, QPoint(5, 5)); },
  };
  MakeSaver({});
  for (size_t I = 0; I < Inputs.size(); ++I) {
    TfrmSaveScreen& F = Open();
    TShowScript S{F, {[&] { Inputs[I](F); }}};
    S.Play();
    EXPECT_FALSE(S.TimedOut) << "input " << I;
    EXPECT_FALSE(F.isVisible());
    Form.reset();
  }
}

TEST_F(ShowForm, CloseRequestsFromOutsideAreIgnored) {
  MakeSaver({});
  TfrmSaveScreen& F = Open();
  bool AfterPosted = false, AfterClose = false, AfterWindowClose = false;
  TShowScript S{F, {
      [&] { QCoreApplication::postEvent(&F, new QCloseEvent); },
      [&] { AfterPosted = F.Running() && F.isVisible(); },
      [&] { F.close(); },
      [&] { AfterClose = F.Running() && F.isVisible(); },
      [&] { F.windowHandle()->close(); },
      [&] { AfterWindowClose = F.Running() && F.isVisible(); },
      [&] { QTest::keyClick(&F, Qt::Key_A); },
  }};
  S.Play();
  EXPECT_TRUE(AfterPosted);
  EXPECT_TRUE(AfterClose);
  EXPECT_TRUE(AfterWindowClose);
  EXPECT_FALSE(S.TimedOut);
}

TEST_F(ShowForm, WebLinkPromptAfterASequenceWithAnAddress) {
  TSaverRecipe Recipe;
  Recipe.Sequences = {EmptyPage(0x112233, 60000, "https://example.org/rizuder", "Zur Seite")};
  MakeSaver(Recipe);
  std::vector<plat::ShellCall> Calls;
  plat::SetShellHook([&](const plat::ShellCall& C) { Calls.push_back(C); });
  TfrmSaveScreen& F = Open();
  QString Title, Address;
  bool CancelFocused = false, ModeRestored = false, CursorShown = false;
  TShowScript S{F, {
      [&] { QTest::keyClick(&F, Qt::Key_Space); },
      [&] {
        auto* W = dynamic_cast<TfrmWebLink*>(QApplication::activeModalWidget());
        if (!W) return;
        Title = W->txtWebTitle->text();
        Address = W->txtWebAddress->text();
        CancelFocused = W->focusWidget() == W->cmdCancel;
        ModeRestored = Display->Current.dmPelsWidth == 1024;
        CursorShown = plat::CursorCount() == CursorBefore;
        W->cmdOk->click();
      },
  }};
  S.Play();
  EXPECT_FALSE(S.TimedOut);
  EXPECT_EQ(Title, "Zur Seite");
  EXPECT_EQ(Address, "https://example.org/rizuder");
  EXPECT_TRUE(CancelFocused);
  EXPECT_TRUE(ModeRestored) << "the prompt appears at the desktop's own resolution";
  EXPECT_TRUE(CursorShown);
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_EQ(Calls[0].Verb, "open");
  EXPECT_EQ(Calls[0].File, "https://example.org/rizuder");
}

TEST_F(ShowForm, NoPromptForAnAddressOfBlanks) {
  TSaverRecipe Recipe;
  Recipe.Sequences = {EmptyPage(0x112233, 60000, "   ", "Nichts")};
  MakeSaver(Recipe);
  std::vector<plat::ShellCall> Calls;
  plat::SetShellHook([&](const plat::ShellCall& C) { Calls.push_back(C); });
  TfrmSaveScreen& F = Open();
  bool Prompted = false;
  TShowScript S{F, {
      [&] { QTest::keyClick(&F, Qt::Key_Space); },
  }};
  QTimer Spy;
  QObject::connect(&Spy, &QTimer::timeout, [&] {
    if (QWidget* M = QApplication::activeModalWidget()) {
      Prompted = true;
      M->close();
    }
  });
  Spy.start(5);
  S.Play();
  EXPECT_FALSE(S.TimedOut);
  EXPECT_FALSE(Prompted);
  EXPECT_TRUE(Calls.empty());
}

TEST_F(ShowForm, TheSequenceOnScreenWhenTheShowEndsIsTheResult) {
  TSaverRecipe Recipe;
  Recipe.Sequences = {EmptyPage(0x0000FF, 150), EmptyPage(0x00FF00, 60000, "   ")};
  MakeSaver(Recipe);
  TfrmSaveScreen& F = Open();
  F.StartTimer()->stop();  // the loop is run by hand below
  // The key comes once the second page is on screen, however long the first one took.
  const TScreenSaverSequence* OnScreen = nullptr;
  QTimer Watch;
  QObject::connect(&Watch, &QTimer::timeout, [&] {
    auto* Page = dynamic_cast<TEmptyPageSequence*>(F.Animation()->CurrentSequence());
    if (!Page || Page->Color != 0x00FF00) return;
    Watch.stop();
    OnScreen = Page;
    QTest::keyClick(&F, Qt::Key_Space);
  });
  Watch.start(5);
  bool TimedOut = false;
  QTimer::singleShot(testsupport::PatientMs, [&] {
    TimedOut = true;
    F.Terminate();
  });
  TScreenSaverSequence* Result = F.Run();
  ASSERT_FALSE(TimedOut) << "the second page never came, or the key did not end the show";
  ASSERT_NE(OnScreen, nullptr);
  EXPECT_EQ(Result, OnScreen);
}

TEST_F(ShowForm, ASequenceFailingAsTheShowStartsEndsItLikeAnyOther) {
  // A stored bare blendable sequence has no picture for the transition in front of it.
  TSaverRecipe Recipe;
  Recipe.Sequences = {[](TScreenSaverProject& P, const demosaver::TDemoMedia&) {
    auto Bare = std::make_unique<TBlendableSequence>();
    TAlphaBlendSequence Blend;
    Bare->SetTransition(&Blend);
    P.Sequences()->Add(std::move(Bare));
  }};
  MakeSaver(Recipe);
  TfrmSaveScreen& F = Open();
  F.StartTimer()->stop();
  F.tmrStartTimer();
  // Told by the form itself, before it closes (closing ends the program).
  ASSERT_EQ(testsupport::MessageBoxes().size(), 1u);
  EXPECT_EQ(testsupport::MessageBoxes()[0].Text, SAbstractError);
  EXPECT_FALSE(F.isVisible());
  EXPECT_EQ(F.Animation()->CurrentSequence(), nullptr) << "the show was stopped";
}

TEST_F(ShowForm, APictureThatCannotBeDecodedEndsTheShowWithTheDecodersMessage) {
  TSaverRecipe Recipe;
  Recipe.Pictures = 1;
  Recipe.Sequences = {EmptyPage(0x0000FF, 100), DamagedSlide(60000)};
  MakeSaver(Recipe);
  TfrmSaveScreen& F = Open();
  std::string Message;
  try {
    TPicture().LoadFromFile(F.Project()->MediaManager()->Media(0)->FileName);
  } catch (const EInvalidGraphic& E) {
    Message = E.what();
  }
  ASSERT_FALSE(Message.empty());
  F.StartTimer()->stop();
  QTimer::singleShot(20000, [&] { F.Terminate(); });  // the picture is never asked for
  F.tmrStartTimer();
  ASSERT_EQ(testsupport::MessageBoxes().size(), 1u);
  EXPECT_EQ(testsupport::MessageBoxes()[0].Text, Message);
  EXPECT_FALSE(F.isVisible());
  EXPECT_EQ(F.Animation()->CurrentSequence(), nullptr) << "the show was stopped";
}

TEST_F(ShowForm, UnreadableProjectEndsWithTheLoadersMessageOnly) {
  MakeEmptyProgram();
  auto F = CreateForm<TfrmSaveScreen>();
  ASSERT_EQ(testsupport::MessageBoxes().size(), 1u);
  EXPECT_EQ(testsupport::MessageBoxes()[0].Text, SScreenSaverDataDamaged);
  EXPECT_FALSE(F->Loaded());
  EXPECT_EQ(F->Project(), nullptr);
  EXPECT_TRUE(F->isHidden());
  int Closes = 0;
  struct Counter : QObject {
    int& N;
    explicit Counter(int& C) : N(C) {}
    bool eventFilter(QObject*, QEvent* E) override {
      if (E->type() == QEvent::Close) ++N;
      return false;
    }
  } Count(Closes);
  F->installEventFilter(&Count);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Closes > 0; }, testsupport::PatientMs));
  EXPECT_FALSE(F->isVisible());
  EXPECT_FALSE(plat::ScreenSaverRunning());
  EXPECT_TRUE(Display->Requests.empty()) << "no mode was touched";
  F.reset();
  EXPECT_EQ(testsupport::MessageBoxes().size(), 1u);
}

// ---------------------------------------------------------------------------------------------
// The password road of the 9x family, with the stand-in password module.

namespace {
class PasswordRoad : public ShowForm {
protected:
  void SetUp() override {
    ShowForm::SetUp();
    Saved = WindowsVersionInfo;
    setenv("RIZUDER_STANDIN_DIR", testsupport::BuildPath("tests/saver/standins").c_str(), 1);
    Log = testsupport::TempDir() + "/../standin.log";
    setenv("RIZUDER_STANDIN_LOG", Log.c_str(), 1);
  }
  void TearDown() override {
    WindowsVersionInfo = Saved;
    unsetenv("RIZUDER_STANDIN_LOG");
    unsetenv("RIZUDER_STANDIN_ANSWER");
    ShowForm::TearDown();
  }
  static void SetPasswordFlag(int Value) {
    TRegistry Reg;
    Reg.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(Reg.OpenKey("Control Panel\\desktop", true));
    Reg.WriteInteger("ScreenSaveUsePassword", Value);
  }
  int Checks() const {
    const std::string S = testsupport::ReadFileBytes(Log);
    return static_cast<int>(std::count(S.begin(), S.end(), '\n'));
  }
  TWindowsVersionInfo Saved;
  std::string Log;
};
}  // namespace

TEST_F(PasswordRoad, RejectedPasswordKeepsTheShowAcceptedEndsIt) {
  WindowsVersionInfo.Platform = wpWindows9x;
  SetPasswordFlag(1);
  MakeSaver({});
  TfrmSaveScreen& F = Open();
  bool RunningAfterReject = false;
  int CursorAfterReject = 0, ChecksAfterReject = 0;
  WId Window = 0;
  TShowScript S{F, {
      [&] { setenv("RIZUDER_STANDIN_ANSWER", "0", 1); },
      [&] { QTest::keyClick(&F, Qt::Key_Space); },
      [&] {
        RunningAfterReject = F.Running();
        CursorAfterReject = plat::CursorCount();
        ChecksAfterReject = Checks();
        Window = F.winId();
      },
      [&] { setenv("RIZUDER_STANDIN_ANSWER", "1", 1); },
      [&] { QTest::mouseClick(F.windowHandle(), Qt::LeftButton, {}, QPoint(10, 10)); },
  }};
  S.Play();
  EXPECT_FALSE(S.TimedOut);
  EXPECT_TRUE(RunningAfterReject);
  EXPECT_EQ(CursorAfterReject, CursorBefore - 1) << "hidden again after the check";
  EXPECT_EQ(ChecksAfterReject, 1);
  EXPECT_EQ(Checks(), 2);
  EXPECT_FALSE(F.Running());
  // The check was owned by the show's window.
  const std::string L = testsupport::ReadFileBytes(Log);
  EXPECT_NE(L.find("VerifyScreenSavePwd - " + std::to_string(Window) + "\n"), std::string::npos)
      << L << " window " << Window;
}

TEST_F(PasswordRoad, NTFamilyAndAClearedFlagNeverAsk) {
  MakeSaver({});
  for (auto [Platform, Flag] : {std::pair{wpWindowsNT, 1}, std::pair{wpWindows9x, 0}}) {
    WindowsVersionInfo.Platform = Platform;
    SetPasswordFlag(Flag);
    setenv("RIZUDER_STANDIN_ANSWER", "0", 1);
    TfrmSaveScreen& F = Open();
    TShowScript S{F, {[&] { QTest::keyClick(&F, Qt::Key_Space); }}};
    S.Play();
    EXPECT_FALSE(S.TimedOut);
    Form.reset();
  }
  EXPECT_EQ(Checks(), 0);
}

TEST_F(PasswordRoad, MissingModuleIsReportedAndTheShowGoesOn) {
  WindowsVersionInfo.Platform = wpWindows9x;
  SetPasswordFlag(1);
  setenv("RIZUDER_STANDIN_DIR", testsupport::BuildPath("tests/saver/standins-empty").c_str(), 1);
  MakeSaver({});
  TfrmSaveScreen& F = Open();
  bool RunningAfter = false;
  TShowScript S{F, {
      [&] { QTest::keyClick(&F, Qt::Key_Space); },
      [&] { RunningAfter = F.Running(); },
      [&] { F.Terminate(); },
  }};
  S.Play();
  EXPECT_TRUE(RunningAfter);
  ASSERT_EQ(testsupport::MessageBoxes().size(), 1u);
  EXPECT_EQ(testsupport::MessageBoxes()[0].Text, "Function VerifyScreenSavePwd in password.cpl not found");
}
