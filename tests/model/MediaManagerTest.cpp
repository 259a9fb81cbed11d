#include <gtest/gtest.h>

#include <QImage>
#include <QImageWriter>

#include <regex>
#include <unistd.h>
#include <string>
#include <vector>

#include "model/ScreenSaverModel.h"
#include "persistence/PropertyBags.h"
#include "platform/Platform.h"
#include "tests/support/TestEnv.h"

using testsupport::ListDir;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::TestDir;
using testsupport::WriteFileBytes;

namespace {

class Media : public ::testing::Test {
protected:
  void SetUp() override { RegisterModelClasses(); }

  // A source file outside the temporary directory.
  std::string Source(const std::string& Name, const std::string& Bytes) {
    const std::string Path = TestDir() + "/" + Name;
    WriteFileBytes(Path, Bytes);
    return Path;
  }

  std::string Jpeg(const std::string& Name, int W, int H) {
    QImage Img(W, H, QImage::Format_RGB32);
    Img.fill(Qt::darkCyan);
    const std::string Path = TestDir() + "/" + Name;
    QImageWriter Writer(QString::fromStdString(Path), "jpg");
    EXPECT_TRUE(Writer.write(Img));
    return Path;
  }

  // A medium of the manager that uses File as its file (the medium owns it from now on).
  TMedia& AddMedium(TMediaManager& M, int32_t Id, const std::string& File, const std::string& Ext = "jpg") {
    auto Medium = std::make_unique<TMedia>();
    Medium->MediaID = Id;
    Medium->FileName = File;
    Medium->Extension = Ext;
    Medium->SetManager(&M);
    TMedia& Ref = *Medium;
    M.MediaList().Add(std::move(Medium));
    return Ref;
  }

  static std::string Written(TReflectivePersistent& Obj) {
    TMemoryStream S;
    TStreamPropertyBag Bag(S);
    Bag.WriteObject(&Obj);
    return std::string(reinterpret_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size()));
  }
  static TMemoryStream StreamOf(const std::string& Bytes) {
    TMemoryStream S;
    S.WriteBuffer(Bytes.data(), static_cast<int32_t>(Bytes.size()));
    S.SetPosition(0);
    return S;
  }
};

std::string Pattern(size_t N, int Seed) {
  std::string S(N, '\0');
  for (size_t I = 0; I < N; ++I) S[I] = static_cast<char>((I * 131 + Seed * 7 + I / 65536) & 0xFF);
  return S;
}

}  // namespace

TEST_F(Media, ReadingUnpacksEveryMediumIntoItsOwnTemporaryFile) {
  const std::vector<size_t> Sizes = {0, 1, 65535, 65536, 65537, 3 * 65536 + 17};
  TMediaManager M;
  for (size_t I = 0; I < Sizes.size(); ++I) {
    TMedia& Medium = AddMedium(M, static_cast<int32_t>(I + 1), Source("src" + std::to_string(I), Pattern(Sizes[I], static_cast<int>(I))), "wav");
    Medium.MediaType = mtMusicSound;
    Medium.OriginalFileName = "C:\\Klänge\\ton" + std::to_string(I) + ".wav";
    Medium.FileSize = static_cast<int32_t>(Sizes[I]);
    Medium.FileDate = 45000.125 + static_cast<double>(I);
  }
  M.LastMediaId = 99;
  const std::string Bytes = Written(M);

  {
    TMemoryStream S = StreamOf(Bytes);
    TMediaManager Back;
    ASSERT_TRUE(Back.LoadFromStream(S));
    EXPECT_EQ(Back.LastMediaId, 99);
    EXPECT_EQ(Back.UseCounter, 0);
    ASSERT_EQ(Back.Count(), static_cast<int>(Sizes.size()));
    const std::regex Name("SCR_MEDIA[0-9A-F]{16}\\.wav");
    std::vector<std::string> Seen;
    for (int I = 0; I < Back.Count(); ++I) {
      TMedia* Medium = Back.Media(I);
      EXPECT_EQ(Medium->Manager(), &Back);
      EXPECT_EQ(Medium->MediaID, I + 1);
      EXPECT_EQ(Medium->MediaType, mtMusicSound);
      EXPECT_EQ(Medium->Extension, "wav");
      EXPECT_EQ(Medium->OriginalFileName, "C:\\Klänge\\ton" + std::to_string(I) + ".wav");
      EXPECT_EQ(Medium->FileSize, static_cast<int32_t>(Sizes[static_cast<size_t>(I)]));
      EXPECT_EQ(Medium->FileDate, 45000.125 + I);
      EXPECT_EQ(Medium->LastUse, 0);
      EXPECT_EQ(Medium->FileName.substr(0, TempDir().size() + 1), TempDir() + "/");
      EXPECT_TRUE(std::regex_match(Medium->FileName.substr(TempDir().size() + 1), Name)) << Medium->FileName;
      EXPECT_EQ(ReadFileBytes(Medium->FileName), Pattern(Sizes[static_cast<size_t>(I)], I));
      Seen.push_back(Medium->FileName);
    }
    std::sort(Seen.begin(), Seen.end());
    EXPECT_EQ(std::unique(Seen.begin(), Seen.end()), Seen.end());
    EXPECT_EQ(ListDir(TempDir()).size(), Sizes.size());
  }
  EXPECT_TRUE(ListDir(TempDir()).empty()) << "the manager's destruction deletes every medium's file";
}

TEST_F(Media, TemporaryNamesFromOddExtensions) {
  TMediaManager M;
  AddMedium(M, 1, Source("a", "leer"), "");
  AddMedium(M, 2, Source("b", "boese"), "x/../../../escape");
  TMemoryStream S = StreamOf(Written(M));
  TMediaManager Back;
  ASSERT_TRUE(Back.LoadFromStream(S));
  EXPECT_EQ(Back.Media(0)->FileName.back(), '.') << "an empty extension leaves the name ending in a dot";
  // A separator in the stored extension must not lead out of the temporary directory.
  EXPECT_EQ(Back.Media(1)->Extension, "x/../../../escape");
  EXPECT_EQ(Back.Media(1)->FileName.find('/', TempDir().size() + 1), std::string::npos);
  EXPECT_EQ(ReadFileBytes(Back.Media(1)->FileName), "boese");
  EXPECT_EQ(ListDir(TempDir()).size(), 2u);
}

TEST_F(Media, LinksPlantedUnderTheNextNameAreNeitherFollowedNorOverwritten) {
  plat::SetNowHook([] { return TDateTime(46000.5); });
  const std::string Planted = TempDir() + "/SCR_MEDIA40E6761000000000.wav";
  const std::string Target = TestDir() + "/opfer";  // not there yet: following would create it
  ASSERT_EQ(symlink(Target.c_str(), Planted.c_str()), 0);
  TMediaManager M;
  AddMedium(M, 1, Source("ton", "RIFF-Daten"), "wav");
  TMemoryStream S = StreamOf(Written(M));
  {
    TMediaManager Back;
    ASSERT_TRUE(Back.LoadFromStream(S));
    EXPECT_EQ(Back.Media(0)->FileName, TempDir() + "/SCR_MEDIA40E6761000000001.wav");
    EXPECT_EQ(ReadFileBytes(Back.Media(0)->FileName), "RIFF-Daten");
  }
  EXPECT_NE(access(Target.c_str(), F_OK), 0);
  EXPECT_EQ(ListDir(TempDir()), std::vector<std::string>{"SCR_MEDIA40E6761000000000.wav"}) << "the link is not ours to delete";
}

TEST_F(Media, LookupsByIdFindTheFirstInListOrder) {
  TMediaManager M;
  AddMedium(M, 7, "");
  AddMedium(M, 3, "");
  AddMedium(M, 7, "");
  EXPECT_EQ(M.MediaById(7), M.Media(0));
  EXPECT_EQ(M.MediaById(3), M.Media(1));
  EXPECT_EQ(M.MediaById(4), nullptr);
  int Index = -5;
  EXPECT_FALSE(M.FindIndex(4, Index));
  EXPECT_EQ(Index, -5);
  EXPECT_TRUE(M.FindIndex(7, Index));
  EXPECT_EQ(Index, 0);
  EXPECT_THROW(M.Media(3), EListError);
}

TEST_F(Media, CopiesCarryOnlyIdAndType) {
  TMediaManager M;
  TMedia& Medium = AddMedium(M, 12, Source("c", "x"), "avi");
  Medium.MediaType = mtMovie;
  Medium.OriginalFileName = "film.avi";
  M.LastMediaId = 12;
  M.NextStamp();

  TMediaManager Copy;
  Copy.Assign(M);
  ASSERT_EQ(Copy.Count(), 1);
  EXPECT_NE(Copy.Media(0), M.Media(0));
  EXPECT_EQ(Copy.Media(0)->MediaID, 12);
  EXPECT_EQ(Copy.Media(0)->MediaType, mtMovie);
  EXPECT_EQ(Copy.Media(0)->FileName, "");
  EXPECT_EQ(Copy.Media(0)->Extension, "");
  EXPECT_EQ(Copy.Media(0)->OriginalFileName, "");
  EXPECT_EQ(Copy.Media(0)->Manager(), nullptr);
  EXPECT_EQ(Copy.LastMediaId, 0);
  EXPECT_EQ(Copy.UseCounter, 0);
}

TEST_F(Media, PictureIsDecodedOnDemandAndReportsItsSize) {
  TMediaManager M;
  TMedia& Medium = AddMedium(M, 1, Jpeg("p.jpg", 320, 200));
  EXPECT_FALSE(Medium.IsLoaded());
  EXPECT_EQ(Medium.LoadedBytes(), 0);
  TPicture* P = Medium.GetPicture();
  ASSERT_NE(P, nullptr);
  EXPECT_EQ(P->Width(), 320);
  EXPECT_EQ(P->Height(), 200);
  EXPECT_FALSE(P->Graphic().isNull());
  EXPECT_EQ(Medium.LoadedBytes(), 320 * 200 * 4);
  EXPECT_EQ(Medium.LastUse, 1);
  EXPECT_EQ(Medium.GetPicture(), P);  // cached: the same picture
  EXPECT_EQ(Medium.LastUse, 2);
  Medium.Unload();
  EXPECT_FALSE(Medium.IsLoaded());
  EXPECT_EQ(Medium.LastUse, -1);
  EXPECT_EQ(Medium.GetPicture()->Width(), 320);  // decoded again
}

TEST_F(Media, UndecodablePictureRaisesOnceAndStaysEmpty) {
  TMediaManager M;
  TMedia& Broken = AddMedium(M, 1, Source("broken.jpg", "this is no JPEG at all"));
  EXPECT_THROW(Broken.GetPicture(), EInvalidGraphic);
  EXPECT_TRUE(Broken.IsLoaded());
  TPicture* Empty = nullptr;
  ASSERT_NO_THROW(Empty = Broken.GetPicture());
  EXPECT_TRUE(Empty->Empty());
  EXPECT_EQ(Broken.LoadedBytes(), 0);

  // The decoder is chosen by the file's extension, not by its content.
  TMedia& Unknown = AddMedium(M, 2, Jpeg("valid.xyz", 8, 8), "xyz");
  EXPECT_THROW(Unknown.GetPicture(), EInvalidGraphic);
  TMedia& Missing = AddMedium(M, 3, TestDir() + "/missing.jpg");
  EXPECT_THROW(Missing.GetPicture(), EInvalidGraphic);
}

TEST_F(Media, TwoLargePicturesDropTheOlder) {
  TMediaManager M;
  TMedia& A = AddMedium(M, 1, Jpeg("a.jpg", 1024, 768));
  TMedia& B = AddMedium(M, 2, Jpeg("b.jpg", 1024, 768));
  A.GetPicture();
  EXPECT_EQ(M.LoadedBytes(), 3145728);
  TPicture* PB = B.GetPicture();
  EXPECT_EQ(PB->Width(), 1024);
  EXPECT_FALSE(A.IsLoaded());
  EXPECT_EQ(A.LastUse, -1);
  EXPECT_TRUE(B.IsLoaded());
  EXPECT_EQ(M.LoadedCount(), 1);
  A.GetPicture();  // and back: now B is the older one
  EXPECT_FALSE(B.IsLoaded());
  EXPECT_TRUE(A.IsLoaded());
}

TEST_F(Media, ExactlyTheBudgetDropsNothing) {
  TMediaManager M;
  TMedia& A = AddMedium(M, 1, Jpeg("a.jpg", 1024, 512));
  TMedia& B = AddMedium(M, 2, Jpeg("b.jpg", 1024, 512));
  A.GetPicture();
  B.GetPicture();
  EXPECT_EQ(M.LoadedBytes(), 4194304);
  EXPECT_EQ(M.LoadedCount(), 2);
  TMedia& C = AddMedium(M, 3, Jpeg("c.jpg", 1, 1));  // one pixel more than the budget
  C.GetPicture();
  EXPECT_FALSE(A.IsLoaded());
  EXPECT_TRUE(B.IsLoaded());
  EXPECT_TRUE(C.IsLoaded());
}

TEST_F(Media, OnePictureAboveTheBudgetStays) {
  TMediaManager M;
  TMedia& Big = AddMedium(M, 1, Jpeg("big.jpg", 2048, 1024));
  Big.GetPicture();
  EXPECT_EQ(M.LoadedBytes(), 8388608);
  EXPECT_TRUE(Big.IsLoaded());
  TMedia& Small = AddMedium(M, 2, Jpeg("small.jpg", 16, 16));
  Small.GetPicture();  // two held, over budget: the big one is older and goes
  EXPECT_FALSE(Big.IsLoaded());
  EXPECT_TRUE(Small.IsLoaded());
}

TEST_F(Media, UntouchedMediaAreMarkedBeforeAnyPictureIsDropped) {
  TMediaManager M;
  std::vector<TMedia*> All;
  for (int I = 0; I < 10; ++I) All.push_back(&AddMedium(M, I + 1, Jpeg("m" + std::to_string(I) + ".jpg", 1024, 768)));
  All[3]->GetPicture();
  for (TMedia* Medium : All) EXPECT_EQ(Medium->LastUse, Medium == All[3] ? 1 : 0);
  All[7]->GetPicture();
  for (int I = 0; I < 10; ++I) {
    if (I == 7)
      EXPECT_EQ(All[I]->LastUse, 2);
    else
      EXPECT_EQ(All[I]->LastUse, -1) << I;
  }
  EXPECT_FALSE(All[3]->IsLoaded());
  EXPECT_TRUE(All[7]->IsLoaded());
}

TEST_F(Media, StampsAreOverflowTested) {
  TMediaManager M;
  M.UseCounter = INT32_MAX - 1;
  EXPECT_EQ(M.NextStamp(), INT32_MAX);
  EXPECT_THROW(M.NextStamp(), EIntOverflow);
}

TEST_F(Media, AReadThatFailsHalfwayLeavesNoFileBehind) {
  TMediaManager M;
  AddMedium(M, 1, Source("one", Pattern(70000, 1)), "bin");
  AddMedium(M, 2, Source("two", Pattern(70000, 2)), "bin");
  std::string Damaged = Written(M);
  // A damaged chunk inside the second medium's content: the first medium's file exists by then.
  const size_t Chunk = Damaged.rfind("BufferData1");
  ASSERT_NE(Chunk, std::string::npos);
  Damaged[Chunk + 10] = 'X';
  {
    TMemoryStream S = StreamOf(Damaged);
    TMediaManager Back;
    EXPECT_THROW(Back.LoadFromStream(S), EPropertyBagError);
    // The half-read second medium was freed by the reader; the first is still held.
    EXPECT_EQ(ListDir(TempDir()).size(), 1u);
    EXPECT_EQ(Back.Count(), 1);
  }
  EXPECT_TRUE(ListDir(TempDir()).empty());
  {
    // Read as a new object: the reader frees what it made.
    TMemoryStream S = StreamOf(Damaged);
    TStreamPropertyBag Bag(S);
    std::unique_ptr<TReflectivePersistent> Obj;
    EXPECT_THROW(Bag.ReadObject(Obj), EPropertyBagError);
    EXPECT_EQ(Obj, nullptr);
    EXPECT_TRUE(ListDir(TempDir()).empty());
  }
}

TEST_F(Media, ListItemsThatAreNoMediaAreRefused) {
  TMediaManager M;
  AddMedium(M, 1, Source("one", "x"), "bin");
  M.MediaList().Add(std::make_unique<TPersonalInfo>());
  const std::string Bytes = Written(M);
  {
    TMemoryStream S = StreamOf(Bytes);
    TMediaManager Back;
    EXPECT_THROW(Back.LoadFromStream(S), EPropertyBagError);
  }
  EXPECT_TRUE(ListDir(TempDir()).empty());
}
