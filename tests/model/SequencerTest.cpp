#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "model/ScreenSaverModel.h"
#include "model/Sequencer.h"
#include "persistence/PropertyBags.h"
#include "platform/Platform.h"

namespace {

std::vector<std::string> GLog;
uint32_t GClock = 0;

// A sequence that logs what the controller does with it.
class TLoggingSequence : public TSequence {
  RIZ_REFLECTIVE(TLoggingSequence, TSequence)
public:
  TLoggingSequence() { Duration = 100; }
  void Prepare() override { GLog.push_back("prepare " + Name); }
  void Unprepare() override { GLog.push_back("unprepare " + Name); }
  void Step() override { GLog.push_back("step " + Name + " " + std::to_string(Elapsed())); }
};

// One whose Unprepare fails after logging; it logs its end too.
class TFailingUnprepare : public TLoggingSequence {
public:
  ~TFailingUnprepare() override { GLog.push_back("free " + Name); }
  void Unprepare() override {
    TLoggingSequence::Unprepare();
    throw EInvalidOperation("cannot let go of " + Name);
  }
};

std::unique_ptr<TLoggingSequence> Seq(const std::string& Name, int32_t Duration = 100) {
  auto S = TSequence::CreateNamed<TLoggingSequence>(Name, nullptr);
  S->Duration = Duration;
  return S;
}

std::unique_ptr<TSequence> Failing(const std::string& Name) {
  auto S = std::make_unique<TFailingUnprepare>();
  S->Name = Name;
  return S;
}

class Sequencer : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterModelClasses();
    RegisterReflectiveClass<TLoggingSequence>();
    GLog.clear();
    GClock = 1000;
    plat::SetTickHook([] { return GClock; });
  }
};

}  // namespace

RIZ_PUBLISHED(TLoggingSequence) {}

TEST_F(Sequencer, NewSequenceDefaultsAndStartFinishPairing) {
  TSequence S;
  EXPECT_EQ(S.Duration, 8000);
  EXPECT_FALSE(S.Prepared());

  auto L = Seq("a");
  L->Start();
  EXPECT_TRUE(L->Prepared());
  L->Finish();
  L->Finish();  // a second finish does nothing
  EXPECT_FALSE(L->Prepared());
  EXPECT_EQ(GLog, (std::vector<std::string>{"prepare a", "unprepare a"}));
}

TEST_F(Sequencer, StartTwicePreparesOnceAndMovesTheClock) {
  auto L = Seq("a", 1000);
  L->Start();
  EXPECT_EQ(L->StartTime, 1000u);
  GClock = 1400;
  L->Start();
  EXPECT_EQ(L->StartTime, 1400u);
  EXPECT_EQ(L->Elapsed(), 0);
  EXPECT_EQ(GLog, (std::vector<std::string>{"prepare a"}));
}

TEST_F(Sequencer, ClockIsReadAfterPrepare) {
  // Time spent preparing does not count into the sequence's duration.
  class TSlowPrepare : public TSequence {
  public:
    void Prepare() override { GClock += 500; }
  } S;
  S.Start();
  EXPECT_EQ(S.StartTime, 1500u);
  EXPECT_EQ(S.Elapsed(), 0);
}

TEST_F(Sequencer, ElapsedAndProgressFollowTheClock) {
  TSequence S;  // 8000 ms
  S.Start();
  EXPECT_EQ(S.Progress(10), 0);
  GClock += 4000;
  EXPECT_EQ(S.Elapsed(), 4000);
  EXPECT_EQ(S.Progress(10), 5);
  EXPECT_TRUE(S.IsRunning());
  GClock += 3999;
  EXPECT_EQ(S.Progress(10), 9);
  EXPECT_EQ(S.Progress(8000), 7999);
  GClock += 1;
  EXPECT_EQ(S.Elapsed(), 8000);
  EXPECT_EQ(S.Progress(10), 9);
  EXPECT_FALSE(S.IsRunning());
  GClock += 100000;
  EXPECT_EQ(S.Elapsed(), 8000);  // capped
  EXPECT_EQ(S.Progress(256), 255);
}

TEST_F(Sequencer, ZeroAndNegativeDurations) {
  TSequence Zero;
  Zero.Duration = 0;
  Zero.Start();
  GClock += 50;
  EXPECT_EQ(Zero.Elapsed(), 0);
  EXPECT_FALSE(Zero.IsRunning());
  EXPECT_EQ(Zero.Progress(7), 6);
  EXPECT_EQ(Zero.Progress(1), 0);

  TSequence Negative;
  Negative.Duration = -1;
  Negative.Start();
  EXPECT_EQ(Negative.Elapsed(), -1);
  EXPECT_FALSE(Negative.IsRunning());
  EXPECT_EQ(Negative.Progress(10), 9);
}

TEST_F(Sequencer, ElapsedSurvivesAWrappingClock) {
  GClock = 0xFFFFFF00u;
  TSequence S;
  S.Start();
  GClock = 0x00000100u;  // 512 ms later, across the wrap
  EXPECT_EQ(S.Elapsed(), 512);
  GClock = S.StartTime - 1;  // "2^32 - 1 ms later": counts as over, not as an error
  EXPECT_EQ(S.Elapsed(), 8000);
  EXPECT_FALSE(S.IsRunning());
}

TEST_F(Sequencer, DurationTenths) {
  TSequence S;
  EXPECT_EQ(S.DurationTenths(), 80);
  S.Duration = -1;
  EXPECT_EQ(S.DurationTenths(), 0);
  S.Duration = 150;
  EXPECT_EQ(S.DurationTenths(), 1);
  S.Duration = -150;
  EXPECT_EQ(S.DurationTenths(), -1);  // truncates toward zero
  S.Duration = INT32_MAX / 10 + 1;
  EXPECT_THROW(S.DurationTenths(), EIntOverflow);
}

TEST_F(Sequencer, CreateNamedRunsTheClassDefaultsAndRefusesOtherClasses) {
  TObject Owner;
  auto S = TSequence::CreateNamed(TLoggingSequence::StaticClass(), "Intro", &Owner);
  EXPECT_EQ(S->ClassName(), "TLoggingSequence");
  EXPECT_EQ(S->Duration, 100);
  EXPECT_EQ(S->Name, "Intro");
  EXPECT_EQ(S->Owner, &Owner);
  EXPECT_THROW(TSequence::CreateNamed(TPersonalInfo::StaticClass(), "x", nullptr), EInvalidCast);
}

TEST_F(Sequencer, ControllerPlaysInOrderAndLoopsByTheClock) {
  TSequenceControler C;
  C.Sequences().Add(Seq("a", 100));
  C.Sequences().Add(Seq("b", 200));
  C.SetLoop(true);
  EXPECT_EQ(C.CurrentSequence(), nullptr);
  C.Play();
  EXPECT_TRUE(C.Running());
  EXPECT_EQ(C.Current(), 0);

  C.Tick();  // a at 0
  GClock += 60;
  C.Tick();  // a at 60
  GClock += 60;
  C.Tick();  // a over: end frame at 100, then b starts
  EXPECT_EQ(C.Current(), 1);
  GClock += 200;
  C.Tick();  // b over, wraps to a
  EXPECT_EQ(C.Current(), 0);
  EXPECT_EQ(GLog, (std::vector<std::string>{
                      "prepare a", "step a 0", "step a 60", "step a 100", "step a 100", "unprepare a",
                      "prepare b", "step b 200", "step b 200", "unprepare b", "prepare a"}));
}

TEST_F(Sequencer, ASingleLoopingSequenceIsRestartedInFull) {
  TSequenceControler C;
  C.Sequences().Add(Seq("only", 10));
  C.SetLoop(true);
  C.Play();
  GClock += 10;
  C.Tick();
  EXPECT_EQ(C.Current(), 0);
  EXPECT_EQ(GLog, (std::vector<std::string>{"prepare only", "step only 10", "step only 10",
                                            "unprepare only", "prepare only"}));
}

TEST_F(Sequencer, WithoutLoopTheControllerStopsAfterTheLast) {
  TSequenceControler C;
  C.Sequences().Add(Seq("a"));
  C.Sequences().Add(Seq("b"));
  C.Play();
  C.Next();
  EXPECT_EQ(C.PeekNext(), nullptr);
  C.Next();
  EXPECT_EQ(C.Current(), -1);
  EXPECT_FALSE(C.Running());
  EXPECT_FALSE(C.Sequences().Items(1)->Prepared());
  const size_t Logged = GLog.size();
  C.Tick();  // stopped: nothing happens
  EXPECT_EQ(GLog.size(), Logged);
}

TEST_F(Sequencer, PeekNextChangesNothing) {
  TSequenceControler C;
  EXPECT_EQ(C.PeekNext(), nullptr);
  C.Sequences().Add(Seq("a"));
  C.Sequences().Add(Seq("b"));
  EXPECT_EQ(C.PeekNext(), C.Sequences().Items(0));  // nothing current yet: the first
  C.Play();
  EXPECT_EQ(C.PeekNext(), C.Sequences().Items(1));
  C.Next();
  C.SetLoop(true);
  EXPECT_EQ(C.PeekNext(), C.Sequences().Items(0));
  C.SetLoop(false);
  EXPECT_EQ(C.PeekNext(), nullptr);
  EXPECT_EQ(GLog, (std::vector<std::string>{"prepare a", "unprepare a", "prepare b"}));
}

TEST_F(Sequencer, EmptyListStopsInsteadOfSteppingNothing) {
  TSequenceControler C;
  C.SetLoop(true);
  C.Play();
  EXPECT_FALSE(C.Running());
  EXPECT_EQ(C.Current(), -1);
  C.Tick();
  C.Next();
  EXPECT_EQ(C.CurrentSequence(), nullptr);
}

TEST_F(Sequencer, SetCurrentRefusesAMissingSequenceWithoutChangingAnything) {
  TSequenceControler C;
  C.Sequences().Add(Seq("a"));
  C.Play();
  for (int Index : {5, 1, -2}) {
    EXPECT_THROW(C.SetCurrent(Index), EListError) << Index;
    EXPECT_EQ(C.Current(), 0);
    EXPECT_TRUE(C.Sequences().Items(0)->Prepared());
  }
}

TEST_F(Sequencer, ASequenceThatFailsToFinishStaysCurrent) {
  TSequenceControler C;
  C.Sequences().Add(Failing("a"));
  C.Sequences().Add(Seq("b"));
  C.Play();
  EXPECT_THROW(C.SetCurrent(1), EInvalidOperation);
  EXPECT_EQ(C.Current(), 0) << "it is still prepared, so it is still the controller's";
  EXPECT_TRUE(C.CurrentSequence()->Prepared());
  EXPECT_FALSE(C.Sequences().Items(1)->Prepared());
}

TEST_F(Sequencer, DestroyingTheControllerFinishesTheCurrentSequence) {
  {
    TSequenceControler C;
    C.Sequences().Add(Seq("a"));
    C.Sequences().Add(Seq("b"));
    C.Play();
    C.Next();
  }
  EXPECT_EQ(GLog, (std::vector<std::string>{"prepare a", "unprepare a", "prepare b", "unprepare b"}));
}

TEST_F(Sequencer, EveryWayAListFreesAPreparedSequenceRunsItsOwnUnprepare) {
  // The base destructor reaches only the base Unprepare, so the list has to finish first.
  const std::vector<std::pair<std::string, std::function<void(std::unique_ptr<TSequenceList>&)>>> Ways = {
      {"Clear", [](std::unique_ptr<TSequenceList>& L) { L->Clear(); }},
      {"Delete", [](std::unique_ptr<TSequenceList>& L) { L->Delete(0); L->Delete(0); }},
      {"destruction", [](std::unique_ptr<TSequenceList>& L) { L.reset(); }},
  };
  for (const auto& [Way, Free] : Ways) {
    GLog.clear();
    auto L = std::make_unique<TSequenceList>();
    L->Add(Seq("a"));
    L->Add(Seq("b"));  // never prepared: nothing to undo
    L->Items(0)->Start();
    Free(L);
    EXPECT_EQ(GLog, (std::vector<std::string>{"prepare a", "unprepare a"})) << Way;
  }
}

TEST_F(Sequencer, AFailingUnprepareKeepsNoOtherSequenceFromBeingFinishedAndFreed) {
  // The first error reaches the caller once everything is done; a destructor lets none out.
  const std::vector<std::pair<std::string, std::function<void(std::unique_ptr<TSequenceList>&)>>> Ways = {
      {"Clear", [](std::unique_ptr<TSequenceList>& L) { EXPECT_THROW(L->Clear(), EInvalidOperation); }},
      {"Delete", [](std::unique_ptr<TSequenceList>& L) {
         EXPECT_THROW(L->Delete(0), EInvalidOperation);
         EXPECT_THROW(L->Delete(0), EInvalidOperation);
         L->Delete(0);
       }},
      {"destruction", [](std::unique_ptr<TSequenceList>& L) { L.reset(); }},
  };
  for (const auto& [Way, Free] : Ways) {
    auto L = std::make_unique<TSequenceList>();
    L->Add(Failing("x"));
    L->Add(Failing("y"));
    L->Add(Seq("z"));
    for (int I = 0; I < L->Count(); ++I) L->Items(I)->Start();
    GLog.clear();
    Free(L);
    if (L) {
      EXPECT_EQ(L->Count(), 0) << Way;
    }
    std::vector<std::string> Expected = {"unprepare x", "unprepare y", "unprepare z", "free x", "free y"};
    if (Way == "Delete") Expected = {"unprepare x", "free x", "unprepare y", "free y", "unprepare z"};
    EXPECT_EQ(GLog, Expected) << Way;
  }
}

TEST_F(Sequencer, ListRoundTripKeepsClassesNamesAndDurations) {
  TSequenceList L;
  L.Add(Seq("Erste", 1234));
  auto Plain = std::make_unique<TSequence>();
  Plain->Name = "Zweite Sequenz";
  L.Add(std::move(Plain));

  TMemoryStream S;
  {
    TStreamPropertyBag Bag(S);
    Bag.WriteObject(&L);
  }
  S.SetPosition(0);
  TSequenceList Back;
  ASSERT_TRUE(Back.LoadFromStream(S));
  ASSERT_EQ(Back.Count(), 2);
  EXPECT_EQ(Back.Items(0)->ClassName(), "TLoggingSequence");
  EXPECT_EQ(Back.Items(0)->Name, "Erste");
  EXPECT_EQ(Back.Items(0)->Duration, 1234);
  EXPECT_EQ(Back.Items(1)->ClassName(), "TSequence");
  EXPECT_EQ(Back.Items(1)->Name, "Zweite Sequenz");
  EXPECT_EQ(Back.Items(1)->Duration, 8000);
}

TEST_F(Sequencer, ListRefusesItemsThatAreNoSequence) {
  // A stored list may name any registered class or hold empty references; a player would step
  // them, so such a list is refused when it is read.
  for (bool WithNil : {false, true}) {
    TSequenceList L;
    L.Add(Seq("a"));
    if (WithNil)
      L.TReflectiveObjectList::Add(nullptr);
    else
      L.TReflectiveObjectList::Add(std::make_unique<TPersonalInfo>());
    TMemoryStream S;
    {
      TStreamPropertyBag Bag(S);
      Bag.WriteObject(&L);
    }
    S.SetPosition(0);
    TSequenceList Back;
    EXPECT_THROW(Back.LoadFromStream(S), EPropertyBagError) << "nil item: " << WithNil;
  }
}
