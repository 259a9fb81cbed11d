#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "platform/Classes.h"
#include "platform/SysUtils.h"

TEST(Win1252, EveryByteSurvivesTheRoundTrip) {
  std::string All;
  for (int I = 0; I < 256; ++I) All.push_back(static_cast<char>(I));
  const std::string Utf8 = Win1252ToUtf8(All);
  EXPECT_EQ(Utf8ToWin1252(Utf8), All);
}

TEST(Win1252, UmlautsAndEuroAreSingleBytes) {
  EXPECT_EQ(Utf8ToWin1252("beschädigt"), "besch\xE4" "digt");
  EXPECT_EQ(Utf8ToWin1252("€"), "\x80");
  EXPECT_EQ(Win1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
  EXPECT_EQ(Utf8ToWin1252("\u4E2D"), "?");
}

TEST(CheckedArithmetic, OverflowAndDivisionRaise) {
  EXPECT_THROW(CheckedAdd<int32_t>(INT32_MAX, 1), EIntOverflow);
  EXPECT_THROW(CheckedSub<int32_t>(INT32_MIN, 1), EIntOverflow);
  EXPECT_THROW(CheckedMod<int32_t>(5, 0), EDivByZero);
  EXPECT_EQ(CheckedMod<int32_t>(-7, 3), -1);
  EXPECT_THROW(RangeChecked<int32_t>(int64_t{1} << 31), ERangeError);
}

TEST(Text, HexIntAndTrim) {
  EXPECT_EQ(IntToHex(0x40E6761000000000ull, 16), "40E6761000000000");
  EXPECT_EQ(IntToHex(10, 8), "0000000A");
  EXPECT_EQ(Trim("  \t x y \r\n"), "x y");
  EXPECT_EQ(StrToInt("1234"), 1234);
  EXPECT_EQ(StrToInt("-3"), -3);
  EXPECT_THROW(StrToInt("12a"), EConvertError);
  EXPECT_EQ(ExtractFileName("C:\\Pics\\a.jpg"), "a.jpg");
  EXPECT_EQ(ExtractFileExt("x/y.mpeg"), ".mpeg");
  EXPECT_EQ(UpperCase("/scräm"), "/SCRäM");
}

TEST(Collation, SymbolsDigitsLettersCaseIgnored) {
  EXPECT_LT(AnsiCompareText("City", "EMail"), 0);
  EXPECT_LT(AnsiCompareText("EMail", "ZIP"), 0);
  EXPECT_LT(AnsiCompareText("_Items", "Count"), 0);
  EXPECT_LT(AnsiCompareText("Item9", "ItemA"), 0);
  EXPECT_EQ(AnsiCompareText("zip", "ZIP"), 0);
  EXPECT_LT(AnsiCompareText("Apfel", "Äpfel"), 0);
  EXPECT_LT(AnsiCompareText("Äpfel", "Apfelb"), 0);
}

TEST(DateTime, EncodeAndTryDecode) {
  EXPECT_DOUBLE_EQ(EncodeDateTime(2025, 12, 9, 12, 0, 0, 0), 46000.5);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0, 0), 0.0);
  const double Inf = std::numeric_limits<double>::infinity();
  struct Case {
    double Value;
    int Y, M, D;  // Y 0: no date
  };
  const Case Cases[] = {
      {46000.5, 2025, 12, 9},
      {-1.5, 1899, 12, 29},  // one day before the epoch, at noon
      {-693593.0, 1, 1, 1},
      {-693593.75, 1, 1, 1},
      {2958465.999, 9999, 12, 31},
      {-693594.0, 0, 0, 0},
      {2958466.0, 0, 0, 0},
      {std::nan(""), 0, 0, 0},
      {Inf, 0, 0, 0},
      {-Inf, 0, 0, 0},
      {1e300, 0, 0, 0},
      {-1e300, 0, 0, 0},
  };
  for (const Case& C : Cases) {
    int Y = 0, M = 0, D = 0;
    EXPECT_EQ(TryDecodeDate(C.Value, Y, M, D), C.Y != 0) << C.Value;
    EXPECT_EQ(std::vector<int>({Y, M, D}), std::vector<int>({C.Y, C.M, C.D})) << C.Value;
  }
}

TEST(MemoryStream, ReadWriteSeekAndShortReads) {
  TMemoryStream M;
  M.WriteBuffer("abcdef", 6);
  EXPECT_EQ(M.Size(), 6);
  M.SetPosition(4);
  char Buf[8] = {};
  EXPECT_EQ(M.Read(Buf, 8), 2);
  EXPECT_STREQ(Buf, "ef");
  M.SetPosition(5);
  EXPECT_THROW(M.ReadBuffer(Buf, 2), EReadError);
}

TEST(StringList, SortedFindAndIndexError) {
  TStringList L;
  L.SetSorted(true);
  L.Duplicates = TDuplicates::dupError;
  L.Add("ZIP");
  L.Add("City");
  L.Add("EMail");
  EXPECT_EQ(L.Strings(0), "City");
  EXPECT_EQ(L.Strings(2), "ZIP");
  int I;
  EXPECT_TRUE(L.Find("zip", I));
  EXPECT_EQ(I, 2);
  EXPECT_THROW(L.Add("city"), EStringListError);
  try {
    L.Strings(3);
    FAIL();
  } catch (const EListError& E) {
    EXPECT_STREQ(E.what(), "List index out of bounds (3)");
  }
}
