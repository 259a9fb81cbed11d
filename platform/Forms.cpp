#include "platform/Forms.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>
#include <QTranslator>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/DisplayModes.h"
#include "platform/PaintTarget.h"
#include "platform/Platform.h"
#include "platform/SysUtils.h"

namespace {
QtMessageHandler GOuterMessageHandler = nullptr;

// Qt ends a program whose display cannot be opened with a fatal message and an abort; the
// program says why in one line and ends with an error code instead.
void NoDisplayHandler(QtMsgType Type, const QMessageLogContext& Context, const QString& Text) {
  if (Type != QtFatalMsg) {
    GOuterMessageHandler(Type, Context, Text);
    return;
  }
  std::fprintf(stderr, "%s: no display could be opened; the program ends.\n",
               ExtractFileName(plat::ProgramFileName()).c_str());
  std::fflush(nullptr);
  // Nothing of the half-built application may run on the way out.
  std::_Exit(1);
}

int& WatchForNoDisplay(int& Argc) {
  GOuterMessageHandler = qInstallMessageHandler(NoDisplayHandler);
  return Argc;
}
}  // namespace

TApplication::TApplication(int& Argc, char** Argv) : QApplication(WatchForNoDisplay(Argc), Argv) {
  qInstallMessageHandler(GOuterMessageHandler);
  LoadFrameworkTranslations(QLocale::system());
}

void LoadFrameworkTranslations(const QLocale& Locale) {
  static QPointer<QTranslator> Current;
  if (Current) {
    QCoreApplication::removeTranslator(Current);
    delete Current;
  }
  auto* T = new QTranslator(QCoreApplication::instance());
  if (T->load(Locale, QStringLiteral("qtbase"), QStringLiteral("_"),
              QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(T);
    Current = T;
  } else {
    delete T;
  }
}

void TApplication::HandleException(const std::exception& E) {
  plat::MessageBox(E.what(), plat::ApplicationTitle(), plat::MB_OK | plat::MB_ICONERROR);
}

bool TApplication::notify(QObject* Receiver, QEvent* Event) {
  try {
    return QApplication::notify(Receiver, Event);
  } catch (const std::exception& E) {
    HandleException(E);
  }
  return false;
}

int UnitsCovering(int Pixels, double Ratio) {
  if (!(Ratio > 0) || Ratio == 1.0) return Pixels;
  // A quotient that should be whole may come out a trifle above it.
  return static_cast<int>(std::ceil(Pixels / Ratio - 1e-6));
}

namespace {
// The primary screen's pixels in its current display mode; false when they cannot be read.
// The display settings know a new mode at once; Qt's screen object learns it only from a later
// notification.
bool CurrentModePixels(QSize& Pixels) {
  plat::TDevMode M;
  if (!plat::EnumDisplaySettings(plat::ENUM_CURRENT_SETTINGS, M) || M.dmPelsWidth == 0 || M.dmPelsHeight == 0)
    return false;
  Pixels = QSize(static_cast<int>(M.dmPelsWidth), static_cast<int>(M.dmPelsHeight));
  return true;
}

double ScreenRatio() {
  const QScreen* S = QGuiApplication::primaryScreen();
  return S ? S->devicePixelRatio() : 1.0;
}

// The offset in units whose pixels, as Qt rounds them, come nearest to Pixels.
int UnitsNearest(double Pixels, double Ratio) {
  if (!(Ratio > 0)) Ratio = 1.0;
  const int Low = static_cast<int>(std::floor(Pixels / Ratio));
  const auto Miss = [&](int Units) { return std::abs(std::round(Units * Ratio) - Pixels); };
  return Miss(Low + 1) < Miss(Low) ? Low + 1 : Low;
}
}  // namespace

QRect ScreenRect() {
  const QScreen* S = QGuiApplication::primaryScreen();
  const QPoint Origin = S ? S->geometry().topLeft() : QPoint();
  // The display settings count pixels, the GUI counts its units.
  if (QSize Pixels; CurrentModePixels(Pixels)) {
    const double Ratio = ScreenRatio();
    return QRect(Origin, QSize(UnitsCovering(Pixels.width(), Ratio), UnitsCovering(Pixels.height(), Ratio)));
  }
  if (S) return S->geometry();
  return QRect(0, 0, 640, 480);
}

void CentreOnScreen(QWidget* W) {
  // Centred in pixels: on a scaled screen a unit spans more than one of them, and Qt rounds a
  // window's place and size to pixels each on its own.
  const double Ratio = ScreenRatio();
  const QRect Screen = ScreenRect();
  QSize Pixels;
  if (!CurrentModePixels(Pixels)) Pixels = Screen.size() * Ratio;
  const QSize Frame = W->frameGeometry().size() * Ratio;
  W->move(Screen.topLeft() + QPoint(UnitsNearest((Pixels.width() - Frame.width()) / 2.0, Ratio),
                                    UnitsNearest((Pixels.height() - Frame.height()) / 2.0, Ratio)));
}

TForm::TForm(QWidget* Parent) : QDialog(Parent) {
  // Forms ask for the original's face names ("MS Sans Serif", "Arial").
  InstallFontSubstitutes();
  // A form is a window of its own; dialogs get their frame and modality from ShowModal.
  setWindowFlags(Qt::Window);
}

void TForm::DoCreate() {
  try {
    FormCreate();
  } catch (const std::exception& E) {
    TApplication::HandleException(E);
  }
}

void TForm::DoDestroy() {
  if (FDestroyed) return;
  FDestroyed = true;
  try {
    FormDestroy();
  } catch (const std::exception& E) {
    TApplication::HandleException(E);
  }
}

int TForm::ShowModal() {
  FModalResult = mrNone;
  setModal(true);
  exec();
  return FModalResult;
}

void TForm::SetModalResult(int Result) {
  FModalResult = Result;
  if (Result != mrNone && isModal() && isVisible()) close();
}

void TForm::SetBounds(int Left, int Top, int Width, int Height) {
  setGeometry(Left, Top, Width, Height);
}

void TForm::showEvent(QShowEvent* Event) {
  if (!Event->spontaneous()) FormShow();
  QDialog::showEvent(Event);
}

void TForm::closeEvent(QCloseEvent* Event) {
  FormClose();
  QDialog::closeEvent(Event);
  if (Event->isAccepted() && isModal()) done(FModalResult);
}

void TForm::keyPressEvent(QKeyEvent* Event) {
  if (Event->key() == Qt::Key_Escape && !FEscapeCancels) {
    Event->ignore();
    return;
  }
  QDialog::keyPressEvent(Event);
}
