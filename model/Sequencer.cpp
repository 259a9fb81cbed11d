#include "model/Sequencer.h"

#include <algorithm>

#include "persistence/MultimediaTools.h"
#include "persistence/PropertyBags.h"

RIZ_PUBLISHED(TSequence) {
  D.String("Name", &TSequence::Name);
  D.Integer("Duration", &TSequence::Duration);
}

TSequence::TSequence() = default;

TSequence::~TSequence() { Finish(); }

std::unique_ptr<TSequence> TSequence::CreateNamed(const TReflectiveClass& Class,
                                                  const std::string& AName, TObject* AOwner) {
  if (!Class.InheritsFrom(StaticClass()))
    throw EInvalidCast("TSequence.CreateNamed : " + Class.ClassName() + " is no sequence");
  std::unique_ptr<TReflectivePersistent> Obj = Class.Create();
  std::unique_ptr<TSequence> S(static_cast<TSequence*>(Obj.release()));
  S->Name = AName;
  S->Owner = AOwner;
  return S;
}

bool TSequence::IsRunning() { return Elapsed() < Duration; }

void TSequence::Start() {
  if (!FPrepared) {
    Prepare();
    FPrepared = true;
  }
  StartTime = GetTickMs();
}

void TSequence::Finish() {
  if (!FPrepared) return;
  Unprepare();
  FPrepared = false;
}

int32_t TSequence::Elapsed() const {
  // The unsigned difference survives a wrap of the clock; after more than 2^31 ms (or a clock
  // that went backwards) the sequence counts as over rather than failing.
  const uint32_t Diff = GetTickMs() - StartTime;
  if (Diff > static_cast<uint32_t>(INT32_MAX)) return Duration;
  return std::min(static_cast<int32_t>(Diff), Duration);
}

int32_t TSequence::Progress(int32_t Range) const {
  const int32_t E = Elapsed();
  if (E >= Duration) return CheckedSub(Range, 1);
  const int64_t P = static_cast<int64_t>(E) * Range / Duration;
  return RangeChecked<int32_t>(P);
}

int32_t TSequence::DurationTenths() const { return CheckedMul(Duration, int32_t{10}) / 1000; }

// ---------------------------------------------------------------------------------------------

RIZ_PUBLISHED(TSequenceList) {}

// Clear from here still reaches this class's ReleaseItem; the base destructor could not.
// Clear finishes and frees every sequence even when one Unprepare fails; a destructor has no
// caller to hand that error to.
TSequenceList::~TSequenceList() {
  try {
    Clear();
  } catch (...) {
  }
}

void TSequenceList::ReleaseItem(TReflectivePersistent* Item) {
  if (auto* S = dynamic_cast<TSequence*>(Item)) S->Finish();
}

TSequence* TSequenceList::Items(int Index) const {
  return static_cast<TSequence*>(TReflectiveObjectList::Items(Index));
}

void TSequenceList::ReadInnerProperties(TPropertyBag& Bag) {
  TReflectiveObjectList::ReadInnerProperties(Bag);
  for (int I = 0; I < Count(); ++I) {
    TReflectivePersistent* Item = TReflectiveObjectList::Items(I);
    if (!dynamic_cast<TSequence*>(Item))
      throw EPropertyBagError("TSequenceList.ReadInnerProperties : item " + IntToStr(I) +
                              " is no sequence (" + (Item ? Item->ClassName() : "nil") + ")");
  }
}

// ---------------------------------------------------------------------------------------------

TSequenceControler::TSequenceControler() : FSequences(std::make_unique<TSequenceList>()) {}

TSequenceControler::~TSequenceControler() = default;

TSequence* TSequenceControler::CurrentSequence() const {
  if (FCurrent < 0) return nullptr;
  return FSequences->Items(FCurrent);
}

void TSequenceControler::SetCurrent(int Index) {
  // A sequence that does not exist is refused before anything changes; -1 is "none".
  if (Index != -1) FSequences->Items(Index);
  // Finished while it is still current: should its Unprepare fail, it is still prepared and
  // still the controller's, so a later StopAll or the controller's end finishes it.
  if (TSequence* Old = CurrentSequence()) Old->Finish();
  FCurrent = Index;
  if (Index >= 0) FSequences->Items(Index)->Start();
}

void TSequenceControler::First() {
  if (FSequences->Count() == 0) {
    StopAll();
    return;
  }
  SetCurrent(0);
}

void TSequenceControler::Next() {
  if (FCurrent >= FSequences->Count() - 1) {
    if (FLoop)
      First();
    else
      StopAll();
  } else {
    SetCurrent(FCurrent + 1);
  }
}

void TSequenceControler::Play() {
  FRunning = true;
  First();
}

void TSequenceControler::StopAll() {
  SetCurrent(-1);
  FRunning = false;
}

void TSequenceControler::Tick() {
  if (!FRunning) return;
  TSequence* S = CurrentSequence();
  if (!S) return;
  S->NextFrame();
  if (!S->IsRunning()) {
    // Its time is capped at Duration, so this frame shows the end state.
    if (S->Prepared()) S->NextFrame();
    Next();
  }
}

TSequence* TSequenceControler::PeekNext() const {
  const int N = FSequences->Count();
  if (FCurrent < N - 1) return FSequences->Items(FCurrent + 1);
  if (FLoop && N > 0) return FSequences->Items(0);
  return nullptr;
}

void RegisterSequencerClasses() {
  RegisterReflectiveClass<TSequence>();
  RegisterReflectiveClass<TSequenceList>();
}
