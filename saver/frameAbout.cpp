#include "saver/frameAbout.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QVBoxLayout>

#include <cmath>

#include "graphics/GfxFilters.h"
#include "graphics/GfxTool.h"
#include "persistence/FilesTool.h"
#include "platform/Forms.h"
#include "platform/Memo.h"
#include "platform/Platform.h"

namespace {
constexpr int LogoWidth = 400;
constexpr int LogoHeight = 267;

QFont PointFont(const char* Family, int Points, bool Bold = false) {
  QFont F(QString::fromLatin1(Family));
  F.setPointSize(Points);
  F.setBold(Bold);
  return F;
}

// Runs an event handler; an exception is shown by the application's handler instead of
// leaving through the event loop.
template <class F>
void Guarded(F&& Handler) {
  try {
    Handler();
  } catch (const std::exception& E) {
    TApplication::HandleException(E);
  }
}
}  // namespace

QImage VoviziridLogo() {
  InstallFontSubstitutes();
  QImage Img(LogoWidth, LogoHeight, QImage::Format_RGB32);
  QPainter P(&Img);
  P.setRenderHint(QPainter::Antialiasing);

  // Night sky above a lagoon: the water's refraction needs texture to be seen.
  QLinearGradient Sky(0, 0, 0, LogoHeight);
  Sky.setColorAt(0.0, QColor(8, 16, 48));
  Sky.setColorAt(0.55, QColor(24, 70, 130));
  Sky.setColorAt(1.0, QColor(6, 40, 60));
  P.fillRect(Img.rect(), Sky);

  QRadialGradient Moon(QPointF(300, 70), 46);
  Moon.setColorAt(0.0, QColor(255, 248, 214));
  Moon.setColorAt(0.7, QColor(250, 220, 140));
  Moon.setColorAt(1.0, QColor(250, 220, 140, 0));
  P.setPen(Qt::NoPen);
  P.setBrush(Moon);
  P.drawEllipse(QPointF(300, 70), 46, 46);

  // Stars on a fixed pattern.
  P.setBrush(QColor(230, 236, 255));
  for (int I = 0; I < 60; ++I) {
    const int X = (I * 97 + 13) % LogoWidth;
    const int Y = (I * 53 + 7) % 120;
    const double R = (I % 3 == 0) ? 1.4 : 0.8;
    P.drawEllipse(QPointF(X, Y), R, R);
  }

  // Waves: light bands across the lower half.
  for (int Band = 0; Band < 9; ++Band) {
    QPainterPath Wave;
    const double Base = 150 + Band * 13;
    Wave.moveTo(0, Base);
    for (int X = 0; X <= LogoWidth; X += 8)
      Wave.lineTo(X, Base + 4 * std::sin((X + Band * 37) / 23.0));
    P.setBrush(Qt::NoBrush);
    P.setPen(QPen(QColor(120, 190, 230, 90 + Band * 12), 2));
    P.drawPath(Wave);
  }

  // The name with a shadow, and the kind of program below it.
  QFont Title(QStringLiteral("Arial"));
  Title.setPixelSize(64);
  Title.setBold(true);
  P.setFont(Title);
  const QRect TitleRect(0, 84, LogoWidth, 80);
  P.setPen(QColor(0, 0, 0, 160));
  P.drawText(TitleRect.translated(3, 3), Qt::AlignCenter, QStringLiteral("Vovizirid"));
  QLinearGradient Gold(0, 100, 0, 150);
  Gold.setColorAt(0.0, QColor(255, 244, 190));
  Gold.setColorAt(1.0, QColor(240, 170, 40));
  P.setPen(QPen(QBrush(Gold), 1));
  P.drawText(TitleRect, Qt::AlignCenter, QStringLiteral("Vovizirid"));

  QFont Sub(QStringLiteral("Arial"));
  Sub.setPixelSize(18);
  P.setFont(Sub);
  P.setPen(QColor(210, 230, 250));
  P.drawText(QRect(0, 168, LogoWidth, 30), Qt::AlignCenter, QStringLiteral("Bildschirmschoner"));

  P.setPen(QPen(QColor(240, 170, 40), 2));
  P.drawLine(110, 204, 290, 204);
  P.end();
  return Img;
}

TfraAbout::TfraAbout(QWidget* Owner) : TFrame(Owner) {
  setObjectName(QStringLiteral("fraAbout"));
  InstallFontSubstitutes();
  resize(503, 400);

  tmrAnim = new QTimer(this);
  tmrAnim->setObjectName(QStringLiteral("tmrAnim"));
  tmrAnim->setInterval(30);
  connect(tmrAnim, &QTimer::timeout, this, [this] { Guarded([this] { tmrAnimTimer(); }); });

  pnlProgramAndVersion = new TPanel(this);
  pnlProgramAndVersion->setObjectName(QStringLiteral("pnlProgramAndVersion"));
  pnlProgramAndVersion->setFixedHeight(25);
  pnlProgramAndVersion->setFrameStyle(QFrame::Panel | QFrame::Raised);

  Panel1 = new TPanel(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFixedHeight(31);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  JvHotLink1 = new THotLink(Panel1);
  JvHotLink1->setObjectName(QStringLiteral("JvHotLink1"));
  JvHotLink1->SetLink(QString::fromLatin1(MakerSiteHost), MakerSiteAddress);
  JvHotLink2 = new THotLink(Panel1);
  JvHotLink2->setObjectName(QStringLiteral("JvHotLink2"));
  JvHotLink2->SetLink(QString::fromLatin1(PartnerSiteHost), PartnerSiteAddress);
  Panel1->OnResize = [this] { PlaceLinks(); };

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  TabSheet1 = new QWidget;
  TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
  PageControl1->addTab(TabSheet1, QStringLiteral("Vovizirid"));
  TabSheet2 = new QWidget;
  TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
  PageControl1->addTab(TabSheet2, QStringLiteral("Informationen"));

  pnlLogo = new TPanel(TabSheet1);
  pnlLogo->setObjectName(QStringLiteral("pnlLogo"));
  pnlLogo->SetColor(clBlack);
  // 313 high where the page has room; on a lower page it shrinks so that the centred logo
  // loses as little as possible.
  pnlLogo->setMaximumHeight(313);
  pnlLogo->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
  pnlLogo->resize(503, 313);
  pnlLogo->OnResize = [this] { pnlLogoResize(); };
  auto* Sheet1Layout = new QVBoxLayout(TabSheet1);
  Sheet1Layout->setContentsMargins(0, 0, 0, 0);
  Sheet1Layout->addWidget(pnlLogo, 1);
  Sheet1Layout->addStretch(0);

  imgLogo = new TImage(pnlLogo);
  imgLogo->setObjectName(QStringLiteral("imgLogo"));
  imgLogo->SetPicture(VoviziridLogo());
  imgLogo->hide();

  pbLogo = new TPaintBox(pnlLogo);
  pbLogo->setObjectName(QStringLiteral("pbLogo"));
  pbLogo->setToolTip(QStringLiteral("Click to shake the pool"));
  pbLogo->OnClick = [this] { Guarded([this] { pbLogoClick(); }); };
  pbLogo->OnMouseMove = [this](int X, int Y) { Guarded([&] { pbLogoMouseMove(X, Y); }); };
  pbLogo->OnPaint = [this](QPainter& P) {
    if (!FOutput) return;
    plat::TPaintTarget DC(&P);
    FOutput->DrawToDC(&DC, 0, 0, 0, 0, imgLogo->width(), imgLogo->height());
  };

  txtInfo = new TMemo(TabSheet2);
  txtInfo->setObjectName(QStringLiteral("txtInfo"));
  txtInfo->setFont(PointFont("Courier New", 8));
  txtInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txtInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
  MakeGreyReadOnly(txtInfo);
  auto* Sheet2Layout = new QVBoxLayout(TabSheet2);
  Sheet2Layout->setContentsMargins(0, 0, 0, 0);
  Sheet2Layout->addWidget(txtInfo);

  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);
  Layout->addWidget(pnlProgramAndVersion);
  Layout->addWidget(PageControl1, 1);
  Layout->addWidget(Panel1);

  FLogo = RasterFromGraphic(imgLogo->Picture());
  FOutput = std::make_unique<TDIBRaster>(imgLogo->width(), imgLogo->height());
  FWaterize = std::make_unique<TWaterize>(imgLogo->width(), imgLogo->height());
  pbLogo->setGeometry(imgLogo->geometry());
  std::string CompanyName, FileDescription, InternalName, LegalCopyright, OriginalFilename, ProductName,
      ProductVersion;
  GetFileVersionStrings(plat::ProgramFileName(), CompanyName, FileDescription, FVersion, InternalName,
                        LegalCopyright, OriginalFilename, ProductName, ProductVersion);
  PlaceLinks();
  pnlLogoResize();
}

TfraAbout::~TfraAbout() {
  tmrAnim->stop();
  FLogo.reset();
  FOutput.reset();
  FWaterize.reset();
}

void TfraAbout::SetProgramName(const std::string& Name) {
  FProgramName = Name;
  pnlProgramAndVersion->SetCaption(QString::fromStdString(Name + " - Version " + FVersion));
}

void TfraAbout::SetAnimated(bool Flag) {
  if (Flag) tmrAnim->start();
  else tmrAnim->stop();
}

void TfraAbout::tmrAnimTimer() {
  FWaterize->Execute(FLogo.get(), FOutput.get());
  pbLogo->update();
}

void TfraAbout::pbLogoClick() {
  FWaterize->DisturbMap()->AddSinWave(1200.0f, 0.0f, 2.0f);
}

void TfraAbout::pbLogoMouseMove(int X, int Y) {
  if (FWaterize && X >= 2 && X < pbLogo->width() - 2 && Y >= 2 && Y < pbLogo->height() - 2)
    FWaterize->DisturbMap()->FillHeights(X - 1, Y - 1, 3, 3, 1600);
}

void TfraAbout::pnlLogoResize() {
  pbLogo->move((pnlLogo->width() - pbLogo->width()) / 2, (pnlLogo->height() - pbLogo->height()) / 2);
}

void TfraAbout::PlaceLinks() {
  const int H = JvHotLink1->sizeHint().height();
  const int Top = (Panel1->height() - H) / 2;
  JvHotLink1->setGeometry(8, Top, JvHotLink1->sizeHint().width() + 8, H);
  const int W2 = JvHotLink2->sizeHint().width() + 8;
  JvHotLink2->setGeometry(Panel1->width() - 8 - W2, Top, W2, H);
}
