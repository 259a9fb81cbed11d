#pragma once
// The media of a project: every picture, movie and sound travels inside the object stream as
// an embedded file and is written back to a temporary "SCR_MEDIA" file when the project is
// read. Pictures are decoded from that file on first request and kept in a cache whose decoded
// size is held near 4 MiB by dropping the least recently requested ones.

#include <QImage>

#include <cstdint>
#include <memory>
#include <string>

#include "persistence/ReflectionObjects.h"

class TMediaManager;

enum TMediaType : uint8_t { mtImage = 0, mtMovie = 1, mtMusicSound = 2 };
inline constexpr const char* TMediaTypeNames[] = {"mtImage", "mtMovie", "mtMusicSound"};

// The picture class: Qt's image reader, the decoder chosen by the file's extension.
class TPicture : public TObject {
public:
  std::string ClassName() const override { return "TPicture"; }
  // EInvalidGraphic when the extension names no known format or the file cannot be decoded;
  // the picture is then empty.
  void LoadFromFile(const std::string& FileName);
  int Width() const { return FImage.width(); }
  int Height() const { return FImage.height(); }
  bool Empty() const { return FImage.isNull(); }
  const QImage& Graphic() const { return FImage; }

private:
  QImage FImage;
};

class TMedia : public TReflectivePersistent {
  RIZ_REFLECTIVE(TMedia, TReflectivePersistent)
public:
  TMedia() = default;
  // Deletes the temporary file (failure ignored) and frees the picture.
  ~TMedia() override;

  void ReadInnerProperties(TPropertyBag& Bag) override;
  void WriteInnerProperties(TPropertyBag& Bag) override;

  // Loads the picture on first use, stamps it and trims the manager's cache. A file that
  // cannot be decoded raises EInvalidGraphic and leaves an empty picture held, which later
  // requests return without decoding again.
  TPicture* GetPicture();
  bool IsLoaded() const { return FPicture != nullptr; }
  void Unload();
  // Decoded size: width * height * 4, or 0 without a picture.
  int32_t LoadedBytes() const;
  void SetManager(TMediaManager* Value) { FManager = Value; }
  TMediaManager* Manager() const { return FManager; }

  int32_t MediaID = 0;
  TMediaType MediaType = mtImage;
  std::string FileName;  // the temporary file (or, when writing, the file to embed); owned
  std::string OriginalFileName;
  std::string Extension;  // without the dot; may be empty
  int32_t FileSize = 0;
  TDateTime FileDate = 0;
  int32_t LastUse = 0;  // 0 never used, -1 dropped, else the stamp of the last request

private:
  std::unique_ptr<TPicture> FPicture;
  TMediaManager* FManager = nullptr;
};

class TMediaManager : public TReflectivePersistent {
  RIZ_REFLECTIVE(TMediaManager, TReflectivePersistent)
public:
  // Decoded pictures beyond this many bytes are dropped while two or more are held.
  static constexpr int32_t PictureCacheBudget = 4 * 1024 * 1024;

  TMediaManager();
  ~TMediaManager() override;

  int Count() const { return FMediaList->Count(); }
  TMedia* Media(int Index) const;  // EListError outside the range
  bool FindIndex(int32_t Id, int& Index) const;
  TMedia* MediaById(int32_t Id) const;  // the first with that id, or nullptr
  TReflectiveObjectList& MediaList() const { return *FMediaList; }

  void AssignInnerProperties(const TReflectivePersistent& Source) override;
  // Media list items that are no TMedia (an empty reference included) are refused.
  void ReadInnerProperties(TPropertyBag& Bag) override;
  void WriteInnerProperties(TPropertyBag& Bag) override;

  int32_t NextStamp();
  int LoadedCount() const;
  int32_t LoadedBytes() const;
  void TrimPictureCache();

  int32_t LastMediaId = 0;
  int32_t UseCounter = 0;

private:
  std::unique_ptr<TReflectiveObjectList> FMediaList;
};

// Registers TMedia and TMediaManager.
void RegisterMediaManagerClasses();
