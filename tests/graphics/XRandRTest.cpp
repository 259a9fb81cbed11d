// The display-mode list and switches against real X servers that this test starts itself: Xvfb
// (one mode, switches to anything else refused), Xvfb given further modes (which, like Xorg,
// checks the output against the screen's size) and Xephyr nested in Xvfb (a list of modes that
// can be switched). Skips when the servers are not installed or do not start.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/GfxTool.h"
#include "tests/saver/XDisplayTools.h"

extern char** environ;

namespace {

bool Executable(const std::string& Path) { return access(Path.c_str(), X_OK) == 0; }

std::string FindProgram(const char* Name) {
  for (const char* Dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"})
    if (Executable(std::string(Dir) + Name)) return std::string(Dir) + Name;
  return {};
}

// An X server started with -displayfd, stopped when this goes.
class TXServer {
public:
  TXServer() = default;
  TXServer(const TXServer&) = delete;
  ~TXServer() {
    if (FPid > 0) {
      kill(FPid, SIGTERM);
      int St = 0;
      waitpid(FPid, &St, 0);
    }
  }

  // Empty result: started, Display() names it. Otherwise why it did not start.
  std::string Start(const std::string& Program, std::vector<std::string> Args, const std::string& Host = {}) {
    int Fds[2];
    if (pipe(Fds) != 0) return "no pipe";
    // -noreset: a server resetting as its last client leaves would refuse the next one for a
    // moment and undo a mode switch by itself.
    std::vector<std::string> Argv = {Program, "-displayfd", std::to_string(Fds[1]), "-noreset"};
    Argv.insert(Argv.end(), Args.begin(), Args.end());
    std::vector<char*> A;
    for (auto& S : Argv) A.push_back(S.data());
    A.push_back(nullptr);
    std::vector<std::string> EnvS;
    for (char** E = environ; *E; ++E)
      if (std::strncmp(*E, "DISPLAY=", 8) != 0) EnvS.emplace_back(*E);
    if (!Host.empty()) EnvS.push_back("DISPLAY=" + Host);
    std::vector<char*> Env;
    for (auto& S : EnvS) Env.push_back(S.data());
    Env.push_back(nullptr);
    posix_spawn_file_actions_t Fa;
    posix_spawn_file_actions_init(&Fa);
    posix_spawn_file_actions_addclose(&Fa, Fds[0]);
    posix_spawn_file_actions_addopen(&Fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&Fa, 2, "/dev/null", O_WRONLY, 0);
    const int Rc = posix_spawn(&FPid, Program.c_str(), &Fa, nullptr, A.data(), Env.data());
    posix_spawn_file_actions_destroy(&Fa);
    close(Fds[1]);
    if (Rc != 0) {
      FPid = -1;
      close(Fds[0]);
      return "cannot start " + Program;
    }
    std::string Number;
    // A loaded machine may take a while to start a server; one that never reports does not start.
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < Deadline) {
      pollfd P{Fds[0], POLLIN, 0};
      if (poll(&P, 1, 200) <= 0) continue;
      char C;
      if (read(Fds[0], &C, 1) != 1) break;
      if (C == '\n') break;
      Number += C;
    }
    close(Fds[0]);
    if (Number.empty()) return Program + " did not report a display";
    FDisplay = ":" + Number;
    return {};
  }

  const std::string& Display() const { return FDisplay; }

private:
  pid_t FPid = -1;
  std::string FDisplay;
};

plat::TDevMode CurrentOf(const std::string& Display) {
  plat::TDevMode M;
  auto S = plat::CreateXRandRDisplaySettings(Display.c_str());
  if (S) S->Enum(plat::ENUM_CURRENT_SETTINGS, M);
  return M;
}

// Lets go of the display before its server stops (Xlib ends the process when a server it is
// connected to goes away).
struct TDetach {
  ~TDetach() {
    FreeScreenModes();
    plat::SetDisplaySettingsSource(nullptr);
  }
};

using XRandRTest = ::testing::Test;

}  // namespace

TEST_F(XRandRTest, XvfbListsItsOneModeAndRefusesAnyOther) {
  const std::string Xvfb = FindProgram("Xvfb");
  if (Xvfb.empty()) GTEST_SKIP() << "Xvfb is not installed";
  TXServer Server;
  if (auto Why = Server.Start(Xvfb, {"-screen", "0", "1280x1024x24", "-nolisten", "tcp"}); !Why.empty())
    GTEST_SKIP() << Why;
  TDetach Detach;
  std::shared_ptr<plat::TDisplaySettingsSource> Src = plat::CreateXRandRDisplaySettings(Server.Display().c_str());
  ASSERT_TRUE(Src) << "no RandR on " << Server.Display();
  plat::SetDisplaySettingsSource(Src);
  BuildScreenModes();
  ASSERT_EQ(ScreenModes()->Count(), 1);
  EXPECT_EQ(ScreenModes()->Strings(0).rfind("1280x1024, 32 bit, ", 0), 0u) << ScreenModes()->Strings(0);
  int Index = -1;
  ASSERT_TRUE(FindScreenMode(1280, 1024, Index));
  EXPECT_EQ(Index, 0);
  ChangeScreenMode(0);  // the mode it is in
  EXPECT_FALSE(FindScreenMode(800, 600, Index));

  // A mode the server does not have, slipped into the list, is refused with the exact text.
  plat::TDevMode Forged;
  GetScreenMode(0, Forged);
  Forged.dmPelsWidth = 800;
  Forged.dmPelsHeight = 600;
  ScreenModes()->AddObject("forged", new TScreenModeRecord(Forged));
  try {
    ChangeScreenMode(1);
    ADD_FAILURE() << "the switch was not refused";
  } catch (const EGraphicException& E) {
    EXPECT_EQ(E.Message(), "ChangeScreenMode : Screen mode could not be changed");
  }
  EXPECT_EQ(CurrentOf(Server.Display()).dmPelsWidth, 1280u);
  ChangeScreenMode(-1);
}

TEST_F(XRandRTest, XephyrSwitchesModesAndReturnsToTheOriginal) {
  const std::string Xvfb = FindProgram("Xvfb"), Xephyr = FindProgram("Xephyr");
  if (Xvfb.empty() || Xephyr.empty()) GTEST_SKIP() << "Xvfb or Xephyr is not installed";
  TXServer Host, Nested;
  if (auto Why = Host.Start(Xvfb, {"-screen", "0", "1920x1200x24", "-nolisten", "tcp"}); !Why.empty())
    GTEST_SKIP() << Why;
  if (auto Why = Nested.Start(Xephyr, {"-screen", "1024x768x24", "-resizeable", "-no-host-grab", "-nolisten", "tcp"},
                              Host.Display());
      !Why.empty())
    GTEST_SKIP() << Why;
  const std::string D = Nested.Display();
  TDetach Detach;
  std::shared_ptr<plat::TDisplaySettingsSource> Src = plat::CreateXRandRDisplaySettings(D.c_str());
  ASSERT_TRUE(Src) << "no RandR on " << D;
  plat::SetDisplaySettingsSource(Src);
  BuildScreenModes();
  ASSERT_GT(ScreenModes()->Count(), 2);
  for (int I = 0; I < ScreenModes()->Count(); ++I)
    EXPECT_NE(ScreenModes()->Strings(I).find(" bit, "), std::string::npos);

  int Small = -1, Large = -1;
  ASSERT_TRUE(FindScreenMode(800, 600, Small));
  ASSERT_TRUE(FindScreenMode(1600, 1200, Large));
  ChangeScreenMode(Small);
  EXPECT_EQ(CurrentOf(D).dmPelsWidth, 800u);
  EXPECT_EQ(CurrentOf(D).dmPelsHeight, 600u);
  ChangeScreenMode(Large);  // the screen grows before the output takes the mode
  EXPECT_EQ(CurrentOf(D).dmPelsWidth, 1600u);
  ChangeScreenMode(-1);
  EXPECT_EQ(CurrentOf(D).dmPelsWidth, 1024u);
  EXPECT_EQ(CurrentOf(D).dmPelsHeight, 768u);
  ChangeScreenMode(-1);  // nothing switched: nothing to do

  // A program that ends switched leaves the display as it found it.
  ChangeScreenMode(Small);
  EXPECT_EQ(CurrentOf(D).dmPelsWidth, 800u);
  plat::SetDisplaySettingsSource(nullptr);
  Src.reset();
  EXPECT_EQ(CurrentOf(D).dmPelsWidth, 1024u);
}

TEST_F(XRandRTest, XvfbWithFurtherModesComesBackToItsOwnSizeAndMode) {
  const std::string Xvfb = FindProgram("Xvfb");
  if (Xvfb.empty()) GTEST_SKIP() << "Xvfb is not installed";
  TXServer Server;
  if (auto Why = Server.Start(Xvfb, {"-screen", "0", "1024x768x24", "-nolisten", "tcp"}); !Why.empty())
    GTEST_SKIP() << Why;
  const std::string D = Server.Display();
  xtools::TDisplay X(D);
  ASSERT_TRUE(X.AddModes({{800, 600}, {640, 480}, {1024, 768}}, {1024, 768}));
  auto Screen = [&] {
    int W = 0, H = 0;
    X.ScreenSize(W, H);
    return std::to_string(W) + "x" + std::to_string(H) + " " + X.OutputMode();
  };
  TDetach Detach;
  std::shared_ptr<plat::TDisplaySettingsSource> Src = plat::CreateXRandRDisplaySettings(D.c_str());
  ASSERT_TRUE(Src);
  plat::SetDisplaySettingsSource(Src);
  BuildScreenModes();
  int Small = -1, Smaller = -1;
  ASSERT_TRUE(FindScreenMode(800, 600, Small));
  ASSERT_TRUE(FindScreenMode(640, 480, Smaller));
  // Each switch after the first starts from a screen the connection did not open with.
  ChangeScreenMode(Small);
  EXPECT_EQ(Screen(), "800x600 800x600_60");
  ChangeScreenMode(Smaller);
  EXPECT_EQ(Screen(), "640x480 640x480_60");
  ChangeScreenMode(-1);
  EXPECT_EQ(Screen(), "1024x768 1024x768_60");
  ChangeScreenMode(Smaller);
  plat::SetDisplaySettingsSource(nullptr);
  Src.reset();
  EXPECT_EQ(Screen(), "1024x768 1024x768_60") << "restored as the program ends";
}
