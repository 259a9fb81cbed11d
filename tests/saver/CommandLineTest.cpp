#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "saver/ScreenSaverUtils.h"

namespace {
char ModeOf(std::vector<std::string> Args) {
  Args.insert(Args.begin(), "Rizuder");
  plat::SetCommandLine(Args);
  ParseScreenSaverCommandLine();
  return ScreenSaverModeChar();
}
}  // namespace

TEST(CommandLine, ModeCharacter) {
  EXPECT_EQ(ModeOf({}), 'C');
  for (const char* A : {"/c", "/C", "-c", "c", "/c:1234"}) EXPECT_EQ(ModeOf({A}), 'C') << A;
  EXPECT_EQ(ModeOf({"/x"}), 'X');
  for (const char* A : {"/s", "/S", "-s", "s", "/scr"}) EXPECT_EQ(ModeOf({A}), 'S') << A;
  EXPECT_EQ(ModeOf({"//s"}), '/');
  EXPECT_EQ(ModeOf({"-"}), '\0');
  EXPECT_EQ(ModeOf({"/"}), '\0');
  EXPECT_EQ(ModeOf({"/p", "1234"}), 'P');
}

TEST(CommandLine, ParentWindowFromSecondArgument) {
  ModeOf({"/p", "1234"});
  EXPECT_EQ(GetSaverParentWindow(), 1234u);
  ModeOf({"/c:1234"});
  EXPECT_EQ(GetSaverParentWindow(), 0u);
  ModeOf({"/p", "abc"});
  EXPECT_EQ(GetSaverParentWindow(), 0u);
  ModeOf({"/p", "-5"});
  EXPECT_EQ(GetSaverParentWindow(), 0u);
}
