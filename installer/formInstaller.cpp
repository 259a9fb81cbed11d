#include "installer/formInstaller.h"

#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QScreen>

#include <algorithm>
#include <vector>

#include "installer/formInstallSaver.h"
#include "installer/formInstallationFinished.h"
#include "installer/formLicense.h"
#include "installer/formWelcome.h"
#include "model/ScreenSaverModel.h"
#include "persistence/WindowsTool.h"
#include "platform/Platform.h"
#include "saver/ScreenSaverUtils.h"

const char* const SaverDataUnreadable =
    "Die Bildschirmschonerdaten konnten nicht gelesen werden.\r\n\r\n"
    "Wahrscheinlich wurde die Datei beschädigt. ";

namespace {
// The form as designed: controls anchored to the bottom keep their distance to it.
constexpr int KDesignClientHeight = 448;

const char* const LicenseAgreement =
    "Endbenutzer-Lizenzvereinbarung\r\n"
    "\r\n"
    "Bitte lesen Sie diese Vereinbarung sorgfältig, bevor Sie den Bildschirmschoner installieren. "
    "Mit der Installation erklären Sie sich mit den folgenden Bedingungen einverstanden.\r\n"
    "\r\n"
    "1. Nutzungsrecht\r\n"
    "Sie dürfen den Bildschirmschoner auf Ihren eigenen Computern installieren und für private "
    "Zwecke nutzen. Ein Weiterverkauf ist nicht gestattet.\r\n"
    "\r\n"
    "2. Inhalte\r\n"
    "Bilder, Texte, Filme, Musik und Klänge des Bildschirmschoners gehören ihren jeweiligen "
    "Urhebern. Sie dürfen sie nicht aus dem Bildschirmschoner herauslösen oder getrennt "
    "verbreiten.\r\n"
    "\r\n"
    "3. Gewährleistung\r\n"
    "Der Bildschirmschoner wird so zur Verfügung gestellt, wie er ist. Für Schäden, die durch "
    "seine Installation oder Nutzung entstehen, wird keine Haftung übernommen, soweit das Gesetz "
    "dies zulässt.\r\n"
    "\r\n"
    "4. Weitergabe\r\n"
    "Sie dürfen dieses Installationsprogramm unverändert und vollständig an Dritte weitergeben.\r\n"
    "\r\n"
    "Wenn Sie mit diesen Bedingungen einverstanden sind, kreuzen Sie bitte \"Ich stimme zu\" an.";

QFont ArialPx(int Px) {
  QFont F("Arial");
  F.setPixelSize(Px);
  return F;
}

QLabel* MakeLabel(QWidget* Parent, const char* Name, int X, int Y, int Px) {
  auto* L = new QLabel(Parent);
  L->setObjectName(Name);
  L->setFont(ArialPx(Px));
  L->setStyleSheet("color: white; background: transparent;");
  L->move(X, Y);
  return L;
}

// The maker's logo (179 x 64) and the program icon (64 x 64), drawn rather than stored.
QPixmap DrawLogo() {
  QPixmap P(179, 64);
  P.fill(Qt::transparent);
  QPainter G(&P);
  G.setRenderHint(QPainter::Antialiasing);
  G.setPen(QPen(QColor(255, 255, 255), 2));
  G.setBrush(QColor(0, 102, 153));
  G.drawRoundedRect(QRectF(2, 2, 175, 60), 12, 12);
  QFont F = ArialPx(30);
  F.setBold(true);
  G.setFont(F);
  G.drawText(QRect(0, 0, 179, 64), Qt::AlignCenter, "Zerozezu");
  return P;
}

QPixmap DrawIcon() {
  QPixmap P(64, 64);
  P.fill(Qt::transparent);
  QPainter G(&P);
  G.setRenderHint(QPainter::Antialiasing);
  G.setPen(QPen(Qt::white, 2));
  G.setBrush(QColor(20, 20, 60));
  G.drawRect(QRectF(6, 8, 52, 38));  // the screen
  G.drawLine(32, 46, 32, 54);
  G.drawLine(20, 56, 44, 56);
  G.setPen(Qt::NoPen);
  const QColor Stars[] = {QColor(255, 220, 80), QColor(120, 200, 255), QColor(255, 120, 160)};
  const QPointF At[] = {QPointF(20, 20), QPointF(40, 30), QPointF(30, 36)};
  for (int I = 0; I < 3; ++I) {
    G.setBrush(Stars[I]);
    G.drawEllipse(At[I], 4, 4);
  }
  return P;
}

// The name is followed by ".scr", so without a separator even ".." names a file in the
// directory; a NUL would end the name early.
bool NameIsSafe(const std::string& Name) {
  return Name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}
}  // namespace

std::string FormatInstallDate(double DateTime, const QLocale& Locale) {
  int Y, M, D;
  if (!TryDecodeDate(DateTime, Y, M, D)) return {};
  QString Month = Locale.standaloneMonthName(M, QLocale::ShortFormat);
  while (Month.endsWith('.')) Month.chop(1);
  return QString("%1.%2.%3").arg(D, 2, 10, QChar('0')).arg(Month).arg(Y, 4, 10, QChar('0')).toStdString();
}

TfrmInstaller::TfrmInstaller(QWidget* Parent) : TForm(Parent) {
  setObjectName("frmInstaller");
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  QPalette Pal = palette();
  Pal.setColor(QPalette::Window, Qt::black);
  setPalette(Pal);
  setAutoFillBackground(true);
  setFont(ArialPx(11));

  tmrStart = new QTimer(this);
  tmrStart->setObjectName("tmrStart");
  tmrStart->setInterval(30);
  connect(tmrStart, &QTimer::timeout, this, [this] {
    try {
      tmrStartTimer();
    } catch (const std::exception& E) {
      FWizardFailed = true;
      TApplication::HandleException(E);
    }
  });

  JvGradient1 = new TGradient(QColor(0, 102, 153), Qt::black, 100, this);
  JvGradient1->setObjectName("JvGradient1");
  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setPixmap(DrawIcon());
  Image1->setFixedSize(64, 64);
  Label1 = MakeLabel(this, "Label1", 272, 387, 11);
  Label1->setText("Zerozezu");
  lblTitle = MakeLabel(this, "lblTitle", 8, 8, 24);
  lblCreatorInfo = MakeLabel(this, "lblCreatorInfo", 8, 40, 16);
  lblProductInfo = MakeLabel(this, "lblProductInfo", 8, 64, 16);
  Image2 = new QLabel(this);
  Image2->setObjectName("Image2");
  Image2->setPixmap(DrawLogo());
  Image2->setFixedSize(179, 64);
  Image2->setStyleSheet("background: transparent;");
  Label2 = MakeLabel(this, "Label2", 272, 403, 11);
  Label2->setText("Bildschirmschoner");
  Label3 = MakeLabel(this, "Label3", 272, 419, 11);
  Label3->setText("Installationsprogramm");
  for (QLabel* L : {Label1, Label2, Label3}) L->adjustSize();
  resize(640, KDesignClientHeight);
}

TfrmInstaller::~TfrmInstaller() = default;

void TfrmInstaller::FormCreate() {
  FScreenSaverInfo = std::make_unique<TScreenSaverInfo>();
  try {
    FStream = std::make_unique<TApplicationDataStream>(plat::ProgramFileName(), adaRead);
    FScreenSaverInfo->LoadFromStream(*FStream);
    FCarriedStart = FStream->Position();
  } catch (const std::exception&) {
    plat::ShowMessage(SaverDataUnreadable);
    FScreenSaverInfo.reset();
  }
}

void TfrmInstaller::FormShow() {
  const QRect Screen = QGuiApplication::primaryScreen()->geometry();
  SetBounds(0, 0, Screen.width() - 1, Screen.height() - 1);
  if (!FScreenSaverInfo) {
    // Without the info there is nothing to show or install: the message was the last word.
    QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
    return;
  }
  const TScreenSaverInfo& Info = *FScreenSaverInfo;
  lblTitle->setText(QString::fromStdString(Info.RizuderName));
  lblCreatorInfo->setText(QString::fromStdString(
      "Erstellt von " + Info.CreatorInfo()->FirstName + " " + Info.CreatorInfo()->LastName + " am " +
      FormatInstallDate(Info.CreationDate)));
  lblProductInfo->setText(QString::fromStdString(Info.ProductName + " " + Info.ProductVersion));
  for (QLabel* L : {lblTitle, lblCreatorInfo, lblProductInfo}) L->adjustSize();
  tmrStart->start();
}

void TfrmInstaller::tmrStartTimer() {
  tmrStart->stop();
  const TScreenSaverInfo& Info = *FScreenSaverInfo;
  int Step = 0;
  uint8_t Result = srNext;
  while (Step <= 4) {
    TfrmBaseInstallStep* Dialog = nullptr;
    std::string Title, Text;
    switch (Step) {
      case 0:
        Dialog = frmWelcome;
        Title = "Willkommen in diesem Setup-Programm";
        Text = "Dieses Programm installiert nun einen Bildschirmschoner auf Ihrem System.\r\n"
               "Folgen Sie den Anweisungen am Bildschirm.\r\n\r\n"
               "Falls Sie später diese Software wieder entfernen möchten, benutzen Sie "
               "Systemsteuerung->Software und wählen Sie \"" +
               Info.RizuderName + "\". " + "Klicken Sie auf \"Entfernen\"\r\n";
        break;
      case 1:
        Dialog = frmLicense;
        Title = "Lizenzvereinbarungen";
        Text = LicenseAgreement;
        break;
      case 2:
        if (!Trim(Info.CreatorLicense).empty()) {
          Dialog = frmLicense;
          Title = "Lizenzvereinbarungen des Schonerherstellers";
          Text = Info.CreatorLicense;
        }
        break;
      case 3:
        Dialog = frmInstallSaver;
        Title = "Installation";
        Text = "Installations-Hinweise\r\n\r\n"
               "- Es wird nur eine Datei in Ihr Systemverzeichnis kopiert.\r\n\r\n"
               "- Deaktivieren Sie die Option \"Zu aktuellem Bildschirmschoner machen\", wenn\r\n"
               "Sie nicht möchten, dass der neue Bildschirmschoner zu Ihrem aktuellen\r\n"
               "Bildschirmschoner wird.";
        break;
      default:
        Dialog = frmInstallationFinished;
        Title = "Installation erfolgreich beendet";
        Text = "Der Bildschirschoner \"" + Info.RizuderName + "\" wurde auf Ihrem " +
               "System installiert.\r\n" + "\r\n" + "Wir wünschen Ihnen viel Spass und Unterhaltung!";
        break;
    }
    if (Dialog) {
      Dialog->SetTitle(Title);
      Dialog->SetDescription(Text);
      Result = Dialog->Execute();
    } else {
      Result = srNext;  // a step without a dialog counts as Next, whichever way it was reached
    }
    if (Result == srNext && Step == 3) {
      FMakeActive = frmInstallSaver->chkMakeActiveScreenSaver->isChecked();
      InstallSaverFile();
    }
    if (Result == srBack) {
      // The first step has no predecessor: it is shown again.
      if (Step > 0) --Step;
    } else if (Result == srNext) {
      ++Step;
    } else {
      break;
    }
  }
  close();
}

void TfrmInstaller::InstallSaverFile() {
  const std::string& Name = FScreenSaverInfo->RizuderName;
  // The name becomes a file name in the screen-saver directory and must not lead out of it.
  if (!NameIsSafe(Name)) {
    // The message travels as C text: a NUL in it would cut it short.
    std::string Shown = Name;
    std::replace(Shown.begin(), Shown.end(), '\0', '?');
    throw Exception("Der Name des Bildschirmschoners \"" + Shown +
                    "\" ist als Dateiname nicht zulässig. Es wurde nichts installiert.");
  }
  std::string Directory = GetSystemDirectory();
  if (Directory.empty() || Directory.back() != '/') Directory += "/";
  const std::string Path = Directory + Name + ".scr";

  // Written under a temporary name and renamed only when complete: an interrupted copy never
  // leaves a truncated screen saver under the real name.
  QSaveFile Target(QString::fromStdString(Path));
  if (!Target.open(QIODevice::WriteOnly))
    throw EFCreateError(Format(SFCreateErrorEx, Path.c_str(), Target.errorString().toUtf8().constData()));
  // Always from the carried file's first byte, so that installing again (Back, then Next)
  // writes the whole file once more instead of what is left behind the last copy.
  FStream->SetPosition(FCarriedStart);
  int64_t Left = FStream->Size() - FStream->Position();
  std::vector<char> Buffer(65536);
  while (Left > 0) {
    const int32_t N = static_cast<int32_t>(std::min<int64_t>(Left, static_cast<int64_t>(Buffer.size())));
    FStream->ReadBuffer(Buffer.data(), N);
    if (Target.write(Buffer.data(), N) != N) {
      Target.cancelWriting();
      throw EWriteError(SWriteError);
    }
    Left -= N;
  }
  if (!Target.commit())
    throw EFCreateError(Format(SFCreateErrorEx, Path.c_str(), Target.errorString().toUtf8().constData()));
  QFile::setPermissions(QString::fromStdString(Path),
                        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                            QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
  if (FMakeActive) ActivateScreenSaverFile(Path);
}

void TfrmInstaller::FormDestroy() {
  FScreenSaverInfo.reset();
  FStream.reset();
}

void TfrmInstaller::resizeEvent(QResizeEvent* Event) {
  TForm::resizeEvent(Event);
  JvGradient1->setGeometry(rect());
  JvGradient1->lower();
  PlaceBottomControls();
}

void TfrmInstaller::PlaceBottomControls() {
  const int Shift = height() - KDesignClientHeight;
  Image2->move(8, 375 + Shift);
  Image1->move(200, 375 + Shift);
  Label1->move(272, 387 + Shift);
  Label2->move(272, 403 + Shift);
  Label3->move(272, 419 + Shift);
}

void TfrmInstaller::keyPressEvent(QKeyEvent* Event) {
  if (FWizardFailed) close();
  else TForm::keyPressEvent(Event);
}

void TfrmInstaller::mousePressEvent(QMouseEvent* Event) {
  if (FWizardFailed) close();
  else TForm::mousePressEvent(Event);
}
