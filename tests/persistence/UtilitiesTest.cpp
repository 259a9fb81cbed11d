#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

#include "persistence/CPUUtility.h"
#include "persistence/FilesTool.h"
#include "persistence/MultimediaTools.h"
#include "persistence/WindowsTool.h"
#include "platform/Classes.h"
#include "platform/Platform.h"
#include "platform/SysUtils.h"
#include "tests/support/TestEnv.h"

using testsupport::MessageBoxes;

namespace {
TDateTime NoonDec9() { return 46000.5; }  // 9 December 2025, 12:00
}

TEST(ShowLastError, CodeZeroShowsNothing) {
  EXPECT_FALSE(ShowLastError("anything", 0));
  EXPECT_TRUE(MessageBoxes().empty());
}

TEST(ShowLastError, ErrorBoxWithContextAndSystemText) {
  EXPECT_TRUE(ShowLastError("WindowTool.GetTempDir", ENOENT));
  ASSERT_EQ(MessageBoxes().size(), 1u);
  const auto& Box = MessageBoxes()[0];
  EXPECT_EQ(Box.Caption, "Error");
  EXPECT_EQ(Box.Flags, 0x40u);
  EXPECT_EQ(Box.Text, "WindowTool.GetTempDir\r\n" + plat::SystemErrorText(ENOENT));
  EXPECT_FALSE(plat::SystemErrorText(ENOENT).empty());
}

TEST(Directories, TempDirHasItsSeparatorAndFollowsTMPDIR) {
  EXPECT_EQ(GetTempDir(), testsupport::TempDir() + "/");
  setenv("TMPDIR", "/nonexistent-dir-for-test", 1);
  EXPECT_EQ(GetTempDir(), "/tmp/");
}

TEST(Directories, SystemDirectoryIsCreatedWithoutSeparator) {
  const std::string Dir = GetSystemDirectory();
  EXPECT_EQ(Dir, testsupport::TestDir() + "/data/Zerozezu/ScreenSavers");
  struct stat St{};
  EXPECT_EQ(stat(Dir.c_str(), &St), 0);
  EXPECT_TRUE(S_ISDIR(St.st_mode));
}

TEST(Directories, SystemDirectoryFailureIsReportedOnce) {
  // A file where the directory should be.
  const std::string Blocker = testsupport::TestDir() + "/blocker";
  testsupport::WriteFileBytes(Blocker, "x");
  setenv("RIZUDER_SYSTEM_DIR", (Blocker + "/sub").c_str(), 1);
  EXPECT_EQ(GetSystemDirectory(), "");
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0].Text.rfind("WindowTool.GetSystemDirectory\r\n", 0), 0u);
}

TEST(WindowsVersion, NtFamilyUnlessAskedForTheOther) {
  EXPECT_EQ(WindowsVersion().Platform, wpWindowsNT);
  EXPECT_GT(WindowsVersion().Major, 0);
  EXPECT_EQ(WindowsVersion().CSDVersion, "");
  setenv("RIZUDER_PLATFORM", "9x", 1);
  TWindowsVersionInfo Info;
  GetWindowsVersion(Info);
  EXPECT_EQ(Info.Platform, wpWindows9x);
}

TEST(MakeUniqueFileName, CounterFromTheDateBytes) {
  plat::SetNowHook(NoonDec9);
  const std::string Dir = testsupport::TempDir();
  std::string Name;
  MakeUniqueFileName(Dir, "SCR_MEDIA", "jpg", Name);
  EXPECT_EQ(Name, Dir + "/SCR_MEDIA40E6761000000000.jpg");
  testsupport::WriteFileBytes(Name, "taken");
  MakeUniqueFileName(Dir + "/", "SCR_MEDIA", "jpg", Name);  // no second separator
  EXPECT_EQ(Name, Dir + "/SCR_MEDIA40E6761000000001.jpg");
}

TEST(MakeUniqueFileName, DirectoriesDoNotCountAndEmptyDirIsRoot) {
  plat::SetNowHook(NoonDec9);
  const std::string Dir = testsupport::TempDir();
  ASSERT_EQ(mkdir((Dir + "/EMB_FNT_40E6761000000000.TTF").c_str(), 0700), 0);
  std::string Name;
  MakeUniqueFileName(Dir, "EMB_FNT_", "TTF", Name);
  EXPECT_EQ(Name, Dir + "/EMB_FNT_40E6761000000000.TTF");
  MakeUniqueFileName("", "X", "y", Name);
  EXPECT_EQ(Name, "/X40E6761000000000.y");
}

TEST(CreateUniqueFile, PassesOverEveryTakenNameAndMakesAFreshPrivateFile) {
  plat::SetNowHook(NoonDec9);
  const std::string Dir = testsupport::TempDir();
  const std::string Target = testsupport::TestDir() + "/target";
  const std::string Absent = testsupport::TestDir() + "/absent";
  testsupport::WriteFileBytes(Target, "bleibt");
  const auto Name = [&](int I) { return Dir + "/SCR_MEDIA40E676100000000" + std::to_string(I) + ".jpg"; };
  testsupport::WriteFileBytes(Name(0), "taken");
  ASSERT_EQ(symlink(Target.c_str(), Name(1).c_str()), 0);
  ASSERT_EQ(symlink(Absent.c_str(), Name(2).c_str()), 0);  // a dangling link would create its target
  ASSERT_EQ(mkdir(Name(3).c_str(), 0700), 0);
  std::string FileName = "vorher";
  {
    std::unique_ptr<TFileStream> F = CreateUniqueFile(Dir, "SCR_MEDIA", "jpg", FileName);
    ASSERT_NE(F, nullptr);
    F->WriteBuffer("neu", 3);
  }
  EXPECT_EQ(FileName, Name(4));
  struct stat St{};
  ASSERT_EQ(lstat(FileName.c_str(), &St), 0);
  EXPECT_TRUE(S_ISREG(St.st_mode));
  EXPECT_EQ(St.st_mode & 07777, 0600u);
  EXPECT_EQ(testsupport::ReadFileBytes(FileName), "neu");
  EXPECT_EQ(testsupport::ReadFileBytes(Name(0)), "taken");
  EXPECT_EQ(testsupport::ReadFileBytes(Target), "bleibt");
  EXPECT_NE(access(Absent.c_str(), F_OK), 0);

  // Any other failure is the creation error, and no name is handed out.
  FileName = "vorher";
  EXPECT_THROW(CreateUniqueFile(Dir + "/fehlt", "X", "y", FileName), EFOpenError);
  EXPECT_EQ(FileName, "vorher");
}

TEST(FileVersionStrings, NoBlockLeavesOutputsAsPassed) {
  const std::string File = testsupport::TempDir() + "/plain";
  testsupport::WriteFileBytes(File, "no version here");
  std::string S[8] = {"a", "b", "c", "d", "e", "f", "g", "h"};
  EXPECT_FALSE(GetFileVersionStrings(File, S[0], S[1], S[2], S[3], S[4], S[5], S[6], S[7]));
  EXPECT_EQ(S[0] + S[7], "ah");
}

TEST(FileVersionStrings, LooksUpUnderTheFirstTranslation) {
  const std::string File = testsupport::TempDir() + "/versioned";
  testsupport::WriteFileBytes(File, "x");
  plat::SetFileVersionBlock(
      File, plat::BuildVersionBlock({{0x0407, 0x04E4}, {0x0409, 0x04B0}},
                                    {{"CompanyName", "Zerozezu"},
                                     {"FileVersion", "1.2.3.4"},
                                     {"ProductName", "Gr\xFC\xDF" "e"}}));
  std::string S[8] = {"a", "b", "c", "d", "e", "f", "g", "h"};
  EXPECT_TRUE(GetFileVersionStrings(File, S[0], S[1], S[2], S[3], S[4], S[5], S[6], S[7]));
  EXPECT_EQ(S[0], "Zerozezu");
  EXPECT_EQ(S[1], "b");
  EXPECT_EQ(S[2], "1.2.3.4");
  EXPECT_EQ(S[6], "Grüße");
  EXPECT_EQ(S[7], "h");
  plat::SetFileVersionBlock(File, {});
}

TEST(FileVersionStrings, MissingTranslationListGivesTrueAndNoChange) {
  const std::string File = testsupport::TempDir() + "/versioned";
  testsupport::WriteFileBytes(File, "x");
  plat::SetFileVersionBlock(File, plat::BuildVersionBlock({{0x0407, 0x04E4}},
                                                          {{"FileVersion", "9"}}, false));
  std::string S[8] = {"a", "b", "c", "d", "e", "f", "g", "h"};
  EXPECT_TRUE(GetFileVersionStrings(File, S[0], S[1], S[2], S[3], S[4], S[5], S[6], S[7]));
  EXPECT_EQ(S[2], "c");
  plat::SetFileVersionBlock(File, {});
}

TEST(ProcessorFeatures, OverrideAndDetection) {
  OverrideProcessorFeatures(false, true);
  EXPECT_FALSE(HasMMX());
  EXPECT_TRUE(Has3DNow());
  ClearProcessorOverride();
  EXPECT_EQ(HasMMX(), MMXAvailable);
#if defined(__x86_64__)
  EXPECT_TRUE(MMXAvailable);  // every x86-64 processor has MMX
#endif
}

TEST(TickClock, FollowsTheHookAndWraps) {
  uint32_t T = 0xFFFFFFF0u;
  plat::SetTickHook([&] { return T; });
  EXPECT_EQ(GetTickMs(), 0xFFFFFFF0u);
  T += 0x20;
  EXPECT_EQ(GetTickMs(), 0x10u);
  // Without the hook: the monotonic clock in whole milliseconds, cut to 32 bits.
  plat::SetTickHook({});
  const auto MonotonicMs = [] {
    timespec Ts{};
    clock_gettime(CLOCK_MONOTONIC, &Ts);
    return static_cast<uint64_t>(Ts.tv_sec) * 1000u + static_cast<uint64_t>(Ts.tv_nsec) / 1000000u;
  };
  const uint64_t Before = MonotonicMs();
  const uint32_t Tick = GetTickMs();
  const uint64_t After = MonotonicMs();
  EXPECT_LE(static_cast<uint32_t>(Tick - static_cast<uint32_t>(Before)), static_cast<uint32_t>(After - Before));
}
