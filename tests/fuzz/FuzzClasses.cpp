#include "tests/fuzz/FuzzClasses.h"

#include <cstdio>
#include <cstdlib>

namespace fuzzc {

RIZ_PUBLISHED(TFuzzPerson) {
  D.String("Name", &TFuzzPerson::Name);
  D.String("City", &TFuzzPerson::City);
  D.Integer("Age", &TFuzzPerson::Age);
}

RIZ_PUBLISHED(TFuzzMedia) {
  D.Integer("MediaID", &TFuzzMedia::MediaID);
}

void TFuzzMedia::AssignInnerProperties(const TReflectivePersistent& Source) {
  const auto& S = static_cast<const TFuzzMedia&>(Source);
  Extension = S.Extension;
  FileSize = S.FileSize;
  FileDate = S.FileDate;
  Content.Clear();
  if (!S.Content.Bytes().empty())
    Content.WriteBuffer(S.Content.Bytes().data(), static_cast<int32_t>(S.Content.Bytes().size()));
}

void TFuzzMedia::WriteInnerProperties(TPropertyBag& Bag) {
  Bag.BeginBlockWrite("Info");
  Bag.WriteStringValue("Extension", Extension);
  Bag.WriteInteger("FileSize", FileSize);
  Bag.WriteFloat("FileDate", FileDate);
  Bag.EndBlockWrite();
  Content.SetPosition(0);
  Bag.WriteStream("MediaContent", Content);
}

void TFuzzMedia::ReadInnerProperties(TPropertyBag& Bag) {
  Bag.BeginBlockRead("Info");
  Bag.ReadStringValue("Extension", Extension);
  FileSize = Bag.ReadInteger("FileSize");
  FileDate = Bag.ReadFloat("FileDate");
  Bag.EndBlockRead();
  Content.Clear();
  Bag.ReadStream("MediaContent", Content);
}

RIZ_PUBLISHED(TFuzzList) {}
RIZ_PUBLISHED(TFuzzPersonList) {}

TFuzzInfo::TFuzzInfo()
    : FCreator(std::make_unique<TFuzzPerson>()),
      FMedia(std::make_unique<TFuzzList>()),
      FPeople(std::make_unique<TFuzzPersonList>()) {}

RIZ_PUBLISHED(TFuzzInfo) {
  D.String("Title", &TFuzzInfo::Title);
  D.Integer("Version", &TFuzzInfo::Version);
  D.Float("Stamp", &TFuzzInfo::Stamp);
  D.Float("Ratio", &TFuzzInfo::Ratio);
  D.Boolean("Flag", &TFuzzInfo::Flag);
  D.Enumeration("Mode", TFuzzModeNames, &TFuzzInfo::Mode);
  D.SetOf("Flags", TFuzzFlagNames, &TFuzzInfo::Flags);
  D.Int64("Serial", &TFuzzInfo::Serial);
  D.Object("Creator", &TFuzzInfo::FCreator);
  D.Object("Extra", &TFuzzInfo::Extra, &TFuzzInfo::SetExtra);
  D.ReadOnlyObject("Media", &TFuzzInfo::Media);
  D.ReadOnlyObject("People", &TFuzzInfo::People);
  D.Opaque("Points", tkDynArray);
}

void RegisterFuzzClasses() {
  RegisterReflectiveClass<TFuzzPerson>();
  RegisterReflectiveClass<TFuzzMedia>();
  RegisterReflectiveClass<TFuzzList>();
  RegisterReflectiveClass<TFuzzPersonList>();
  RegisterReflectiveClass<TFuzzInfo>();
}

namespace {

std::string Write(TReflectivePersistent* Obj) {
  TMemoryStream S;
  TStreamPropertyBag Bag(S);
  Bag.WriteObject(Obj);
  return std::string(S.Bytes().begin(), S.Bytes().end());
}

// What was read must be written, read and written again to the same bytes.
void CheckStable(TReflectivePersistent* Obj) {
  std::unique_ptr<TReflectivePersistent> Copy = Obj ? Obj->Clone() : nullptr;
  const std::string First = Write(Copy.get());
  TMemoryStream S;
  S.WriteBuffer(First.data(), static_cast<int32_t>(First.size()));
  S.SetPosition(0);
  TStreamPropertyBag Bag(S);
  std::unique_ptr<TReflectivePersistent> Again;
  Bag.ReadObject(Again);
  if (Write(Again.get()) != First) {
    std::fprintf(stderr, "a record read back does not write the same bytes again\n");
    std::abort();
  }
}

TMemoryStream StreamOf(const uint8_t* Data, size_t Size) {
  TMemoryStream S;
  if (Size) S.WriteBuffer(Data, static_cast<int32_t>(Size));
  S.SetPosition(0);
  return S;
}

constexpr int MaxRecords = 8;

}  // namespace

TReadOutcome ReadRecords(const uint8_t* Data, size_t Size) {
  TReadOutcome R;
  if (Size > (1u << 30)) return R;
  {
    TMemoryStream S = StreamOf(Data, Size);
    TStreamPropertyBag Bag(S);
    try {
      for (int I = 0; I < MaxRecords; ++I) {
        std::unique_ptr<TReflectivePersistent> O;
        if (!Bag.ReadObject(O)) break;
        ++R.Records;
        CheckStable(O.get());
      }
    } catch (const Exception& E) {
      R.Failed = true;
      R.Error = E.what();
    }
  }
  {
    // With a handler every continuation path of the reader is taken.
    TMemoryStream S = StreamOf(Data, Size);
    TStreamPropertyBag Bag(S);
    int Reported = 0;
    auto Handler = [&](TPropertyBag&, TBagErrorCode, const std::string&) { ++Reported; };
    try {
      for (int I = 0; I < MaxRecords; ++I) {
        std::unique_ptr<TReflectivePersistent> O;
        if (!Bag.ReadObject(O, Handler)) break;
        CheckStable(O.get());
      }
    } catch (const Exception&) {
    }
  }
  {
    TMemoryStream S = StreamOf(Data, Size);
    TFuzzInfo Existing;
    try {
      if (Existing.LoadFromStream(S)) CheckStable(&Existing);
    } catch (const Exception&) {
    }
  }
  return R;
}

std::vector<std::pair<std::string, std::string>> SeedRecords() {
  std::vector<std::pair<std::string, std::string>> R;
  R.emplace_back("empty-reference.bin", Write(nullptr));

  TFuzzPerson P;
  P.Name = "Müller";
  P.City = "Köln";
  P.Age = 42;
  R.emplace_back("person.bin", Write(&P));

  TFuzzInfo I;
  I.Title = "Sommerwiese";
  I.Version = 0x80000001u;
  I.Stamp = 38000.5;
  I.Ratio = 0.75f;
  I.Flag = true;
  I.Mode = fmOn;
  I.Flags = 5;
  I.Serial = -123456789012;
  I.FCreator->Name = "Jürgen";
  I.FExtra = std::make_unique<TFuzzInfo>();
  I.FExtra->Title = "innen";
  auto M = std::make_unique<TFuzzMedia>();
  M->MediaID = 1;
  M->Extension = ".jpg";
  M->FileSize = 300;
  M->FileDate = 37000.25;
  std::string Blob(300, '\0');
  for (size_t K = 0; K < Blob.size(); ++K) Blob[K] = static_cast<char>(K * 31);
  M->Content.WriteBuffer(Blob.data(), static_cast<int32_t>(Blob.size()));
  I.FMedia->Add(std::move(M));
  I.FMedia->Add(nullptr);
  I.FMedia->Add(std::make_unique<TFuzzPerson>());
  I.FPeople->Add(std::make_unique<TFuzzPerson>());
  I.FPeople->Add(nullptr);
  R.emplace_back("info.bin", Write(&I));

  TFuzzList L;
  L.Add(std::make_unique<TFuzzInfo>());
  L.Add(std::make_unique<TFuzzMedia>());
  R.emplace_back("list.bin", Write(&L));

  R.emplace_back("two-records.bin", Write(&P) + Write(nullptr));
  return R;
}

}  // namespace fuzzc
