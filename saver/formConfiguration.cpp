#include "saver/formConfiguration.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "model/ScreenSaverFiles.h"
#include "saver/frameAboutVoviziridSaver.h"
#include "saver/framePersonalInfo.h"
#include "saver/frameScreenSaverInfo.h"
#include "saver/frameScreenSaverUserProperties.h"

namespace {
constexpr int ButtonPanelHeight = 38;

QWidget* Page(QTabWidget* Pages, const char* Name, const QString& Caption) {
  auto* Sheet = new QWidget;
  Sheet->setObjectName(QString::fromLatin1(Name));
  Pages->addTab(Sheet, Caption);
  return Sheet;
}

// The frame fills its page.
void Fill(QWidget* Sheet, QWidget* Frame) {
  auto* L = new QVBoxLayout(Sheet);
  L->setContentsMargins(0, 0, 0, 0);
  L->addWidget(Frame);
}
}  // namespace

TfrmConfiguration::TfrmConfiguration(QWidget* Parent) : TForm(Parent) {
  setObjectName(QStringLiteral("frmConfiguration"));
  setWindowTitle(QStringLiteral("Bildschirmschoner-Einstellungen"));
  InstallFontSubstitutes();
  QFont F(QStringLiteral("MS Sans Serif"));
  F.setPointSize(8);
  setFont(F);
  resize(570, 415);
  if (const QScreen* S = QGuiApplication::primaryScreen()) {
    QRect R = geometry();
    R.moveCenter(S->availableGeometry().center());
    move(R.topLeft());
  }

  pgConfiguration = new QTabWidget(this);
  pgConfiguration->setObjectName(QStringLiteral("pgConfiguration"));

  TabSheet1 = Page(pgConfiguration, "TabSheet1", QString::fromUtf8("Über diesen Bildschirmschoner"));
  fraScreenSaverInfo = new TfraScreenSaverInfo(TabSheet1);
  Fill(TabSheet1, fraScreenSaverInfo);
  // Laid over the info frame, beside its resolution list.
  fraScreenSaverUserProperties = new TfraScreenSaverUserProperties(TabSheet1);
  fraScreenSaverUserProperties->setGeometry(120, 64, 425, 25);
  fraScreenSaverUserProperties->raise();

  TabSheet2 = Page(pgConfiguration, "TabSheet2", QStringLiteral("Hersteller"));
  fraPersonalInfo = new TfraPersonalInfo(TabSheet2);
  Fill(TabSheet2, fraPersonalInfo);

  tshAboutVovizirid = Page(pgConfiguration, "tshAboutVovizirid", QString::fromUtf8("Über Vovizirid"));
  fraAboutVoviziridSaver = new TfraAboutVoviziridSaver(tshAboutVovizirid);
  Fill(tshAboutVovizirid, fraAboutVoviziridSaver);

  pnlButtons = new TPanel(this);
  pnlButtons->setObjectName(QStringLiteral("pnlButtons"));
  cmdOk = new QPushButton(QStringLiteral("Ok"), pnlButtons);
  cmdOk->setObjectName(QStringLiteral("cmdOk"));
  cmdOk->setDefault(true);

  connect(pgConfiguration, &QTabWidget::currentChanged, this, [this] { pgConfigurationChange(); });
  connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOkClick(); });
  setTabOrder(pgConfiguration, cmdOk);
}

TfrmConfiguration::~TfrmConfiguration() { DoDestroy(); }

void TfrmConfiguration::resizeEvent(QResizeEvent* Event) {
  TForm::resizeEvent(Event);
  pgConfiguration->setGeometry(0, 0, width(), height() - ButtonPanelHeight);
  pnlButtons->setGeometry(0, height() - ButtonPanelHeight, width(), ButtonPanelHeight);
  cmdOk->setGeometry(width() - 8 - 75, (ButtonPanelHeight - 25) / 2, 75, 25);
}

void TfrmConfiguration::FormCreate() {
  // Nothing is bound until the info is read: a saver whose data cannot be read shows empty
  // pages, and nothing is saved for it.
  fraScreenSaverUserProperties->SetReadOnly(true);
  std::unique_ptr<TScreenSaverInfo> Info;
  try {
    LoadScreenSaverInfo(Info);
  } catch (...) {
    // The program file itself could not be opened: shown by the caller, nothing to bind.
    fraScreenSaverInfo->SetReadOnly(true);
    fraPersonalInfo->SetReadOnly(true);
    fraAboutVoviziridSaver->SetProgramName("Vovizirid Bildschirmschoner");
    throw;
  }
  FInfo = std::move(Info);
  if (FInfo) {
    try {
      FInfo->LoadUserProperties();
    } catch (const std::exception& E) {
      // Damaged stored options: say so, show the defaults, and store valid ones on close.
      TApplication::HandleException(E);
    }
    fraScreenSaverInfo->SetObject(FInfo.get());
    fraPersonalInfo->SetObject(FInfo->CreatorInfo());
    fraScreenSaverUserProperties->SetObject(FInfo->UserProperties());
    fraScreenSaverUserProperties->SetReadOnly(false);
  }
  fraScreenSaverInfo->SetReadOnly(true);
  fraPersonalInfo->SetReadOnly(true);
  fraAboutVoviziridSaver->SetProgramName("Vovizirid Bildschirmschoner");
}

void TfrmConfiguration::pgConfigurationChange() {
  fraAboutVoviziridSaver->SetAnimated(pgConfiguration->currentWidget() == tshAboutVovizirid);
}

void TfrmConfiguration::cmdOkClick() { close(); }

void TfrmConfiguration::FormDestroy() {
  fraAboutVoviziridSaver->SetAnimated(false);
  if (!FInfo) return;
  fraScreenSaverUserProperties->StoreObject(FInfo->UserProperties());
  std::unique_ptr<TScreenSaverInfo> Info = std::move(FInfo);
  Info->SaveUserProperties();
}
