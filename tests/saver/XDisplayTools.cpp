#include "tests/saver/XDisplayTools.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

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

int TDisplay::MappedTopLevels() {
  Display* Dp = D(FDisplay);
  Window Root, Parent, *Children = nullptr;
  unsigned N = 0;
  int Mapped = 0;
  if (XQueryTree(Dp, DefaultRootWindow(Dp), &Root, &Parent, &Children, &N)) {
    for (unsigned I = 0; I < N; ++I) {
      XWindowAttributes A;
      if (XGetWindowAttributes(Dp, Children[I], &A) && A.map_state == IsViewable) ++Mapped;
    }
    if (Children) XFree(Children);
  }
  return Mapped;
}

}  // namespace xtools
