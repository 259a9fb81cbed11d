#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

#include <cmath>
#include <deque>
#include <functional>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

#include "installer/InstallerEntry.h"
#include "installer/formBaseInstallStep.h"
#include "installer/formInstallSaver.h"
#include "installer/formInstallationFinished.h"
#include "installer/formInstaller.h"
#include "installer/formLicense.h"
#include "model/ScreenSaverModel.h"
#include "persistence/ApplicationData.h"
#include "persistence/PropertyBags.h"
#include "platform/Registry.h"
#include "saver/formConfiguration.h"
#include "saver/formWebLink.h"
#include "saver/frameAboutVoviziridSaver.h"
#include "saver/framePersonalInfo.h"
#include "saver/frameScreenSaverInfo.h"
#include "tests/support/TestEnv.h"
#include "tests/support/XvfbRun.h"

using testsupport::MessageBoxes;
using testsupport::QueueMessageBoxAnswer;
using testsupport::ReadFileBytes;

namespace {

const std::string KCarried =
    std::string("carried saver image") + std::string(70000, 'x') +
    std::string("\x13\x00\x00\x00\x00\x00\x00\x00" "APPDATA\x00", 16);

struct Fixture {
  std::string Path;
  std::string Name;
};

// An installer file: host bytes, the info record, the carried saver, the installer's trailer.
Fixture MakeInstaller(const std::string& Name, const std::string& CreatorLicense) {
  RegisterScreenSaverModelClasses();
  Fixture F{testsupport::TempDir() + "/Vuverero", Name};
  testsupport::WriteFileBytes(F.Path, "installer program image");
  TApplicationDataStream S(F.Path, adaReadWrite);
  TScreenSaverInfo Info;
  Info.RizuderName = Name;
  Info.CreatorLicense = CreatorLicense;
  Info.ProductName = "Vovizirid";
  Info.ProductVersion = "2.0";
  Info.CreatorInfo()->FirstName = "Erika";
  Info.CreatorInfo()->LastName = "Muster";
  Info.CreationDate = EncodeDateTime(2025, 12, 9, 12, 0, 0, 0);
  TStreamPropertyBag Bag(S);
  Bag.WriteObject(&Info);
  S.WriteBuffer(KCarried.data(), static_cast<int32_t>(KCarried.size()));
  plat::SetProgramFileName(F.Path);
  return F;
}

std::string InstalledPath(const std::string& Name) {
  return testsupport::TestDir() + "/data/Zerozezu/ScreenSavers/" + Name + ".scr";
}

// Compares two files without printing megabytes when they differ.
::testing::AssertionResult SameFile(const std::string& A, const std::string& B) {
  const std::string X = ReadFileBytes(A), Y = ReadFileBytes(B);
  if (X == Y) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << A << " (" << X.size() << " bytes) differs from " << B << " ("
                                       << Y.size() << " bytes)";
}

bool Exists(const std::string& Path) {
  struct stat St{};
  return stat(Path.c_str(), &St) == 0;
}

std::string ActiveSaver() {
  TRegistry R;
  if (!R.OpenKeyReadOnly("Control Panel\\desktop")) return "";
  return R.ReadString("SCRNSAVE.EXE");
}

// Answers each wizard dialog as it is shown, in order, and records what was shown.
class WizardDriver : public QObject {
public:
  using Action = std::function<void(TfrmBaseInstallStep&)>;
  explicit WizardDriver(std::deque<Action> Actions) : FActions(std::move(Actions)) {
    qApp->installEventFilter(this);
  }
  ~WizardDriver() override { qApp->removeEventFilter(this); }
  std::vector<std::string> Shown;  // "objectName: title"
  bool RanOut = false;

protected:
  bool eventFilter(QObject* Obj, QEvent* E) override {
    if (E->type() == QEvent::Show) {
      if (auto* Step = dynamic_cast<TfrmBaseInstallStep*>(Obj)) {
        Shown.push_back(Step->objectName().toStdString() + ": " + Step->pnlTitle->text().toStdString());
        QTimer::singleShot(0, Step, [this, Step] {
          if (FActions.empty()) {
            RanOut = true;
            Step->cmdCancelClick();  // ends the wizard (the queued answer defaults to No)
            QueueMessageBoxAnswer(plat::IDYES);
            Step->cmdCancelClick();
            return;
          }
          Action A = std::move(FActions.front());
          FActions.pop_front();
          A(*Step);
        });
      }
    }
    return false;
  }

private:
  std::deque<Action> FActions;
};

void Next(TfrmBaseInstallStep& S) {
  if (auto* L = dynamic_cast<TfrmLicense*>(&S)) L->chkAgree->setChecked(true);
  ASSERT_TRUE(S.cmdNext->isEnabled());
  S.cmdNext->click();
}
void Back(TfrmBaseInstallStep& S) { S.cmdPrev->click(); }
WizardDriver::Action CancelAnswered(int Answer, WizardDriver::Action Then = nullptr) {
  return [Answer, Then](TfrmBaseInstallStep& S) {
    QueueMessageBoxAnswer(Answer);
    S.cmdCancel->click();
    if (Then) Then(S);
  };
}
void Untick(TfrmBaseInstallStep& S) {
  static_cast<TfrmInstallSaver&>(S).chkMakeActiveScreenSaver->setChecked(false);
  Next(S);
}

int RunInstaller(WizardDriver& Driver) {
  QTimer Guard;
  Guard.setSingleShot(true);
  QObject::connect(&Guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  Guard.start(testsupport::PatientMs);
  const int Code = InstallerEntry();
  EXPECT_FALSE(Driver.RanOut) << "the wizard showed more dialogs than scripted";
  return Code;
}

const char* const KWelcome = "frmWelcome: Willkommen in diesem Setup-Programm";
const char* const KLicence = "frmLicense: Lizenzvereinbarungen";
const char* const KCreator = "frmLicense: Lizenzvereinbarungen des Schonerherstellers";
const char* const KInstall = "frmInstallSaver: Installation";
const char* const KFinished = "frmInstallationFinished: Installation erfolgreich beendet";
}  // namespace

TEST(InstallerWizard, ForwardToTheEndInstallsAndActivates) {
  const Fixture F = MakeInstaller("Demo", "Nur für private Zwecke.");
  WizardDriver D({Next, Next, Next, Next, Next});
  EXPECT_EQ(RunInstaller(D), 0);
  EXPECT_EQ(D.Shown, (std::vector<std::string>{KWelcome, KLicence, KCreator, KInstall, KFinished}));
  EXPECT_EQ(ReadFileBytes(InstalledPath("Demo")), KCarried);
  EXPECT_EQ(ActiveSaver(), InstalledPath("Demo"));
  EXPECT_TRUE(MessageBoxes().empty());
  struct stat St{};
  ASSERT_EQ(stat(InstalledPath("Demo").c_str(), &St), 0);
  EXPECT_EQ(St.st_mode & 0777, 0755u);
}

TEST(InstallerWizard, BlankCreatorLicenceSkipsItsStepBothWays) {
  MakeInstaller("Demo", " \r\n\t ");
  // Back on the install step shows the install step again; the file is written twice, whole.
  WizardDriver D({Next, Next, Back, Next, Next});
  EXPECT_EQ(RunInstaller(D), 0);
  EXPECT_EQ(D.Shown, (std::vector<std::string>{KWelcome, KLicence, KInstall, KInstall, KFinished}));
  EXPECT_EQ(ReadFileBytes(InstalledPath("Demo")), KCarried);
}

TEST(InstallerWizard, BackFromTheInstallStepWithACreatorLicence) {
  MakeInstaller("Demo", "Lizenz");
  WizardDriver D({Next, Next, Next, Back, Back, Next, Next, Next, Next});
  EXPECT_EQ(RunInstaller(D), 0);
  EXPECT_EQ(D.Shown, (std::vector<std::string>{KWelcome, KLicence, KCreator, KInstall, KCreator, KLicence,
                                               KCreator, KInstall, KFinished}));
  EXPECT_EQ(ReadFileBytes(InstalledPath("Demo")), KCarried);
}

TEST(InstallerWizard, InstallingASecondTimeWritesTheWholeFileAgain) {
  MakeInstaller("Demo", "");
  // The finished dialog closed by its window returns its last result, Back: the install step
  // comes again, and Next there installs once more.
  WizardDriver D({Next, Next, Next, [](TfrmBaseInstallStep& S) { S.close(); }, Next, Next});
  EXPECT_EQ(RunInstaller(D), 0);
  EXPECT_EQ(D.Shown, (std::vector<std::string>{KWelcome, KLicence, KInstall, KFinished, KInstall, KFinished}));
  EXPECT_EQ(ReadFileBytes(InstalledPath("Demo")), KCarried);
}

TEST(InstallerWizard, LicenceBoxIsClearedOnEachShowing) {
  MakeInstaller("Demo", "Lizenz");
  auto CheckFresh = [](TfrmBaseInstallStep& S) {
    auto& L = static_cast<TfrmLicense&>(S);
    EXPECT_FALSE(L.chkAgree->isChecked());
    EXPECT_FALSE(L.cmdNext->isEnabled());
    EXPECT_TRUE(L.cmdPrev->isEnabled());
    L.chkAgree->setChecked(true);
    EXPECT_TRUE(L.cmdNext->isEnabled());
    L.chkAgree->setChecked(false);
    EXPECT_FALSE(L.cmdNext->isEnabled());
    Next(S);
  };
  WizardDriver D({Next, CheckFresh, CheckFresh, Next, Next});
  EXPECT_EQ(RunInstaller(D), 0);
}

TEST(InstallerWizard, CancelAnsweredNoThenYesOnEachStep) {
  for (int Stop = 0; Stop < 5; ++Stop) {
    MakeInstaller("Demo" + std::to_string(Stop), "Lizenz");
    std::deque<WizardDriver::Action> Script;
    for (int I = 0; I < Stop; ++I) Script.push_back(Next);
    if (Stop == 4) {
      Script.push_back(Next);  // the finished step has no Cancel button
    } else {
      Script.push_back(CancelAnswered(plat::IDNO, [](TfrmBaseInstallStep& S) {
        EXPECT_TRUE(S.isVisible());  // No: the dialog stays
        QueueMessageBoxAnswer(plat::IDYES);
        S.cmdCancel->click();
      }));
    }
    WizardDriver D(Script);
    EXPECT_EQ(RunInstaller(D), 0);
    EXPECT_EQ(Exists(InstalledPath("Demo" + std::to_string(Stop))), Stop >= 4) << Stop;
    if (Stop < 4) {
      ASSERT_EQ(MessageBoxes().size(), 2u * (Stop + 1));
      const auto& Box = MessageBoxes().back();
      EXPECT_EQ(Box.Text, "Wollen Sie die Installation wirklich abbrechen?");
      EXPECT_EQ(Box.Caption, "Achtung");
      EXPECT_EQ(Box.Flags, 292u);
    }
  }
}

TEST(InstallerWizard, MakeActiveUntickedWritesWithoutActivating) {
  MakeInstaller("Demo", "");
  WizardDriver D({Next, Next, Untick, Next});
  EXPECT_EQ(RunInstaller(D), 0);
  EXPECT_EQ(ReadFileBytes(InstalledPath("Demo")), KCarried);
  EXPECT_EQ(ActiveSaver(), "");
}

TEST(InstallerWizard, NameIsRefusedOnlyForASeparatorOrNul) {
  struct Case {
    std::string Name;
    std::string Shown;  // the name as the refusal shows it; empty: the name installs
  };
  const Case Cases[] = {
      {"Sterne... Nacht", ""},
      {"..", ""},
      {"../../evil", "../../evil"},
      {"..\\evil", "..\\evil"},
      {std::string("gut\0/../evil", 12), "gut?/../evil"},
  };
  // The backdrop stays after a failed installation and closes on a key.
  QTimer Poll;
  QObject::connect(&Poll, &QTimer::timeout, [] {
    for (QWidget* W : QApplication::topLevelWidgets())
      if (auto* I = dynamic_cast<TfrmInstaller*>(W); I && I->WizardFailed() && I->isVisible()) {
        QKeyEvent Key(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
        QApplication::sendEvent(I, &Key);
      }
  });
  Poll.start(20);
  size_t Refusals = 0;
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Shown.empty() ? C.Name : C.Shown);
    MakeInstaller(C.Name, "");
    WizardDriver D(C.Shown.empty() ? std::deque<WizardDriver::Action>{Next, Next, Next, Next}
                                   : std::deque<WizardDriver::Action>{Next, Next, Next});
    EXPECT_EQ(RunInstaller(D), 0);
    if (C.Shown.empty()) {
      EXPECT_EQ(ReadFileBytes(InstalledPath(C.Name)), KCarried);
      continue;
    }
    ASSERT_EQ(MessageBoxes().size(), ++Refusals);
    EXPECT_EQ(MessageBoxes().back().Text, "Der Name des Bildschirmschoners \"" + C.Shown +
                                              "\" ist als Dateiname nicht zulässig. Es wurde nichts installiert.");
  }
  EXPECT_EQ(testsupport::ListDir(testsupport::TestDir() + "/data/Zerozezu/ScreenSavers"),
            (std::vector<std::string>{"...scr", "Sterne... Nacht.scr"}));
  EXPECT_FALSE(Exists(testsupport::TestDir() + "/data/evil.scr"));
}

TEST(InstallerWizard, DamagedFileShowsTheMessageOnceAndWritesNothing) {
  const Fixture F = MakeInstaller("Demo", "");
  std::string Bytes = ReadFileBytes(F.Path);
  Bytes[40] ^= 0x5A;  // inside the info record's first block
  testsupport::WriteFileBytes(F.Path, Bytes);
  WizardDriver D({});
  EXPECT_EQ(RunInstaller(D), 1);
  EXPECT_TRUE(D.Shown.empty());
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0].Text,
            "Die Bildschirmschonerdaten konnten nicht gelesen werden.\r\n\r\n"
            "Wahrscheinlich wurde die Datei beschädigt. ");
  EXPECT_FALSE(Exists(InstalledPath("Demo")));
}

TEST(InstallerBackdrop, LabelsNameTheSaver) {
  MakeInstaller("Demo", "");
  auto Form = CreateForm<TfrmInstaller>();
  Form->show();
  EXPECT_EQ(Form->lblTitle->text().toStdString(), "Demo");
  EXPECT_EQ(Form->lblCreatorInfo->text().toStdString(),
            "Erstellt von Erika Muster am " + FormatInstallDate(EncodeDateTime(2025, 12, 9, 0, 0, 0, 0)));
  EXPECT_EQ(Form->lblProductInfo->text().toStdString(), "Vovizirid 2.0");
  Form->tmrStart->stop();
  Form->close();
}

TEST(InstallerBackdrop, DateUsesTheLocaleShortMonth) {
  const TDateTime D = EncodeDateTime(2025, 12, 9, 12, 0, 0, 0);
  EXPECT_EQ(FormatInstallDate(D, QLocale(QLocale::German, QLocale::Germany)), "09.Dez.2025");
  EXPECT_EQ(FormatInstallDate(EncodeDateTime(2026, 3, 1, 0, 0, 0, 0), QLocale(QLocale::German)), "01.Mär.2026");
  EXPECT_EQ(FormatInstallDate(D, QLocale(QLocale::English, QLocale::UnitedStates)), "09.Dec.2025");
  for (double NoDate : {std::nan(""), std::numeric_limits<double>::infinity(), 1e300})
    EXPECT_EQ(FormatInstallDate(NoDate, QLocale(QLocale::German)), "") << NoDate;
}

TEST(InstallerSteps, FinishedLabelLiesBehindTheTitlePanel) {
  auto Step = CreateForm<TfrmInstallationFinished>();
  Step->SetTitle("Installation erfolgreich beendet");
  Step->show();
  const QRect Area = Step->Label1->geometry();
  ASSERT_TRUE(Step->pnlTitle->geometry().contains(Area));
  const QImage WithLabel = Step->grab(Area).toImage();
  Step->Label1->hide();
  EXPECT_EQ(WithLabel, Step->grab(Area).toImage()) << "the word shows through the title panel";
  Step->close();
}

TEST(InstallerSteps, MemoFillsBetweenTitleAndPanelsAndTheDialogIsCentredFrameIncluded) {
  FormPtr<TfrmBaseInstallStep> Steps[] = {CreateForm<TfrmBaseInstallStep>(), CreateForm<TfrmLicense>(),
                                          CreateForm<TfrmInstallSaver>()};
  const int MemoHeights[] = {215, 182, 182};
  for (size_t I = 0; I < std::size(Steps); ++I) {
    auto& Step = Steps[I];
    SCOPED_TRACE(Step->objectName().toStdString());
    EXPECT_EQ(Step->size(), QSize(494, 290)) << "the client area of a 500 x 320 dialog";
    const QRect Memo = Step->txtDescription->geometry();
    EXPECT_EQ(Memo.top(), Step->pnlTitle->geometry().bottom() + 1);
    EXPECT_EQ(Memo.height(), MemoHeights[I]);
    // The panel right below the memo: the tick panel, or the buttons.
    int Below = Step->Panel1->geometry().top();
    if (auto* Tick = Step->findChild<QWidget*>("Panel3")) Below = Tick->geometry().top();
    EXPECT_EQ(Memo.bottom() + 1, Below) << "no band under the memo";
    // The offscreen platform gives windows a frame; its first showing counts it already.
    QTimer::singleShot(0, Step.get(), [&] {
      const QRect Frame = Step->frameGeometry(), Screen = QGuiApplication::primaryScreen()->geometry();
      EXPECT_GT(Frame.width(), Step->width());
      EXPECT_EQ(Frame.left() - Screen.left(), Screen.right() - Frame.right());
      EXPECT_EQ(Frame.top() - Screen.top(), Screen.bottom() - Frame.bottom());
      Step->cmdNextClick();
    });
    EXPECT_EQ(Step->Execute(), srNext);
  }
}

namespace {
// Inside a program whose screen Qt scales: along each side of a framed memo or edit, the device
// pixels that lie wholly in its outermost logical pixel hold the frame's colour, as the left
// line shows it. Memos and edits of both programs, each where its form places it.
void ExpectFramesOnFourSides(double Ratio) {
  ASSERT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), Ratio);
  // Below the installer's memo the button panel (at a whole device pixel at 1.5) or the tick
  // panel (between).
  FormPtr<TfrmBaseInstallStep> Step = CreateForm<TfrmBaseInstallStep>();
  FormPtr<TfrmInstallSaver> Ticked = CreateForm<TfrmInstallSaver>();
  for (TfrmBaseInstallStep* S : {Step.get(), static_cast<TfrmBaseInstallStep*>(Ticked.get())})
    S->SetDescription("Zeile");
  TfrmConfiguration Config;
  FormPtr<TfrmWebLink> WebLink = CreateForm<TfrmWebLink>();
  const auto OnPage = [&Config](int Page, int AboutPage = 0) {
    return [&Config, Page, AboutPage] {
      Config.pgConfiguration->setCurrentIndex(Page);
      Config.fraAboutVoviziridSaver->PageControl1->setCurrentIndex(AboutPage);
    };
  };
  const struct {
    const char* Name;
    QWidget* Control;
    std::function<void()> Bring = [] {};
  } Controls[] = {
      {"installer memo", Step->txtDescription},
      {"installer memo above the tick panel", Ticked->txtDescription},
      {"licence memo", Config.fraScreenSaverInfo->txtCreatorLicense, OnPage(0)},
      {"name edit", Config.fraScreenSaverInfo->txtRizuderName, OnPage(0)},
      {"maker's e-mail edit", Config.fraPersonalInfo->txtEMail, OnPage(1)},
      {"about memo", Config.fraAboutVoviziridSaver->txtInfo, OnPage(2, 1)},
      {"web-link memo", WebLink->Memo1},
      {"web-link address edit", WebLink->txtWebAddress},
  };
  for (const auto& C : Controls) {
    SCOPED_TRACE(C.Name);
    QWidget* Window = C.Control->window();
    C.Bring();
    Window->show();
    QApplication::processEvents();
    Window->repaint();
    const auto* Back = static_cast<const QImage*>(Window->backingStore()->paintDevice());
    ASSERT_EQ(Back->devicePixelRatio(), Ratio);
    const auto Colour = [Back](int X, int Y) { return Back->pixel(X, Y) & 0xFFFFFF; };
    // The device pixels wholly inside logical pixel K: [First, Last].
    const auto First = [Ratio](int K) { return int(std::ceil(K * Ratio)); };
    const auto Last = [Ratio](int K) { return int(std::floor((K + 1) * Ratio)) - 1; };
    const QRect M(C.Control->mapTo(Window, QPoint(0, 0)), C.Control->size());
    const int L = First(M.left()), T = First(M.top()), R = Last(M.right()), B = Last(M.bottom());
    const QRgb Frame = Colour(L, (T + B) / 2);
    ASSERT_NE(Frame, C.Control->parentWidget()->palette().color(QPalette::Window).rgb() & 0xFFFFFF)
        << "no left line";
    const auto Has = [&](int X0, int X1, int Y0, int Y1) {
      for (int Y = Y0; Y <= Y1; ++Y)
        for (int X = X0; X <= X1; ++X)
          if (Colour(X, Y) == Frame) return true;
      return false;
    };
    // Along each side, short of the corners (an edit's are rounded).
    int Missing[4] = {};
    for (int Y = First(M.top() + 3); Y <= Last(M.bottom() - 3); ++Y) {
      Missing[0] += !Has(L, Last(M.left()), Y, Y);
      Missing[1] += !Has(First(M.right()), R, Y, Y);
    }
    for (int X = First(M.left() + 3); X <= Last(M.right() - 3); ++X) {
      Missing[2] += !Has(X, X, T, Last(M.top()));
      Missing[3] += !Has(X, X, First(M.bottom()), B);
    }
    EXPECT_EQ(Missing[0], 0) << "left line";
    EXPECT_EQ(Missing[1], 0) << "right line";
    EXPECT_EQ(Missing[2], 0) << "top line";
    EXPECT_EQ(Missing[3], 0) << "bottom line";
    Window->hide();
  }
}
}  // namespace

TEST(FramedControls, ShowTheirFrameOnFourSidesOnAScaledScreen) {
  if (const double Ratio = testsupport::ScaleOfThisRun()) return ExpectFramesOnFourSides(Ratio);
  ExpectFramesOnFourSides(1);
  for (const char* Ratio : {"1.5", "2"}) testsupport::RunThisTestAtScale(Ratio);
}

// ---------------------------------------------------------------------------------------------
// With a real demo screen saver carried by a real copy of the installer program.

#include "model/ScreenSaverFiles.h"
#include "tools/DemoInstaller.h"

TEST(InstallerWithDemo, InstalledFileIsTheCarriedSaverAndPlays) {
  RegisterModelClasses();
  const std::string Dir = testsupport::TempDir();
  demosaver::TDemoOptions Options;
  Options.RizuderName = "Demo Saver";
  Options.WithDemoSequences = false;
  Options.WorkDir = Dir;
  const std::string Saver = testsupport::TestDir() + "/Demo Saver.scr";
  demosaver::MakeScreenSaverFile(testsupport::BuildPath("saver/Rizuder"), Saver, Options);
  const std::string Setup = testsupport::TestDir() + "/Setup";
  demosaver::MakeInstallerFromSaver(testsupport::BuildPath("installer/Vuverero"), Saver, Setup);
  // The installer's file ends in two trailers: the carried saver's, then its own.
  const std::string SetupBytes = ReadFileBytes(Setup);
  ASSERT_GT(SetupBytes.size(), 32u);
  EXPECT_EQ(SetupBytes.substr(SetupBytes.size() - 8), std::string("APPDATA\0", 8));
  EXPECT_EQ(SetupBytes.substr(SetupBytes.size() - 24, 8), std::string("APPDATA\0", 8));

  plat::SetProgramFileName(Saver);
  std::unique_ptr<TScreenSaverInfo> OrigInfo;
  std::unique_ptr<TScreenSaverProject> Orig;
  LoadScreenSaverInfoAndProject(OrigInfo, Orig);
  ASSERT_TRUE(Orig);
  const bool CreatorLicence = !Trim(OrigInfo->CreatorLicense).empty();

  plat::SetProgramFileName(Setup);
  std::deque<WizardDriver::Action> Script{Next, Next, Next, Next};
  if (CreatorLicence) Script.push_back(Next);
  WizardDriver D(Script);
  EXPECT_EQ(RunInstaller(D), 0);
  const std::string Installed = InstalledPath("Demo Saver");
  EXPECT_TRUE(SameFile(Installed, Saver));

  plat::SetProgramFileName(Installed);
  std::unique_ptr<TScreenSaverInfo> Info;
  std::unique_ptr<TScreenSaverProject> Project;
  LoadScreenSaverInfoAndProject(Info, Project);
  ASSERT_TRUE(Info);
  ASSERT_TRUE(Project);
  EXPECT_TRUE(MessageBoxes().empty());
  EXPECT_EQ(Info->RizuderName, "Demo Saver");
  EXPECT_EQ(Project->RizuderInfo()->RizuderName, "Demo Saver");
  ASSERT_EQ(Project->MediaManager()->Count(), Orig->MediaManager()->Count());
  for (int I = 0; I < Orig->MediaManager()->Count(); ++I)
    EXPECT_TRUE(SameFile(Project->MediaManager()->Media(I)->FileName, Orig->MediaManager()->Media(I)->FileName));
  EXPECT_EQ(Project->Sequences()->Count(), Orig->Sequences()->Count());
}

TEST(InstallerProgram, InstallsTheDemoDrivenBySyntheticInput) {
  if (QStandardPaths::findExecutable("xvfb-run").isEmpty() || QStandardPaths::findExecutable("xdotool").isEmpty())
    GTEST_SKIP() << "xvfb-run and xdotool are needed";
  RegisterModelClasses();
  demosaver::TDemoOptions Options;
  Options.WithDemoSequences = false;
  Options.WorkDir = testsupport::TempDir();
  Options.RizuderName = "Sterne... Nacht";
  const std::string Saver = testsupport::TestDir() + "/Demo.scr";
  demosaver::MakeScreenSaverFile(testsupport::BuildPath("saver/Rizuder"), Saver, Options);
  const std::string Setup = testsupport::TestDir() + "/Setup";
  demosaver::MakeInstallerFromSaver(testsupport::BuildPath("installer/Vuverero"), Saver, Setup);
  std::unique_ptr<TScreenSaverInfo> Info;
  plat::SetProgramFileName(Saver);
  LoadScreenSaverInfo(Info);
  ASSERT_TRUE(Info);
  const int LicenceSteps = Trim(Info->CreatorLicense).empty() ? 1 : 2;

  QProcess P;
  P.setProcessChannelMode(QProcess::MergedChannels);
  // A server number of our own to start the search from, so parallel runs rarely meet.
  P.start("xvfb-run", {"-a", "-n", QString::number(5200 + getpid() % 4000), "-s", "-screen 0 1024x768x24 -nolisten tcp -noreset", "bash",
                       QString::fromStdString(testsupport::SourcePath("tests/installer/drive_installer.sh")),
                       QString::fromStdString(Setup), QString::number(LicenceSteps)});
  ASSERT_TRUE(P.waitForFinished(testsupport::WholeRunMs));
  EXPECT_EQ(P.exitCode(), 0) << P.readAll().toStdString();
  EXPECT_TRUE(SameFile(InstalledPath(Info->RizuderName), Saver));
  EXPECT_EQ(ActiveSaver(), InstalledPath(Info->RizuderName));
}

namespace {
QString Readelf(const QStringList& Arguments) {
  QProcess P;
  P.start("readelf", Arguments);
  EXPECT_TRUE(P.waitForFinished(30000));
  return QString::fromUtf8(P.readAllStandardOutput());
}
}  // namespace

TEST(CarriedPrograms, HoldNoDebugInformationButLinkTheirDebugFile) {
  for (const char* Program : {"saver/Rizuder", "installer/Vuverero"}) {
    const QString Path = QString::fromStdString(testsupport::BuildPath(Program));
    const QString Name = Path.section('/', -1);
    const QString Sections = Readelf({"-S", "--wide", Path});
    ASSERT_TRUE(Sections.contains(".text")) << Program;
    EXPECT_FALSE(Sections.contains(".debug_")) << Program;
    EXPECT_TRUE(Readelf({"-p", ".gnu_debuglink", Path}).contains(Name + ".debug")) << Program;
    const QString Kept = Readelf({"-S", "--wide", Path + ".debug"});
    EXPECT_TRUE(Kept.contains(".text")) << Program;
    EXPECT_EQ(Kept.contains(".debug_info"), RIZUDER_DEBUG_INFO == 1) << Program;
  }
}
