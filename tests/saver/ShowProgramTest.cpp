// The show and the preview as the user meets them: the demo saver program under an X server of
// its own (xvfb-run), its screen read back and compared with the picture the project carries,
// input sent with xdotool. Each test runs itself again under xvfb-run; it skips when the tools
// are not installed.
#include <gtest/gtest.h>

#include "tests/support/XvfbRun.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <functional>

#include "tests/saver/ShowFixture.h"
#include "tests/saver/XDisplayTools.h"
#include "tests/support/SoundServer.h"
#include "tests/support/TestEnv.h"

namespace {

using testsupport::FindProgram;
using testsupport::PatientMs;
using testsupport::WaitFor;

// The saver program of this build with the project given.
std::string MakeProgram(const std::vector<demosaver::TSequenceMaker>& Sequences, TScreenResolution Res,
                        int MovieFrames = 10, bool Sound = false) {
  showtest::RegisterAll();
  demosaver::TDemoOptions O;
  O.RizuderName = "Programmtest";
  O.Resolution = Res;
  O.Pictures = 1;
  O.PictureWidth = 640;
  O.PictureHeight = 480;
  O.Sound = Sound;
  O.MovieFrames = MovieFrames;
  O.WithDemoSequences = false;
  O.ExtraSequences = Sequences;
  O.WorkDir = testsupport::TestDir();
  const std::string Out = testsupport::TestDir() + "/Programmtest.scr";
  demosaver::MakeScreenSaverFile(testsupport::BuildPath("saver/Rizuder"), Out, O);
  return Out;
}

// The picture for Ms, with the demo's sound looping when it carries one.
demosaver::TSequenceMaker Slide(int32_t Ms = 60000) {
  return [Ms](TScreenSaverProject& P, const demosaver::TDemoMedia& M) {
    auto S = TSequence::CreateNamed<TSlideSequence>("Bild 1", nullptr);
    S->MediaID = M.Pictures.at(0);
    S->Color = 0x000000;
    S->Duration = Ms;
    S->SoundMediaID = M.Sound;
    S->SoundPlayMode = spmLoop;
    P.Sequences()->Add(std::move(S));
  };
}

QImage Picture() {
  return QImage::fromData(QByteArray::fromStdString(demosaver::DemoPictureJpeg(0, 640, 480)), "JPG")
      .convertToFormat(QImage::Format_RGB32);
}

bool Near(uint32_t A, uint32_t B, int Tolerance) {
  for (int Shift : {0, 8, 16})
    if (std::abs(int((A >> Shift) & 0xFF) - int((B >> Shift) & 0xFF)) > Tolerance) return false;
  return true;
}

// Whether the Width x Height area at (X, Y) of the screen shows the picture stretched over it:
// each sample point matches a picture pixel near the place it maps to.
bool ShowsPicture(xtools::TDisplay& X, int Left, int Top, int Width, int Height, std::string* Why = nullptr) {
  static const QImage Pic = Picture();
  const xtools::TShot S = X.Grab(Left, Top, Width, Height);
  if (S.Pixels.empty()) return false;
  for (int J = 1; J < 10; ++J)
    for (int I = 1; I < 10; ++I) {
      const int SX = Width * I / 10, SY = Height * J / 10;
      const int PX = SX * Pic.width() / Width, PY = SY * Pic.height() / Height;
      bool Found = false;
      for (int DY = -2; DY <= 2 && !Found; ++DY)
        for (int DX = -2; DX <= 2 && !Found; ++DX) {
          const int QX = std::clamp(PX + DX, 0, Pic.width() - 1), QY = std::clamp(PY + DY, 0, Pic.height() - 1);
          Found = Near(S.At(SX, SY), Pic.pixel(QX, QY) & 0xFFFFFF, 24);
        }
      if (!Found) {
        if (Why) *Why = "screen (" + std::to_string(SX) + "," + std::to_string(SY) + ")";
        return false;
      }
    }
  return true;
}

// Whether the Width x Height area at (X, Y) of the screen is, pixel for pixel, the top-left part
// of the picture stretched over GridWidth x GridHeight pixels by dropping or repeating.
bool ShowsPictureExactly(xtools::TDisplay& X, int Left, int Top, int Width, int Height, int GridWidth,
                         int GridHeight, std::string* Why) {
  static const QImage Pic = Picture();
  const xtools::TShot S = X.Grab(Left, Top, Width, Height);
  if (S.Pixels.empty()) return false;
  for (int Y = 0; Y < Height; ++Y)
    for (int I = 0; I < Width; ++I)
      if (S.At(I, Y) != (Pic.pixel(I * Pic.width() / GridWidth, Y * Pic.height() / GridHeight) & 0xFFFFFF)) {
        *Why = "screen (" + std::to_string(Left + I) + "," + std::to_string(Top + Y) + ")";
        return false;
      }
  return true;
}

int CountFiles(const std::string& Dir, const char* Prefix) {
  int N = 0;
  for (const std::string& Name : testsupport::ListDir(Dir))
    if (Name.rfind(Prefix, 0) == 0) ++N;
  return N;
}

class TSaverProcess {
public:
  TSaverProcess(const std::string& Program, QStringList Args, const std::string& Display = {},
                const char* ScaleFactor = nullptr, bool ReadErrors = false,
                const QProcessEnvironment& Extra = {}) {
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert(Extra);
    Env.remove("QT_QPA_PLATFORM");
    if (ScaleFactor) Env.insert("QT_SCALE_FACTOR", ScaleFactor);
    Env.insert("TMPDIR", QString::fromStdString(TempDir()));
    if (!Display.empty()) Env.insert("DISPLAY", QString::fromStdString(Display));
    P.setProcessEnvironment(Env);
    P.setProcessChannelMode(ReadErrors ? QProcess::ForwardedOutputChannel : QProcess::ForwardedChannels);
    P.start(QString::fromStdString(Program), Args);
    P.waitForStarted(PatientMs);
  }
  ~TSaverProcess() {
    if (P.state() != QProcess::NotRunning) {
      P.kill();
      P.waitForFinished(PatientMs);
    }
  }
  static std::string TempDir() { return testsupport::TempDir(); }
  // Both ask anew: without an event loop the state alone stays as it was when last looked at.
  bool Running() { return P.state() == QProcess::Running && !P.waitForFinished(0); }
  bool Ends(int Ms = PatientMs) { return P.state() == QProcess::NotRunning || P.waitForFinished(Ms); }
  QProcess P;
};

void Key(const std::string& Which, const std::string& Display = {}) {
  QProcess X;
  if (!Display.empty()) {
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert("DISPLAY", QString::fromStdString(Display));
    X.setProcessEnvironment(Env);
  }
  X.start("xdotool", {"key", QString::fromStdString(Which)});
  X.waitForFinished(PatientMs);
}

}  // namespace

TEST(ShowProgram, FirstSlideFullScreenEndsOnAKeyAndLeavesNothingBehind) {
  UNDER_XVFB();
  xtools::TDisplay X;
  ASSERT_TRUE(X.Ok());
  const std::string Program = MakeProgram({Slide()}, sr640x480);
  TSaverProcess S(Program, {"/s"});
  // Xvfb offers only its own 800x600: the 640x480 show is stretched over 799 x 599 pixels.
  std::string Why;
  EXPECT_TRUE(WaitFor([&] { return ShowsPicture(X, 0, 0, 799, 599, &Why); }, PatientMs)) << Why;
  EXPECT_GE(CountFiles(S.TempDir(), "SCR_MEDIA"), 1);
  EXPECT_GE(CountFiles(S.TempDir(), "EMB_FNT_"), 1) << "the demo carries a font";
  ASSERT_TRUE(S.Running());

  Key("space");
  EXPECT_TRUE(S.Ends()) << "the key ends the show";
  EXPECT_EQ(S.P.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(S.P.exitCode(), 0);
  EXPECT_EQ(CountFiles(S.TempDir(), "SCR_MEDIA"), 0);
  EXPECT_EQ(CountFiles(S.TempDir(), "EMB_FNT_"), 0);
  int W = 0, H = 0;
  X.ScreenSize(W, H);
  EXPECT_EQ(W, 800);
  EXPECT_EQ(H, 600);
  EXPECT_EQ(X.MappedTopLevels(), 0) << "no window left behind";
}

TEST(ShowProgram, SecondInstanceEndsAtOnceAndTheFirstGoesOn) {
  UNDER_XVFB();
  xtools::TDisplay X;
  ASSERT_TRUE(X.Ok());
  const std::string Program = MakeProgram({Slide()}, sr640x480);
  TSaverProcess First(Program, {"/s"});
  ASSERT_TRUE(WaitFor([&] { return ShowsPicture(X, 0, 0, 799, 599); }, PatientMs));
  TSaverProcess Second(Program, {"/s"});
  EXPECT_TRUE(Second.Ends());
  EXPECT_EQ(Second.P.exitCode(), 0);
  EXPECT_TRUE(First.Running());
  EXPECT_TRUE(ShowsPicture(X, 0, 0, 799, 599));
  Key("space");
  EXPECT_TRUE(First.Ends());
  EXPECT_EQ(First.P.exitCode(), 0);
}

TEST(ShowProgram, UnreadableDataShowsTheMessageAndEndsCleanly) {
  UNDER_XVFB();
  xtools::TDisplay X;
  ASSERT_TRUE(X.Ok());
  // The bare program carries no screen saver.
  TSaverProcess S(testsupport::BuildPath("saver/Rizuder"), {"/s"});
  ASSERT_TRUE(WaitFor([&] { return X.MappedTopLevels() >= 1 && X.FocusInMappedTopLevel(); }, PatientMs))
      << "the message box, taking the keys";
  EXPECT_TRUE(S.Running());
  Key("Return");
  EXPECT_TRUE(S.Ends());
  EXPECT_EQ(S.P.exitCode(), 0);
  EXPECT_EQ(X.MappedTopLevels(), 0);
}

TEST(ShowProgram, PreviewPlaysInsideTheHostWindowAndEndsWithIt) {
  UNDER_XVFB();
  xtools::TDisplay X;
  ASSERT_TRUE(X.Ok());
  const std::string Program = MakeProgram({Slide()}, sr640x480);
  const uint32_t Host = X.MakeWindow(100, 80, 320, 240, 0xFFFFFF);
  TSaverProcess S(Program, {"/p", QString::number(Host)});
  // The preview fills the host (it is one pixel larger, clipped by the host).
  std::string Why;
  EXPECT_TRUE(WaitFor([&] { return ShowsPicture(X, 100, 80, 320, 240, &Why); }, PatientMs)) << Why;
  EXPECT_EQ(X.MappedTopLevels(), 1) << "only the host: the preview lives inside it";
  X.DestroyWindow(Host);
  EXPECT_TRUE(S.Ends()) << "the preview ends with its host";
  EXPECT_EQ(S.P.exitCode(), 0);
  EXPECT_EQ(CountFiles(S.TempDir(), "SCR_MEDIA"), 0);
}

TEST(ShowProgram, AtAScaleOfTwoTheShowAndThePreviewStretchOverTheirPixels) {
  UNDER_XVFB();
  xtools::TDisplay X;
  ASSERT_TRUE(X.Ok());
  const std::string Program = MakeProgram({Slide()}, sr640x480);
  std::string Why;
  {
    // The 800 x 600 screen is 400 x 300 of Qt's units; the control's 399 x 299 are 798 x 598
    // pixels, and the form's black shows beyond them.
    TSaverProcess S(Program, {"/s"}, {}, "2");
    EXPECT_TRUE(WaitFor([&] { return ShowsPictureExactly(X, 0, 0, 798, 598, 798, 598, &Why); }, PatientMs)) << Why;
    const xtools::TShot Shot = X.Grab(0, 0, 800, 600);
    for (int I : {0, 400, 797})
      EXPECT_TRUE(Shot.At(I, 598) == 0 && Shot.At(I, 599) == 0 && Shot.At(798, I * 3 / 4) == 0 &&
                  Shot.At(799, I * 3 / 4) == 0) << I;
    Key("space");
    EXPECT_TRUE(S.Ends());
  }
  // The preview covers its 320 x 240 host and one unit (two pixels) beyond, which the host clips.
  const uint32_t Host = X.MakeWindow(100, 80, 320, 240, 0xFFFFFF);
  TSaverProcess S(Program, {"/p", QString::number(Host)}, {}, "2");
  EXPECT_TRUE(WaitFor([&] { return ShowsPictureExactly(X, 100, 80, 320, 240, 322, 242, &Why); }, PatientMs))
      << Why;
  X.DestroyWindow(Host);
  EXPECT_TRUE(S.Ends());
}

TEST(ShowProgram, PreviewWithoutAUsableHostEndsCleanly) {
  UNDER_XVFB();
  xtools::TDisplay X;
  ASSERT_TRUE(X.Ok());
  const std::string Program = MakeProgram({Slide()}, sr640x480);
  for (QString Id : {"0", "77777", "-5", "abc", "99999999999"}) {
    TSaverProcess S(Program, {"/p", Id}, {}, nullptr, true);
    EXPECT_TRUE(S.Ends()) << Id.toStdString();
    // The id as given, not as it converted.
    const QByteArray Errors = S.P.readAllStandardError();
    EXPECT_TRUE(Errors.contains(("no preview window \"" + Id + "\"").toUtf8())) << Errors.toStdString();
    EXPECT_EQ(S.P.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(S.P.exitCode(), 0) << Id.toStdString();
    EXPECT_EQ(X.MappedTopLevels(), 0);
    EXPECT_EQ(CountFiles(S.TempDir(), "SCR_MEDIA"), 0);
  }
  // What the message quotes of an argument is short and printable.
  const std::pair<QString, QString> Quoted[] = {{QString(5000, 'x'), "\"" + QString(40, 'x') + "\"..."},
                                                {"a\x1b[2Jb", "\"a?[2Jb\""}};
  for (const auto& [Arg, Quote] : Quoted) {
    TSaverProcess S(Program, {"/p", Arg}, {}, nullptr, true);
    EXPECT_TRUE(S.Ends());
    const QByteArray Errors = S.P.readAllStandardError();
    EXPECT_TRUE(Errors.contains(("no preview window " + Quote + "; the preview ends.").toUtf8())) << Errors.toStdString();
    EXPECT_LT(Errors.size(), 1000);
  }
}

namespace {
void Xdotool(QStringList Args) {
  QProcess X;
  X.start("xdotool", Args);
  X.waitForFinished(PatientMs);
}

// Moves the pointer to and fro between A and B until the show ends (or a minute has passed):
// the first move the show sees is only recorded, and the window system merges moves that queue
// up while the show is busy, so it may see any number of them as one.
void MoveToAndFroUntilEnded(TSaverProcess& S, QPoint A, QPoint B) {
  QElapsedTimer T;
  T.start();
  for (bool ToA = true; S.Running() && T.elapsed() < PatientMs; ToA = !ToA) {
    const QPoint To = ToA ? A : B;
    Xdotool({"mousemove", QString::number(To.x()), QString::number(To.y())});
    S.Ends(100);
  }
}

demosaver::TSequenceMaker LinkedSlide() {
  return [](TScreenSaverProject& P, const demosaver::TDemoMedia& M) {
    Slide()(P, M);
    auto* S = dynamic_cast<TScreenSaverSequence*>(P.Sequences()->Items(P.Sequences()->Count() - 1));
    S->WebLinkAddress = "https://example.org/rizuder";
    S->WebLinkTitle = "Rizuder";
  };
}

// A stored bare blendable sequence: the transition in front of it has no picture to blend to.
demosaver::TSequenceMaker FailingSequence() {
  return [](TScreenSaverProject& P, const demosaver::TDemoMedia&) {
    auto Bare = std::make_unique<TBlendableSequence>();
    TAlphaBlendSequence Blend;
    Bare->SetTransition(&Blend);
    P.Sequences()->Add(std::move(Bare));
  };
}
}  // namespace

// The X server offers the show's 640x480 besides the desktop's 800x600 or 1024x768 and, as Xorg
// does, refuses an output larger than its screen: the way back must grow the screen first.
TEST(ShowProgram, DisplayModeSwitchedForTheShowAndRestoredOnEveryEnd) {
  UNDER_XVFB_SCREEN("1024x768");
  xtools::TDisplay X;
  ASSERT_TRUE(X.Ok());
  const std::vector<std::pair<int, int>> Modes = {{640, 480}, {800, 600}, {1024, 768}};
  ASSERT_TRUE(X.AddModes(Modes, {800, 600}));
  auto Screen = [&] {
    int W = 0, H = 0;
    X.ScreenSize(W, H);
    return std::to_string(W) + "x" + std::to_string(H) + " " + X.OutputMode();
  };
  auto Named = [](std::pair<int, int> Size) {
    const std::string S = std::to_string(Size.first) + "x" + std::to_string(Size.second);
    return S + " " + S + "_60";
  };
  std::string Own = Named({800, 600});
  const std::string Switched = Named({640, 480});
  const std::string Plain = MakeProgram({Slide()}, sr640x480);
  auto Playing = [&] { return Screen() == Switched && ShowsPicture(X, 0, 0, 639, 479); };

  for (const std::string How : {"key", "click", "move", "SIGTERM"}) {
    Xdotool({"mousemove", "300", "300"});
    TSaverProcess S(Plain, {"/s"});
    ASSERT_TRUE(WaitFor(Playing, PatientMs)) << How << ": " << Screen();
    QThread::msleep(100);
    if (How == "key") {
      Key("space");
    } else if (How == "click") {
      Xdotool({"click", "1"});
    } else if (How == "move") {
      MoveToAndFroUntilEnded(S, {303, 303}, {314, 303});
    } else {
      ::kill(static_cast<pid_t>(S.P.processId()), SIGTERM);
    }
    EXPECT_TRUE(S.Ends()) << How;
    EXPECT_EQ(S.P.exitStatus(), QProcess::NormalExit) << How;
    EXPECT_EQ(S.P.exitCode(), 0) << How;
    EXPECT_EQ(Screen(), Own) << How;
  }
  // After the show a question waits at the desktop's own size, centred on it: the prompt of a
  // linked sequence, or the message of a slide whose picture cannot be read, a text long enough
  // to wrap at a share of the screen's width that the box takes once the program learns the
  // restored size. A show started meanwhile only brings the question forward: the show does not
  // come back, and the question still answers.
  struct Road {
    const char* Name;
    demosaver::TSequenceMaker Sequence;
    bool Plays;  // the show plays until a key ends it
    const char* Answer;
    std::pair<int, int> Desktop;
    const char* Scale;
  };
  const auto Message = [](std::pair<int, int> Desktop, const char* Scale) {
    return Road{"message", showtest::DamagedSlide(60000), false, "Return", Desktop, Scale};
  };
  // A short message whose size in Qt's units, centred in them, misses the middle by more than a
  // pixel at this scale.
  const Road Short{"short message", FailingSequence(), false, "Return", {1024, 768}, "1.5"};
  for (const Road& R : {Road{"prompt", LinkedSlide(), true, "Escape", {800, 600}, "1"}, Message({800, 600}, "1"),
                        Message({800, 600}, "1.5"), Message({1024, 768}, "1"), Message({1024, 768}, "1.5"), Short}) {
    const auto [W, H] = R.Desktop;
    const std::string Case = std::string(R.Name) + " on " + std::to_string(W) + "x" + std::to_string(H) +
                             " at a scale of " + R.Scale;
    ASSERT_TRUE(X.AddModes(Modes, R.Desktop)) << Case;
    Own = Named(R.Desktop);
    const std::string Program = MakeProgram({R.Sequence}, sr640x480);
    Xdotool({"mousemove", QString::number(W / 2), QString::number(H / 2)});  // where the question comes
    TSaverProcess S(Program, {"/s"}, {}, R.Scale);
    if (R.Plays) {
      ASSERT_TRUE(WaitFor(Playing, PatientMs)) << Case << ": " << Screen();
      Key("space");
    }
    ASSERT_TRUE(WaitFor([&] { return X.MappedTopLevels() == 1 && Screen() == Own && X.FocusInMappedTopLevel(); },
                        PatientMs))
        << Case << ": at the desktop's size, taking the keys: " << Screen();

    // Once the second start ends, the first has handled its request and all the X server told it
    // before, the restored screen size among it.
    TSaverProcess Second(Program, {"/s"}, {}, R.Scale);
    EXPECT_TRUE(Second.P.waitForFinished(PatientMs)) << Case;
    EXPECT_EQ(Second.P.exitCode(), 0) << Case;
    EXPECT_TRUE(S.Running()) << Case;
    EXPECT_EQ(Screen(), Own) << Case;
    EXPECT_FALSE(X.CursorHidden()) << Case;
    std::vector<xtools::TRect> Up;
    ASSERT_TRUE(WaitFor(
        [&] {
          Up = X.MappedTopLevelRects();
          return Up.size() == 1 && std::abs(2 * Up[0].X + Up[0].Width - W) <= 2 &&
                 std::abs(2 * Up[0].Y + Up[0].Height - H) <= 2;
        },
        PatientMs))
        << Case << ": one window, centred to 1 pixel: " << testing::PrintToString(Up);

    ASSERT_TRUE(WaitFor([&] { return X.FocusInMappedTopLevel(); }, PatientMs)) << Case;
    Key(R.Answer);
    EXPECT_TRUE(S.Ends()) << Case << " answers";
    EXPECT_EQ(S.P.exitCode(), 0) << Case;
    EXPECT_EQ(Screen(), Own) << Case;
    EXPECT_EQ(X.MappedTopLevels(), 0) << Case;
    EXPECT_EQ(CountFiles(S.TempDir(), "SCR_MEDIA"), 0) << Case;
    EXPECT_EQ(CountFiles(S.TempDir(), "EMB_FNT_"), 0) << Case;
  }
}

TEST(ShowProgram, PointerMovesOfTenPixelsGoOnLargerOnesEnd) {
  UNDER_XVFB();
  xtools::TDisplay X;
  ASSERT_TRUE(X.Ok());
  const std::string Program = MakeProgram({Slide()}, sr640x480);
  Xdotool({"mousemove", "400", "300"});
  TSaverProcess S(Program, {"/s"});
  ASSERT_TRUE(WaitFor([&] { return ShowsPicture(X, 0, 0, 799, 599); }, PatientMs));
  QThread::msleep(100);
  // Each move its own event: the window system merges moves that queue up.
  Xdotool({"mousemove", "405", "303"});  // the first move is only recorded
  QThread::msleep(100);
  Xdotool({"mousemove", "415", "313"});  // 10 on each axis
  EXPECT_FALSE(S.Ends(500)) << "a move of 10 pixels keeps the show";
  MoveToAndFroUntilEnded(S, {440, 313}, {451, 313});
  EXPECT_TRUE(S.Ends()) << "a larger move ends it";
  EXPECT_EQ(S.P.exitCode(), 0);
}

TEST(ShowProgram, InTheCentredModeASmallMoveOntoThePictureEnds) {
  UNDER_XVFB();
  xtools::TDisplay X;
  ASSERT_TRUE(X.Ok());
  const std::string Program = MakeProgram({Slide()}, sr640x480);
  showtest::SetUserProperties("Programmtest", true, false);
  Xdotool({"mousemove", "76", "300"});
  TSaverProcess S(Program, {"/s"});
  ASSERT_TRUE(WaitFor([&] { return ShowsPicture(X, 80, 60, 640, 480); }, PatientMs));
  QThread::msleep(100);
  // The form's (77, 301) on its black border and the control's (4, 241) are far apart, though
  // only 7 pixels lie between them on the screen.
  MoveToAndFroUntilEnded(S, {77, 301}, {84, 301});
  EXPECT_TRUE(S.Ends()) << "the control's own coordinates, also with the pointer grabbed";
  EXPECT_EQ(S.P.exitCode(), 0);
}

TEST(ShowProgram, WebLinkPromptAfterTheShowEscapeDeclines) {
  UNDER_XVFB();
  xtools::TDisplay X;
  ASSERT_TRUE(X.Ok());
  const std::string Program = MakeProgram({LinkedSlide()}, sr640x480);
  TSaverProcess S(Program, {"/s"});
  ASSERT_TRUE(WaitFor([&] { return ShowsPicture(X, 0, 0, 799, 599); }, PatientMs));
  Key("space");
  // The show's window goes and the prompt comes.
  EXPECT_TRUE(WaitFor(
      [&] { return !ShowsPicture(X, 0, 0, 799, 599) && X.MappedTopLevels() == 1 && X.FocusInMappedTopLevel(); },
      PatientMs));
  EXPECT_TRUE(S.Running()) << "the prompt waits for the user";
  Key("Escape");
  EXPECT_TRUE(S.Ends());
  EXPECT_EQ(S.P.exitCode(), 0);
  EXPECT_EQ(X.MappedTopLevels(), 0);
}

namespace {
// The movie's frames are strong colours; the show's page is black.
bool Colourful(uint32_t P) {
  const int R = (P >> 16) & 0xFF, G = (P >> 8) & 0xFF, B = P & 0xFF;
  return std::max({R, G, B}) - std::min({R, G, B}) > 80;
}
}  // namespace

TEST(ShowProgram, AMoveAClickOrAKeyOverAPlayingMovieEndsTheShow) {
  UNDER_XVFB();
  xtools::TDisplay X;
  ASSERT_TRUE(X.Ok());
  // The middle of the 160 x 120 movie at raster (100, 100), the raster stretched over 799 x 599.
  const int MX = 180 * 799 / 640, MY = 160 * 599 / 480;
  const auto At = [](int V) { return QString::number(V); };
  for (TMovieDisplaySize Size : {mdsNormal, mdsFullScreen}) {
    const std::string Program = MakeProgram({demosaver::MovieSequence(100, 100, Size)}, sr640x480, 600);
    for (const std::string How : {"move", "click", "key"}) {
      const std::string Case = How + (Size == mdsNormal ? " over a normal-size movie" : " over a full-screen movie");
      Xdotool({"mousemove", At(MX), At(MY)});
      TSaverProcess S(Program, {"/s"});
      ASSERT_TRUE(WaitFor([&] { return Colourful(X.Grab(MX, MY, 1, 1).At(0, 0)); }, PatientMs)) << Case;
      QThread::msleep(100);
      if (How == "move") {
        MoveToAndFroUntilEnded(S, {MX + 3, MY + 3}, {MX + 14, MY + 3});
      } else if (How == "click") {
        Xdotool({"click", "1"});
      } else {
        Key("space");
      }
      EXPECT_TRUE(S.Ends()) << Case;
      EXPECT_EQ(S.P.exitCode(), 0) << Case;
    }
  }
}

TEST(ShowProgram, PreviewWhoseAnimationFailsStillEndsWithItsHost) {
  UNDER_XVFB();
  xtools::TDisplay X;
  ASSERT_TRUE(X.Ok());
  // The animation fails as it starts, or at a later step.
  for (bool Later : {false, true}) {
    std::vector<demosaver::TSequenceMaker> Sequences = {FailingSequence()};
    if (Later) Sequences.insert(Sequences.begin(), showtest::EmptyPage(0x336699, 300));
    const std::string Program = MakeProgram(Sequences, sr640x480);
    const uint32_t Host = X.MakeWindow(100, 80, 320, 240, 0xFFFFFF);
    TSaverProcess S(Program, {"/p", QString::number(Host)});
    EXPECT_TRUE(WaitFor([&] { return X.MappedTopLevels() == 2; }, PatientMs)) << Later << ": the host and the message";
    QThread::msleep(600);  // past a look at the host
    EXPECT_TRUE(S.Running()) << Later;
    X.DestroyWindow(Host);
    EXPECT_TRUE(S.Ends()) << Later << ": the preview ends with its host";
    EXPECT_EQ(S.P.exitCode(), 0) << Later;
    EXPECT_EQ(X.MappedTopLevels(), 0) << Later;
    EXPECT_EQ(CountFiles(S.TempDir(), "SCR_MEDIA"), 0) << Later;
  }
}


// Media that never answer hold neither the show nor its end: a movie whose file stalls on its
// medium's thread, and a sound server that takes the connection and never answers (with a new
// media registry, as on a new user's first show). The picture comes up, a key ends the show
// while the media still hang, and the program ends with code 0 and leaves nothing behind. The
// preview, muted and without movies, never asks the sound server at all.
TEST(ShowProgram, MediaThatNeverAnswerHoldNeitherTheShowNorItsEnd) {
  UNDER_XVFB();
  xtools::TDisplay X;
  ASSERT_TRUE(X.Ok());
  const std::string Stalled = testsupport::TestDir() + "/stalled";
  QProcessEnvironment Stall;
  Stall.insert("LD_PRELOAD", QString::fromStdString(testsupport::BuildPath("tests/stall_open.so")));
  Stall.insert("RIZUDER_STALL_OPEN", ".avi");
  Stall.insert("RIZUDER_STALL_OPEN_MARK", QString::fromStdString(Stalled));
  // Preloaded in front of the sanitizer's run time, in the sanitizer build.
  Stall.insert("ASAN_OPTIONS", qEnvironmentVariable("ASAN_OPTIONS") + ":verify_asan_link_order=0");
  QProcessEnvironment NewRegistry;
  NewRegistry.insert("GST_REGISTRY", QString::fromStdString(testsupport::TestDir() + "/registry.bin"));

  {
    SCOPED_TRACE("a movie whose file stalls");
    const std::string Program =
        MakeProgram({Slide(500), demosaver::MovieSequence(0, 0, mdsNormal), Slide()}, sr640x480, 10, true);
    TSaverProcess S(Program, {"/s"}, {}, nullptr, false, Stall);
    EXPECT_TRUE(WaitFor([&] { return QFile::exists(QString::fromStdString(Stalled)); }, PatientMs))
        << "the movie's open never began";
    Key("space");
    EXPECT_TRUE(S.Ends());
    EXPECT_EQ(S.P.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(S.P.exitCode(), 0);
    EXPECT_EQ(CountFiles(S.TempDir(), "SCR_MEDIA"), 0);
    EXPECT_EQ(X.MappedTopLevels(), 0);
  }
  {
    SCOPED_TRACE("a sound server that never answers");
    const std::string Dir = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/pulse";
    ::mkdir(Dir.c_str(), 0700);
    testsupport::HungSoundServer Server(Dir + "/native");  // where the media libraries look for it
    ASSERT_TRUE(Server.Ok());
    const std::string Program = MakeProgram({Slide()}, sr640x480, 10, true);
    const uint32_t Host = X.MakeWindow(100, 80, 320, 240, 0xFFFFFF);
    TSaverProcess Preview(Program, {"/p", QString::number(Host)}, {}, nullptr, false, NewRegistry);
    EXPECT_TRUE(WaitFor([&] { return ShowsPicture(X, 100, 80, 320, 240); }, PatientMs)) << "the preview";
    X.DestroyWindow(Host);
    EXPECT_TRUE(Preview.Ends());
    EXPECT_EQ(Preview.P.exitCode(), 0);
    EXPECT_EQ(Server.Connections(), 0) << "the preview asked the sound server";

    TSaverProcess S(Program, {"/s"}, {}, nullptr, false, NewRegistry);
    EXPECT_TRUE(WaitFor([&] { return ShowsPicture(X, 0, 0, 799, 599); }, PatientMs)) << "the show's picture";
    EXPECT_TRUE(WaitFor([&] { return Server.Connections() > 0; }, PatientMs)) << "the show never asked for sound";
    Key("space");
    EXPECT_TRUE(S.Ends());
    EXPECT_EQ(S.P.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(S.P.exitCode(), 0);
    EXPECT_EQ(CountFiles(S.TempDir(), "SCR_MEDIA"), 0);
    EXPECT_EQ(CountFiles(S.TempDir(), "EMB_FNT_"), 0);
    EXPECT_EQ(X.MappedTopLevels(), 0);
  }
}
