#pragma once
// Classes the object-record fuzzer reads into, and the reading routine it drives. The test
// suite runs the seed corpus and every malformed input kept under the tests through the same
// routine.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "persistence/PropertyBags.h"
#include "persistence/ReflectionObjects.h"

namespace fuzzc {

enum TFuzzMode : uint8_t { fmOff, fmOn, fmAuto };
inline constexpr const char* TFuzzModeNames[] = {"fmOff", "fmOn", "fmAuto"};
inline constexpr const char* TFuzzFlagNames[] = {"ffBold", "ffItalic", "ffUnderline"};

class TFuzzPerson : public TReflectivePersistent {
  RIZ_REFLECTIVE(TFuzzPerson, TReflectivePersistent)
public:
  std::string Name, City;
  int32_t Age = 0;
};

// Inner data: a block of values and an embedded stream.
class TFuzzMedia : public TReflectivePersistent {
  RIZ_REFLECTIVE(TFuzzMedia, TReflectivePersistent)
public:
  int32_t MediaID = 0;
  std::string Extension;
  int32_t FileSize = 0;
  double FileDate = 0;
  TMemoryStream Content;
  void AssignInnerProperties(const TReflectivePersistent& Source) override;
  void ReadInnerProperties(TPropertyBag& Bag) override;
  void WriteInnerProperties(TPropertyBag& Bag) override;
};

class TFuzzList : public TReflectiveObjectList {
  RIZ_REFLECTIVE(TFuzzList, TReflectiveObjectList)
};

// A typed list: persons only.
class TFuzzPersonList : public TReflectiveObjectList {
  RIZ_REFLECTIVE(TFuzzPersonList, TReflectiveObjectList)
public:
  TReflectiveClassRef ItemClass() const override { return &TFuzzPerson::StaticClass(); }
};

// Info-like: values of every kind, an owned creator copied by its setter, an optional object
// created on demand, and read-only lists (one typed) filled in place.
class TFuzzInfo : public TReflectivePersistent {
  RIZ_REFLECTIVE(TFuzzInfo, TReflectivePersistent)
public:
  TFuzzInfo();
  std::string Title = "unbenannt";
  uint32_t Version = 0;
  double Stamp = 0;
  float Ratio = 1.0f;
  bool Flag = false;
  TFuzzMode Mode = fmAuto;
  uint8_t Flags = 0;
  int64_t Serial = 0;
  std::unique_ptr<TFuzzPerson> FCreator;
  std::unique_ptr<TFuzzInfo> FExtra;  // empty unless a record holds one
  std::unique_ptr<TFuzzList> FMedia;
  std::unique_ptr<TFuzzPersonList> FPeople;

  TFuzzInfo* Extra() const { return FExtra.get(); }
  void SetExtra(TFuzzInfo* Value) { FExtra = Value ? CloneOf(*Value) : nullptr; }
  TFuzzList* Media() const { return FMedia.get(); }
  TFuzzPersonList* People() const { return FPeople.get(); }
};

void RegisterFuzzClasses();

struct TReadOutcome {
  int Records = 0;          // records read without an error handler
  bool Failed = false;      // reading without a handler ended in an error
  std::string Error;        // its message
};

// Reads records from the bytes until they end or fail: once without an error handler, once
// with one, and once into an existing object. Every object read is cloned and written back,
// and a second read of what was written must write the very same bytes again; a difference
// aborts. Errors of the system (Exception and descendants) are expected and caught; anything
// else escapes.
TReadOutcome ReadRecords(const uint8_t* Data, size_t Size);

// Named seed records for the fuzzer's corpus.
std::vector<std::pair<std::string, std::string>> SeedRecords();

}  // namespace fuzzc
