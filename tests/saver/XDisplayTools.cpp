#include "tests/saver/XDisplayTools.h"

#include <algorithm>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>

namespace xtools {

namespace {
Display* D(void* P) { return static_cast<Display*>(P); }
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }
}  // namespace

TDisplay::TDisplay(const std::string& Name) {
  FDisplay = XOpenDisplay(Name.empty() ? nullptr : Name.c_str());
  if (FDisplay) XSetErrorHandler(IgnoreErrors);
}

TDisplay::~TDisplay() {
  if (FDisplay) XCloseDisplay(D(FDisplay));
}

void TDisplay::ScreenSize(int& Width, int& Height) {
  Window Root;
  int X, Y;
  unsigned W = 0, H = 0, Border, Depth;
  XGetGeometry(D(FDisplay), DefaultRootWindow(D(FDisplay)), &Root, &X, &Y, &W, &H, &Border, &Depth);
  Width = static_cast<int>(W);
  Height = static_cast<int>(H);
}

TShot TDisplay::Grab(int X, int Y, int Width, int Height) {
  TShot S;
  XImage* Img = XGetImage(D(FDisplay), DefaultRootWindow(D(FDisplay)), X, Y, static_cast<unsigned>(Width),
                          static_cast<unsigned>(Height), AllPlanes, ZPixmap);
  if (!Img) return S;
  S.Width = Width;
  S.Height = Height;
  S.Pixels.resize(static_cast<size_t>(Width) * Height);
  for (int J = 0; J < Height; ++J)
    for (int I = 0; I < Width; ++I)
      S.Pixels[static_cast<size_t>(J) * Width + I] = static_cast<uint32_t>(XGetPixel(Img, I, J)) & 0xFFFFFFu;
  XDestroyImage(Img);
  return S;
}

uint32_t TDisplay::MakeWindow(int X, int Y, int Width, int Height, uint32_t Background) {
  Display* Dp = D(FDisplay);
  const Window W = XCreateSimpleWindow(Dp, DefaultRootWindow(Dp), X, Y, static_cast<unsigned>(Width),
                                       static_cast<unsigned>(Height), 0, 0, Background);
  XMapWindow(Dp, W);
  XSync(Dp, False);
  return static_cast<uint32_t>(W);
}

void TDisplay::DestroyWindow(uint32_t Id) {
  XDestroyWindow(D(FDisplay), Id);
  XSync(D(FDisplay), False);
}

std::vector<TRect> TDisplay::MappedTopLevelRects() {
  Display* Dp = D(FDisplay);
  Window Root, Parent, *Children = nullptr;
  unsigned N = 0;
  std::vector<TRect> Rects;
  if (XQueryTree(Dp, DefaultRootWindow(Dp), &Root, &Parent, &Children, &N)) {
    for (unsigned I = 0; I < N; ++I) {
      XWindowAttributes A;
      if (XGetWindowAttributes(Dp, Children[I], &A) && A.map_state == IsViewable)
        Rects.push_back({A.x, A.y, A.width, A.height});
    }
    if (Children) XFree(Children);
  }
  return Rects;
}

bool TDisplay::CursorHidden() {
  XFixesCursorImage* Img = XFixesGetCursorImage(D(FDisplay));
  if (!Img) return false;
  bool Hidden = true;
  for (size_t I = 0; I < size_t(Img->width) * Img->height && Hidden; ++I)
    Hidden = (Img->pixels[I] >> 24) == 0;
  XFree(Img);
  return Hidden;
}

bool TDisplay::FocusInMappedTopLevel() {
  Display* Dp = D(FDisplay);
  Window Focus = None;
  int Revert = 0;
  XGetInputFocus(Dp, &Focus, &Revert);
  if (Focus == None || Focus == PointerRoot) return false;
  for (;;) {
    Window Root, Parent, *Children = nullptr;
    unsigned N = 0;
    if (!XQueryTree(Dp, Focus, &Root, &Parent, &Children, &N)) return false;
    if (Children) XFree(Children);
    if (Parent == None) return false;  // the root itself
    if (Parent == Root) break;
    Focus = Parent;
  }
  XWindowAttributes A;
  return XGetWindowAttributes(Dp, Focus, &A) && A.map_state == IsViewable;
}

namespace {
// The first connected output that shows a picture, with its CRTC.
bool FirstOutput(Display* Dp, XRRScreenResources* Res, RROutput& Output, RRCrtc& Crtc) {
  for (int I = 0; I < Res->noutput; ++I) {
    XRROutputInfo* Info = XRRGetOutputInfo(Dp, Res, Res->outputs[I]);
    const bool Found = Info && Info->connection == RR_Connected && Info->crtc;
    if (Found) {
      Output = Res->outputs[I];
      Crtc = Info->crtc;
    }
    if (Info) XRRFreeOutputInfo(Info);
    if (Found) return true;
  }
  return false;
}
}  // namespace

bool TDisplay::AddModes(const std::vector<std::pair<int, int>>& Sizes, std::pair<int, int> Current) {
  Display* Dp = D(FDisplay);
  const Window Root = DefaultRootWindow(Dp);
  XRRScreenResources* Res = XRRGetScreenResources(Dp, Root);
  if (!Res) return false;
  RROutput Output = 0;
  RRCrtc Crtc = 0;
  RRMode Show = 0;
  if (FirstOutput(Dp, Res, Output, Crtc)) {
    for (const auto& [W, H] : Sizes) {
      std::string Name = std::to_string(W) + "x" + std::to_string(H) + "_60";
      // A mode made by an earlier call is taken again (the server refuses a second of a name).
      RRMode Id = 0;
      for (int I = 0; I < Res->nmode && !Id; ++I)
        if (Name == std::string(Res->modes[I].name, Res->modes[I].nameLength)) Id = Res->modes[I].id;
      if (!Id) {
        XRRModeInfo M{};
        M.width = static_cast<unsigned>(W);
        M.height = static_cast<unsigned>(H);
        M.hSyncStart = M.width + 16;
        M.hSyncEnd = M.width + 96;
        M.hTotal = M.width + 160;
        M.vSyncStart = M.height + 3;
        M.vSyncEnd = M.height + 7;
        M.vTotal = M.height + 25;
        M.dotClock = static_cast<unsigned long>(M.hTotal) * M.vTotal * 60;  // exactly 60 Hz
        M.name = Name.data();
        M.nameLength = static_cast<unsigned>(Name.size());
        Id = XRRCreateMode(Dp, Root, &M);
        if (!Id) continue;
        XRRAddOutputMode(Dp, Output, Id);
      }
      if (W == Current.first && H == Current.second) Show = Id;
    }
    XSync(Dp, False);
  }
  XRRFreeScreenResources(Res);
  if (!Show) return false;
  // The screen takes the mode's size: it grows before the output changes and shrinks after, as
  // the server checks the output against it.
  int W = 0, H = 0;
  ScreenSize(W, H);
  const int MmW = DisplayWidthMM(Dp, DefaultScreen(Dp)), MmH = DisplayHeightMM(Dp, DefaultScreen(Dp));
  const auto Resize = [&](int ToW, int ToH) { XRRSetScreenSize(Dp, Root, ToW, ToH, MmW * ToW / W, MmH * ToH / H); };
  const int GrownW = std::max(W, Current.first), GrownH = std::max(H, Current.second);
  if (GrownW != W || GrownH != H) Resize(GrownW, GrownH);
  Res = XRRGetScreenResources(Dp, Root);
  const bool Ok = Res && XRRSetCrtcConfig(Dp, Res, Crtc, CurrentTime, 0, 0, Show, RR_Rotate_0, &Output, 1) ==
                             RRSetConfigSuccess;
  if (Res) XRRFreeScreenResources(Res);
  if (Ok && (GrownW != Current.first || GrownH != Current.second)) Resize(Current.first, Current.second);
  XSync(Dp, False);
  return Ok && OutputMode() == std::to_string(Current.first) + "x" + std::to_string(Current.second) + "_60";
}

std::string TDisplay::OutputMode() {
  Display* Dp = D(FDisplay);
  XRRScreenResources* Res = XRRGetScreenResources(Dp, DefaultRootWindow(Dp));
  if (!Res) return {};
  std::string Name;
  RROutput Output = 0;
  RRCrtc Crtc = 0;
  if (FirstOutput(Dp, Res, Output, Crtc)) {
    if (XRRCrtcInfo* C = XRRGetCrtcInfo(Dp, Res, Crtc)) {
      for (int I = 0; I < Res->nmode; ++I)
        if (Res->modes[I].id == C->mode) Name.assign(Res->modes[I].name, Res->modes[I].nameLength);
      XRRFreeCrtcInfo(C);
    }
  }
  XRRFreeScreenResources(Res);
  return Name;
}

}  // namespace xtools
