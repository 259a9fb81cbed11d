#include "saver/formSaveScreen.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <cstdio>
#include <cstdlib>

#include "graphics/GfxTool.h"
#include "persistence/WindowsTool.h"
#include "platform/Platform.h"
#include "platform/SysUtils.h"
#include "player/ScreenSaverAnimator.h"
#include "saver/ScreenSaverUtils.h"
#include "saver/formWebLink.h"

namespace {
constexpr int MouseTolerance = 10;
}  // namespace

TfrmSaveScreen::TfrmSaveScreen(QWidget* Parent) : TfrmBaseSaveScreen(Parent) {
  setObjectName(QStringLiteral("frmSaveScreen"));
  setWindowTitle(QStringLiteral("frmSaveScreen"));
  // A popup above everything: without a window manager's help it covers the whole screen.
  setWindowFlags(windowFlags() | Qt::X11BypassWindowManagerHint);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

TfrmSaveScreen::~TfrmSaveScreen() { DoDestroy(); }

void TfrmSaveScreen::FormCreate() {
  TfrmBaseSaveScreen::FormCreate();
  qApp->installEventFilter(this);
}

void TfrmSaveScreen::FormShow() {
  FSwallowMouseMove = true;
  if (!Loaded()) {
    TfrmBaseSaveScreen::FormShow();
    return;
  }
  const TScreenSaverInfo* Info = FProject->RizuderInfo();
  if (!Info->UserProperties()->UseStandardResolution) {
    int Index = -1;
    if (FindScreenMode(Info->ResolutionWidth(), Info->ResolutionHeight(), Index)) {
      try {
        ChangeScreenMode(Index);
      } catch (const std::exception&) {
        // A display that refuses the mode it listed: the show runs at the current resolution,
        // as when the mode is not offered at all.
      }
    }
  }
  QCoreApplication::processEvents();
  FillScreen();
  PlaceAnimation();
  plat::SetScreenSaverRunning(true);
  plat::ShowCursor(false);
  FCursorHidden = true;
  // Unmapped: the show compares each sender's own coordinates, so crossing from the black border
  // onto the centred picture reads as a jump and ends it.
  FAnimation->OnMouseMove = [this](int X, int Y) { FormMouseMove(X, Y); };
  FAnimation->OnMouseDown = [this](Qt::MouseButton Button, int X, int Y) { FormMouseDown(Button, X, Y); };
  TfrmBaseSaveScreen::FormShow();
  raise();
  activateWindow();
}

TScreenSaverSequence* TfrmSaveScreen::Run() {
  FSwallowMouseMove = false;
  TScreenSaverSequence* Sequence = nullptr;
  try {
    Sequence = TfrmBaseSaveScreen::Run();
  } catch (...) {
    // The user reads what went wrong on the desktop's own screen, with a pointer.
    GiveBackDesktop();
    throw;
  }
  if (Sequence && !Trim(Sequence->WebLinkAddress).empty()) {
    GiveBackDesktop();
    ShowWebLink(*Sequence);
  }
  Close();
  return Sequence;
}

void TfrmSaveScreen::GiveBackDesktop() {
  RestoreDefaultMode();
  if (FCursorHidden) {
    plat::ShowCursor(true);
    FCursorHidden = false;
  }
}

void TfrmSaveScreen::Stop() {
  if (FStopping) return;
  FStopping = true;
  struct Reset {
    bool& Flag;
    ~Reset() { Flag = false; }
  } ResetStopping{FStopping};
  if (WindowsVersion().Platform == wpWindowsNT || !FRunning || !SaverPasswordEnabled()) {
    TfrmBaseSaveScreen::Stop();
    return;
  }
  // The password dialog needs the keyboard and the mouse.
  ReleaseInput();
  bool Accepted = false;
  try {
    Accepted = VerifySaverPassword(this);
  } catch (const std::exception& E) {
    // Shown as the application shows any error of an event; the show goes on and the next
    // input tries again.
    TApplication::HandleException(E);
  }
  if (Accepted)
    TfrmBaseSaveScreen::Stop();
  else
    GrabInput();
}

void TfrmSaveScreen::FormClose() {
  if (FCursorHidden) {
    plat::ShowCursor(true);
    FCursorHidden = false;
  }
  plat::SetScreenSaverRunning(false);
}

void TfrmSaveScreen::FormDestroy() {
  // A form that goes without having been closed gives back the cursor and the flag as well.
  FormClose();
  RestoreDefaultMode();
  TfrmBaseSaveScreen::FormDestroy();
}

void TfrmSaveScreen::RestoreDefaultMode() {
  try {
    ChangeScreenMode(-1);
  } catch (const std::exception& E) {
    // Nothing more can be done for the display; the project is freed all the same.
    std::fprintf(stderr, "Rizuder: the display mode could not be restored (%s).\n", E.what());
  }
}

void TfrmSaveScreen::FormKeyDown(int Key) { Stop(); }

void TfrmSaveScreen::FormMouseDown(Qt::MouseButton Button, int X, int Y) { Stop(); }

void TfrmSaveScreen::FormMouseMove(int X, int Y) {
  if (FLastX > 0 && FLastY > 0 &&
      (std::abs(FLastX - X) > MouseTolerance || std::abs(FLastY - Y) > MouseTolerance))
    Stop();
  FLastX = X;
  FLastY = Y;
}

void TfrmSaveScreen::WMSysKeyDown() { Stop(); }

bool TfrmSaveScreen::eventFilter(QObject* Watched, QEvent* Event) {
  if (AppMessage(Watched, Event)) return true;
  return TfrmBaseSaveScreen::eventFilter(Watched, Event);
}

bool TfrmSaveScreen::AppMessage(QObject* Watched, QEvent* Event) {
  switch (Event->type()) {
    case QEvent::Close:
      if (Watched == this && !OwnClose()) {
        Event->ignore();
        return true;
      }
      return false;
    case QEvent::MouseMove:
      if (FSwallowMouseMove) {
        auto* W = qobject_cast<QWidget*>(Watched);
        if (W && (W == this || isAncestorOf(W))) return true;
      }
      return MovieInput(Watched, static_cast<QMouseEvent*>(Event));
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      return MovieInput(Watched, static_cast<QMouseEvent*>(Event));
    default:
      return false;
  }
}

bool TfrmSaveScreen::MovieInput(QObject* Watched, QMouseEvent* Event) {
  if (!FAnimation) return false;
  // The movie's widgets lie over the animation control: the pointer's input over them counts as
  // the control's, in its coordinates, as over the rest of the picture.
  auto* W = qobject_cast<QWidget*>(Watched);
  if (!W || W == FAnimation || !FAnimation->isAncestorOf(W)) return false;
  const QPoint P = FAnimation->mapFromGlobal(Event->globalPosition().toPoint());
  if (Event->type() == QEvent::MouseMove) {
    if (!FSwallowMouseMove) FormMouseMove(P.x(), P.y());
  } else {
    FormMouseDown(Event->button(), P.x(), P.y());
  }
  return true;
}

void TfrmSaveScreen::keyPressEvent(QKeyEvent* Event) {
  Event->accept();
  const int Key = Event->key();
  if ((Event->modifiers() & Qt::AltModifier) || Key == Qt::Key_Alt || Key == Qt::Key_AltGr ||
      Key == Qt::Key_F10)
    WMSysKeyDown();
  else
    FormKeyDown(Key);
}

void TfrmSaveScreen::mousePressEvent(QMouseEvent* Event) {
  Event->accept();
  const QPoint P = Event->position().toPoint();
  FormMouseDown(Event->button(), P.x(), P.y());
}

void TfrmSaveScreen::mouseDoubleClickEvent(QMouseEvent* Event) { mousePressEvent(Event); }

void TfrmSaveScreen::mouseMoveEvent(QMouseEvent* Event) {
  Event->accept();
  const QPoint P = Event->position().toPoint();
  FormMouseMove(P.x(), P.y());
}
