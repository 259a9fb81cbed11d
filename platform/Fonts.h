#pragma once
// Fonts for the running process: a font file added to the process's font table for the show
// and removed again, the font-change broadcast, and the complete file of a font named by its
// family (found through fontconfig).

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// Adds a TrueType/OpenType file to this process's fonts; the id to remove it with, or -1 with
// the error code in LastError() (EINVAL when the system gives none). Needs the GUI application.
int AddFontResource(const std::string& FileName);
// Removes a font added by AddFontResource; false for an id that is not installed.
bool RemoveFontResource(int Id);
// How many fonts AddFontResource has added and RemoveFontResource not yet removed.
int InstalledFontResources();

// The font-change broadcast. Qt sees added fonts at once, so nothing needs telling; the count
// lets tests see that the broadcast happened.
void BroadcastFontChange();
int FontChangeBroadcasts();

// The complete file of the regular face of a font family, as one TrueType or OpenType file.
// False (Data empty) when the family is not installed as such a file: fontconfig's nearest
// substitute of another family does not count.
bool GetFontFileData(const std::string& FamilyName, std::vector<uint8_t>& Data);

}  // namespace plat
