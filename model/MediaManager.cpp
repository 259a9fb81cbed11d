#include "model/MediaManager.h"

#include <QByteArray>
#include <QImageReader>
#include <QString>

#include <cstdio>

#include "persistence/FilesTool.h"
#include "persistence/PropertyBags.h"
#include "persistence/WindowsTool.h"
#include "platform/Classes.h"

// ---------------------------------------------------------------------------------------------
// Picture

void TPicture::LoadFromFile(const std::string& FileName) {
  FImage = QImage();
  std::string Ext = LowerCase(ExtractFileExt(FileName));
  if (!Ext.empty()) Ext.erase(0, 1);
  const QByteArray Format = QByteArray::fromStdString(Ext);
  if (Format.isEmpty() || !QImageReader::supportedImageFormats().contains(Format))
    throw EInvalidGraphic(::Format("Unknown picture file extension (.%s)", Ext.c_str()));
  QImageReader Reader(QString::fromStdString(FileName), Format);
  Reader.setDecideFormatFromContent(false);
  QImage Image;
  if (!Reader.read(&Image))
    throw EInvalidGraphic("TPicture.LoadFromFile : " + Reader.errorString().toStdString());
  FImage = std::move(Image);
}

// ---------------------------------------------------------------------------------------------
// Medium

RIZ_PUBLISHED(TMedia) {
  D.Integer("MediaID", &TMedia::MediaID);
  D.Enumeration("MediaType", TMediaTypeNames, &TMedia::MediaType);
}

TMedia::~TMedia() {
  if (!FileName.empty()) std::remove(FileName.c_str());
}

namespace {
// The extension becomes part of a path: a separator in it must not lead out of the
// temporary directory.
std::string FileNameSafe(std::string Ext) {
  for (char& C : Ext)
    if (C == '/' || C == '\0') C = '_';
  return Ext;
}
}  // namespace

void TMedia::ReadInnerProperties(TPropertyBag& Bag) {
  inherited::ReadInnerProperties(Bag);
  Bag.ReadStringValue("Extension", Extension);
  Bag.ReadStringValue("OriginalFileName", OriginalFileName);
  FileSize = Bag.ReadInteger("FileSize");
  FileDate = Bag.ReadFloat("FileDate");
  // Reading into a medium that already has its file replaces that file, never leaks it.
  if (!FileName.empty()) std::remove(FileName.c_str());
  FileName.clear();  // until a new file is ours, no name here may be deleted
  FPicture.reset();
  const std::unique_ptr<TFileStream> File =
      CreateUniqueFile(GetTempDir(), "SCR_MEDIA", FileNameSafe(Extension), FileName);
  Bag.ReadStream("MediaContent", *File);
}

void TMedia::WriteInnerProperties(TPropertyBag& Bag) {
  inherited::WriteInnerProperties(Bag);
  Bag.WriteStringValue("Extension", Extension);
  Bag.WriteStringValue("OriginalFileName", OriginalFileName);
  Bag.WriteInteger("FileSize", FileSize);
  Bag.WriteFloat("FileDate", FileDate);
  TFileStream File(FileName, fmOpenRead | fmShareDenyWrite);
  Bag.WriteStream("MediaContent", File);
}

TPicture* TMedia::GetPicture() {
  if (!FPicture) {
    FPicture = std::make_unique<TPicture>();
    FPicture->LoadFromFile(FileName);
  }
  if (FManager) {
    LastUse = FManager->NextStamp();
    TPicture* Held = FPicture.get();
    FManager->TrimPictureCache();
    return Held;
  }
  return FPicture.get();
}

void TMedia::Unload() {
  FPicture.reset();
  LastUse = -1;
}

int32_t TMedia::LoadedBytes() const {
  if (!FPicture) return 0;
  return CheckedMul(CheckedMul(int32_t{FPicture->Width()}, int32_t{FPicture->Height()}), int32_t{4});
}

// ---------------------------------------------------------------------------------------------
// Manager

RIZ_PUBLISHED(TMediaManager) {}

TMediaManager::TMediaManager() : FMediaList(std::make_unique<TReflectiveObjectList>()) {}

TMediaManager::~TMediaManager() = default;

TMedia* TMediaManager::Media(int Index) const {
  return static_cast<TMedia*>(FMediaList->Items(Index));
}

bool TMediaManager::FindIndex(int32_t Id, int& Index) const {
  for (int I = 0; I < Count(); ++I)
    if (Media(I)->MediaID == Id) {
      Index = I;
      return true;
    }
  return false;
}

TMedia* TMediaManager::MediaById(int32_t Id) const {
  int Index;
  return FindIndex(Id, Index) ? Media(Index) : nullptr;
}

void TMediaManager::AssignInnerProperties(const TReflectivePersistent& Source) {
  inherited::AssignInnerProperties(Source);
  FMediaList->Assign(static_cast<const TMediaManager&>(Source).MediaList());
}

void TMediaManager::ReadInnerProperties(TPropertyBag& Bag) {
  inherited::ReadInnerProperties(Bag);
  Bag.ReadObjectValue("MediaList", *FMediaList);
  LastMediaId = Bag.ReadInteger("LastMediaId");
  for (int I = 0; I < Count(); ++I) {
    TReflectivePersistent* Item = FMediaList->Items(I);
    if (!dynamic_cast<TMedia*>(Item))
      throw EPropertyBagError("TMediaManager.ReadInnerProperties : item " + IntToStr(I) +
                              " is no medium (" + (Item ? Item->ClassName() : "nil") + ")");
  }
  for (int I = 0; I < Count(); ++I) Media(I)->SetManager(this);
}

void TMediaManager::WriteInnerProperties(TPropertyBag& Bag) {
  inherited::WriteInnerProperties(Bag);
  Bag.WriteObjectValue("MediaList", FMediaList.get());
  Bag.WriteInteger("LastMediaId", LastMediaId);
}

int32_t TMediaManager::NextStamp() {
  UseCounter = CheckedAdd(UseCounter, int32_t{1});
  return UseCounter;
}

int TMediaManager::LoadedCount() const {
  int N = 0;
  for (int I = 0; I < Count(); ++I)
    if (Media(I)->IsLoaded()) ++N;
  return N;
}

int32_t TMediaManager::LoadedBytes() const {
  int32_t Sum = 0;
  for (int I = 0; I < Count(); ++I) Sum = CheckedAdd(Sum, Media(I)->LoadedBytes());
  return Sum;
}

void TMediaManager::TrimPictureCache() {
  while (LoadedCount() >= 2 && LoadedBytes() > PictureCacheBudget) {
    int Oldest = -1;
    int32_t Best = INT32_MAX;
    for (int I = 0; I < Count(); ++I) {
      const int32_t Stamp = Media(I)->LastUse;
      if (Stamp >= 0 && Stamp < Best) {
        Best = Stamp;
        Oldest = I;
      }
    }
    if (Oldest < 0) return;  // every held picture is already marked: nothing left to choose
    Media(Oldest)->Unload();
  }
}

void RegisterMediaManagerClasses() {
  RegisterReflectiveClass<TMedia>();
  RegisterReflectiveClass<TMediaManager>();
}
