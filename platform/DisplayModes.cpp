#include "platform/DisplayModes.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <cstdlib>
#include <mutex>

// Xlib's macros (Status, Bool, None, ...) clash with Qt: X headers come last.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace plat {

namespace {

uint32_t BitsForDepth(int Depth) { return Depth == 24 || Depth == 32 ? 32u : uint32_t(Depth); }

// The one question every source answers alike: does Mode (by its named fields) describe Cur?
bool NamedFieldsMatch(const TDevMode& Mode, const TDevMode& Cur) {
  if ((Mode.dmFields & DM_PELSWIDTH) && Mode.dmPelsWidth != Cur.dmPelsWidth) return false;
  if ((Mode.dmFields & DM_PELSHEIGHT) && Mode.dmPelsHeight != Cur.dmPelsHeight) return false;
  if ((Mode.dmFields & DM_BITSPERPEL) && Mode.dmBitsPerPel != Cur.dmBitsPerPel) return false;
  if ((Mode.dmFields & DM_DISPLAYFREQUENCY) && Mode.dmDisplayFrequency != Cur.dmDisplayFrequency)
    return false;
  if ((Mode.dmFields & DM_DISPLAYFLAGS) && Mode.dmDisplayFlags != Cur.dmDisplayFlags) return false;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Without X11 or RandR: the screen's current mode is the only one, and switching to it is all
// that can succeed.

class TSingleModeSettings : public TDisplaySettingsSource {
public:
  bool Enum(int32_t ModeNum, TDevMode& Mode) override {
    if (ModeNum != ENUM_CURRENT_SETTINGS && ModeNum != 0) return false;
    TDevMode M;
    if (!Current(M)) return false;
    Mode = M;
    return true;
  }
  int32_t Change(const TDevMode* Mode, uint32_t) override {
    if (!Mode) return DISP_CHANGE_SUCCESSFUL;
    TDevMode Cur;
    if (!Current(Cur)) return DISP_CHANGE_FAILED;
    return NamedFieldsMatch(*Mode, Cur) ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_BADMODE;
  }

private:
  static bool Current(TDevMode& M) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    const QScreen* S = QGuiApplication::primaryScreen();
    if (!S) return false;
    const QSize Px = S->size() * S->devicePixelRatio();
    M = TDevMode{};
    M.dmPelsWidth = uint32_t(Px.width());
    M.dmPelsHeight = uint32_t(Px.height());
    M.dmBitsPerPel = BitsForDepth(S->depth());
    M.dmDisplayFrequency = uint32_t(std::max(0L, std::lround(S->refreshRate())));
    M.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    return true;
  }
};

// ---------------------------------------------------------------------------------------------
// XRandR: the modes of the primary output (else the first connected one) and its CRTC.

int GXError = 0;
int RecordXError(::Display*, XErrorEvent* E) {
  GXError = E->error_code;
  return 0;
}

// Collects X errors of the requests made while it lives.
class TXErrorTrap {
public:
  explicit TXErrorTrap(::Display* D) : FDisplay(D) {
    XSync(D, False);
    GXError = 0;
    FOld = XSetErrorHandler(RecordXError);
  }
  ~TXErrorTrap() { XSetErrorHandler(FOld); }
  bool Failed() {
    XSync(FDisplay, False);
    return GXError != 0;
  }

private:
  ::Display* FDisplay;
  int (*FOld)(::Display*, XErrorEvent*);
};

class TXRandRSettings : public TDisplaySettingsSource {
public:
  static std::unique_ptr<TXRandRSettings> Open(const char* Name) {
    ::Display* D = XOpenDisplay(Name);
    if (!D) return nullptr;
    std::unique_ptr<TXRandRSettings> S(new TXRandRSettings(D));
    if (!S->Init()) return nullptr;
    return S;
  }

  ~TXRandRSettings() override {
    if (FChanged) Apply(FOrigMode, FOrigScreenW, FOrigScreenH);
    XCloseDisplay(FDisplay);
  }

  bool Enum(int32_t ModeNum, TDevMode& Mode) override {
    if (ModeNum == ENUM_CURRENT_SETTINGS) {
      TDevMode M;
      if (!CurrentMode(M)) return false;
      Mode = M;
      return true;
    }
    if (ModeNum < 0) return false;
    if (ModeNum == 0) ReadModes();
    if (size_t(ModeNum) >= FModes.size()) return false;
    Mode = FModes[size_t(ModeNum)];
    return true;
  }

  int32_t Change(const TDevMode* Mode, uint32_t) override {
    if (!Mode) {
      if (!FChanged) return DISP_CHANGE_SUCCESSFUL;
      if (!Apply(FOrigMode, FOrigScreenW, FOrigScreenH)) return DISP_CHANGE_FAILED;
      FChanged = false;
      return DISP_CHANGE_SUCCESSFUL;
    }
    TDevMode Cur;
    if (!CurrentMode(Cur)) return DISP_CHANGE_FAILED;
    ReadModes();
    // The fields not named stay as they are now.
    TDevMode Want = Cur;
    if (Mode->dmFields & DM_PELSWIDTH) Want.dmPelsWidth = Mode->dmPelsWidth;
    if (Mode->dmFields & DM_PELSHEIGHT) Want.dmPelsHeight = Mode->dmPelsHeight;
    if (Mode->dmFields & DM_BITSPERPEL) Want.dmBitsPerPel = Mode->dmBitsPerPel;
    if (Want.dmBitsPerPel != Cur.dmBitsPerPel) return DISP_CHANGE_BADMODE;  // X keeps its depth
    const bool Rate = Mode->dmFields & DM_DISPLAYFREQUENCY;
    const bool DFlags = Mode->dmFields & DM_DISPLAYFLAGS;
    const TDevMode* Found = nullptr;
    for (const TDevMode& M : FModes) {
      if (M.dmPelsWidth != Want.dmPelsWidth || M.dmPelsHeight != Want.dmPelsHeight) continue;
      if (Rate && M.dmDisplayFrequency != Mode->dmDisplayFrequency) continue;
      if (DFlags && M.dmDisplayFlags != Mode->dmDisplayFlags) continue;
      if (!Found || M.DriverMode == Mode->DriverMode) Found = &M;
    }
    if (!Found) return DISP_CHANGE_BADMODE;
    if (Found->DriverMode == Cur.DriverMode) return DISP_CHANGE_SUCCESSFUL;
    if (!Apply(RRMode(Found->DriverMode), int(Found->dmPelsWidth) + FCrtcX,
               int(Found->dmPelsHeight) + FCrtcY))
      return DISP_CHANGE_FAILED;
    FChanged = true;
    return DISP_CHANGE_SUCCESSFUL;
  }

private:
  explicit TXRandRSettings(::Display* D) : FDisplay(D), FRoot(DefaultRootWindow(D)) {}

  bool Init() {
    int EventBase = 0, ErrorBase = 0, Major = 0, Minor = 0;
    if (!XRRQueryExtension(FDisplay, &EventBase, &ErrorBase)) return false;
    if (!XRRQueryVersion(FDisplay, &Major, &Minor)) return false;
    if (Major < 1 || (Major == 1 && Minor < 2)) return false;
    FCurrentResources = Major > 1 || Minor >= 3;
    FBits = BitsForDepth(DefaultDepth(FDisplay, DefaultScreen(FDisplay)));
    const RROutput Primary = FCurrentResources ? XRRGetOutputPrimary(FDisplay, FRoot) : 0;
    if (FindOutput(Primary)) return true;
    // Some servers fill in their outputs only when asked to probe.
    FCurrentResources = false;
    return FindOutput(Primary);
  }

  bool FindOutput(RROutput Primary) {
    FOutput = 0;
    FCrtc = 0;
    XRRScreenResources* Res = Resources();
    if (!Res) return false;
    for (int Pass = 0; Pass < 2 && !FOutput; ++Pass) {
      for (int I = 0; I < Res->noutput && !FOutput; ++I) {
        const RROutput O = Res->outputs[I];
        if (Pass == 0 && O != Primary) continue;
        XRROutputInfo* Info = XRRGetOutputInfo(FDisplay, Res, O);
        if (Info && Info->connection == RR_Connected && Info->crtc) {
          FOutput = O;
          FCrtc = Info->crtc;
        }
        if (Info) XRRFreeOutputInfo(Info);
      }
    }
    bool Ok = false;
    if (FOutput) {
      if (XRRCrtcInfo* C = XRRGetCrtcInfo(FDisplay, Res, FCrtc)) {
        FOrigMode = C->mode;
        FCrtcX = C->x;
        FCrtcY = C->y;
        Ok = FOrigMode != 0;
        XRRFreeCrtcInfo(C);
      }
    }
    XRRFreeScreenResources(Res);
    Ok = Ok && ScreenSize(FOrigScreenW, FOrigScreenH);
    FOrigMmW = DisplayWidthMM(FDisplay, DefaultScreen(FDisplay));
    FOrigMmH = DisplayHeightMM(FDisplay, DefaultScreen(FDisplay));
    if (Ok) ReadModes();
    return Ok;
  }

  // The screen's size as the server has it now. Xlib's DisplayWidth and DisplayHeight keep the
  // size the connection was opened with and miss every change made since, our own included.
  bool ScreenSize(int& W, int& H) {
    ::Window Root = 0;
    int X = 0, Y = 0;
    unsigned Width = 0, Height = 0, Border = 0, Depth = 0;
    if (!XGetGeometry(FDisplay, FRoot, &Root, &X, &Y, &Width, &Height, &Border, &Depth)) return false;
    W = int(Width);
    H = int(Height);
    return W > 0 && H > 0;
  }

  // The physical size for a screen of Px pixels at the screen's own resolution, so that the
  // original size comes back with its own millimetres.
  static int Millimetres(int Px, int OrigPx, int OrigMm) {
    return OrigMm > 0 && OrigPx > 0 ? int(int64_t(Px) * OrigMm / OrigPx) : int(int64_t(Px) * 254 / 960);
  }

  XRRScreenResources* Resources() {
    return FCurrentResources ? XRRGetScreenResourcesCurrent(FDisplay, FRoot)
                             : XRRGetScreenResources(FDisplay, FRoot);
  }

  static TDevMode Describe(const XRRModeInfo& M, uint32_t Bits) {
    TDevMode D;
    D.dmPelsWidth = M.width;
    D.dmPelsHeight = M.height;
    D.dmBitsPerPel = Bits;
    double Rate = 0;
    if (M.hTotal && M.vTotal) {
      Rate = double(M.dotClock) / (double(M.hTotal) * double(M.vTotal));
      if (M.modeFlags & RR_Interlace) Rate *= 2;
      if (M.modeFlags & RR_DoubleScan) Rate /= 2;
    }
    D.dmDisplayFrequency = uint32_t(std::lround(Rate));
    D.dmDisplayFlags = (M.modeFlags & RR_Interlace) ? DM_INTERLACED : 0;
    D.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY | DM_DISPLAYFLAGS;
    D.DriverMode = M.id;
    return D;
  }

  static const XRRModeInfo* FindMode(const XRRScreenResources* Res, RRMode Id) {
    for (int I = 0; I < Res->nmode; ++I)
      if (Res->modes[I].id == Id) return &Res->modes[I];
    return nullptr;
  }

  void ReadModes() {
    FModes.clear();
    XRRScreenResources* Res = Resources();
    if (!Res) return;
    if (XRROutputInfo* Info = XRRGetOutputInfo(FDisplay, Res, FOutput)) {
      for (int I = 0; I < Info->nmode; ++I)
        if (const XRRModeInfo* M = FindMode(Res, Info->modes[I])) FModes.push_back(Describe(*M, FBits));
      XRRFreeOutputInfo(Info);
    }
    XRRFreeScreenResources(Res);
  }

  bool CurrentMode(TDevMode& Mode) {
    XRRScreenResources* Res = Resources();
    if (!Res) return false;
    bool Ok = false;
    if (XRRCrtcInfo* C = XRRGetCrtcInfo(FDisplay, Res, FCrtc)) {
      if (const XRRModeInfo* M = FindMode(Res, C->mode)) {
        Mode = Describe(*M, FBits);
        Ok = true;
      }
      XRRFreeCrtcInfo(C);
    }
    XRRFreeScreenResources(Res);
    return Ok;
  }

  // Puts the CRTC into mode Id, keeping its position, rotation and outputs, and makes the
  // screen W x H; the screen grows before and shrinks after the CRTC changes, as the server
  // checks the CRTC against the screen's size.
  bool Apply(RRMode Id, int W, int H) {
    int CurW = 0, CurH = 0;
    if (!ScreenSize(CurW, CurH)) return false;
    XRRScreenResources* Res = Resources();
    if (!Res) return false;
    XRRCrtcInfo* C = XRRGetCrtcInfo(FDisplay, Res, FCrtc);
    if (!C) {
      XRRFreeScreenResources(Res);
      return false;
    }
    const int NewW = std::max(W, 1), NewH = std::max(H, 1);
    const auto Resize = [&](int ToW, int ToH) {
      XRRSetScreenSize(FDisplay, FRoot, ToW, ToH, Millimetres(ToW, FOrigScreenW, FOrigMmW),
                       Millimetres(ToH, FOrigScreenH, FOrigMmH));
    };
    bool Ok = true;
    XGrabServer(FDisplay);
    {
      TXErrorTrap Trap(FDisplay);
      const int TmpW = std::max(CurW, NewW), TmpH = std::max(CurH, NewH);
      if (TmpW != CurW || TmpH != CurH) Resize(TmpW, TmpH);
      Ok = !Trap.Failed();
      if (Ok) {
        const int St = XRRSetCrtcConfig(FDisplay, Res, FCrtc, CurrentTime, C->x, C->y, Id,
                                             C->rotation, C->outputs, C->noutput);
        Ok = St == RRSetConfigSuccess && !Trap.Failed();
      }
      const int EndW = Ok ? NewW : CurW, EndH = Ok ? NewH : CurH;
      if (EndW != TmpW || EndH != TmpH) {
        Resize(EndW, EndH);
        Trap.Failed();
      }
    }
    XUngrabServer(FDisplay);
    XSync(FDisplay, False);
    XRRFreeCrtcInfo(C);
    XRRFreeScreenResources(Res);
    return Ok;
  }

  ::Display* FDisplay;
  ::Window FRoot;
  bool FCurrentResources = false;
  uint32_t FBits = 32;
  RROutput FOutput = 0;
  RRCrtc FCrtc = 0;
  RRMode FOrigMode = 0;
  int FCrtcX = 0, FCrtcY = 0;  // where the CRTC sits on the screen
  int FOrigScreenW = 0, FOrigScreenH = 0;
  int FOrigMmW = 0, FOrigMmH = 0;
  bool FChanged = false;
  std::vector<TDevMode> FModes;
};

// ---------------------------------------------------------------------------------------------

std::mutex GLock;
std::shared_ptr<TDisplaySettingsSource> GOverride;
std::shared_ptr<TDisplaySettingsSource> GSystem;  // made on first use; restores at exit

std::shared_ptr<TDisplaySettingsSource> Source() {
  std::lock_guard<std::mutex> Guard(GLock);
  if (GOverride) return GOverride;
  if (!GSystem) {
    const char* Disp = std::getenv("DISPLAY");
    if (Disp && *Disp) GSystem = CreateXRandRDisplaySettings(nullptr);
    if (!GSystem) GSystem = std::make_shared<TSingleModeSettings>();
  }
  return GSystem;
}

}  // namespace

std::unique_ptr<TDisplaySettingsSource> CreateXRandRDisplaySettings(const char* DisplayName) {
  return TXRandRSettings::Open(DisplayName);
}

void SetDisplaySettingsSource(std::shared_ptr<TDisplaySettingsSource> S) {
  std::lock_guard<std::mutex> Guard(GLock);
  GOverride = std::move(S);
}

bool EnumDisplaySettings(int32_t ModeNum, TDevMode& Mode) { return Source()->Enum(ModeNum, Mode); }

int32_t ChangeDisplaySettings(const TDevMode* Mode, uint32_t Flags) {
  return Source()->Change(Mode, Flags);
}

// ---------------------------------------------------------------------------------------------

bool TFakeDisplaySettings::Enum(int32_t ModeNum, TDevMode& Mode) {
  if (ModeNum == ENUM_CURRENT_SETTINGS) {
    if (!CurrentReadable) return false;
    Mode = Current;
    return true;
  }
  if (ModeNum < 0 || size_t(ModeNum) >= Modes.size()) return false;
  Mode = Modes[size_t(ModeNum)];
  return true;
}

int32_t TFakeDisplaySettings::Change(const TDevMode* Mode, uint32_t) {
  if (!Mode) {
    TDevMode Restore;
    Restore.dmSize = 0;
    Requests.push_back(Restore);
    if (RefuseRestore) return DISP_CHANGE_FAILED;
    Current = Default;
    return DISP_CHANGE_SUCCESSFUL;
  }
  Requests.push_back(*Mode);
  if (RefuseChange) return DISP_CHANGE_FAILED;
  if (Mode->dmFields & DM_PELSWIDTH) Current.dmPelsWidth = Mode->dmPelsWidth;
  if (Mode->dmFields & DM_PELSHEIGHT) Current.dmPelsHeight = Mode->dmPelsHeight;
  if (Mode->dmFields & DM_BITSPERPEL) Current.dmBitsPerPel = Mode->dmBitsPerPel;
  if (Mode->dmFields & DM_DISPLAYFREQUENCY) Current.dmDisplayFrequency = Mode->dmDisplayFrequency;
  if (Mode->dmFields & DM_DISPLAYFLAGS) Current.dmDisplayFlags = Mode->dmDisplayFlags;
  return DISP_CHANGE_SUCCESSFUL;
}

}  // namespace plat
