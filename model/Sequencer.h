#pragma once
// The show's clock and order. A TSequence is a named piece of the show that lasts Duration
// milliseconds; its progress comes from the millisecond clock, never from a frame count, so a
// slow machine draws fewer frames of the same length. TSequenceControler plays a list of them
// one after the other, optionally from the first again.

#include <cstdint>
#include <memory>
#include <string>

#include "persistence/ReflectionObjects.h"

class TScreenSaverProject;

class TSequence : public TReflectivePersistent {
  RIZ_REFLECTIVE(TSequence, TReflectivePersistent)
public:
  TSequence();
  // C++ has already destroyed a descendant's part when this runs, so only the base Unprepare
  // can be reached from here. TSequenceList finishes every sequence before it frees it; a
  // descendant whose Unprepare does more than release its own members calls Finish() in its
  // own destructor.
  ~TSequence() override;

  // A new sequence of Class with that class's defaults, then Name and Owner.
  static std::unique_ptr<TSequence> CreateNamed(const TReflectiveClass& Class,
                                                const std::string& AName, TObject* AOwner);
  template <class T>
  static std::unique_ptr<T> CreateNamed(const std::string& AName, TObject* AOwner) {
    std::unique_ptr<TSequence> S = CreateNamed(T::StaticClass(), AName, AOwner);
    return std::unique_ptr<T>(static_cast<T*>(S.release()));
  }

  virtual void Prepare() {}
  virtual void Unprepare() {}
  virtual void Step() {}
  virtual bool IsRunning();
  // Tells a stored sequence which project it belongs to; the project calls it on each of its
  // sequences once they are read. The show's sequences keep the project; nothing here.
  virtual void SetProject(TScreenSaverProject* Project) {}

  // Prepares unless already prepared, then takes the clock (preparing does not count).
  void Start();
  void Finish();
  void NextFrame() { Step(); }
  // Milliseconds since Start, capped at Duration (a negative Duration comes back unchanged).
  int32_t Elapsed() const;
  // The elapsed share of Duration scaled to 0 .. Range - 1.
  int32_t Progress(int32_t Range) const;
  // Duration in tenths of a second, truncated; EIntOverflow when Duration * 10 overflows.
  int32_t DurationTenths() const;

  int32_t Duration = 8000;
  uint32_t StartTime = 0;
  std::string Name;
  TObject* Owner = nullptr;  // carried, never used
  bool Prepared() const { return FPrepared; }

private:
  bool FPrepared = false;
};

// The persistent list of sequences. Items that are no sequence (an empty reference included)
// are refused when a list is read: everything that plays a list steps its items.
class TSequenceList : public TReflectiveObjectList {
  RIZ_REFLECTIVE(TSequenceList, TReflectiveObjectList)
public:
  TSequenceList() = default;
  ~TSequenceList() override;

  int Add(std::unique_ptr<TSequence> Item) { return TReflectiveObjectList::Add(std::move(Item)); }
  TSequence* Items(int Index) const;  // EListError outside 0..Count-1

  TReflectiveClassRef ItemClass() const override { return &TSequence::StaticClass(); }
  void ReadInnerProperties(TPropertyBag& Bag) override;

protected:
  // Every way the list frees a sequence (Clear, Delete, destruction) finishes it first, so its
  // own Unprepare runs while it is still whole.
  void ReleaseItem(TReflectivePersistent* Item) override;
};

// Plays a list of sequences in order. Not persistent.
class TSequenceControler : public TObject {
public:
  TSequenceControler();
  ~TSequenceControler() override;
  std::string ClassName() const override { return "TSequenceControler"; }

  TSequenceList& Sequences() const { return *FSequences; }
  int Current() const { return FCurrent; }
  bool Loop() const { return FLoop; }
  bool Running() const { return FRunning; }

  TSequence* CurrentSequence() const;
  // Finishes the current sequence, which stays current until that succeeded, and starts the
  // one at Index (-1: none). Any other index outside the list raises EListError at once.
  void SetCurrent(int Index);
  // Starts the first sequence; on an empty list the controller stops instead.
  void First();
  void Next();
  void SetLoop(bool Value) { FLoop = Value; }
  void Play();
  void StopAll();
  // One animation tick: the current sequence draws a frame; a finished one draws its end state
  // and hands over to the next.
  void Tick();
  // What Next would start, without changing anything.
  TSequence* PeekNext() const;

private:
  std::unique_ptr<TSequenceList> FSequences;
  int FCurrent = -1;
  bool FLoop = false;
  bool FRunning = false;
};

// Registers TSequence and TSequenceList.
void RegisterSequencerClasses();
