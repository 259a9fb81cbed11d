#pragma once
// Display settings: enumerate the modes of the screen, switch to one for as long as the program
// wants, and return to the mode the screen had before. On X11 this is XRandR on the primary
// output; without X11 or RandR the screen offers its current mode only, and only a switch to
// that mode succeeds. Tests replace the source with TFakeDisplaySettings.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

// dmFields bits.
inline constexpr uint32_t DM_BITSPERPEL = 0x00040000;
inline constexpr uint32_t DM_PELSWIDTH = 0x00080000;
inline constexpr uint32_t DM_PELSHEIGHT = 0x00100000;
inline constexpr uint32_t DM_DISPLAYFLAGS = 0x00200000;
inline constexpr uint32_t DM_DISPLAYFREQUENCY = 0x00400000;
// dmDisplayFlags bits.
inline constexpr uint32_t DM_GRAYSCALE = 1;
inline constexpr uint32_t DM_INTERLACED = 2;

inline constexpr int32_t ENUM_CURRENT_SETTINGS = -1;
inline constexpr uint32_t CDS_FULLSCREEN = 4;

inline constexpr int32_t DISP_CHANGE_SUCCESSFUL = 0;
inline constexpr int32_t DISP_CHANGE_FAILED = -1;
inline constexpr int32_t DISP_CHANGE_BADMODE = -2;

inline constexpr uint16_t DevModeSize = 156;

// One display mode. A frequency of 0 or 1 means the hardware's default rate. DriverMode is the
// source's own name for the mode (the RandR mode id); it travels along unchanged.
struct TDevMode {
  uint16_t dmSize = DevModeSize;
  uint16_t dmDriverExtra = 0;
  uint32_t dmFields = 0;
  uint32_t dmBitsPerPel = 0;
  uint32_t dmPelsWidth = 0;
  uint32_t dmPelsHeight = 0;
  uint32_t dmDisplayFlags = 0;
  uint32_t dmDisplayFrequency = 0;
  uint64_t DriverMode = 0;
  friend bool operator==(const TDevMode&, const TDevMode&) = default;
};

// Mode ModeNum (0, 1, ...) of the display, or its current mode with ENUM_CURRENT_SETTINGS;
// false past the last mode or when the settings cannot be read (Mode is then unchanged).
bool EnumDisplaySettings(int32_t ModeNum, TDevMode& Mode);
// Switches to Mode for the run of the program (only the fields named in dmFields count; the
// others keep their current values), or with nullptr back to the mode the display had before
// the first switch. Returns DISP_CHANGE_SUCCESSFUL or a failure code.
int32_t ChangeDisplaySettings(const TDevMode* Mode, uint32_t Flags);

class TDisplaySettingsSource {
public:
  virtual ~TDisplaySettingsSource() = default;
  virtual bool Enum(int32_t ModeNum, TDevMode& Mode) = 0;
  virtual int32_t Change(const TDevMode* Mode, uint32_t Flags) = 0;
};

// Replaces the source the two calls use; nullptr returns to the system's (made on first use).
void SetDisplaySettingsSource(std::shared_ptr<TDisplaySettingsSource> Source);

// The XRandR source of the given X display (nullptr: $DISPLAY); nullptr when the display cannot
// be opened or has no RandR 1.2. It restores the original mode when it is destroyed.
std::unique_ptr<TDisplaySettingsSource> CreateXRandRDisplaySettings(const char* DisplayName);

// A scripted source for tests: it lists Modes in order, reports Current, switches by copying
// the named fields into Current and returns to Default on a nullptr change.
class TFakeDisplaySettings : public TDisplaySettingsSource {
public:
  std::vector<TDevMode> Modes;
  TDevMode Current;
  TDevMode Default;
  bool CurrentReadable = true;
  bool RefuseChange = false;
  bool RefuseRestore = false;
  // Every change request as it arrived; a restore is logged as a record with dmSize 0.
  std::vector<TDevMode> Requests;

  bool Enum(int32_t ModeNum, TDevMode& Mode) override;
  int32_t Change(const TDevMode* Mode, uint32_t Flags) override;
};

}  // namespace plat
