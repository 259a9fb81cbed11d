#include "platform/Fonts.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QString>

#include <fontconfig/fontconfig.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <set>
#include <strings.h>

#include "platform/Platform.h"

namespace plat {

namespace {
std::atomic<int> GBroadcasts{0};
std::set<int> GInstalled;

bool HasFontFileExtension(const std::string& Path) {
  const size_t Dot = Path.rfind('.');
  if (Dot == std::string::npos) return false;
  const std::string Ext = Path.substr(Dot + 1);
  return strcasecmp(Ext.c_str(), "ttf") == 0 || strcasecmp(Ext.c_str(), "otf") == 0;
}

// The file fontconfig picks for the family's regular face, when it really is that family.
std::string MatchFamilyFile(const std::string& FamilyName) {
  if (FamilyName.empty() || !FcInit()) return {};
  FcPattern* Pattern = FcPatternCreate();
  if (!Pattern) return {};
  FcPatternAddString(Pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(FamilyName.c_str()));
  FcConfigSubstitute(nullptr, Pattern, FcMatchPattern);
  FcDefaultSubstitute(Pattern);
  FcResult Result = FcResultNoMatch;
  FcPattern* Match = FcFontMatch(nullptr, Pattern, &Result);
  FcPatternDestroy(Pattern);
  if (!Match) return {};
  std::string File;
  bool SameFamily = false;
  FcChar8* Family = nullptr;
  for (int I = 0; FcPatternGetString(Match, FC_FAMILY, I, &Family) == FcResultMatch; ++I)
    if (strcasecmp(reinterpret_cast<const char*>(Family), FamilyName.c_str()) == 0) SameFamily = true;
  FcChar8* Path = nullptr;
  int Index = 0;
  if (FcPatternGetInteger(Match, FC_INDEX, 0, &Index) != FcResultMatch) Index = 0;
  if (SameFamily && Index == 0 && FcPatternGetString(Match, FC_FILE, 0, &Path) == FcResultMatch)
    File = reinterpret_cast<const char*>(Path);
  FcPatternDestroy(Match);
  return HasFontFileExtension(File) ? File : std::string();
}
}  // namespace

int AddFontResource(const std::string& FileName) {
  if (!QGuiApplication::instance()) {
    SetLastError(EINVAL);
    return -1;
  }
  errno = 0;
  const int Id = QFontDatabase::addApplicationFont(QString::fromStdString(FileName));
  if (Id < 0)
    SetLastError(errno != 0 ? errno : EINVAL);
  else
    GInstalled.insert(Id);
  return Id;
}

bool RemoveFontResource(int Id) {
  if (Id < 0 || !QGuiApplication::instance()) return false;
  GInstalled.erase(Id);
  return QFontDatabase::removeApplicationFont(Id);
}

int InstalledFontResources() { return static_cast<int>(GInstalled.size()); }

void BroadcastFontChange() { ++GBroadcasts; }

int FontChangeBroadcasts() { return GBroadcasts.load(); }

bool GetFontFileData(const std::string& FamilyName, std::vector<uint8_t>& Data) {
  Data.clear();
  const std::string File = MatchFamilyFile(FamilyName);
  if (File.empty()) return false;
  std::ifstream In(File, std::ios::binary);
  if (!In) return false;
  Data.assign(std::istreambuf_iterator<char>(In), {});
  if (In.bad() || Data.empty()) {
    Data.clear();
    return false;
  }
  return true;
}

}  // namespace plat
