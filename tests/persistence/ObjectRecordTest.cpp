#include <gtest/gtest.h>

#include "persistence/PropertyBags.h"
#include "tests/persistence/TestClasses.h"

using namespace ptest;

namespace {

class ObjectRecord : public ::testing::Test {
protected:
  void SetUp() override { RegisterTestClasses(); }

  // Errors seen by the handler, in order.
  std::vector<TBagErrorCode> Codes;
  std::vector<std::string> Texts;
  TPropertyBagErrorEvent Recorder() {
    return [this](TPropertyBag&, TBagErrorCode C, const std::string& T) {
      Codes.push_back(C);
      Texts.push_back(T);
    };
  }
};

std::string Written(TReflectivePersistent* Obj, const TPropertyBagErrorEvent& OnError = {}) {
  TMemoryStream S;
  TStreamPropertyBag Bag(S);
  Bag.WriteObject(Obj, OnError);
  return Bytes(S);
}

std::unique_ptr<TReflectivePersistent> ReadBack(const std::string& B, const TPropertyBagErrorEvent& OnError = {}) {
  TMemoryStream S = StreamOf(B);
  TStreamPropertyBag Bag(S);
  std::unique_ptr<TReflectivePersistent> O;
  Bag.ReadObject(O, OnError);
  return O;
}

void ReadInto(const std::string& B, TReflectivePersistent& Obj, const TPropertyBagErrorEvent& OnError = {}) {
  TMemoryStream S = StreamOf(B);
  TStreamPropertyBag Bag(S);
  TReflectivePersistent* P = &Obj;
  ASSERT_TRUE(Bag.ReadObject(P, OnError));
  ASSERT_EQ(P, &Obj);
}

template <class F>
std::string BagError(F&& Fn) {
  try {
    Fn();
  } catch (const EPropertyBagError& E) {
    return E.what();
  }
  return "(no EPropertyBagError)";
}

std::string Text(const std::string& S) { return RawItems().StringValue("Value", S).B; }
std::string Int(int32_t V) { return RawItems().IntValue("Value", V).B; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Empty references

TEST_F(ObjectRecord, EmptyReferenceLeavesWhateverWasPassed) {
  const std::string Nil = Written(nullptr);
  TTestAddress A;
  A.City = "Ulm";
  ReadInto(Nil, A);
  EXPECT_EQ(A.City, "Ulm");
  TMemoryStream S = StreamOf(Nil);
  TStreamPropertyBag Bag(S);
  TReflectivePersistent* P = nullptr;
  EXPECT_TRUE(Bag.ReadObject(P));
  EXPECT_EQ(P, nullptr);
  EXPECT_FALSE(Bag.ReadObject(P));
}

TEST_F(ObjectRecord, OnlyTheLowByteOfIsNILCounts) {
  RawItems R;
  R.Block("ClassInfo", RawItems().IntValue("IsNIL", 0x100).StringValue("ClassName", "TTestAddress").IntValue(
                           "PropertyCount", 0));
  R.Block("Properties", {}).Block("InnerProperties", {});
  std::unique_ptr<TReflectivePersistent> O = ReadBack(R.B);
  ASSERT_NE(O, nullptr);
  EXPECT_EQ(O->ClassName(), "TTestAddress");
}

// ---------------------------------------------------------------------------------------------
// Round trips

TEST_F(ObjectRecord, DescriptionRoundTripsPropertyForProperty) {
  std::unique_ptr<TTestSaverInfo> I = SampleInfo();
  std::unique_ptr<TReflectivePersistent> O = ReadBack(Written(I.get()));
  ASSERT_NE(O, nullptr);
  EXPECT_EQ(O->ClassName(), "TTestSaverInfo");
  EXPECT_EQ(Difference(*I, *O), "");
  auto& Back = static_cast<TTestSaverInfo&>(*O);
  EXPECT_EQ(Back.CreatorInfo()->City, "München");
  EXPECT_EQ(Back.CreatorLicense, I->CreatorLicense);
}

TEST_F(ObjectRecord, EveryKindRoundTrips) {
  TTestAllKinds A;
  A.Count = INT32_MIN;
  A.Mask = 0xDEADBEEF;
  A.Color = 0x00FF8040;
  A.Big = -(int64_t{1} << 50);
  A.Speed = 1.0f / 3.0f;
  A.Stamp = 45000.999;
  A.Enabled = true;
  A.Resolution = sr1600x1200;
  A.Styles = 0b1010;
  A.Text = "";
  A.SetDuration(-1);
  A.Person()->EMail = "a@b.de";
  auto Item = std::make_unique<TTestMedia>();
  Item->Extension = ".wav";
  Item->Content.WriteBuffer("RIFF", 4);
  A.Items()->Add(std::move(Item));
  A.Items()->Add(nullptr);
  A.Items()->Add(std::make_unique<TTestAddress>());

  std::unique_ptr<TReflectivePersistent> O = ReadBack(Written(&A));
  ASSERT_NE(O, nullptr);
  auto& B = static_cast<TTestAllKinds&>(*O);
  EXPECT_EQ(Difference(A, B), "");
  EXPECT_EQ(B.Speed, 1.0f / 3.0f);  // a Single goes through a double and comes back the same
  EXPECT_EQ(B.Mask, 0xDEADBEEFu);
  ASSERT_EQ(B.Items()->Count(), 3);
  EXPECT_EQ(Bytes(static_cast<TTestMedia*>(B.Items()->Items(0))->Content), "RIFF");
  EXPECT_EQ(B.Items()->Items(1), nullptr);
  EXPECT_EQ(B.Items()->Items(2)->ClassName(), "TTestAddress");
}

TEST_F(ObjectRecord, SinglePrecisionIsStoredAsAnEightByteDouble) {
  TTestAllKinds A;
  A.Speed = 0.05f;
  const std::string B = Written(&A);
  const double D = 0.05f;
  EXPECT_NE(B.find(RawItems().IntValue("Type", 4).BinaryValue("Value", std::string(reinterpret_cast<const char*>(&D), 8)).B),
            std::string::npos);
}

TEST_F(ObjectRecord, PropertiesAreFoundByNameInAnyStoredOrder) {
  RawItems Props;
  Props.Bytes(Property("ZIP", 10, RawItems().Bytes(Text("10115"))).B)
      .Bytes(Property("EMail", 10, RawItems().Bytes(Text("x@y.de"))).B)
      .Bytes(Property("city", 10, RawItems().Bytes(Text("Berlin"))).B);
  TTestAddress A;
  ReadInto(Record("TTestAddress", 3, Props).B, A);
  EXPECT_EQ(A.ZIP, "10115");
  EXPECT_EQ(A.EMail, "x@y.de");
  EXPECT_EQ(A.City, "Berlin");
}

TEST_F(ObjectRecord, PropertiesTheRecordLacksKeepTheConstructorDefaults) {
  RawItems Props;
  Props.Bytes(Property("Count", 1, RawItems().Bytes(Int(3))).B);
  std::unique_ptr<TReflectivePersistent> O = ReadBack(Record("TTestAllKinds", 1, Props).B);
  auto& A = static_cast<TTestAllKinds&>(*O);
  EXPECT_EQ(A.Count, 3);
  EXPECT_EQ(A.Text, "Geben Sie einen Text ein...");
  EXPECT_EQ(A.Duration(), 8000);
  EXPECT_EQ(A.Resolution, sr800x600);
}

TEST_F(ObjectRecord, APropertyCountOfZeroOrBelowReadsNoProperty) {
  RawItems Props;
  Props.Bytes(Property("City", 10, RawItems().Bytes(Text("Trier"))).B);
  TTestAddress A;
  ReadInto(Record("TTestAddress", -4, Props).B, A);
  EXPECT_EQ(A.City, "");
}

TEST_F(ObjectRecord, AnEmptyObjectPropertyGetsTheStoredObjectThroughItsSetter) {
  TTestAllKinds Source;
  Source.Person()->LastName = "Weber";
  TTestAllKinds Dest;
  Dest.FPerson.reset();
  ReadInto(Written(&Source), Dest);
  ASSERT_NE(Dest.Person(), nullptr);
  EXPECT_EQ(Dest.Person()->LastName, "Weber");
}

TEST_F(ObjectRecord, AStoredEmptyObjectLeavesTheExistingOneUntouched) {
  TTestAllKinds Source;
  Source.FPerson.reset();
  TTestAllKinds Dest;
  TTestPersonalInfo* Own = Dest.Person();
  Own->City = "Kiel";
  ReadInto(Written(&Source), Dest);
  EXPECT_EQ(Dest.Person(), Own);
  EXPECT_EQ(Own->City, "Kiel");
}

TEST_F(ObjectRecord, ReadingAListWithCountZeroEmptiesIt) {
  TTestList Empty;
  TTestList L;
  L.Add(std::make_unique<TTestAddress>());
  L.Add(std::make_unique<TTestAddress>());
  ReadInto(Written(&Empty), L);
  EXPECT_EQ(L.Count(), 0);
  // A negative count reads no item either, and still empties the list.
  RawItems Inner;
  Inner.Block("_Items", RawItems().IntValue("Count", -3));
  L.Add(std::make_unique<TTestAddress>());
  ReadInto(Record("TTestList", 0, {}, Inner).B, L);
  EXPECT_EQ(L.Count(), 0);
}

TEST_F(ObjectRecord, ATypedListRefusesItemsOfAnotherClass) {
  TTestList Mixed;
  Mixed.Add(std::make_unique<TTestAddress>());
  Mixed.Add(std::make_unique<TTestMedia>());
  Mixed.Add(nullptr);
  // The same items under a typed list: the outer record's inner block is taken over whole.
  const std::string Untyped = Written(&Mixed);
  const size_t InnerContent = Untyped.find("InnerProperties") + 15 + 8;
  const std::string B =
      Record("TTestAddressList", 0, {}, RawItems().Bytes(Untyped.substr(InnerContent))).B;
  TTestAddressList L;
  EXPECT_EQ(BagError([&] { ReadInto(B, L); }),
            "Error in procedure : TReflectiveObjectList.ReadInnerProperties, InstanceClass : "
            "TTestAddressList, Message TReflectiveObjectList.ReadInnerProperties : unsupportet "
            "object property class : TTestMedia");
  ReadInto(B, L, Recorder());
  EXPECT_EQ(Codes, std::vector<TBagErrorCode>{pbeUnsupportedObjectClass});
  ASSERT_EQ(L.Count(), 3);
  EXPECT_NE(L.Items(0), nullptr);
  EXPECT_EQ(L.Items(1), nullptr);
  EXPECT_EQ(L.Items(2), nullptr);
}

TEST_F(ObjectRecord, ListItemsAreNamedWithEightHexDigits) {
  TTestList L;
  for (int I = 0; I < 11; ++I) L.Add(nullptr);
  const std::string B = Written(&L);
  EXPECT_NE(B.find("Item00000000"), std::string::npos);
  EXPECT_NE(B.find("Item0000000A"), std::string::npos);
  EXPECT_NE(B.find(RawItems().IntValue("Count", 11).B), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// Kinds without a value and unsupported kinds

TEST_F(ObjectRecord, DynamicArrayPropertyIsATypeOnlyBlock) {
  TTestOddKinds O;
  O.Before = 1;
  O.After = 2;
  const std::string B = Written(&O);
  EXPECT_NE(B.find(Property("Points", 17, {}).B), std::string::npos);
  std::unique_ptr<TReflectivePersistent> Back = ReadBack(B);
  EXPECT_EQ(static_cast<TTestOddKinds&>(*Back).After, 2);
}

TEST_F(ObjectRecord, UnsupportedKindIsError6BothWays) {
  TTestRecordKind O;
  EXPECT_EQ(BagError([&] { Written(&O); }),
            "Error in procedure : TPropertyBag.WritePropertyValue, InstanceClass : TTestRecordKind, "
            "Message TPropertyBag.WritePropertyValue : unsupported datatype");
  const std::string B = Written(&O, Recorder());
  EXPECT_EQ(Codes, std::vector<TBagErrorCode>{pbeUnsupportedType});
  EXPECT_NE(B.find(Property("Bounds", 14, {}).B), std::string::npos);
  Codes.clear();
  Texts.clear();
  // Reading: the value is not read and the block is skipped, whatever it holds.
  RawItems Props;
  Props.Bytes(Property("Bounds", 14, RawItems().Bytes(Int(5))).B);
  TTestRecordKind R;
  ReadInto(Record("TTestRecordKind", 1, Props).B, R, Recorder());
  EXPECT_EQ(Codes, std::vector<TBagErrorCode>{pbeUnsupportedType});
  EXPECT_NE(Texts[0].find("TPropertyBag.ReadPropertyValue : unsupported datatype"), std::string::npos);
}

TEST_F(ObjectRecord, ObjectOutsideTheReflectiveFamilyIsError7) {
  TTestForeign F;
  EXPECT_EQ(BagError([&] { Written(&F); }),
            "Error in procedure : TPropertyBag.WritePropertyValue, InstanceClass : TTestForeign, "
            "Message TPropertyBag.WritePropertyValue : unsupportet object property class : TStringList");
  const std::string B = Written(&F, Recorder());
  EXPECT_EQ(Codes, std::vector<TBagErrorCode>{pbeUnsupportedObjectClass});
  EXPECT_NE(B.find(Property("Strings", 7, {}).B), std::string::npos);
  Codes.clear();
  Texts.clear();
  // Reading into it: nothing is read.
  RawItems Props;
  Props.Bytes(Property("Strings", 7, RawItems().Block("Value", RawItems().Bytes(Written(nullptr)))).B);
  TTestForeign R;
  ReadInto(Record("TTestForeign", 1, Props).B, R, Recorder());
  EXPECT_EQ(Codes, std::vector<TBagErrorCode>{pbeUnsupportedObjectClass});
  EXPECT_NE(Texts[0].find("TPropertyBag.ReadPropertyValue : unsupportet object property class : TStringList"),
            std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// Errors of the record

TEST_F(ObjectRecord, UnknownClassIsError3) {
  const std::string B = Record("TGibtEsNicht", 0, {}).B;
  EXPECT_EQ(BagError([&] { ReadBack(B); }),
            "Error in procedure : TPropertyBag.ReadObject, InstanceClass : nil, "
            "Message TPropertyBag.ReadObject : unkown class TGibtEsNicht");
  // With a handler the record is stepped over: no object, and the next record is read.
  TTestAddress A;
  A.City = "Gera";
  TMemoryStream S = StreamOf(B + Written(&A));
  TStreamPropertyBag Bag(S);
  TReflectivePersistent* P = nullptr;
  EXPECT_TRUE(Bag.ReadObject(P, Recorder()));
  EXPECT_EQ(P, nullptr);
  EXPECT_EQ(Codes, std::vector<TBagErrorCode>{pbeUnknownClass});
  EXPECT_TRUE(Bag.ReadObject(P, Recorder()));
  ASSERT_NE(P, nullptr);
  EXPECT_EQ(static_cast<TTestAddress*>(P)->City, "Gera");
  delete P;
}

TEST_F(ObjectRecord, ClassNameDifferingOnlyInCaseIsFoundButIsError4) {
  RawItems Props;
  Props.Bytes(Property("City", 10, RawItems().Bytes(Text("Jena"))).B);
  const std::string B = Record("TTESTADDRESS", 1, Props).B;
  EXPECT_EQ(BagError([&] { ReadBack(B); }),
            "Error in procedure : TPropertyBag.ReadObject, InstanceClass : TTestAddress, Message "
            "TPropertyBag.ReadObject : classnames do not match : TTESTADDRESS, TTestAddress");
  // With a handler reading goes on into the object at hand.
  std::unique_ptr<TReflectivePersistent> O = ReadBack(B, Recorder());
  EXPECT_EQ(Codes, std::vector<TBagErrorCode>{pbeClassNameMismatch});
  ASSERT_NE(O, nullptr);
  EXPECT_EQ(static_cast<TTestAddress&>(*O).City, "Jena");
}

TEST_F(ObjectRecord, StoredPropertyTheClassLacksIsError2AndTheOthersAreStillRead) {
  RawItems Props;
  Props.Bytes(Property("City", 10, RawItems().Bytes(Text("Gotha"))).B)
      .Bytes(Property("Street", 10, RawItems().Bytes(Text("Am Markt"))).B)
      .Bytes(Property("ZIP", 10, RawItems().Bytes(Text("99867"))).B);
  const std::string B = Record("TTestAddress", 3, Props).B;
  TTestAddress A;
  EXPECT_EQ(BagError([&] { ReadInto(B, A); }),
            "Error in procedure : TPropertyBag.ReadProperty, InstanceClass : TTestAddress, Message "
            "TPropertyBag.ReadProperty : property not found");
  TTestAddress H;
  ReadInto(B, H, Recorder());
  EXPECT_EQ(Codes, std::vector<TBagErrorCode>{pbePropertyNotFound});
  EXPECT_EQ(H.City, "Gotha");
  EXPECT_EQ(H.ZIP, "99867");
}

TEST_F(ObjectRecord, StoredTypeOtherThanTheClassesKindIsError1) {
  RawItems Props;
  Props.Bytes(Property("Count", 10, RawItems().Bytes(Text("5"))).B)
      .Bytes(Property("Text", 10 + 256, RawItems().Bytes(Text("hoch"))).B);  // low byte counts
  TTestAllKinds A;
  ReadInto(Record("TTestAllKinds", 2, Props).B, A, Recorder());
  EXPECT_EQ(Codes, std::vector<TBagErrorCode>{pbeTypeMismatch});
  EXPECT_NE(Texts[0].find("Message data type mismatch"), std::string::npos);
  EXPECT_EQ(A.Count, 7);
  EXPECT_EQ(A.Text, "hoch");
}

TEST_F(ObjectRecord, AnUnknownIdentifierRaisesTheConversionError) {
  RawItems Props;
  Props.Bytes(Property("Resolution", 3, RawItems().Bytes(Text("sr2048x1536"))).B);
  TTestAllKinds A;
  EXPECT_THROW(ReadInto(Record("TTestAllKinds", 1, Props).B, A), EPropertyConvertError);
}

TEST_F(ObjectRecord, ErrorTextNamesTheInnermostObject) {
  // A bad property inside the nested creator names the creator's class.
  RawItems Person = Record("TTestPersonalInfo", 1, RawItems().Bytes(Property("Fax", 10, RawItems().Bytes(Text("-"))).B));
  RawItems Props;
  Props.Bytes(Property("CreatorInfo", 7, RawItems().Block("Value", Person)).B);
  TTestSaverInfo I;
  EXPECT_EQ(BagError([&] { ReadInto(Record("TTestSaverInfo", 1, Props).B, I); }),
            "Error in procedure : TPropertyBag.ReadProperty, InstanceClass : TTestPersonalInfo, "
            "Message TPropertyBag.ReadProperty : property not found");
}

TEST_F(ObjectRecord, AnObjectCreatedForAFailedReadIsNotHandedOut) {
  RawItems Props;
  Props.Bytes(Property("Nope", 10, RawItems().Bytes(Text("x"))).B);
  TMemoryStream S = StreamOf(Record("TTestAddress", 1, Props).B);
  TStreamPropertyBag Bag(S);
  TReflectivePersistent* P = nullptr;
  EXPECT_THROW(Bag.ReadObject(P), EPropertyBagError);
  EXPECT_EQ(P, nullptr);
  EXPECT_EQ(Bag.CurrentObject(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Embedded streams

namespace {
std::string Pattern(size_t N) {
  std::string S(N, '\0');
  for (size_t I = 0; I < N; ++I) S[I] = static_cast<char>((I * 7 + I / 251) & 0xFF);
  return S;
}
}  // namespace

TEST_F(ObjectRecord, EmbeddedStreamsAreCutIn64KiBChunks) {
  struct Case {
    size_t Size;
    std::vector<int32_t> Chunks;
  };
  for (const Case& C : {Case{0, {}}, Case{1, {1}}, Case{65536, {65536}}, Case{65537, {65536, 1}},
                        Case{200000, {65536, 65536, 65536, 3392}}}) {
    TMemoryStream Source = StreamOf(Pattern(C.Size));
    TMemoryStream S;
    TStreamPropertyBag(S).WriteStream("Datei", Source);
    RawItems Expected;
    RawItems Content;
    Content.BinaryValue("StreamSize", RawItems().Int64(static_cast<int64_t>(C.Size)).B)
        .IntValue("BufferCount", static_cast<int32_t>(C.Chunks.size()));
    size_t Offset = 0;
    for (size_t I = 0; I < C.Chunks.size(); ++I) {
      Content.IntValue("BufferSize" + std::to_string(I), C.Chunks[I]);
      Content.BinaryValue("BufferData" + std::to_string(I), Pattern(C.Size).substr(Offset, C.Chunks[I]));
      Offset += static_cast<size_t>(C.Chunks[I]);
    }
    Expected.Block("Datei", Content);
    EXPECT_EQ(Bytes(S), Expected.B) << C.Size;

    S.SetPosition(0);
    TMemoryStream Dest;
    Dest.WriteBuffer("vorher", 6);
    TStreamPropertyBag(S).ReadStream("Datei", Dest);
    EXPECT_EQ(Bytes(Dest), "vorher" + Pattern(C.Size)) << C.Size;
  }
}

TEST_F(ObjectRecord, EmbeddedStreamSizeIsTheWholeSourceWhileBytesComeFromItsPosition) {
  TMemoryStream Source = StreamOf("0123456789");
  Source.SetPosition(4);
  TMemoryStream S;
  TStreamPropertyBag(S).WriteStream("D", Source);
  S.SetPosition(0);
  TMemoryStream Dest;
  TStreamPropertyBag(S).ReadStream("D", Dest);
  // Ten bytes announced, six delivered: the chunk keeps its length, the rest zeros.
  EXPECT_EQ(Bytes(Dest), std::string("456789") + std::string(4, '\0'));
}

TEST_F(ObjectRecord, ChunksThatDoNotAddUpToTheSizeAreError8AfterAllChunks) {
  RawItems Content;
  Content.BinaryValue("StreamSize", RawItems().Int64(10).B)
      .IntValue("BufferCount", 2)
      .IntValue("BufferSize0", 3)
      .BinaryValue("BufferData0", "abc")
      .IntValue("BufferSize1", 2)
      .BinaryValue("BufferData1", "de");
  const std::string B = RawItems().Block("D", Content).Int(sitBinary).Str("After").Int(1).B;
  TMemoryStream S = StreamOf(B);
  TStreamPropertyBag Bag(S);
  TMemoryStream Dest;
  EXPECT_EQ(BagError([&] { Bag.ReadStream("D", Dest); }),
            "Error in procedure : TPropertyBag.ReadStream, InstanceClass : nil, Message "
            "TPropertyBag.ReadStream : Error while reading stream");
  EXPECT_EQ(Bytes(Dest), "abcde");
  EXPECT_EQ(Bag.BlockDepth(), 0);  // the block was left all the same
  EXPECT_EQ(Bag.ReadInteger("After"), 1);

  // No chunk at all for a size that is not 0.
  RawItems None;
  None.Block("D", RawItems().BinaryValue("StreamSize", RawItems().Int64(1).B).IntValue("BufferCount", 0));
  TMemoryStream S2 = StreamOf(None.B);
  TStreamPropertyBag Bag2(S2);
  EXPECT_THROW(Bag2.ReadStream("D", Dest), EPropertyBagError);
}

TEST_F(ObjectRecord, AChunkLargerThanTheBufferIsRefused) {
  for (int32_t Bad : {65537, -1, INT32_MAX}) {
    RawItems Content;
    Content.BinaryValue("StreamSize", RawItems().Int64(Bad).B)
        .IntValue("BufferCount", 1)
        .IntValue("BufferSize0", Bad)
        .BinaryValue("BufferData0", std::string(70000, 'x'));
    TMemoryStream S = StreamOf(RawItems().Block("D", Content).B);
    TStreamPropertyBag Bag(S);
    TMemoryStream Dest;
    EXPECT_THROW(Bag.ReadStream("D", Dest), EPropertyBagError) << Bad;
    EXPECT_EQ(Dest.Size(), 0);
  }
}

TEST_F(ObjectRecord, DestThatCannotTakeTheBytesIsAWriteError) {
  TMemoryStream Source = StreamOf("abc");
  TMemoryStream S;
  TStreamPropertyBag(S).WriteStream("D", Source);
  S.SetPosition(0);
  TMemoryStream Dest;
  Dest.SetPosition(-1);  // a memory stream refuses writes there
  TStreamPropertyBag Bag(S);
  EXPECT_THROW(Bag.ReadStream("D", Dest), EWriteError);
}

// ---------------------------------------------------------------------------------------------
// The error routine

TEST_F(ObjectRecord, HandlerStaysSetAndNestedRecordsReturnToTheOuterObject) {
  std::unique_ptr<TTestSaverInfo> I = SampleInfo();
  TMemoryStream S = StreamOf(Written(I.get()));
  TStreamPropertyBag Bag(S);
  TReflectivePersistent* P = nullptr;
  ASSERT_TRUE(Bag.ReadObject(P, Recorder()));
  std::unique_ptr<TReflectivePersistent> Held(P);
  EXPECT_TRUE(static_cast<bool>(Bag.OnError()));
  EXPECT_EQ(Bag.CurrentObject(), nullptr);
  EXPECT_TRUE(Codes.empty());
}

TEST_F(ObjectRecord, WriteFailsWithError5WhenTheBagCannotBeOpened) {
  class TClosedBag : public TStreamPropertyBag {
  public:
    using TStreamPropertyBag::TStreamPropertyBag;
    bool Open(bool) override { return false; }
  };
  TMemoryStream S;
  TClosedBag Bag(S);
  TTestAddress A;
  EXPECT_EQ(BagError([&] { Bag.WriteObject(&A); }),
            "Error in procedure : TPropertyBag.WriteObject, InstanceClass : TTestAddress, Message "
            "TPropertyBag.WriteObject : bag could not be opened");
  Bag.WriteObject(&A, Recorder());
  EXPECT_EQ(Codes, std::vector<TBagErrorCode>{pbeCannotOpen});
  EXPECT_EQ(S.Size(), 0);
}
