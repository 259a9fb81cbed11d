#include "model/ScreenSaverModel.h"

#include "persistence/PropertyBags.h"
#include "platform/Registry.h"

RIZ_PUBLISHED(TPersonalInfo) {
  D.String("LastName", &TPersonalInfo::LastName);
  D.String("FirstName", &TPersonalInfo::FirstName);
  D.String("Street", &TPersonalInfo::Street);
  D.String("ZIP", &TPersonalInfo::ZIP);
  D.String("City", &TPersonalInfo::City);
  D.String("Country", &TPersonalInfo::Country);
  D.String("Phone", &TPersonalInfo::Phone);
  D.String("EMail", &TPersonalInfo::EMail);
}

RIZ_PUBLISHED(TScreenSaverUserProperties) {
  D.Boolean("UseStandardResolution", &TScreenSaverUserProperties::UseStandardResolution);
  D.Boolean("InterpolateToFullscreen", &TScreenSaverUserProperties::InterpolateToFullscreen);
}

// ---------------------------------------------------------------------------------------------

RIZ_PUBLISHED(TScreenSaverInfo) {
  D.String("ProductName", &TScreenSaverInfo::ProductName);
  D.String("ProductVersion", &TScreenSaverInfo::ProductVersion);
  D.String("SerialNo", &TScreenSaverInfo::SerialNo);
  D.String("RizuderName", &TScreenSaverInfo::RizuderName);
  D.Object("CreatorInfo", &TScreenSaverInfo::CreatorInfo, &TScreenSaverInfo::SetCreatorInfo);
  D.Float("CreationDate", &TScreenSaverInfo::CreationDate);
  D.String("CreatorLicense", &TScreenSaverInfo::CreatorLicense);
  D.Enumeration("Resolution", TScreenResolutionIdents, &TScreenSaverInfo::Resolution);
}

TScreenSaverInfo::TScreenSaverInfo()
    : RizuderName("unbenannt"),
      CreationDate(Now()),
      FCreatorInfo(std::make_unique<TPersonalInfo>()),
      FUserProperties(std::make_unique<TScreenSaverUserProperties>()) {}

TScreenSaverInfo::~TScreenSaverInfo() = default;

void TScreenSaverInfo::SetCreatorInfo(const TPersonalInfo* Value) { FCreatorInfo->Assign(Value); }

namespace {
struct TResolutionSize {
  int32_t Width, Height;
};
constexpr TResolutionSize ResolutionSizes[] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 960}, {1600, 1200}};
}  // namespace

int32_t TScreenSaverInfo::ResolutionWidth() const {
  const auto I = static_cast<size_t>(Resolution);
  return I < std::size(ResolutionSizes) ? ResolutionSizes[I].Width : 0;
}

int32_t TScreenSaverInfo::ResolutionHeight() const {
  const auto I = static_cast<size_t>(Resolution);
  return I < std::size(ResolutionSizes) ? ResolutionSizes[I].Height : 0;
}

std::string TScreenSaverInfo::UserPropertiesKey() const {
  return std::string(ScreenSaversRegistryKey) + RizuderName + "\\UserProperties";
}

void TScreenSaverInfo::LoadUserProperties() {
  FUserProperties->LoadFromRegistry(UserPropertiesKey(), HKEY_CURRENT_USER);
}

void TScreenSaverInfo::SaveUserProperties() {
  FUserProperties->SaveToRegistry(UserPropertiesKey(), HKEY_CURRENT_USER);
}

// ---------------------------------------------------------------------------------------------

RIZ_PUBLISHED(TScreenSaverProject) {
  D.String("Name", &TScreenSaverProject::Name, &TScreenSaverProject::SetName);
  D.Object("RizuderInfo", &TScreenSaverProject::RizuderInfo, &TScreenSaverProject::SetRizuderInfo);
  D.ReadOnlyObject("Sequences", &TScreenSaverProject::Sequences);
  D.ReadOnlyObject("MediaManager", &TScreenSaverProject::MediaManager);
}

TScreenSaverProject::TScreenSaverProject()
    : FRizuderInfo(std::make_unique<TScreenSaverInfo>()),
      FSequences(std::make_unique<TSequenceList>()),
      FMediaManager(std::make_unique<TMediaManager>()),
      FFontManager(std::make_unique<TEmbeddedFontManager>()) {}

TScreenSaverProject::~TScreenSaverProject() {
  FRizuderInfo.reset();
  FSequences.reset();
  FMediaManager.reset();
  FFontManager.reset();
}

void TScreenSaverProject::SetRizuderInfo(const TScreenSaverInfo* Value) { FRizuderInfo->Assign(Value); }

void TScreenSaverProject::ReadInnerProperties(TPropertyBag& Bag) {
  inherited::ReadInnerProperties(Bag);
  Bag.ReadObjectValue("fFontManager", *FFontManager);
  for (int I = 0; I < FSequences->Count(); ++I) FSequences->Items(I)->SetProject(this);
}

void TScreenSaverProject::WriteInnerProperties(TPropertyBag& Bag) {
  inherited::WriteInnerProperties(Bag);
  Bag.WriteObjectValue("fFontManager", FFontManager.get());
}

void RegisterScreenSaverModelClasses() {
  RegisterReflectiveClass<TPersonalInfo>();
  RegisterReflectiveClass<TScreenSaverInfo>();
  RegisterReflectiveClass<TScreenSaverUserProperties>();
  RegisterReflectiveClass<TScreenSaverProject>();
}

void RegisterModelClasses() {
  RegisterSequencerClasses();
  RegisterMediaManagerClasses();
  RegisterEmbeddedFontManagerClasses();
  RegisterScreenSaverModelClasses();
}
