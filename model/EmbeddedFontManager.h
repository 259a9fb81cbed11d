#pragma once
// The fonts a show's texts use, carried inside the project so that the show looks the same on
// a computer that lacks them. Reading a project writes each carried font to a temporary
// "EMB_FNT_" file and adds it to the process's fonts; freeing the project removes each font
// and deletes its file. Writing fetches the complete file of each named font.

#include <memory>
#include <string>

#include "persistence/ReflectionObjects.h"

class TEmbeddedFontManager;

class TEmbeddedFont : public TReflectivePersistent {
  RIZ_REFLECTIVE(TEmbeddedFont, TReflectivePersistent)
public:
  TEmbeddedFont() = default;
  // Removes the installed font and deletes its file (results ignored).
  ~TEmbeddedFont() override;

  void ReadInnerProperties(TPropertyBag& Bag) override;
  void WriteInnerProperties(TPropertyBag& Bag) override;

  TEmbeddedFontManager* Manager = nullptr;  // not owned
  std::string Name;                         // the face name texts select
  bool IsEmbedded = false;
  std::string TempFileName;  // empty when no file was made
  int FontId() const { return FFontId; }

private:
  int FFontId = -1;  // the installation, -1 when the font is not installed
};

// Selecting a font by name for fetching its data needs no device context here: the font's
// file is found by its family name.
class TEmbeddedFontManager : public TReflectivePersistent {
  RIZ_REFLECTIVE(TEmbeddedFontManager, TReflectivePersistent)
public:
  TEmbeddedFontManager();
  ~TEmbeddedFontManager() override;

  int Count() const { return FFontList->Count(); }
  TEmbeddedFont* Fonts(int Index) const;  // EListError outside the range
  TReflectiveObjectList& FontList() const { return *FFontList; }

  // Font list items that are no TEmbeddedFont (an empty reference included) are refused.
  void ReadInnerProperties(TPropertyBag& Bag) override;
  void WriteInnerProperties(TPropertyBag& Bag) override;

private:
  std::unique_ptr<TReflectiveObjectList> FFontList;
};

// Registers TEmbeddedFont and TEmbeddedFontManager.
void RegisterEmbeddedFontManagerClasses();
