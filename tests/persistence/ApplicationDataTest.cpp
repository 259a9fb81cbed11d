#include <gtest/gtest.h>

#include <sys/stat.h>

#include "persistence/ApplicationData.h"
#include "tests/support/TestEnv.h"

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {
const std::string KTrailer714752("\x00\xE8\x0A\x00\x00\x00\x00\x00" "APPDATA\x00", 16);

std::string Host(size_t N, char Fill = 'H') { return std::string(N, Fill); }

std::string Data100() {
  std::string D;
  for (int I = 0; I < 100; ++I) D.push_back(static_cast<char>(I));
  return D;
}

std::string MakeFile(const std::string& Name, const std::string& Bytes) {
  const std::string Path = testsupport::TempDir() + "/" + Name;
  WriteFileBytes(Path, Bytes);
  return Path;
}

int64_t FileSize(const std::string& Path) {
  struct stat St{};
  return stat(Path.c_str(), &St) == 0 ? St.st_size : -1;
}

void ExpectRangeError(const std::function<void()>& F) {
  try {
    F();
    FAIL() << "no error";
  } catch (const EAppstreamError& E) {
    EXPECT_STREQ(E.what(), "TApplicationDataStream.Seek : Range error");
  }
}
}  // namespace

TEST(AppDataWorkedExample, PositionSizeAndSeeks) {
  const std::string Path = MakeFile("host", Host(714752) + Data100() + KTrailer714752);
  ASSERT_EQ(FileSize(Path), 714868);
  TApplicationDataStream S(Path, adaRead);
  EXPECT_EQ(S.StartOffset(), 714752);
  EXPECT_EQ(S.Position(), 0);
  EXPECT_EQ(S.Size(), 100);
  EXPECT_EQ(S.Seek(0, TSeekOrigin::soEnd), 100);
  ExpectRangeError([&] { S.Seek(-101, TSeekOrigin::soEnd); });
  ExpectRangeError([&] { S.Seek(-1, TSeekOrigin::soBeginning); });
  // Past the data end is no error.
  EXPECT_EQ(S.Seek(110, TSeekOrigin::soBeginning), 110);
}

TEST(AppDataWorkedExample, ReadsRunIntoTheTrailer) {
  const std::string Path = MakeFile("host", Host(714752) + Data100() + KTrailer714752);
  TApplicationDataStream S(Path, adaRead);
  uint8_t First;
  ASSERT_EQ(S.Read(&First, 1), 1);
  EXPECT_EQ(First, 0);
  S.SetPosition(90);
  char Buf[120];
  ASSERT_EQ(S.Read(Buf, 120), 26);
  EXPECT_EQ(static_cast<uint8_t>(Buf[0]), 90);
  EXPECT_EQ(std::string(Buf + 10, 16), KTrailer714752);
}

TEST(AppDataTrailer, ABadMagicByteIsNoTrailer) {
  std::string Bad = KTrailer714752;
  Bad[15] = '\x01';
  const std::string Bytes = Host(714752) + Data100() + Bad;
  const std::string Path = MakeFile("host", Bytes);
  {
    TApplicationDataStream S(Path, adaRead);
    EXPECT_EQ(S.StartOffset(), static_cast<int64_t>(Bytes.size()));
    char C;
    EXPECT_EQ(S.Read(&C, 1), 0);
    // Without a trailer the data end lies 16 bytes in front of the data's start.
    ExpectRangeError([&] { S.Size(); });
  }
  EXPECT_EQ(ReadFileBytes(Path), Bytes);  // a read-only open adds nothing
}

TEST(AppDataTrailer, WritableOpenAddsAnEmptyTrailer) {
  const std::string Path = MakeFile("host", Host(1000));
  {
    TApplicationDataStream S(Path, adaReadWrite);
    EXPECT_EQ(S.Size(), 0);
    EXPECT_EQ(S.Position(), 0);
  }
  const std::string Bytes = ReadFileBytes(Path);
  ASSERT_EQ(Bytes.size(), 1016u);
  EXPECT_EQ(Bytes.substr(1000),
            std::string("\xE8\x03\x00\x00\x00\x00\x00\x00" "APPDATA\x00", 16));
}

TEST(AppDataTrailer, WriteOnlyOpenCannotSeeTheTrailer) {
  const std::string Path = MakeFile("host", Host(714752) + Data100() + KTrailer714752);
  { TApplicationDataStream S(Path, adaWrite); }
  const std::string Bytes = ReadFileBytes(Path);
  ASSERT_EQ(Bytes.size(), 714868u + 16u);
  TApplicationDataStream R(Path, adaRead);
  EXPECT_EQ(R.StartOffset(), 714868);
  EXPECT_EQ(R.Size(), 0);
}

TEST(AppDataTrailer, ShortFilesHaveNoTrailer) {
  const std::string Path = MakeFile("tiny", "APPDAT");
  TApplicationDataStream S(Path, adaRead);
  EXPECT_EQ(S.StartOffset(), 6);
}

TEST(AppDataWrite, OneByteLeavesFifteenSlackBytes) {
  const std::string Path = MakeFile("host", Host(64));
  {
    TApplicationDataStream S(Path, adaReadWrite);
    S.WriteBuffer("x", 1);
    EXPECT_EQ(S.Position(), 1);
    EXPECT_EQ(S.Size(), 16);
  }
  EXPECT_EQ(FileSize(Path), 64 + 32);
  const std::string Bytes = ReadFileBytes(Path);
  EXPECT_EQ(Bytes[64], 'x');
  // The old trailer's remaining 15 bytes now count as data.
  EXPECT_EQ(Bytes.substr(65, 15), std::string("\x00\x00\x00\x00\x00\x00\x00" "APPDATA\x00", 15));
}

TEST(AppDataWrite, SixteenBytesReplaceTheTrailer) {
  const std::string Path = MakeFile("host", Host(64));
  {
    TApplicationDataStream S(Path, adaReadWrite);
    S.WriteBuffer("0123456789abcdef", 16);
    EXPECT_EQ(S.Size(), 16);
  }
  const std::string Bytes = ReadFileBytes(Path);
  ASSERT_EQ(Bytes.size(), 64u + 32u);
  EXPECT_EQ(Bytes.substr(64, 16), "0123456789abcdef");
  EXPECT_EQ(Bytes.substr(80), std::string("\x40\x00\x00\x00\x00\x00\x00\x00" "APPDATA\x00", 16));
}

TEST(AppDataWrite, WritesInsideTheDataKeepTheSize) {
  const std::string Path = MakeFile("host", Host(714752) + Data100() + KTrailer714752);
  TApplicationDataStream S(Path, adaReadWrite);
  S.SetPosition(10);
  S.WriteBuffer("zz", 2);
  EXPECT_EQ(S.Size(), 100);
  EXPECT_EQ(FileSize(Path), 714868);
}

TEST(AppDataWrite, ReadOnlyStreamWritesNothing) {
  const std::string Bytes = Host(714752) + Data100() + KTrailer714752;
  const std::string Path = MakeFile("host", Bytes);
  {
    TApplicationDataStream S(Path, adaRead);
    S.Seek(0, TSeekOrigin::soEnd);
    EXPECT_EQ(S.Write("abc", 3), 0);
    EXPECT_THROW(S.SetSize(int64_t{5}), EOSError);
  }
  EXPECT_EQ(ReadFileBytes(Path), Bytes);
}

TEST(AppDataSetSize, CutsAndWritesAFreshTrailer) {
  const std::string Path = MakeFile("host", Host(714752) + Data100() + KTrailer714752);
  {
    TApplicationDataStream S(Path, adaReadWrite);
    S.SetSize(5);
    EXPECT_EQ(S.Position(), 5);
    EXPECT_EQ(S.Size(), 5);
  }
  const std::string Bytes = ReadFileBytes(Path);
  ASSERT_EQ(Bytes.size(), 714752u + 5u + 16u);
  EXPECT_EQ(Bytes.substr(714757), KTrailer714752);
  EXPECT_EQ(Bytes.substr(714752, 5), Data100().substr(0, 5));
}

TEST(AppDataNesting, TwoTrailersInARow) {
  // An inner file (host + data + trailer) carried as the data of an outer file.
  const std::string Inner = Host(300, 'i') + "inner" +
                            std::string("\x2C\x01\x00\x00\x00\x00\x00\x00" "APPDATA\x00", 16);
  const std::string Outer = Host(200, 'o') + Inner +
                            std::string("\xC8\x00\x00\x00\x00\x00\x00\x00" "APPDATA\x00", 16);
  const std::string Path = MakeFile("outer", Outer);
  TApplicationDataStream S(Path, adaRead);
  EXPECT_EQ(S.Size(), static_cast<int64_t>(Inner.size()));
  std::string Got(Inner.size(), '\0');
  S.ReadBuffer(Got.data(), static_cast<int32_t>(Got.size()));
  EXPECT_EQ(Got, Inner);

  const std::string InnerPath = MakeFile("inner", Got);
  TApplicationDataStream T(InnerPath, adaRead);
  EXPECT_EQ(T.Size(), 5);
}

TEST(AppDataOpen, MissingFileRaisesAndCreatesNothing) {
  const std::string Path = testsupport::TempDir() + "/absent";
  EXPECT_THROW(TApplicationDataStream(Path, adaReadWrite), EFOpenError);
  EXPECT_EQ(FileSize(Path), -1);
}

TEST(AppDataOpen, HostileStartOffsetIsNoCrash) {
  // A start offset beyond the file: reads give nothing and the size is a range error.
  const std::string Path =
      MakeFile("host", Host(50) + std::string("\xFF\xFF\x00\x00\x00\x00\x00\x00" "APPDATA\x00", 16));
  TApplicationDataStream S(Path, adaRead);
  char C;
  EXPECT_EQ(S.Read(&C, 1), 0);
  ExpectRangeError([&] { S.Size(); });
  const std::string Neg =
      MakeFile("neg", Host(50) + std::string("\x00\x00\x00\x00\x00\x00\x00\x80" "APPDATA\x00", 16));
  TApplicationDataStream N(Neg, adaRead);
  EXPECT_THROW(N.Size(), Exception);
}

TEST(AppDataOpen, WritableOpenExcludesOtherWriters) {
  const std::string Path = MakeFile("host", Host(10));
  TApplicationDataStream W(Path, adaReadWrite);
  EXPECT_THROW(TApplicationDataStream(Path, adaWrite), EFOpenError);
  TApplicationDataStream R(Path, adaRead);  // readers are welcome
  EXPECT_EQ(R.Size(), 0);
}
