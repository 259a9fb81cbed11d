#include "saver/formPreview.h"

#include <QGuiApplication>
#include <QWindow>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "platform/Platform.h"
#include "player/ScreenSaverAnimator.h"
#include "saver/ScreenSaverUtils.h"

// Xlib and xcb macros clash with Qt: X headers come last.
#include <xcb/xcb.h>

namespace {
// Every this many ticks the preview looks whether its host window still exists.
constexpr int HostCheckTicks = 25;
// How much of a command-line argument a message quotes.
constexpr size_t QuotedArgumentBytes = 40;

// A bounded, printable quotation of an argument: control bytes become '?', and a long one is cut
// (never inside a character) and marked so.
std::string QuoteArgument(const std::string& Arg) {
  size_t End = Arg.size();
  if (End > QuotedArgumentBytes) {
    End = QuotedArgumentBytes;
    while (End > 0 && (static_cast<unsigned char>(Arg[End]) & 0xC0) == 0x80) --End;
  }
  std::string Q = "\"";
  for (size_t I = 0; I < End; ++I) {
    const auto C = static_cast<unsigned char>(Arg[I]);
    Q += C < 0x20 || C == 0x7F ? '?' : Arg[I];
  }
  Q += "\"";
  if (End < Arg.size()) Q += "...";
  return Q;
}
}  // namespace

TfrmPreview::TfrmPreview(QWidget* Parent) : TfrmBaseSaveScreen(Parent) {
  setObjectName(QStringLiteral("frmPreview"));
  setWindowTitle(QStringLiteral("SCREENSAVER_PREVIEW"));
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  tmrStart->setSingleShot(false);
}

TfrmPreview::~TfrmPreview() {
  DoDestroy();
  // Our window must leave the host's wrapper before the wrapper goes (it would take its
  // children along).
  if (FHost) {
    hide();
    if (QWindow* W = windowHandle()) W->setParent(nullptr);
  }
}

bool TfrmPreview::HostRect(uint32_t Host, QRect& R) {
  if (Host == 0) return false;
  auto* X11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!X11 || !X11->connection()) return false;
  xcb_connection_t* C = X11->connection();
  xcb_generic_error_t* Error = nullptr;
  xcb_get_geometry_reply_t* G = xcb_get_geometry_reply(C, xcb_get_geometry(C, Host), &Error);
  free(Error);
  if (!G) return false;
  // A pixmap id answers the geometry request too; only a window has attributes.
  xcb_get_window_attributes_reply_t* A =
      xcb_get_window_attributes_reply(C, xcb_get_window_attributes(C, Host), &Error);
  free(Error);
  const bool IsWindow = A != nullptr;
  free(A);
  R = QRect(G->x, G->y, G->width + 2 * G->border_width, G->height + 2 * G->border_width);
  free(G);
  return IsWindow;
}

void TfrmPreview::FormCreate() {
  TfrmBaseSaveScreen::FormCreate();
  if (!Loaded()) return;
  FAnimation->SetNoMovies(true);
  FAnimation->SetMute(true);
  QRect R;
  if (!HostRect(GetSaverParentWindow(), R)) {
    // Named as given: an argument that is no window id at all converts to 0.
    const std::string Given = plat::ParamCount() >= 2 ? QuoteArgument(plat::ParamStr(2)) : "given";
    std::fprintf(stderr, "Rizuder: no preview window %s; the preview ends.\n", Given.c_str());
    EndUnshown();
  }
}

void TfrmPreview::AttachToPreviewParent() {
  const uint32_t Host = GetSaverParentWindow();
  if (Host == 0) return;
  FHost.reset(QWindow::fromWinId(Host));
  if (!FHost) return;
  setAttribute(Qt::WA_NativeWindow);
  winId();
  if (QWindow* W = windowHandle()) W->setParent(FHost.get());
}

void TfrmPreview::FitToPreviewParent() {
  const uint32_t Host = GetSaverParentWindow();
  if (Host == 0) return;
  QRect R;
  if (!HostRect(Host, R)) return;
  // One pixel wider and taller than the host, which clips it. The host counts pixels, the form
  // the GUI's units: on a scaled screen the form covers the host and the pixel beyond.
  const double Ratio = devicePixelRatio();
  SetBounds(0, 0, UnitsCovering(R.width() + 1, Ratio), UnitsCovering(R.height() + 1, Ratio));
}

void TfrmPreview::FormShow() {
  if (!Loaded()) {
    TfrmBaseSaveScreen::FormShow();
    return;
  }
  AttachToPreviewParent();
  FitToPreviewParent();
  FAnimation->setGeometry(rect());
  // The timer also watches the host: it runs whatever the animation does.
  TfrmBaseSaveScreen::FormShow();
  try {
    FAnimation->Start();
  } catch (const std::exception& E) {
    AnimationFailed(E);
  }
}

void TfrmPreview::AnimationFailed(const std::exception& E) {
  if (FReported) return;
  FReported = true;
  // Reported once the event at hand is done: an exception must not unwind through the GUI's
  // timer or show handling, and the timer goes on stepping and watching the host while the
  // message is up.
  QMetaObject::invokeMethod(
      this, [Text = std::string(E.what())] { TApplication::HandleException(std::runtime_error(Text)); },
      Qt::QueuedConnection);
}

void TfrmPreview::tmrStartTimer() {
  if (!Loaded()) {
    tmrStart->stop();
    Close();
    return;
  }
  if (++FTicks >= HostCheckTicks) {
    FTicks = 0;
    QRect R;
    if (!HostRect(GetSaverParentWindow(), R)) {
      // The host went away (the control panel closed): so does the preview.
      tmrStart->stop();
      Close();
      return;
    }
  }
  try {
    FAnimation->Step();
  } catch (const std::exception& E) {
    // The show goes on: the controller moves on from a sequence whose start failed (its clock
    // is from an earlier start or none, so its time is up), and a picture that could not be
    // decoded is held empty and does not fail again.
    AnimationFailed(E);
  }
}

void TfrmPreview::FormClose() {
  tmrStart->stop();
  if (FAnimation) FAnimation->Stop();
}

void TfrmPreview::resizeEvent(QResizeEvent* Event) {
  TfrmBaseSaveScreen::resizeEvent(Event);
  // The whole preview window shows the show, stretched.
  if (FAnimation) FAnimation->setGeometry(rect());
}
