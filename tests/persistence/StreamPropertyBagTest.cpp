#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "persistence/ApplicationData.h"
#include "persistence/PropertyBags.h"
#include "tests/support/TestEnv.h"
#include "tests/persistence/TestClasses.h"

using namespace ptest;

namespace {

class StreamBag : public ::testing::Test {
protected:
  void SetUp() override { RegisterTestClasses(); }
};

std::string Le32(int32_t V) { return std::string(reinterpret_cast<const char*>(&V), 4); }
std::string Le64(int64_t V) { return std::string(reinterpret_cast<const char*>(&V), 8); }
std::string F64(double V) { return std::string(reinterpret_cast<const char*>(&V), 8); }

std::string Written(TReflectivePersistent* Obj) {
  TMemoryStream S;
  TStreamPropertyBag Bag(S);
  Bag.WriteObject(Obj);
  return Bytes(S);
}

// The message of an EPropertyBagError raised by F.
template <class F>
std::string BagError(F&& Fn) {
  try {
    Fn();
  } catch (const EPropertyBagError& E) {
    return E.what();
  }
  return "(no EPropertyBagError)";
}

// A memory stream whose positions are reported 64 bytes short of 2 GiB further on.
class TFarStream : public TStream {
public:
  static constexpr int64_t Base = (int64_t{1} << 31) - 64;
  int32_t Read(void* B, int32_t C) override { return Inner.Read(B, C); }
  int32_t Write(const void* B, int32_t C) override { return Inner.Write(B, C); }
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override {
    if (Origin == TSeekOrigin::soBeginning) Offset -= Base;
    return Inner.Seek(Offset, Origin) + Base;
  }
  TMemoryStream Inner;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Byte layout

TEST_F(StreamBag, ClassInfoBlockOfTheDescriptionMatchesTheWorkedExampleByteForByte) {
  TScreenSaverInfo Info;
  const std::string B = Written(&Info);
  const std::string Expected = std::string("\0\0\0\0", 4) + Le32(9) + "ClassInfo" + Le64(87) +
                               Le32(2) + Le32(5) + "IsNIL" + Le32(0) +
                               Le32(1) + Le32(9) + "ClassName" + Le32(16) + "TScreenSaverInfo" +
                               Le32(2) + Le32(13) + "PropertyCount" + Le32(8) +
                               Le32(0) + Le32(10) + "Properties";
  ASSERT_GE(B.size(), Expected.size());
  EXPECT_EQ(B.substr(0, Expected.size()), Expected);
  EXPECT_EQ(B.substr(17, 8), Le64(87));
  EXPECT_EQ(B.substr(104, 4), Le32(0));
  // The record ends with the empty "InnerProperties" block of 31 bytes.
  EXPECT_EQ(B.substr(B.size() - 31), Le32(0) + Le32(15) + "InnerProperties" + Le64(8));
}

TEST_F(StreamBag, WholeRecordOfTheDescriptionIsLaidOutInPropertyIndexOrder) {
  std::unique_ptr<TTestSaverInfo> I = SampleInfo();
  auto Text = [](const std::string& S) { return RawItems().StringValue("Value", Utf8ToWin1252(S)); };
  const TTestPersonalInfo& P = *I->CreatorInfo();
  RawItems Person = Record("TTestPersonalInfo", 8,
                           RawItems()
                               .Bytes(Property("City", 10, Text(P.City)).B)
                               .Bytes(Property("Country", 10, Text(P.Country)).B)
                               .Bytes(Property("EMail", 10, Text(P.EMail)).B)
                               .Bytes(Property("FirstName", 10, Text(P.FirstName)).B)
                               .Bytes(Property("LastName", 10, Text(P.LastName)).B)
                               .Bytes(Property("Phone", 10, Text(P.Phone)).B)
                               .Bytes(Property("Street", 10, Text(P.Street)).B)
                               .Bytes(Property("ZIP", 10, Text(P.ZIP)).B));
  RawItems Expected = Record(
      "TTestSaverInfo", 8,
      RawItems()
          .Bytes(Property("CreationDate", 4, RawItems().BinaryValue("Value", F64(I->CreationDate))).B)
          .Bytes(Property("CreatorInfo", 7, RawItems().Block("Value", Person)).B)
          .Bytes(Property("CreatorLicense", 10, Text(I->CreatorLicense)).B)
          .Bytes(Property("ProductName", 10, Text(I->ProductName)).B)
          .Bytes(Property("ProductVersion", 10, Text(I->ProductVersion)).B)
          .Bytes(Property("Resolution", 3, Text("sr1024x768")).B)
          .Bytes(Property("RizuderName", 10, Text(I->RizuderName)).B)
          .Bytes(Property("SerialNo", 10, Text(I->SerialNo)).B));
  EXPECT_EQ(Written(I.get()), Expected.B);
}

TEST_F(StreamBag, EmptyReferenceIsOneClassInfoBlockOfLength25) {
  const std::string B = Written(nullptr);
  EXPECT_EQ(B, Le32(0) + Le32(9) + "ClassInfo" + Le64(25) + Le32(2) + Le32(5) + "IsNIL" + Le32(1));
}

TEST_F(StreamBag, EmptyBlockIsTagNameAndLength8AndIsSkippedAtOnce) {
  TMemoryStream S;
  TStreamPropertyBag W(S);
  W.BeginBlockWrite("Leer");
  W.EndBlockWrite();
  W.WriteInteger("Next", 42);
  EXPECT_EQ(Bytes(S).substr(0, 20), Le32(0) + Le32(4) + "Leer" + Le64(8));
  S.SetPosition(0);
  TStreamPropertyBag R(S);
  R.BeginBlockRead("Leer");
  R.EndBlockRead();
  EXPECT_EQ(S.Position(), 20);
  EXPECT_EQ(R.ReadInteger("Next"), 42);
}

TEST_F(StreamBag, UnreadRestOfABlockIsSkippedByOneSeek) {
  TMemoryStream S;
  TStreamPropertyBag W(S);
  W.BeginBlockWrite("Outer");
  W.WriteStringValue("A", "eins");
  W.BeginBlockWrite("Inner");
  W.WriteInteger("B", 2);
  W.EndBlockWrite();
  W.EndBlockWrite();
  W.WriteStringValue("After", "danach");
  S.SetPosition(0);
  TStreamPropertyBag R(S);
  R.BeginBlockRead("Outer");
  R.EndBlockRead();
  std::string V;
  EXPECT_TRUE(R.ReadStringValue("After", V));
  EXPECT_EQ(V, "danach");
}

TEST_F(StreamBag, TagsAreWrittenMaskedAndOnlyTheLowestByteIsRead) {
  // A stored tag of 256 is a block.
  RawItems Raw;
  Raw.Int(256).Str("X").Int64(8).Int(0x102).Str("V").Int(7);
  TMemoryStream S = StreamOf(Raw.B);
  TStreamPropertyBag R(S);
  R.BeginBlockRead("X");
  R.EndBlockRead();
  EXPECT_EQ(R.ReadInteger("V"), 7);
}

// ---------------------------------------------------------------------------------------------
// Open, records back to back, stream end

TEST_F(StreamBag, OpenForReadingNeedsABytePastThePosition) {
  TMemoryStream S = StreamOf("");
  TStreamPropertyBag R(S);
  EXPECT_FALSE(R.Open(false));
  EXPECT_TRUE(R.Open(true));
  TMemoryStream One = StreamOf(std::string(1, '\0'));
  TStreamPropertyBag R1(One);
  EXPECT_TRUE(R1.Open(false));
  std::unique_ptr<TReflectivePersistent> O;
  try {
    R1.ReadObject(O);
    FAIL();
  } catch (const EReadError& E) {
    EXPECT_STREQ(E.what(), "Stream read error");
  }
}

TEST_F(StreamBag, RecordsBackToBackReadOneEachThenFalse) {
  std::unique_ptr<TTestSaverInfo> Info = SampleInfo();
  TTestAddress Address;
  Address.City = "Hamburg";
  TMemoryStream S;
  {
    TStreamPropertyBag W(S);
    W.WriteObject(Info.get());
    W.WriteObject(&Address);
  }
  const int64_t FirstSize = static_cast<int64_t>(Written(Info.get()).size());
  S.SetPosition(0);
  TStreamPropertyBag R(S);
  std::unique_ptr<TReflectivePersistent> A, B, C;
  EXPECT_TRUE(R.ReadObject(A));
  EXPECT_EQ(S.Position(), FirstSize);
  EXPECT_TRUE(R.ReadObject(B));
  EXPECT_FALSE(R.ReadObject(C));
  EXPECT_EQ(C, nullptr);
  EXPECT_EQ(Difference(*Info, *A), "");
  EXPECT_EQ(static_cast<TTestAddress&>(*B).City, "Hamburg");

  // LoadFromStream reads from the position it finds and leaves it after the record.
  S.SetPosition(FirstSize);
  TTestAddress Again;
  EXPECT_TRUE(Again.LoadFromStream(S));
  EXPECT_EQ(Again.City, "Hamburg");
  EXPECT_FALSE(Again.LoadFromStream(S));
}

TEST_F(StreamBag, AStreamThatEndsEarlyIsRefused) {
  const std::string Full = Written(SampleInfo().get());
  // The record's three blocks: where each begins and where its tag, name and length end.
  std::vector<std::pair<size_t, size_t>> Headers;
  for (size_t At = 0; At < Full.size();) {
    int32_t NameLength;
    int64_t Length;
    std::memcpy(&NameLength, Full.data() + At + 4, 4);
    const size_t LengthAt = At + 8 + static_cast<size_t>(NameLength);
    std::memcpy(&Length, Full.data() + LengthAt, 8);
    Headers.emplace_back(At, LengthAt + 8);
    At = LengthAt + static_cast<size_t>(Length);
  }
  ASSERT_EQ(Headers.size(), 3u);
  for (size_t Cut = 1; Cut < Full.size(); ++Cut) {
    // Inside a header the stream ends inside an item; behind one, the block claims more bytes
    // than the stream holds and is refused before anything in it is read.
    bool InHeader = false;
    for (const auto& [Begin, End] : Headers) InHeader |= Cut >= Begin && Cut < End;
    TMemoryStream S = StreamOf(Full.substr(0, Cut));
    TStreamPropertyBag R(S);
    std::unique_ptr<TReflectivePersistent> O;
    if (InHeader)
      EXPECT_THROW(R.ReadObject(O), EReadError) << "cut at " << Cut;
    else
      EXPECT_NE(BagError([&] { R.ReadObject(O); }).find("invalid length"), std::string::npos)
          << "cut at " << Cut;
    EXPECT_EQ(O, nullptr);
  }
}

TEST_F(StreamBag, RecordsBehindAProgramImageAreReadThroughTheAppendedDataStream) {
  const std::string File = testsupport::TempDir() + "/Rizuder.scr";
  testsupport::WriteFileBytes(File, std::string(1000, 'M'));
  std::unique_ptr<TTestSaverInfo> Info = SampleInfo();
  TTestAddress Address;
  Address.ZIP = "01067";
  {
    TApplicationDataStream Out(File, adaReadWrite);
    TStreamPropertyBag W(Out);
    W.WriteObject(Info.get());
    W.WriteObject(&Address);
  }
  TApplicationDataStream In(File, adaRead);
  TTestSaverInfo I;
  TTestAddress A;
  EXPECT_TRUE(I.LoadFromStream(In));
  EXPECT_TRUE(A.LoadFromStream(In));
  EXPECT_EQ(Difference(*Info, I), "");
  EXPECT_EQ(A.ZIP, "01067");
  // Behind the records lies at most the slack that earlier trailers left.
  EXPECT_LT(In.Size() - In.Position(), 16);
}

// ---------------------------------------------------------------------------------------------
// Names, tags and their errors

TEST_F(StreamBag, ValueNameMismatchNamesTheStoredName) {
  TMemoryStream S;
  TStreamPropertyBag(S).WriteInteger("Breite", 640);
  S.SetPosition(0);
  TStreamPropertyBag R(S);
  EXPECT_EQ(BagError([&] { R.ReadInteger("Hoehe"); }),
            "Error in procedure : TStreamPropertyBag.ReadBinaryValue, InstanceClass : nil, Message "
            "TStreamPropertyBag.ReadBinaryValue : value name mismatch : Breite");
  S.SetPosition(0);
  std::string V = "unverändert";
  EXPECT_EQ(BagError([&] { R.ReadStringValue("Breite", V); }),
            "Error in procedure : TStreamPropertyBag.ReadStringValue, InstanceClass : nil, Message ");
  EXPECT_EQ(V, "unverändert");
}

TEST_F(StreamBag, BlockNameMismatchNamesTheStoredBlock) {
  TMemoryStream S;
  {
    TStreamPropertyBag W(S);
    W.BeginBlockWrite("Gelesen");
    W.WriteInteger("X", 5);
    W.EndBlockWrite();
  }
  S.SetPosition(0);
  TStreamPropertyBag R(S);
  EXPECT_EQ(BagError([&] { R.BeginBlockRead("Erwartet"); }),
            "Error in procedure : TStreamPropertyBag.BeginBlockRead, InstanceClass : nil, Message "
            "TStreamPropertyBag.BeginBlockRead : block name mismatch : Gelesen");
  // The block was entered all the same.
  EXPECT_EQ(R.BlockDepth(), 1);
  EXPECT_EQ(R.ReadInteger("X"), 5);
}

TEST_F(StreamBag, ErrorsWithAHandlerContinueWhereTheBagHasGot) {
  // A record whose ClassInfo block holds a string where "IsNIL" should be a binary value.
  RawItems Raw;
  Raw.Block("ClassInfo", RawItems().StringValue("IsNIL", "x").IntValue("Wrong", 0));
  Raw.Block("Properties", {}).Block("InnerProperties", {});
  Raw.B += Written(nullptr);
  TMemoryStream S = StreamOf(Raw.B);
  TStreamPropertyBag R(S);
  std::vector<TBagErrorCode> Codes;
  auto Handler = [&](TPropertyBag& Sender, TBagErrorCode C, const std::string&) {
    EXPECT_EQ(&Sender, &R);
    Codes.push_back(C);
  };
  TTestAddress A;
  TReflectivePersistent* P = &A;
  EXPECT_TRUE(R.ReadObject(P, Handler));
  // IsNIL: wrong tag; ClassName: the bytes after that tag are no string tag either; the empty
  // name is not the object's; PropertyCount: wrong tag again.
  EXPECT_EQ(Codes, (std::vector<TBagErrorCode>{pbeItemTagMismatch, pbeItemTagMismatch,
                                               pbeClassNameMismatch, pbeItemTagMismatch}));
  // The ClassInfo block was left by its length: the next record is read normally.
  Codes.clear();
  EXPECT_TRUE(R.ReadObject(P, Handler));
  EXPECT_TRUE(Codes.empty());
  EXPECT_EQ(P, &A);
  EXPECT_FALSE(R.ReadObject(P, Handler));
}

TEST_F(StreamBag, LeavingABlockThatWasNeverEnteredIsTheStackError) {
  TMemoryStream S;
  TStreamPropertyBag B(S);
  EXPECT_THROW(B.EndBlockRead(), EListError);
  EXPECT_THROW(B.EndBlockWrite(), EListError);
}

// ---------------------------------------------------------------------------------------------
// Text

TEST_F(StreamBag, EveryByteSurvivesAndUmlautsAreSingleBytes) {
  std::string All;
  for (int C = 0; C < 256; ++C) All.push_back(static_cast<char>(C));
  const std::string Text = Win1252ToUtf8(All);
  TMemoryStream S;
  {
    TStreamPropertyBag W(S);
    W.WriteStringValue("Alle", Text);
    W.WriteStringValue("Umlaute", "äöüÄÖÜß€");
  }
  const std::string B = Bytes(S);
  EXPECT_EQ(B.substr(8 + 4, 4), Le32(256));
  EXPECT_EQ(B.substr(8 + 4 + 4, 256), All);
  EXPECT_NE(B.find(Le32(8) + "\xE4\xF6\xFC\xC4\xD6\xDC\xDF\x80"), std::string::npos);
  S.SetPosition(0);
  TStreamPropertyBag R(S);
  std::string A, U;
  R.ReadStringValue("Alle", A);
  R.ReadStringValue("Umlaute", U);
  EXPECT_EQ(A, Text);
  EXPECT_EQ(Utf8ToWin1252(A), All);
  EXPECT_EQ(U, "äöüÄÖÜß€");
}

// ---------------------------------------------------------------------------------------------
// Positions beyond 32 bits

TEST_F(StreamBag, BlockPositionsFrom2GiBOnAreRangeErrors) {
  TFarStream S;
  S.SetPosition(TFarStream::Base + 64 - 17);  // the first block's length field at 2 GiB
  TStreamPropertyBag W(S);
  TTestAddress A;
  EXPECT_THROW(W.WriteObject(&A), ERangeError);

  TFarStream In;
  const std::string Rec = Written(&A);
  In.Inner.WriteBuffer(std::string(64, '\0').data(), 64);
  In.Inner.WriteBuffer(Rec.data(), static_cast<int32_t>(Rec.size()));
  In.SetPosition(TFarStream::Base + 64);
  TStreamPropertyBag R(In);
  TReflectivePersistent* P = &A;
  EXPECT_THROW(R.ReadObject(P), ERangeError);
}
