#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "model/ScreenSaverFiles.h"
#include "persistence/PropertyBags.h"
#include "platform/Fonts.h"
#include "platform/Platform.h"
#include "player/ScreenSaverSequences.h"
#include "tests/model/StreamWalker.h"
#include "tests/support/TestEnv.h"
#include "tools/DemoSaver.h"
#include "tools/MediaFixtures.h"

using modeltest::TStreamItem;
using modeltest::WalkItems;
using testsupport::BuildPath;
using testsupport::ListDir;
using testsupport::MessageBoxes;
using testsupport::ReadFileBytes;
using testsupport::SourcePath;
using testsupport::TempDir;
using testsupport::TestDir;
using testsupport::WriteFileBytes;

namespace {

const std::string Damaged =
    "Die Bildschirmschonerdaten konnten nicht gelesen werden.\r\n\r\nWahrscheinlich wurde die Datei beschädigt. ";

std::string Trailer(int64_t Start) {
  std::string T(16, '\0');
  std::memcpy(T.data(), &Start, 8);
  std::memcpy(T.data() + 8, "APPDATA", 8);
  return T;
}

int DamagedMessages() {
  int N = 0;
  for (const plat::MessageBoxRequest& R : MessageBoxes())
    if (R.Text == Damaged) ++N;
  return N;
}

// The appended data of a demo of one slide whose Transition holds a copy of the project's
// first medium, every block around that copy claiming to end at ClaimedEnd; positions count
// from At, where the data is to begin.
std::string MediumInTheFirstTransition(int64_t At, int64_t ClaimedEnd) {
  demosaver::TDemoOptions Options;
  Options.Pictures = 1;
  Options.PictureWidth = 16;
  Options.PictureHeight = 12;
  Options.Sound = false;
  Options.Movie = false;
  Options.NoFonts = true;
  Options.WithDemoSequences = false;
  Options.ExtraSequences = {demosaver::DemoSequences()[0]};
  TMemoryStream S;
  {
    TStreamPropertyBag Bag(S);
    Bag.WriteObject(demosaver::MakeDemoInfo(Options).get());
    Bag.WriteObject(demosaver::MakeDemoProject(Options).get());
  }
  std::string Data(S.Bytes().begin(), S.Bytes().end());
  const std::vector<TStreamItem> Items = WalkItems(Data, 0, 6);
  const TStreamItem& Properties = Items[4];  // the project's
  const TStreamItem* Medium = Properties.Find(
      {"MediaManager", "Value", "InnerProperties", "MediaList", "InnerProperties", "_Items", "Item00000000"});
  const std::vector<std::string> Path = {"Sequences", "Value", "InnerProperties", "_Items", "Item00000000",
                                         "Properties", "Transition", "Value"};
  const TStreamItem* Value = Properties.Find(Path);
  if (!Medium || !Value) throw std::runtime_error("the demo has no medium or no first slide");
  const int64_t RecordStart = Medium->Children.front().Start;
  const std::string Record = Data.substr(RecordStart, Medium->End - RecordStart);
  for (size_t N = 0; N <= Path.size(); ++N) {
    const TStreamItem* Block = Properties.Find({Path.begin(), Path.begin() + N});
    const int64_t LengthAt = Block->Start + 8 + static_cast<int64_t>(Block->Name.size());
    const int64_t Claim = ClaimedEnd - (At + LengthAt);
    std::memcpy(Data.data() + LengthAt, &Claim, 8);
  }
  const int64_t Inside = Value->Children.front().Start;  // the empty reference stored there
  return Data.substr(0, Inside) + Record + Data.substr(Value->End);
}

// The bytes at At of a stream of Size bytes that reads nothing anywhere else.
class TPlacedStream : public TStream {
public:
  TPlacedStream(std::string Bytes, int64_t At, int64_t Size)
      : FBytes(std::move(Bytes)), FAt(At), FSize(Size), FPos(At) {}
  int32_t Read(void* Buffer, int32_t Count) override {
    const int64_t From = FPos - FAt;
    if (Count <= 0 || From < 0 || From >= static_cast<int64_t>(FBytes.size())) return 0;
    const auto N = static_cast<int32_t>(std::min<int64_t>(Count, static_cast<int64_t>(FBytes.size()) - From));
    std::memcpy(Buffer, FBytes.data() + From, static_cast<size_t>(N));
    FPos += N;
    return N;
  }
  int32_t Write(const void*, int32_t) override { return 0; }
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override {
    FPos = Offset + (Origin == TSeekOrigin::soBeginning ? 0 : Origin == TSeekOrigin::soCurrent ? FPos : FSize);
    return FPos;
  }

private:
  std::string FBytes;
  int64_t FAt, FSize, FPos;
};

class Files : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterModelClasses();
    RegisterScreenSaverSequencesClasses();  // the demo show's sequences
    Host = TestDir() + "/host.bin";
    WriteFileBytes(Host, std::string(1000, 'H'));
    Fonts = plat::InstalledFontResources();
  }

  // A demo saver on a 1000-byte host; the program's own file points at it.
  std::string MakeSaver(const demosaver::TDemoOptions& Options, const std::string& Name = "saver.scr") {
    const std::string Out = TestDir() + "/" + Name;
    demosaver::MakeScreenSaverFile(Host, Out, Options);
    plat::SetProgramFileName(Out);
    return Out;
  }

  // Nothing of a freed or refused project stays behind.
  void ExpectNothingLeft(const std::string& When) {
    EXPECT_TRUE(ListDir(TempDir()).empty()) << When;
    EXPECT_EQ(plat::InstalledFontResources(), Fonts) << When;
  }

  std::string Host;
  int Fonts = 0;
};

}  // namespace

TEST_F(Files, DemoSaverReadsBackWithEveryPropertyMediumAndFont) {
  demosaver::TDemoOptions Options;
  Options.RizuderName = "Aquarium";
  Options.Resolution = sr1024x768;
  Options.Movie = true;
  const std::string File = MakeSaver(Options);
  EXPECT_EQ(ReadFileBytes(File).substr(0, 1000), std::string(1000, 'H'));
  EXPECT_TRUE(ListDir(TempDir()).empty()) << "the builder's own media files are gone";

  std::unique_ptr<TScreenSaverInfo> Info;
  std::unique_ptr<TScreenSaverProject> Project;
  LoadScreenSaverInfoAndProject(Info, Project);
  ASSERT_TRUE(Info);
  ASSERT_TRUE(Project);
  EXPECT_TRUE(MessageBoxes().empty());

  const std::unique_ptr<TScreenSaverInfo> Expected = demosaver::MakeDemoInfo(Options);
  for (const TScreenSaverInfo* I : {Info.get(), Project->RizuderInfo()}) {
    EXPECT_EQ(I->RizuderName, "Aquarium");
    EXPECT_EQ(I->Resolution, sr1024x768);
    EXPECT_EQ(I->ProductName, Expected->ProductName);
    EXPECT_EQ(I->ProductVersion, Expected->ProductVersion);
    EXPECT_EQ(I->SerialNo, Expected->SerialNo);
    EXPECT_EQ(I->CreatorLicense, Expected->CreatorLicense);
    EXPECT_EQ(I->CreatorInfo()->Street, "Heidestraße 17");
    EXPECT_EQ(I->CreatorInfo()->City, "Köln");
    EXPECT_EQ(I->CreatorInfo()->EMail, Expected->CreatorInfo()->EMail);
    EXPECT_GT(I->CreationDate, 40000.0);
  }
  EXPECT_EQ(Info->CreationDate, Project->RizuderInfo()->CreationDate);
  EXPECT_EQ(Project->Name(), "Aquarium");

  const TMediaManager& M = *Project->MediaManager();
  ASSERT_EQ(M.Count(), 5);  // three pictures, the tone, the movie
  EXPECT_EQ(M.LastMediaId, 5);
  for (int I = 0; I < 3; ++I) {
    TMedia* P = M.MediaById(I + 1);
    ASSERT_TRUE(P);
    EXPECT_EQ(P->MediaType, mtImage);
    EXPECT_EQ(P->Extension, "jpg");
    const std::string Jpeg = demosaver::DemoPictureJpeg(I, Options.PictureWidth, Options.PictureHeight);
    EXPECT_EQ(ReadFileBytes(P->FileName), Jpeg) << "picture " << I;
    EXPECT_EQ(P->FileSize, static_cast<int32_t>(Jpeg.size()));
    EXPECT_EQ(P->GetPicture()->Width(), Options.PictureWidth);
    EXPECT_EQ(P->GetPicture()->Height(), Options.PictureHeight);
  }
  EXPECT_EQ(M.MediaById(4)->MediaType, mtMusicSound);
  EXPECT_EQ(ReadFileBytes(M.MediaById(4)->FileName), mediafixtures::SineWav(Options.SoundMs, 440));
  EXPECT_EQ(M.MediaById(5)->MediaType, mtMovie);
  EXPECT_EQ(M.MediaById(5)->Extension, "avi");

  const TEmbeddedFontManager& F = *Project->FontManager();
  ASSERT_EQ(F.Count(), 1);
  EXPECT_EQ(F.Fonts(0)->Name, demosaver::DefaultDemoFont());
  EXPECT_TRUE(F.Fonts(0)->IsEmbedded);
  std::vector<uint8_t> System;
  ASSERT_TRUE(plat::GetFontFileData(F.Fonts(0)->Name, System));
  EXPECT_EQ(ReadFileBytes(F.Fonts(0)->TempFileName), std::string(System.begin(), System.end()));
  EXPECT_EQ(plat::InstalledFontResources(), Fonts + 1);
  EXPECT_EQ(ListDir(TempDir()).size(), 6u);

  Project.reset();
  ExpectNothingLeft("after freeing the project");
}

TEST_F(Files, InfoLoaderReadsOnlyTheFirstRecord) {
  demosaver::TDemoOptions Options;
  Options.RizuderName = "Nur Info";
  MakeSaver(Options);
  const int Broadcasts = plat::FontChangeBroadcasts();
  std::unique_ptr<TScreenSaverInfo> Info;
  LoadScreenSaverInfo(Info);
  ASSERT_TRUE(Info);
  EXPECT_EQ(Info->RizuderName, "Nur Info");
  EXPECT_EQ(Info->Resolution, sr800x600);
  EXPECT_EQ(Info->CreatorInfo()->LastName, "Mustermann");
  EXPECT_TRUE(ListDir(TempDir()).empty()) << "no medium is unpacked";
  EXPECT_EQ(plat::FontChangeBroadcasts(), Broadcasts) << "no font is installed";
  EXPECT_TRUE(MessageBoxes().empty());
}

TEST_F(Files, EmptyAppendedDataGivesDefaultsWithoutAMessage) {
  const std::string File = TestDir() + "/empty.scr";
  WriteFileBytes(File, std::string(1000, 'H') + Trailer(1000));
  plat::SetProgramFileName(File);
  std::unique_ptr<TScreenSaverInfo> Info;
  LoadScreenSaverInfo(Info);
  ASSERT_TRUE(Info);
  EXPECT_EQ(Info->RizuderName, "unbenannt");
  std::unique_ptr<TScreenSaverProject> Project;
  LoadScreenSaverInfoAndProject(Info, Project);
  ASSERT_TRUE(Info);
  ASSERT_TRUE(Project);
  EXPECT_EQ(Project->MediaManager()->Count(), 0);
  EXPECT_TRUE(MessageBoxes().empty());
}

TEST_F(Files, AProgramWithoutAppendedDataIsDamaged) {
  plat::SetProgramFileName(Host);  // no trailer: the first read fails with the range error
  std::unique_ptr<TScreenSaverInfo> Info;
  LoadScreenSaverInfo(Info);
  EXPECT_FALSE(Info);
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0].Text, Damaged);
  EXPECT_EQ(MessageBoxes()[0].Caption, plat::ApplicationTitle());
  EXPECT_EQ(MessageBoxes()[0].Flags, plat::MB_OK);

  std::unique_ptr<TScreenSaverProject> Project;
  LoadScreenSaverInfoAndProject(Info, Project);
  EXPECT_FALSE(Info);
  EXPECT_FALSE(Project);
  EXPECT_EQ(DamagedMessages(), 2);
  EXPECT_EQ(ReadFileBytes(Host), std::string(1000, 'H')) << "reading never writes a trailer";
}

TEST_F(Files, AMissingProgramFileRaisesToTheCaller) {
  plat::SetProgramFileName(TestDir() + "/does-not-exist.scr");
  std::unique_ptr<TScreenSaverInfo> Info;
  EXPECT_THROW(LoadScreenSaverInfo(Info), EStreamError);
  EXPECT_TRUE(Info) << "the info was made before the file was opened";
  std::unique_ptr<TScreenSaverProject> Project;
  EXPECT_THROW(LoadScreenSaverInfoAndProject(Info, Project), EStreamError);
  EXPECT_TRUE(MessageBoxes().empty());
}

TEST_F(Files, AnUnknownClassNameIsReportedOnce) {
  demosaver::TDemoOptions Options;
  const std::string File = MakeSaver(Options);
  std::string Bytes = ReadFileBytes(File);
  // The second TPersonalInfo is the project's nested copy: the info record reads, the project
  // does not, after its media are unpacked and before its fonts are read.
  size_t At = Bytes.find("TPersonalInfo");
  At = Bytes.find("TPersonalInfo", At + 1);
  ASSERT_NE(At, std::string::npos);
  Bytes[At + 12] = 'X';
  WriteFileBytes(File, Bytes);
  std::unique_ptr<TScreenSaverInfo> Info;
  std::unique_ptr<TScreenSaverProject> Project;
  LoadScreenSaverInfoAndProject(Info, Project);
  EXPECT_FALSE(Info);
  EXPECT_FALSE(Project);
  EXPECT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(DamagedMessages(), 1);
  ExpectNothingLeft("after the refused project");
}

namespace {
// Offsets from 0 to End in steps of Step, but inside a value that the reader takes as it
// comes (a medium's or a font's contents, a long text) only its first, middle and last byte:
// every offset inside it goes the same way.
std::set<int64_t> SampleOutsideContents(const std::vector<TStreamItem>& Items, int64_t End, int64_t Step) {
  std::set<int64_t> R;
  const auto Contents = modeltest::ContentValues(Items, 16);
  auto Next = Contents.begin();
  for (int64_t O = 0; O < End; O += Step) {
    while (Next != Contents.end() && Next->second <= O) ++Next;
    if (Next == Contents.end() || O <= Next->first || O >= Next->second - 1) R.insert(O);
  }
  for (auto [First, Stop] : Contents) R.insert({First, (First + Stop) / 2, Stop - 1});
  return R;
}

// The damaged copies of a demo saver are shared out among a few tests, which run side by side.
constexpr int DamageShares = 6;

class FileDamage : public Files, public ::testing::WithParamInterface<int> {
protected:
  void SetUp() override {
    Files::SetUp();
    demosaver::TDemoOptions Options;
    Options.PictureWidth = 64;
    Options.PictureHeight = 48;
    Options.SoundMs = 50;
    File = MakeSaver(Options);
    const std::string Whole = ReadFileBytes(File);
    std::memcpy(&Start, Whole.data() + Whole.size() - 16, 8);
    Data = Whole.substr(static_cast<size_t>(Start), Whole.size() - 16 - static_cast<size_t>(Start));
    Items = WalkItems(Data, 0, 6);
  }

  // This test's share of Offsets, in the order given.
  template <class Range>
  std::vector<int64_t> Mine(const Range& Offsets) const {
    std::vector<int64_t> R;
    int I = 0;
    for (int64_t O : Offsets)
      if (I++ % DamageShares == GetParam()) R.push_back(O);
    return R;
  }

  std::string File;
  int64_t Start = 0;
  std::string Data;
  std::vector<TStreamItem> Items;
};

INSTANTIATE_TEST_SUITE_P(Share, FileDamage, ::testing::Range(0, DamageShares));
}  // namespace

TEST_P(FileDamage, EveryCutOfTheDataIsRefusedCleanly) {
  ASSERT_EQ(Start, 1000);
  ASSERT_EQ(Items.size(), 6u);
  const int64_t InfoEnd = Items[2].End;
  const int64_t End = Items[5].End;

  std::set<int64_t> Cuts = SampleOutsideContents(Items, End, 997);
  for (int64_t C = 0; C < 4096 && C < End; ++C) Cuts.insert(C);
  for (int64_t B : modeltest::ItemBoundaries(Items))
    for (int64_t D = -2; D <= 2; ++D)
      if (B + D >= 0 && B + D < End) Cuts.insert(B + D);
  ASSERT_GT(Cuts.size(), 4500u);

  // Longest first: each cut only shortens the file and puts a trailer behind the rest.
  const std::vector<int64_t> Share = Mine(std::vector<int64_t>(Cuts.rbegin(), Cuts.rend()));
  int Failures = 0;
  for (int64_t Cut : Share) {
    ASSERT_EQ(::truncate(File.c_str(), Start + Cut), 0);
    {
      std::ofstream Out(File, std::ios::binary | std::ios::app);
      Out << Trailer(Start);
    }
    const size_t Before = MessageBoxes().size();
    std::unique_ptr<TScreenSaverInfo> Info;
    std::unique_ptr<TScreenSaverProject> Project;
    LoadScreenSaverInfoAndProject(Info, Project);
    // Nothing at all, or exactly the info record, are whole records: the rest stays default.
    const bool Whole = Cut == 0 || Cut == InfoEnd;
    const size_t Boxes = MessageBoxes().size() - Before;
    const bool Ok = Whole ? (Info && Project && Boxes == 0)
                          : (!Info && !Project && Boxes == 1 && MessageBoxes().back().Text == Damaged);
    Project.reset();
    const bool Clean = ListDir(TempDir()).empty() && plat::InstalledFontResources() == Fonts;
    if ((!Ok || !Clean) && ++Failures <= 5)
      ADD_FAILURE() << "cut at " << Cut << " of " << End << ": loaded " << (Info != nullptr) << ", "
                    << Boxes << " messages, clean " << Clean;
  }
  EXPECT_EQ(Failures, 0);
}

TEST_P(FileDamage, FlippedBytesNeverCrashOrLeaveAnythingBehind) {
  const int64_t End = Items[5].End;
  const int64_t FontStart = Items[5].Start;  // the project's inner properties: the fonts

  // Every 13th byte, and the top byte of every number (a count, a size or a value grows huge or
  // negative). A font's contents are installed as they are read: they keep flips of their own.
  std::set<int64_t> Offsets = SampleOutsideContents(Items, End, 13);
  for (int64_t O : modeltest::NumberTopBytes(Items)) Offsets.insert(O);
  for (int64_t O = FontStart; O < End; O += 9973) Offsets.insert(O);
  std::fstream Out(File, std::ios::in | std::ios::out | std::ios::binary);
  const auto Put = [&](int64_t O, char Byte) {
    Out.seekp(Start + O);
    Out.put(Byte);
    Out.flush();
  };
  const std::vector<int64_t> Share = Mine(Offsets);
  int Failures = 0, Refused = 0;
  for (int64_t O : Share) {
    Put(O, static_cast<char>(Data[static_cast<size_t>(O)] ^ 0xA5));
    const int Before = DamagedMessages();
    std::unique_ptr<TScreenSaverInfo> Info;
    std::unique_ptr<TScreenSaverProject> Project;
    LoadScreenSaverInfoAndProject(Info, Project);
    const int Messages = DamagedMessages() - Before;
    // A flip inside a picture or a name still reads; then both objects are there.
    const bool Ok = Messages == 0 ? (Info && Project) : (Messages == 1 && !Info && !Project);
    Refused += Messages;
    Project.reset();
    const bool Clean = ListDir(TempDir()).empty() && plat::InstalledFontResources() == Fonts;
    if ((!Ok || !Clean) && ++Failures <= 5)
      ADD_FAILURE() << "flip at " << O << ": " << Messages << " messages, clean " << Clean;
    Put(O, Data[static_cast<size_t>(O)]);
  }
  EXPECT_EQ(Failures, 0);
  EXPECT_GT(Refused, static_cast<int>(Share.size()) / 4) << "most flips in the structure are refused";
}

TEST_F(Files, KeptMalformedSaversAreRefusedCleanly) {
  // Written again with RIZUDER_UPDATE_TEST_INPUTS=1, as the object streams' malformed inputs are.
  const std::string Dir = SourcePath("tests/model/test-inputs/malformed");
  if (std::getenv("RIZUDER_UPDATE_TEST_INPUTS")) {
    std::filesystem::create_directories(Dir);
    WriteFileBytes(Dir + "/hand-made-medium-in-a-transition-beyond-the-data.bin",
                   MediumInTheFirstTransition(0, int64_t{3} << 30));
  }
  int Inputs = 0;
  for (const auto& E : std::filesystem::directory_iterator(Dir)) {
    const std::string File = TestDir() + "/malformed.scr";
    WriteFileBytes(File, ReadFileBytes(Host) + ReadFileBytes(E.path().string()) + Trailer(1000));
    plat::SetProgramFileName(File);
    const int Before = DamagedMessages();
    std::unique_ptr<TScreenSaverInfo> Info;
    std::unique_ptr<TScreenSaverProject> Project;
    LoadScreenSaverInfoAndProject(Info, Project);
    EXPECT_FALSE(Project) << E.path();
    EXPECT_EQ(DamagedMessages() - Before, 1) << E.path();
    ExpectNothingLeft(E.path().string());
    ++Inputs;
  }
  EXPECT_GE(Inputs, 1);
}

TEST_F(Files, AnObjectWhoseBlockCannotBeLeftIsFreed) {
  // Every block around the medium ends beyond 2 GiB, inside the stream: the medium is read,
  // then leaving its block fails with the range error.
  const int64_t At = (int64_t{1} << 31) - (1 << 20);
  const int64_t End = (int64_t{1} << 31) + (1 << 20);
  TPlacedStream S(MediumInTheFirstTransition(At, End), At, End);
  auto Info = std::make_unique<TScreenSaverInfo>();
  auto Project = std::make_unique<TScreenSaverProject>();
  ASSERT_TRUE(Info->LoadFromStream(S));
  EXPECT_THROW(Project->LoadFromStream(S), ERangeError);
  Project.reset();
  ExpectNothingLeft("after the refused project");
}

TEST_F(Files, MakesaverProgram) {
  const std::string Program = BuildPath("tools/makesaver");
  const std::string Out = TestDir() + "/demo.scr";
  QProcess P;
  P.start(QString::fromStdString(Program),
          {"--host", QString::fromStdString(Host), "--name", "Programmdemo", "--resolution", "640x480",
           QString::fromStdString(Out)});
  ASSERT_TRUE(P.waitForFinished(60000));
  ASSERT_EQ(P.exitCode(), 0) << P.readAllStandardError().toStdString();
  struct stat St {};
  ASSERT_EQ(::stat(Out.c_str(), &St), 0);
  EXPECT_EQ(St.st_mode & 0777, 0755u);
  EXPECT_FALSE(::access((Out + ".part").c_str(), F_OK) == 0);

  plat::SetProgramFileName(Out);
  std::unique_ptr<TScreenSaverInfo> Info;
  std::unique_ptr<TScreenSaverProject> Project;
  LoadScreenSaverInfoAndProject(Info, Project);
  ASSERT_TRUE(Project);
  EXPECT_EQ(Info->RizuderName, "Programmdemo");
  EXPECT_EQ(Info->Resolution, sr640x480);
  EXPECT_EQ(Project->MediaManager()->Count(), 5);  // three pictures, the tone, the movie
  EXPECT_EQ(Project->FontManager()->Count(), 1);

  // The default host is the screen-saver program of the build tree.
  const std::string Default = TestDir() + "/default.scr";
  P.start(QString::fromStdString(Program), {QString::fromStdString(Default)});
  ASSERT_TRUE(P.waitForFinished(60000));
  ASSERT_EQ(P.exitCode(), 0) << P.readAllStandardError().toStdString();
  const std::string Rizuder = ReadFileBytes(BuildPath("saver/Rizuder"));
  ASSERT_FALSE(Rizuder.empty());
  EXPECT_EQ(ReadFileBytes(Default).substr(0, Rizuder.size()), Rizuder);

  // A wrong command line makes nothing.
  const QString Bad = QString::fromStdString(Out + "x");
  for (const QStringList& Args : {QStringList{}, QStringList{"--resolution", "123x45", Bad},
                                  QStringList{"--bogus", Bad}, QStringList{"a", "b"}}) {
    P.start(QString::fromStdString(Program), Args);
    ASSERT_TRUE(P.waitForFinished(60000));
    EXPECT_EQ(P.exitCode(), 2) << Args.join(' ').toStdString();
  }
  EXPECT_NE(::access((Out + "x").c_str(), F_OK), 0);
  // A host that does not exist fails without leaving a file.
  P.start(QString::fromStdString(Program), {"--host", QString::fromStdString(TestDir() + "/nothing"),
                                            QString::fromStdString(Out + "y")});
  ASSERT_TRUE(P.waitForFinished(60000));
  EXPECT_EQ(P.exitCode(), 1);
  EXPECT_NE(::access((Out + "y").c_str(), F_OK), 0);
  EXPECT_NE(::access((Out + "y.part").c_str(), F_OK), 0);
}

TEST_F(Files, ReadingAHugeMediumKeepsMemoryFlat) {
  // The reader moves embedded files through one 64 KiB buffer: a project carrying 200 MiB
  // must not need much more memory than one carrying nothing big.
  const std::string Reader = BuildPath("tests/model/saver_reader");
  auto PeakKiB = [&](const std::string& File, long long& MediaBytes) {
    QProcess P;
    P.start(QString::fromStdString(Reader), {QString::fromStdString(File)});
    EXPECT_TRUE(P.waitForFinished(120000));
    const std::string Out = P.readAllStandardOutput().toStdString();
    EXPECT_EQ(P.exitCode(), 0) << Out << P.readAllStandardError().toStdString();
    long Kib = -1;
    int Count = 0;
    std::sscanf(Out.c_str(), "loaded media=%d bytes=%lld maxrss_kib=%ld", &Count, &MediaBytes, &Kib);
    return Kib;
  };
  demosaver::TDemoOptions Small;
  const std::string SmallFile = MakeSaver(Small, "small.scr");
  demosaver::TDemoOptions Big;
  Big.HugeMediumBytes = 200LL << 20;
  const std::string BigFile = MakeSaver(Big, "big.scr");
  long long SmallBytes = 0, BigBytes = 0;
  const long SmallPeak = PeakKiB(SmallFile, SmallBytes);
  const long BigPeak = PeakKiB(BigFile, BigBytes);
  EXPECT_GE(BigBytes - SmallBytes, 200LL << 20);
  ASSERT_GT(SmallPeak, 0);
  ASSERT_GT(BigPeak, 0);
  EXPECT_LT(BigPeak - SmallPeak, 16 * 1024) << "peak " << SmallPeak << " KiB without, " << BigPeak << " KiB with 200 MiB";
  std::printf("peak resident size: %ld KiB (demo), %ld KiB (demo + 200 MiB medium)\n", SmallPeak, BigPeak);
}
