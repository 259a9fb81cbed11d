#include "model/EmbeddedFontManager.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "persistence/FilesTool.h"
#include "persistence/PropertyBags.h"
#include "persistence/WindowsTool.h"
#include "platform/Classes.h"
#include "platform/Fonts.h"
#include "platform/Platform.h"

RIZ_PUBLISHED(TEmbeddedFont) { D.String("Name", &TEmbeddedFont::Name); }

TEmbeddedFont::~TEmbeddedFont() {
  if (TempFileName.empty()) return;
  plat::RemoveFontResource(FFontId);
  plat::BroadcastFontChange();
  std::remove(TempFileName.c_str());
}

void TEmbeddedFont::ReadInnerProperties(TPropertyBag& Bag) {
  inherited::ReadInnerProperties(Bag);
  IsEmbedded = false;
  Bag.BeginBlockRead("EmbeddedFontData");
  InsideReadBlock(Bag, [&] {
    IsEmbedded = (Bag.ReadInteger("IsEmbedded") & 0xFF) != 0;
    if (!IsEmbedded) return;
    const int32_t Size = Bag.ReadInteger("DataSize");
    if (Size < 0) throw ERangeError(SRangeError);
    // A damaged size must not reserve memory for bytes the stream cannot hold.
    if (auto* Stream = dynamic_cast<TStreamPropertyBag*>(&Bag)) {
      TStream& S = Stream->Stream();
      if (Size > S.Size() - S.Position()) throw EReadError(SReadError);
    }
    std::unique_ptr<uint8_t[]> Buffer(new uint8_t[static_cast<size_t>(Size) + 1]);
    Bag.ReadBinaryValue("FontData", Buffer.get(), Size);
    // Reading into a font that is already installed releases the earlier installation.
    if (FFontId >= 0 || !TempFileName.empty()) {
      plat::RemoveFontResource(FFontId);
      std::remove(TempFileName.c_str());
      FFontId = -1;
      TempFileName.clear();  // until a new file is ours, no name here may be deleted
    }
    CreateUniqueFile(GetTempDir(), "EMB_FNT_", "TTF", TempFileName)->WriteBuffer(Buffer.get(), Size);
    FFontId = plat::AddFontResource(TempFileName);
    if (FFontId < 0) ShowLastError("TEmbeddedFont.ReadInnerProperties", plat::LastError());
    plat::BroadcastFontChange();
  });
}

void TEmbeddedFont::WriteInnerProperties(TPropertyBag& Bag) {
  inherited::WriteInnerProperties(Bag);
  IsEmbedded = false;
  std::vector<uint8_t> Data;
  const bool Fetched = plat::GetFontFileData(Name, Data) && Data.size() <= static_cast<size_t>(INT32_MAX);
  Bag.BeginBlockWrite("EmbeddedFontData");
  if (Fetched) {
    IsEmbedded = true;
    const auto Size = static_cast<int32_t>(Data.size());
    Bag.WriteInteger("IsEmbedded", 1);
    Bag.WriteInteger("DataSize", Size);
    Bag.WriteBinaryValue("FontData", Data.data(), Size);
  } else {
    Bag.WriteInteger("IsEmbedded", 0);
  }
  Bag.EndBlockWrite();
}

// ---------------------------------------------------------------------------------------------

RIZ_PUBLISHED(TEmbeddedFontManager) {}

TEmbeddedFontManager::TEmbeddedFontManager() : FFontList(std::make_unique<TReflectiveObjectList>()) {}

TEmbeddedFontManager::~TEmbeddedFontManager() = default;

TEmbeddedFont* TEmbeddedFontManager::Fonts(int Index) const {
  return static_cast<TEmbeddedFont*>(FFontList->Items(Index));
}

void TEmbeddedFontManager::ReadInnerProperties(TPropertyBag& Bag) {
  inherited::ReadInnerProperties(Bag);
  FFontList->Clear();
  Bag.ReadObjectValue("FontList", *FFontList);
  for (int I = 0; I < Count(); ++I) {
    TReflectivePersistent* Item = FFontList->Items(I);
    if (!dynamic_cast<TEmbeddedFont*>(Item))
      throw EPropertyBagError("TEmbeddedFontManager.ReadInnerProperties : item " + IntToStr(I) +
                              " is no embedded font (" + (Item ? Item->ClassName() : "nil") + ")");
  }
  for (int I = 0; I < Count(); ++I) Fonts(I)->Manager = this;
}

void TEmbeddedFontManager::WriteInnerProperties(TPropertyBag& Bag) {
  inherited::WriteInnerProperties(Bag);
  Bag.WriteObjectValue("FontList", FFontList.get());
}

void RegisterEmbeddedFontManagerClasses() {
  RegisterReflectiveClass<TEmbeddedFont>();
  RegisterReflectiveClass<TEmbeddedFontManager>();
}
