#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include "platform/Registry.h"
#include "tests/support/TestEnv.h"

namespace {
std::string StoreText() { return testsupport::ReadFileBytes(plat::RegistryStore::FileFor(HKEY_CURRENT_USER)); }

TRegistry OpenAt(const std::string& Key) {
  TRegistry R;
  R.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_TRUE(R.OpenKey(Key, true));
  return R;
}
}  // namespace

TEST(RegistryKeys, CaseInsensitiveAndCasePreserving) {
  TRegistry R = OpenAt("Software\\Zerozezu\\Vovizirid");
  R.WriteString("Name", "x");
  TRegistry Q;
  EXPECT_TRUE(Q.OpenKeyReadOnly("SOFTWARE\\zerozezu\\VOVIZIRID"));
  EXPECT_EQ(Q.ReadString("NAME"), "x");
  TRegistry P;
  ASSERT_TRUE(P.OpenKey("software", false));
  TStringList Names;
  P.GetKeyNames(Names);
  ASSERT_EQ(Names.Count(), 1);
  EXPECT_EQ(Names.Strings(0), "Zerozezu");
  // Writing under another spelling keeps the first one.
  Q.CloseKey();
  ASSERT_TRUE(Q.OpenKey("software\\ZEROZEZU\\vovizirid", false));
  Q.WriteString("name", "y");
  TStringList Values;
  Q.GetValueNames(Values);
  ASSERT_EQ(Values.Count(), 1);
  EXPECT_EQ(Values.Strings(0), "Name");
  EXPECT_NE(StoreText().find("[HKEY_CURRENT_USER\\Software\\Zerozezu\\Vovizirid]"), std::string::npos);
}

TEST(RegistryKeys, ReadOnlyOpenCreatesNothingAndEmptySegmentsFail) {
  TRegistry R;
  EXPECT_FALSE(R.OpenKeyReadOnly("Software\\Missing"));
  EXPECT_FALSE(R.KeyExists("Software"));
  EXPECT_FALSE(R.OpenKey("Software\\a\\\\UserProperties", true));
  EXPECT_FALSE(R.KeyExists("Software\\a"));
  // A trailing separator names the same key.
  EXPECT_TRUE(R.OpenKey("Software\\b\\", true));
  EXPECT_TRUE(R.KeyExists("\\Software\\b"));
}

TEST(RegistryValues, TypesSurviveTheStoreFile) {
  TRegistry R = OpenAt("Software\\T");
  const char Bin[] = {0, 1, 2, '\xFF'};
  R.WriteBinaryData("Bin", Bin, 4);
  R.WriteInteger("Num", -2);
  R.WriteString("Text", "Grüße \"quoted\" back\\slash");
  R.WriteString("Lines", "one\r\ntwo");
  R.WriteExpandString("Exp", "%HOME%/x");
  plat::RegistryStore::WriteValue(HKEY_CURRENT_USER, "Software\\T", "Multi", {7, std::string("a\0b\0\0", 5)});

  TRegistry Q;
  ASSERT_TRUE(Q.OpenKeyReadOnly("Software\\T"));
  char Buf[4] = {};
  EXPECT_EQ(Q.ReadBinaryData("Bin", Buf, 4), 4);
  EXPECT_EQ(std::string(Buf, 4), std::string(Bin, 4));
  EXPECT_EQ(Q.ReadInteger("Num"), -2);
  EXPECT_EQ(Q.ReadString("Text"), "Grüße \"quoted\" back\\slash");
  EXPECT_EQ(Q.ReadString("Lines"), "one\r\ntwo");
  EXPECT_EQ(Q.ReadString("Exp"), "%HOME%/x");
  EXPECT_EQ(Q.GetDataType("Exp"), rdExpandString);
  EXPECT_EQ(Q.GetDataType("Num"), rdInteger);
  auto Multi = plat::RegistryStore::ReadValue(HKEY_CURRENT_USER, "Software\\T", "multi");
  ASSERT_TRUE(Multi);
  EXPECT_EQ(Multi->Type, 7u);
  EXPECT_EQ(Multi->Data, std::string("a\0b\0\0", 5));
  // Umlauts are stored as single Windows-1252 bytes.
  EXPECT_NE(StoreText().find("\"Text\"=\"Gr\xFC\xDF" "e \\\"quoted\\\" back\\\\slash\""), std::string::npos);
}

TEST(RegistryValues, BinaryReadRules) {
  TRegistry R = OpenAt("Software\\T");
  R.WriteBinaryData("Two", "\x01\x02", 2);
  R.WriteString("S", "text");
  R.WriteInteger("I", 5);
  char Buf[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(R.ReadBinaryData("Missing", Buf, 4), 0);
  EXPECT_EQ(std::string(Buf, 4), "abcd");
  EXPECT_EQ(R.ReadBinaryData("Two", Buf, 4), 2);
  EXPECT_EQ(std::string(Buf, 4), "\x01\x02" "cd");
  try {
    R.ReadBinaryData("S", Buf, 4);
    FAIL();
  } catch (const ERegistryException& E) {
    EXPECT_STREQ(E.what(), "Invalid data type for 'S'");
  }
  EXPECT_THROW(R.ReadBinaryData("I", Buf, 4), ERegistryException);
  EXPECT_THROW(R.ReadBinaryData("Two", Buf, 1), ERegistryException);
}

TEST(RegistryValues, TextReadRules) {
  TRegistry R = OpenAt("Software\\T");
  EXPECT_EQ(R.ReadString("Missing"), "");
  R.WriteBinaryData("B", "xy", 2);
  EXPECT_THROW(R.ReadString("B"), ERegistryException);
  plat::RegistryStore::WriteValue(HKEY_CURRENT_USER, "Software\\T", "Z", {REG_SZ, std::string("ab\0cd\0", 6)});
  EXPECT_EQ(R.ReadString("Z"), "ab");
  EXPECT_THROW(R.ReadInteger("Missing"), ERegistryException);
  EXPECT_THROW(R.ReadInteger("B"), ERegistryException);
}

TEST(RegistryStore, DamagedFileIsReportedAndKept) {
  TRegistry R = OpenAt("Software\\T");
  R.WriteString("A", "1");
  const std::string File = plat::RegistryStore::FileFor(HKEY_CURRENT_USER);
  const std::string Damaged = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\"A\"=hex:0g\n";
  testsupport::WriteFileBytes(File, Damaged);
  try {
    R.KeyExists("Software");
    FAIL();
  } catch (const ERegistryException& E) {
    EXPECT_NE(std::string(E.what()).find("damaged (line 4"), std::string::npos) << E.what();
  }
  EXPECT_THROW(R.WriteString("B", "2"), ERegistryException);
  EXPECT_EQ(testsupport::ReadFileBytes(File), Damaged);
  testsupport::WriteFileBytes(File, "not a registry at all");
  EXPECT_THROW(R.ReadString("A"), ERegistryException);
}

TEST(RegistryStore, HandWrittenFileIsRead) {
  const std::string File = plat::RegistryStore::FileFor(HKEY_CURRENT_USER);
  TRegistry R = OpenAt("Software");  // creates the folder
  testsupport::WriteFileBytes(File,
                              "REGEDIT4\r\n\r\n; comment\r\n[HKEY_CURRENT_USER\\Control Panel\\desktop]\r\n"
                              "\"ScreenSaveUsePassword\"=dword:00000001\r\n"
                              "\"Wrapped\"=hex:01,02,\\\r\n  03\r\n@=\"default\"\r\n");
  TRegistry Q;
  ASSERT_TRUE(Q.OpenKeyReadOnly("control panel\\DESKTOP"));
  EXPECT_EQ(Q.ReadInteger("ScreenSaveUsePassword"), 1);
  char B[3];
  EXPECT_EQ(Q.ReadBinaryData("Wrapped", B, 3), 3);
  EXPECT_EQ(std::string(B, 3), "\x01\x02\x03");
  EXPECT_EQ(Q.ReadString(""), "default");
}

TEST(RegistryStore, DeleteKeyAndValue) {
  TRegistry R = OpenAt("Software\\A\\B");
  R.WriteInteger("x", 1);
  EXPECT_TRUE(R.DeleteValue("X"));
  EXPECT_FALSE(R.ValueExists("x"));
  EXPECT_TRUE(R.DeleteKey("\\Software\\a"));
  EXPECT_FALSE(R.KeyExists("\\Software\\A\\B"));
  EXPECT_TRUE(R.KeyExists("\\Software"));
}

TEST(RegistryStore, ConcurrentWritersInTwoProcessesLoseNothing) {
  const QString Writer = QString::fromStdString(testsupport::BuildPath("tests/platform/registry_writer"));
  constexpr int N = 150;
  QProcess A, B;
  A.start(Writer, {"Software\\Race", "a", QString::number(N)});
  B.start(Writer, {"Software\\Race", "b", QString::number(N)});
  ASSERT_TRUE(A.waitForFinished(60000));
  ASSERT_TRUE(B.waitForFinished(60000));
  EXPECT_EQ(A.exitCode(), 0) << A.readAllStandardError().toStdString();
  EXPECT_EQ(B.exitCode(), 0) << B.readAllStandardError().toStdString();
  TRegistry R;
  ASSERT_TRUE(R.OpenKeyReadOnly("Software\\Race"));
  TStringList Names;
  R.GetValueNames(Names);
  EXPECT_EQ(Names.Count(), 2 * N);
  for (int I = 0; I < N; ++I) {
    EXPECT_EQ(R.ReadInteger("a" + std::to_string(I)), I);
    EXPECT_EQ(R.ReadInteger("b" + std::to_string(I)), I);
  }
}
