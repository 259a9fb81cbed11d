#pragma once
// The persistent description of one screen saver and its whole content. A screen saver's
// appended data holds a TScreenSaverInfo record and then a TScreenSaverProject record (which
// carries a second copy of the info); the leading info lets a reader that needs only the
// description stop before any medium is unpacked. Each user's options for a screen saver live
// in the registry, never in the appended data.

#include <cstdint>
#include <memory>
#include <string>

#include "model/EmbeddedFontManager.h"
#include "model/MediaManager.h"
#include "model/Sequencer.h"
#include "persistence/ReflectionObjects.h"

enum TScreenResolution : uint8_t { sr640x480, sr800x600, sr1024x768, sr1280x960, sr1600x1200 };
inline constexpr const char* TScreenResolutionIdents[] = {"sr640x480", "sr800x600", "sr1024x768",
                                                          "sr1280x960", "sr1600x1200"};
// Display names, indexed by TScreenResolution.
inline constexpr const char* ResolutionNames[] = {"640x480", "800x600", "1024x768", "1280x960",
                                                  "1600x1200"};

// The registry key of a screen saver's user properties below HKEY_CURRENT_USER.
inline constexpr const char* ScreenSaversRegistryKey = "Software\\Zerozezu\\Vovizirid\\ScreenSavers\\";

// The creator's name and address.
class TPersonalInfo : public TReflectivePersistent {
  RIZ_REFLECTIVE(TPersonalInfo, TReflectivePersistent)
public:
  std::string LastName, FirstName, Street, ZIP, City, Country, Phone, EMail;
};

// What each user of the computer sets for one screen saver.
class TScreenSaverUserProperties : public TReflectivePersistent {
  RIZ_REFLECTIVE(TScreenSaverUserProperties, TReflectivePersistent)
public:
  bool UseStandardResolution = false;    // "Immer Desktop-Auflösung verwenden"
  bool InterpolateToFullscreen = false;  // "Darstellung auf Vollbild hochrechnen"
};

class TScreenSaverInfo : public TReflectivePersistent {
  RIZ_REFLECTIVE(TScreenSaverInfo, TReflectivePersistent)
public:
  // RizuderName "unbenannt", CreationDate now, everything else empty.
  TScreenSaverInfo();
  ~TScreenSaverInfo() override;

  TPersonalInfo* CreatorInfo() const { return FCreatorInfo.get(); }
  // Copies Value; the caller keeps it.
  void SetCreatorInfo(const TPersonalInfo* Value);
  // Not streamed and not copied by Assign.
  TScreenSaverUserProperties* UserProperties() const { return FUserProperties.get(); }

  int32_t ResolutionWidth() const;   // 0 for an ordinal outside the table
  int32_t ResolutionHeight() const;  // 0 for an ordinal outside the table

  // "Software\Zerozezu\Vovizirid\ScreenSavers\" + RizuderName + "\UserProperties".
  std::string UserPropertiesKey() const;
  // A missing key leaves the current values.
  void LoadUserProperties();
  void SaveUserProperties();

  std::string ProductName;
  std::string ProductVersion;
  std::string RizuderName;
  std::string SerialNo;
  TDateTime CreationDate = 0;
  std::string CreatorLicense;
  TScreenResolution Resolution = sr640x480;

private:
  std::unique_ptr<TPersonalInfo> FCreatorInfo;
  std::unique_ptr<TScreenSaverUserProperties> FUserProperties;
};

class TScreenSaverProject : public TReflectivePersistent {
  RIZ_REFLECTIVE(TScreenSaverProject, TReflectivePersistent)
public:
  TScreenSaverProject();
  // Frees the info, the sequences, the media (deleting their files) and the fonts (removing
  // them), in this order.
  ~TScreenSaverProject() override;

  // The info's RizuderName; the project has no name of its own.
  std::string Name() const { return FRizuderInfo->RizuderName; }
  void SetName(const std::string& Value) { FRizuderInfo->RizuderName = Value; }
  TScreenSaverInfo* RizuderInfo() const { return FRizuderInfo.get(); }
  void SetRizuderInfo(const TScreenSaverInfo* Value);  // copies
  TSequenceList* Sequences() const { return FSequences.get(); }
  TMediaManager* MediaManager() const { return FMediaManager.get(); }
  TEmbeddedFontManager* FontManager() const { return FFontManager.get(); }

  // Reads the font manager (installing the fonts), then tells every sequence its project.
  void ReadInnerProperties(TPropertyBag& Bag) override;
  void WriteInnerProperties(TPropertyBag& Bag) override;

private:
  std::unique_ptr<TScreenSaverInfo> FRizuderInfo;
  std::unique_ptr<TSequenceList> FSequences;
  std::unique_ptr<TMediaManager> FMediaManager;
  std::unique_ptr<TEmbeddedFontManager> FFontManager;
};

// Registers TPersonalInfo, TScreenSaverInfo, TScreenSaverUserProperties, TScreenSaverProject.
void RegisterScreenSaverModelClasses();
// Every persistent class of the model: sequences, media, fonts, description and project.
void RegisterModelClasses();
