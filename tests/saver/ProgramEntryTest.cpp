#include <gtest/gtest.h>

#include <QTimer>

#include <cstdlib>

#include "platform/Platform.h"
#include "platform/Registry.h"
#include "saver/ProgramEntry.h"
#include "saver/ScreenSaverUtils.h"
#include "tests/support/TestEnv.h"

namespace {
std::string GCalled;

// A form that closes itself as soon as the message loop runs.
TFormFactory Recording(const char* Name) {
  return [Name]() -> std::unique_ptr<QWidget> {
    GCalled += Name;
    auto W = std::make_unique<QWidget>();
    QWidget* P = W.get();
    QTimer::singleShot(0, P, [P] { P->close(); });
    return W;
  };
}

int RunWith(std::vector<std::string> Args) {
  Args.insert(Args.begin(), "Rizuder");
  plat::SetCommandLine(Args);
  ParseScreenSaverCommandLine();
  GCalled.clear();
  TSaverForms Forms{Recording("S"), Recording("P"), Recording("C")};
  return ProgramEntry(Forms);
}

std::string StandinDir(const char* Which) { return testsupport::BuildPath(std::string("tests/saver/") + Which); }
}  // namespace

TEST(ModeDispatch, EachModeReachesItsForm) {
  struct Case {
    std::vector<std::string> Args;
    const char* Form;
  } const Cases[] = {
      {{}, "C"},          {{"/c"}, "C"},       {{"/C"}, "C"},  {{"-c"}, "C"},   {{"c"}, "C"},
      {{"/c:1234"}, "C"}, {{"/x"}, "C"},       {{"-"}, "C"},   {{"/"}, "C"},    {{"//s"}, "C"},
      {{"/s"}, "S"},      {{"/S"}, "S"},       {{"-s"}, "S"},  {{"s"}, "S"},    {{"/scr"}, "S"},
      {{"/p", "1234"}, "P"}, {{"/l"}, ""},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(RunWith(C.Args), 0);
    EXPECT_EQ(GCalled, C.Form) << (C.Args.empty() ? std::string("(none)") : C.Args[0]);
  }
  EXPECT_EQ(plat::ApplicationTitle(), "Dodeda Zedud Azireze");
}

TEST(ModeDispatch, PreviewTakesTheHostWindow) {
  RunWith({"/p", "1234"});
  EXPECT_EQ(GetSaverParentWindow(), 1234u);
  RunWith({"/c:1234"});
  EXPECT_EQ(GetSaverParentWindow(), 0u);
}

TEST(ModeDispatch, AbsentFormSaysSoAndOpensNothing) {
  plat::SetCommandLine({"Rizuder", "/s"});
  TSaverForms None;
  EXPECT_EQ(ProgramEntry(None), 2);
}

TEST(PasswordChange, MissingLibraryIsReportedAndNoFormRuns) {
  EXPECT_EQ(RunWith({"/a", "1234"}), 1);
  EXPECT_EQ(GCalled, "");
  ASSERT_EQ(testsupport::MessageBoxes().size(), 1u);
  EXPECT_EQ(testsupport::MessageBoxes()[0].Text, "Error accessing mpr.dll");
}

TEST(PasswordChange, MissingEntryIsReported) {
  setenv("RIZUDER_STANDIN_DIR", StandinDir("standins-empty").c_str(), 1);
  EXPECT_EQ(RunWith({"/a"}), 1);
  ASSERT_EQ(testsupport::MessageBoxes().size(), 1u);
  EXPECT_EQ(testsupport::MessageBoxes()[0].Text, "Function PwdChangePasswordA in mpr.dll not found");
}

TEST(PasswordChange, CallsTheProviderWithTheOwnerWindow) {
  setenv("RIZUDER_STANDIN_DIR", StandinDir("standins").c_str(), 1);
  const std::string Log = testsupport::TempDir() + "/log";
  setenv("RIZUDER_STANDIN_LOG", Log.c_str(), 1);
  EXPECT_EQ(RunWith({"/a", "1234"}), 0);
  EXPECT_EQ(RunWith({"/A", "x"}), 0);
  EXPECT_EQ(testsupport::ReadFileBytes(Log), "PwdChangePasswordA SCRSAVE 1234\nPwdChangePasswordA SCRSAVE 0\n");
  EXPECT_TRUE(testsupport::MessageBoxes().empty());
  unsetenv("RIZUDER_STANDIN_LOG");
}

TEST(PasswordCheck, VerifiesAndRestoresTheCursorOnEveryPath) {
  const int Before = plat::CursorCount();
  EXPECT_THROW(VerifySaverPassword(nullptr), Exception);
  EXPECT_EQ(plat::CursorCount(), Before);

  setenv("RIZUDER_STANDIN_DIR", StandinDir("standins-empty").c_str(), 1);
  try {
    VerifySaverPassword(nullptr);
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Function VerifyScreenSavePwd in password.cpl not found");
  }
  setenv("RIZUDER_STANDIN_DIR", StandinDir("standins").c_str(), 1);
  setenv("RIZUDER_STANDIN_ANSWER", "1", 1);
  EXPECT_TRUE(VerifySaverPassword(nullptr));
  setenv("RIZUDER_STANDIN_ANSWER", "0", 1);
  EXPECT_FALSE(VerifySaverPassword(nullptr));
  EXPECT_EQ(plat::CursorCount(), Before);
  unsetenv("RIZUDER_STANDIN_ANSWER");
}

TEST(PasswordFlag, ReadFromTheDesktopKeyNeverRaising) {
  EXPECT_FALSE(SaverPasswordEnabled());
  TRegistry R;
  EXPECT_FALSE(R.KeyExists("Control Panel\\desktop"));  // a read never creates the key
  ASSERT_TRUE(R.OpenKey("Control Panel\\desktop", true));
  R.WriteString("ScreenSaveUsePassword", "1");
  EXPECT_FALSE(SaverPasswordEnabled());  // not an integer value
  R.WriteInteger("ScreenSaveUsePassword", 0);
  EXPECT_FALSE(SaverPasswordEnabled());
  R.WriteInteger("ScreenSaveUsePassword", 1);
  EXPECT_TRUE(SaverPasswordEnabled());
  testsupport::WriteFileBytes(plat::RegistryStore::FileFor(HKEY_CURRENT_USER), "damaged");
  EXPECT_FALSE(SaverPasswordEnabled());
}

TEST(ControlPanel, ActivationRecordsTheActiveSaver) {
  ActivateScreenSaverFile("/home/u/Demo Saver.scr");
  TRegistry R;
  ASSERT_TRUE(R.OpenKeyReadOnly("Control Panel\\desktop"));
  EXPECT_EQ(R.ReadString("SCRNSAVE.EXE"), "/home/u/Demo Saver.scr");

  std::vector<plat::ShellCall> Calls;
  plat::SetShellHook([&](const plat::ShellCall& C) { Calls.push_back(C); });
  ActivateScreenSaverFile("/p/x.scr");
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_EQ(Calls[0].Verb, "open");
  EXPECT_EQ(Calls[0].File, "rundll32.exe");
  EXPECT_EQ(Calls[0].Parameters, "desk.cpl,InstallRizuder /p/x.scr");
}
