#include "installer/formBaseInstallStep.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "platform/Memo.h"
#include "platform/Platform.h"

namespace {
constexpr int KTitleHeight = 33, KButtonPanelHeight = 42, KTickPanelHeight = 33;
// The dialog measures 500 x 320 with its frame; its client area is what a dialog frame of
// 3 pixels and a caption of 24 leave of that.
constexpr int KClientWidth = 500 - 2 * 3, KClientHeight = 320 - 24 - 2 * 3;

QFont DialogFont(int PixelSize, bool Bold = false) {
  QFont F("MS Sans Serif");
  F.setPixelSize(PixelSize);
  F.setBold(Bold);
  return F;
}
}  // namespace

TfrmBaseInstallStep::TfrmBaseInstallStep(QWidget* Parent) : TForm(Parent) {
  setObjectName("frmBaseInstallStep");
  setWindowTitle(QString::fromUtf8("Bildschirmschoner Installation"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFont(DialogFont(11));
  setFixedSize(KClientWidth, KClientHeight);

  pnlTitle = new QLabel(this);
  pnlTitle->setObjectName("pnlTitle");
  pnlTitle->setFont(DialogFont(13, true));
  pnlTitle->setAlignment(Qt::AlignCenter);
  pnlTitle->setFrameShape(QFrame::Panel);
  pnlTitle->setFrameShadow(QFrame::Raised);
  // A panel is opaque in the button-face colour: what lies beneath it stays hidden.
  pnlTitle->setBackgroundRole(QPalette::Button);
  pnlTitle->setAutoFillBackground(true);

  txtDescription = new TMemo(this);
  txtDescription->setObjectName("txtDescription");
  txtDescription->setReadOnly(true);
  txtDescription->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QPalette P = txtDescription->palette();
  P.setColor(QPalette::Base, P.color(QPalette::Button));
  txtDescription->setPalette(P);

  Panel1 = new QWidget(this);
  Panel1->setObjectName("Panel1");
  auto MakeButton = [this](const char* Name, const char* Caption, int X) {
    auto* B = new QPushButton(QString::fromUtf8(Caption), Panel1);
    B->setObjectName(Name);
    B->setGeometry(X, 8, 65, 25);
    B->setDefault(false);
    return B;
  };
  cmdPrev = MakeButton("cmdPrev", "<< Zurück", 8);
  cmdNext = MakeButton("cmdNext", "Weiter >>", 80);
  cmdCancel = MakeButton("cmdCancel", "Abbrechen", 160);
  connect(cmdPrev, &QPushButton::clicked, this, [this] { cmdPrevClick(); });
  connect(cmdNext, &QPushButton::clicked, this, [this] { cmdNextClick(); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancelClick(); });
  Arrange();
}

uint8_t TfrmBaseInstallStep::Execute() {
  CenterOnScreen();
  ShowModal();
  return StepResult;
}

void TfrmBaseInstallStep::SetTitle(const std::string& Text) {
  pnlTitle->setText(QString::fromStdString(Text));
}

void TfrmBaseInstallStep::SetDescription(const std::string& Text) {
  // The texts break lines with CR LF; the memo shows each pair as one line break.
  txtDescription->setPlainText(QString::fromStdString(Text).replace("\r\n", "\n"));
}

void TfrmBaseInstallStep::cmdPrevClick() {
  StepResult = srBack;
  close();
}

void TfrmBaseInstallStep::cmdNextClick() {
  StepResult = srNext;
  close();
}

void TfrmBaseInstallStep::cmdCancelClick() {
  if (plat::MessageBox("Wollen Sie die Installation wirklich abbrechen?", "Achtung", 292) == plat::IDYES) {
    StepResult = srCancel;
    close();
  }
}

void TfrmBaseInstallStep::CenterOnScreen() {
  const QScreen* S = QGuiApplication::primaryScreen();
  if (!S) return;
  create();
  // The frame the window system gives the window; a window manager tells it only once the
  // window is shown, so the first showing is centred again then.
  const QMargins M = windowHandle() ? windowHandle()->frameMargins() : QMargins();
  FCenteredFrame = M;
  const QSize Outer(width() + M.left() + M.right(), height() + M.top() + M.bottom());
  const QRect Screen = S->geometry();
  // A window's position is that of its frame.
  move(Screen.x() + (Screen.width() - Outer.width()) / 2, Screen.y() + (Screen.height() - Outer.height()) / 2);
}

QCheckBox* TfrmBaseInstallStep::AddTickPanel(const char* Caption) {
  FPanel3 = new QWidget(this);
  FPanel3->setObjectName("Panel3");
  auto* Box = new QCheckBox(QString::fromUtf8(Caption), FPanel3);
  Box->setGeometry(8, 8, 480, 17);
  Arrange();
  return Box;
}

void TfrmBaseInstallStep::showEvent(QShowEvent* Event) {
  TForm::showEvent(Event);
  QTimer::singleShot(0, this, [this] {
    if (isVisible() && windowHandle() && windowHandle()->frameMargins() != FCenteredFrame) CenterOnScreen();
  });
}

void TfrmBaseInstallStep::resizeEvent(QResizeEvent* Event) {
  TForm::resizeEvent(Event);
  Arrange();
}

void TfrmBaseInstallStep::Arrange() {
  const int W = width(), H = height();
  pnlTitle->setGeometry(0, 0, W, KTitleHeight);
  Panel1->setGeometry(0, H - KButtonPanelHeight, W, KButtonPanelHeight);
  int Bottom = H - KButtonPanelHeight;
  if (FPanel3) {
    FPanel3->setGeometry(0, Bottom - KTickPanelHeight, W, KTickPanelHeight);
    Bottom -= KTickPanelHeight;
  }
  // The memo fills what the panels leave.
  txtDescription->setGeometry(0, KTitleHeight, W, Bottom - KTitleHeight);
}
