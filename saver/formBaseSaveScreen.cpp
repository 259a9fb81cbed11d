#include "saver/formBaseSaveScreen.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QWindow>

#include "model/ScreenSaverFiles.h"
#include "player/ScreenSaverAnimator.h"

namespace {
// How often the loop asks again for the input grab the window system refused.
constexpr int GrabRetryMs = 100;
}  // namespace

TfrmBaseSaveScreen::TfrmBaseSaveScreen(QWidget* Parent) : TForm(Parent) {
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setAutoFillBackground(true);
  QPalette Pal = palette();
  Pal.setColor(QPalette::Window, Qt::black);
  setPalette(Pal);
  QFont F(QStringLiteral("MS Sans Serif"));
  F.setPointSize(8);
  setFont(F);

  tmrStart = new QTimer(this);
  tmrStart->setObjectName(QStringLiteral("tmrStart"));
  tmrStart->setInterval(20);
  connect(tmrStart, &QTimer::timeout, this, [this] { tmrStartTimer(); });
}

TfrmBaseSaveScreen::~TfrmBaseSaveScreen() { DoDestroy(); }

void TfrmBaseSaveScreen::FormCreate() {
  FillScreen();
  std::unique_ptr<TScreenSaverInfo> Info;
  LoadScreenSaverInfoAndProject(Info, FProject);
  Info.reset();  // the project holds its own copy
  if (!FProject) {
    EndUnshown();
    return;
  }
  FProject->RizuderInfo()->LoadUserProperties();
  FAnimation = new TAnimationControl(nullptr);
  FAnimation->setParent(this);
  FAnimation->SetProject(FProject.get());
}

void TfrmBaseSaveScreen::FormDestroy() {
  tmrStart->stop();
  // The control's clones refer to the project: the control goes first.
  delete FAnimation;
  FAnimation = nullptr;
  FProject.reset();
}

void TfrmBaseSaveScreen::FormShow() {
  // The taskbar shows no entry for a frameless stay-on-top or embedded window: nothing to hide.
  tmrStart->start();
}

void TfrmBaseSaveScreen::tmrStartTimer() {
  tmrStart->stop();
  if (!FAnimation || FTerminated) {
    Close();
    return;
  }
  try {
    Run();
  } catch (const std::exception& E) {
    // Shown before the form closes: closing the main form ends the program, and would take a
    // message still on screen with it.
    TApplication::HandleException(E);
  } catch (...) {
    Close();
    throw;
  }
  Close();
}

void TfrmBaseSaveScreen::FillScreen() {
  const QSize S = ScreenRect().size();
  SetBounds(0, 0, S.width(), S.height());
}

void TfrmBaseSaveScreen::PlaceAnimation() {
  if (!FAnimation || !FProject) return;
  const int W = width(), H = height();
  const TScreenSaverInfo* Info = FProject->RizuderInfo();
  const int w = Info->ResolutionWidth(), h = Info->ResolutionHeight();
  const TScreenSaverUserProperties* P = Info->UserProperties();
  if (P->UseStandardResolution && !P->InterpolateToFullscreen && w <= W && h <= H)
    FAnimation->setGeometry((W - w) / 2, (H - h) / 2, w, h);
  else
    // One pixel short of the form on the right and at the bottom, as the show always was.
    FAnimation->setGeometry(0, 0, W - 1, H - 1);
}

void TfrmBaseSaveScreen::Stop() { FRunning = false; }

TScreenSaverSequence* TfrmBaseSaveScreen::Run() {
  FRunning = !FTerminated;
  // Only the X11 window system refuses a grab for a while (another client holds one, or the
  // window is not viewable yet); elsewhere a refusal is final.
  const bool RetryGrab = QGuiApplication::platformName() == QLatin1String("xcb");
  QElapsedTimer SinceGrab;
  try {
    // The first sequence is prepared here and may fail as any later one may.
    FAnimation->Start();
    GrabInput();
    SinceGrab.start();
    while (FRunning) {
      FAnimation->Step();
      QCoreApplication::processEvents(QEventLoop::AllEvents);
      if (!FInputGrabbed && FRunning && RetryGrab && SinceGrab.elapsed() >= GrabRetryMs) {
        GrabInput();
        SinceGrab.restart();
      }
    }
  } catch (...) {
    // A failing sequence ends the show instead of leaving a frozen screen behind.
    FRunning = false;
    ReleaseInput();
    try {
      FAnimation->Stop();
    } catch (...) {
    }
    hide();
    throw;
  }
  TScreenSaverSequence* Result = FAnimation->CurrentSequence();
  FAnimation->Stop();
  ReleaseInput();
  hide();
  return Result;
}

void TfrmBaseSaveScreen::Close() {
  const bool Was = FOwnClose;
  FOwnClose = true;
  close();
  FOwnClose = Was;
}

void TfrmBaseSaveScreen::Terminate() {
  FTerminated = true;
  FRunning = false;
  tmrStart->stop();
  Close();
}

void TfrmBaseSaveScreen::EndUnshown() {
  hide();  // an explicit hide: the program does not show the form
  QMetaObject::invokeMethod(this, [this] { Close(); }, Qt::QueuedConnection);
}

bool TfrmBaseSaveScreen::GrabInput() {
  if (!isVisible()) return false;
  // Platforms without grabs (offscreen, minimal) deliver all input to the active window anyway.
  const QString Platform = QGuiApplication::platformName();
  if (Platform == QLatin1String("offscreen") || Platform == QLatin1String("minimal")) {
    FInputGrabbed = true;
    return true;
  }
  // The keyboard grab routes Qt's own delivery to the form. The mouse is grabbed for the
  // window only: Qt then hands each event to the control under the pointer, in that control's
  // coordinates, as without a grab. The window grabs tell whether the window system agreed (it
  // refuses while another client holds a grab or before the window is viewable).
  grabKeyboard();
  QWindow* W = windowHandle();
  FInputGrabbed = W && W->setKeyboardGrabEnabled(true) && W->setMouseGrabEnabled(true);
  return FInputGrabbed;
}

void TfrmBaseSaveScreen::ReleaseInput() {
  releaseKeyboard();
  if (QWindow* W = windowHandle()) {
    W->setKeyboardGrabEnabled(false);
    W->setMouseGrabEnabled(false);
  }
  FInputGrabbed = false;
}
