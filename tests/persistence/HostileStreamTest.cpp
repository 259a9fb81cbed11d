// Damaged and hostile object streams: every one ends in a clear error, never in a crash, a
// hang or an allocation beyond the stream's size. The same inputs are kept as files under
// test-inputs/malformed/ and run through the fuzzer's reading routine (FuzzCorpusTest).

#include <gtest/gtest.h>

#include "tests/fuzz/FuzzClasses.h"
#include "tests/persistence/HostileInputs.h"
#include "tests/persistence/TestClasses.h"

using namespace ptest;

namespace {

class Hostile : public ::testing::Test {
protected:
  void SetUp() override { fuzzc::RegisterFuzzClasses(); }
};

// The error type and message of reading one record from B.
std::pair<std::string, std::string> Outcome(const std::string& B) {
  TMemoryStream S = StreamOf(B);
  TStreamPropertyBag Bag(S);
  std::unique_ptr<TReflectivePersistent> O;
  try {
    Bag.ReadObject(O);
  } catch (const Exception& E) {
    return {E.ClassName(), E.what()};
  }
  return {"none", ""};
}

}  // namespace

TEST_F(Hostile, EachInputEndsInItsError) {
  for (const HostileInput& H : HostileInputs()) {
    const auto [Class, Message] = Outcome(H.Bytes);
    EXPECT_EQ(Class, H.ErrorClass) << H.Name << ": " << Message;
    EXPECT_NE(Message.find(H.MessagePart), std::string::npos) << H.Name << ": " << Message;
  }
}

TEST_F(Hostile, NestingWithinTheLimitReads) {
  const std::string B = NestedInfos(60);
  std::unique_ptr<TReflectivePersistent> O;
  TMemoryStream S = StreamOf(B);
  TStreamPropertyBag Bag(S);
  ASSERT_TRUE(Bag.ReadObject(O));
  int Depth = 0;
  for (auto* I = static_cast<fuzzc::TFuzzInfo*>(O.get()); I; I = I->Extra()) ++Depth;
  EXPECT_EQ(Depth, 61);
}

TEST_F(Hostile, TheWriterRefusesWhatTheReaderWouldRefuse) {
  auto Root = std::make_unique<fuzzc::TFuzzInfo>();
  fuzzc::TFuzzInfo* Last = Root.get();
  for (int I = 0; I < 100; ++I) {
    Last->FExtra = std::make_unique<fuzzc::TFuzzInfo>();
    Last = Last->FExtra.get();
  }
  TMemoryStream S;
  TStreamPropertyBag Bag(S);
  try {
    Bag.WriteObject(Root.get());
    FAIL();
  } catch (const EPropertyBagError& E) {
    EXPECT_NE(std::string(E.what()).find("blocks nested deeper than 256"), std::string::npos);
  }
}

TEST_F(Hostile, ErrorsLetPassByAHandlerStillEnd) {
  // Handlers let reading go on after most errors; a stream of garbage must still come to an end.
  for (const HostileInput& H : HostileInputs()) {
    TMemoryStream S = StreamOf(H.Bytes);
    TStreamPropertyBag Bag(S);
    int Reported = 0;
    auto Handler = [&](TPropertyBag&, TBagErrorCode, const std::string&) { ++Reported; };
    try {
      for (int I = 0; I < 4; ++I) {
        std::unique_ptr<TReflectivePersistent> O;
        if (!Bag.ReadObject(O, Handler)) break;
      }
    } catch (const Exception&) {
    }
  }
  SUCCEED();
}
