// The configuration dialog and its property frames: binding of published properties to the
// controls named after them, the read-only switch over whole control trees, the info, creator
// and user-properties frames, and the dialog reading a saver and storing this user's options.
#include <gtest/gtest.h>

#include "tests/support/XvfbRun.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSpinBox>
#include <QTest>
#include <QThread>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <unistd.h>

#include "model/ScreenSaverFiles.h"
#include "persistence/ReflectionObjects.h"
#include "platform/Platform.h"
#include "platform/Registry.h"
#include "saver/GUITools.h"
#include "saver/formConfiguration.h"
#include "saver/frameAboutVoviziridSaver.h"
#include "saver/frameObjectProperties.h"
#include "saver/framePersonalInfo.h"
#include "saver/frameScreenSaverInfo.h"
#include "saver/frameScreenSaverUserProperties.h"
#include "tests/saver/ShowFixture.h"
#include "tests/saver/XDisplayTools.h"
#include "tests/support/TestEnv.h"
#include "tools/DemoSaver.h"

// A class with one property of each kind the base frame binds, and some it leaves alone.
class TBindingSample : public TReflectivePersistent {
  RIZ_REFLECTIVE(TBindingSample, TReflectivePersistent)
public:
  int32_t Count = 0;
  std::string Title;
  std::string Notes;
  bool Flag = false;
  double Ratio = 0;
};

RIZ_PUBLISHED(TBindingSample) {
  D.Integer("Count", &TBindingSample::Count);
  D.String("Title", &TBindingSample::Title);
  D.String("Notes", &TBindingSample::Notes);
  D.Boolean("Flag", &TBindingSample::Flag);
  D.Float("Ratio", &TBindingSample::Ratio);
}

// Kinds the frames do not know: the unknown kind and one beyond the last.
class TUnknownKindSample : public TReflectivePersistent {
  RIZ_REFLECTIVE(TUnknownKindSample, TReflectivePersistent)
};
RIZ_PUBLISHED(TUnknownKindSample) { D.Opaque("Geheim", tkUnknown); }
class TFutureKindSample : public TReflectivePersistent {
  RIZ_REFLECTIVE(TFutureKindSample, TReflectivePersistent)
};
RIZ_PUBLISHED(TFutureKindSample) { D.Opaque("Zukunft", tkDynArray + 1); }

namespace {

// A frame with the controls the sample's integer and text properties need.
class TSampleFrame : public TfraObjectProperties {
public:
  TSampleFrame() {
    txtCount = new QSpinBox(this);
    txtCount->setObjectName("txtCount");
    txtCount->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    txtTitle = LabeledEdit(this, "txtTitle", "Titel", 8, 24, 200);
    txtNotes = new QPlainTextEdit(this);
    txtNotes->setObjectName("txtNotes");
    panel = new TPanel(this);
    chk = new QCheckBox("Schalter", panel);
  }
  bool ValidateProperty(TReflectivePersistent& Obj, int Index) override {
    Validated.push_back(Obj.PropertyInfo(Index).Name);
    return Obj.PropertyInfo(Index).Name != RejectName;
  }
  void AfterLoad() override { ++AfterLoads; }

  QSpinBox* txtCount;
  QLineEdit* txtTitle;
  QPlainTextEdit* txtNotes;
  TPanel* panel;
  QCheckBox* chk;
  std::vector<std::string> Validated;
  std::string RejectName;
  int AfterLoads = 0;
};

QColor Base(const QWidget* W) { return W->palette().color(QPalette::Base); }

}  // namespace

TEST(ObjectPropertiesFrame, ShowsAndStoresIntegerAndTextPropertiesLeavesOtherKinds) {
  TBindingSample S;
  S.Count = -42;
  S.Title = "Grüße";
  S.Notes = "eins\nzwei";
  S.Flag = true;
  S.Ratio = 2.5;
  TSampleFrame F;
  F.SetObject(&S);
  EXPECT_EQ(F.Object(), &S);
  EXPECT_EQ(F.AfterLoads, 1);
  EXPECT_EQ(F.txtCount->value(), -42);
  EXPECT_EQ(F.txtTitle->text(), QString::fromUtf8("Grüße"));
  EXPECT_EQ(F.txtNotes->toPlainText(), "eins\nzwei");

  F.txtCount->setValue(7);
  F.txtTitle->setText("Neu");
  F.txtNotes->setPlainText("drei");
  TBindingSample T;  // stored into another object of the class
  T.Flag = true;
  T.Ratio = 9;
  F.StoreObject(&T);
  EXPECT_EQ(T.Count, 7);
  EXPECT_EQ(T.Title, "Neu");
  EXPECT_EQ(T.Notes, "drei");
  EXPECT_TRUE(T.Flag) << "Booleans are not bound by the base frame";
  EXPECT_EQ(T.Ratio, 9);
  EXPECT_EQ(S.Count, -42) << "the shown object is untouched by a store into another";
}

TEST(ObjectPropertiesFrame, ValidationStopsAtTheFirstRefusalAndThenNothingIsStored) {
  TBindingSample S;
  TSampleFrame F;
  F.SetObject(&S);
  F.txtTitle->setText("geändert");
  F.txtCount->setValue(5);
  // Index order is alphabetical: Count, Flag, Notes, Ratio, Title.
  F.RejectName = "Notes";
  EXPECT_FALSE(F.ValidateObject(&S));
  EXPECT_EQ(F.Validated, (std::vector<std::string>{"Count", "Flag", "Notes"}));
  F.Validated.clear();
  F.StoreObject(&S);
  EXPECT_EQ(S.Title, "");
  EXPECT_EQ(S.Count, 0);
  F.RejectName.clear();
  F.StoreObject(&S);
  EXPECT_EQ(S.Title, "geändert");
  EXPECT_EQ(S.Count, 5);
  // No object: nothing to show, validate or store.
  F.SetObject(nullptr);
  EXPECT_EQ(F.Object(), nullptr);
  EXPECT_EQ(F.AfterLoads, 2);
  EXPECT_FALSE(F.ValidateObject(nullptr));
  EXPECT_NO_THROW(F.StoreObject(nullptr));
}

TEST(ObjectPropertiesFrame, AMissingOrWrongControlIsAClearError) {
  TBindingSample S;
  TfraObjectProperties Empty;
  try {
    Empty.SetObject(&S);
    FAIL() << "no control for Count";
  } catch (const EInvalidOperation& E) {
    EXPECT_NE(std::string(E.what()).find("txtCount"), std::string::npos) << E.what();
  }
  // An integer needs a spin edit.
  TfraObjectProperties Wrong;
  auto* E = new QLineEdit(&Wrong);
  E->setObjectName("txtCount");
  EXPECT_THROW(Wrong.SetObject(&S), EInvalidCast);
  EXPECT_THROW(Wrong.StoreObject(&S), EInvalidCast);
}

TEST(ObjectPropertiesFrame, AKindOutsideTheBoundOnesIsTheUnknownTypeErrorFromBothOperations) {
  TUnknownKindSample U;
  TFutureKindSample F;
  const std::vector<std::pair<TReflectivePersistent*, std::string>> Cases = {{&U, "Geheim"}, {&F, "Zukunft"}};
  for (const auto& [Obj, Name] : Cases) {
    const std::string Expected = "TfraRizuderBaseFrame.DisplayProperty : Unknown type of property " + Name;
    for (const bool Store : {false, true}) {
      TfraObjectProperties Frame;
      try {
        Store ? Frame.StoreObject(Obj) : Frame.SetObject(Obj);
        ADD_FAILURE() << Name << (Store ? " stored" : " shown");
      } catch (const Exception& E) {
        EXPECT_EQ(E.what(), Expected);
      }
    }
  }
}

TEST(ObjectPropertiesFrame, ReadOnlySwitchesEditsAndDisablesOtherControlsInsideContainers) {
  TSampleFrame F;
  F.SetReadOnly(true);
  EXPECT_TRUE(F.ReadOnly());
  EXPECT_TRUE(F.txtTitle->isReadOnly());
  EXPECT_TRUE(F.txtNotes->isReadOnly());
  EXPECT_TRUE(F.txtCount->isReadOnly());
  EXPECT_EQ(Base(F.txtTitle), ColorToQColor(clBtnFace));
  EXPECT_EQ(Base(F.txtNotes), ColorToQColor(clBtnFace));
  EXPECT_TRUE(F.txtTitle->isEnabled()) << "edits stay enabled, only read-only";
  EXPECT_FALSE(F.chk->isEnabled()) << "a check box inside a panel is reached";
  EXPECT_TRUE(F.panel->isEnabled()) << "panels are left as they are";
  EXPECT_TRUE(F.isEnabled());
  auto* Label = F.findChild<QLabel*>("txtTitleLabel");
  ASSERT_NE(Label, nullptr);
  EXPECT_TRUE(Label->isEnabled());

  F.SetReadOnly(false);
  EXPECT_FALSE(F.ReadOnly());
  EXPECT_FALSE(F.txtTitle->isReadOnly());
  EXPECT_FALSE(F.txtCount->isReadOnly());
  EXPECT_EQ(Base(F.txtTitle), ColorToQColor(clWindow));
  EXPECT_TRUE(F.chk->isEnabled());
}

TEST(GUITools, FillListItemsReplacesTheItemsAndSelects) {
  QComboBox C;
  C.addItem("alt");
  static constexpr const char* Items[] = {"eins", "zwei", "drei"};
  FillListItems(&C, Items, 1);
  ASSERT_EQ(C.count(), 3);
  EXPECT_EQ(C.itemText(0), "eins");
  EXPECT_EQ(C.itemText(2), "drei");
  EXPECT_EQ(C.currentIndex(), 1);
  FillListItems(&C, Items, -1);
  EXPECT_EQ(C.currentIndex(), -1);
  FillListItems(&C, Items, 7);
  EXPECT_EQ(C.currentIndex(), -1) << "an index outside the list selects nothing";
}

// ---------------------------------------------------------------------------------------------

namespace {
std::unique_ptr<TScreenSaverInfo> SampleInfo() {
  RegisterModelClasses();
  auto I = std::make_unique<TScreenSaverInfo>();
  I->ProductName = "Vovizirid";
  I->ProductVersion = "2.1";
  I->SerialNo = "SN-77";
  I->RizuderName = "Seeblick";
  I->CreationDate = EncodeDateTime(2003, 3, 5, 14, 30, 0, 0);
  I->CreatorLicense = "Zeile 1\nZeile 2";
  I->Resolution = sr1024x768;
  return I;
}
}  // namespace

TEST(ScreenSaverInfoFrame, ShowsTheInfo) {
  auto I = SampleInfo();
  TfraScreenSaverInfo F;
  ASSERT_EQ(F.cboResolution->count(), 5);
  EXPECT_EQ(F.cboResolution->itemText(0), "640x480");
  EXPECT_EQ(F.cboResolution->itemText(4), "1600x1200");
  EXPECT_EQ(F.cboResolution->currentIndex(), -1);
  EXPECT_FALSE(F.cboResolution->isEditable()) << "a drop-down list";
  F.SetObject(I.get());
  EXPECT_EQ(F.txtRizuderName->text(), "Seeblick");
  EXPECT_EQ(F.txtCreationDate->text(), "05 03 2003");
  EXPECT_EQ(F.cboResolution->currentIndex(), 2);
  EXPECT_EQ(F.cboResolution->currentText(), "1024x768");
  EXPECT_EQ(F.txtCreatorLicense->toPlainText(), "Zeile 1\nZeile 2");
  EXPECT_EQ(F.txtProductName->text(), "Vovizirid");
  EXPECT_EQ(F.txtProductVersion->text(), "2.1");
  EXPECT_EQ(F.findChild<QWidget*>("txtSerialNo"), nullptr) << "the serial number is not shown";
  // Grey and read-only by design, before any switch.
  for (QLineEdit* E : {F.txtCreationDate, F.txtProductName, F.txtProductVersion}) {
    EXPECT_TRUE(E->isReadOnly());
    EXPECT_EQ(Base(E), ColorToQColor(clBtnFace));
  }
  EXPECT_EQ(F.txtCreatorLicense->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  // Captions as the user reads them.
  auto Caption = [&](const char* Name) {
    auto* L = F.findChild<QLabel*>(QString(Name) + "Label");
    return L ? L->text() : QString();
  };
  EXPECT_EQ(Caption("txtRizuderName"), "Bildschirmschoner-Name");
  EXPECT_EQ(Caption("txtCreationDate"), "Datum");
  EXPECT_EQ(Caption("cboResolution"), QString::fromUtf8("Bildschirm-Auflösung"));
  EXPECT_EQ(Caption("txtCreatorLicense"), "Lizenzvereinbahrung des Schonerherstellers");
  EXPECT_EQ(Caption("txtProductName"), "Name des Schoner-Generators");
  EXPECT_EQ(Caption("txtProductVersion"), "Version");
}

TEST(ScreenSaverInfoFrame, StoresOnlyWhatItMayAndKeepsTheResolutionWithNothingSelected) {
  auto I = SampleInfo();
  TfraScreenSaverInfo F;
  F.SetObject(I.get());
  F.txtRizuderName->setText("Bergsee");
  F.txtProductName->setText("anders");
  F.txtProductVersion->setText("9");
  F.txtCreationDate->setText("01 01 1999");
  F.txtCreatorLicense->setPlainText("neu");
  F.cboResolution->setCurrentIndex(4);
  const double Date = I->CreationDate;
  F.StoreObject(I.get());
  EXPECT_EQ(I->RizuderName, "Bergsee");
  EXPECT_EQ(I->CreatorLicense, "neu");
  EXPECT_EQ(I->Resolution, sr1600x1200);
  EXPECT_EQ(I->ProductName, "Vovizirid");
  EXPECT_EQ(I->ProductVersion, "2.1");
  EXPECT_EQ(I->SerialNo, "SN-77");
  EXPECT_EQ(I->CreationDate, Date);
  EXPECT_EQ(I->CreatorInfo()->LastName, "");

  F.cboResolution->setCurrentIndex(-1);
  F.StoreObject(I.get());
  EXPECT_EQ(I->Resolution, sr1600x1200) << "no entry selected: no resolution to store";
}

TEST(ScreenSaverInfoFrame, DatesThatAreNoDatesShowNothing) {
  EXPECT_EQ(FormatCreationDate(EncodeDateTime(2003, 3, 5, 0, 0, 0, 0)), "05 03 2003");
  EXPECT_EQ(FormatCreationDate(0.0), "30 12 1899");
  EXPECT_EQ(FormatCreationDate(EncodeDateTime(1, 1, 1, 0, 0, 0, 0)), "01 01 0001");
  EXPECT_EQ(FormatCreationDate(EncodeDateTime(9999, 12, 31, 23, 59, 59, 0)), "31 12 9999");
  EXPECT_EQ(FormatCreationDate(std::nan("")), "");
  EXPECT_EQ(FormatCreationDate(std::numeric_limits<double>::infinity()), "");
  EXPECT_EQ(FormatCreationDate(1e300), "");
  EXPECT_EQ(FormatCreationDate(-1e300), "");
  auto I = SampleInfo();
  I->CreationDate = std::nan("");
  TfraScreenSaverInfo F;
  EXPECT_NO_THROW(F.SetObject(I.get()));
  EXPECT_EQ(F.txtCreationDate->text(), "");
}

TEST(ScreenSaverInfoFrame, ReadOnlyGreysEveryEditAndDisablesTheList) {
  auto I = SampleInfo();
  TfraScreenSaverInfo F;
  F.SetObject(I.get());
  F.SetReadOnly(true);
  for (QLineEdit* E : F.findChildren<QLineEdit*>()) {
    if (E->parent() == F.cboResolution) continue;
    EXPECT_TRUE(E->isReadOnly()) << E->objectName().toStdString();
    EXPECT_EQ(Base(E), ColorToQColor(clBtnFace)) << E->objectName().toStdString();
  }
  EXPECT_TRUE(F.txtCreatorLicense->isReadOnly());
  EXPECT_EQ(Base(F.txtCreatorLicense), ColorToQColor(clBtnFace));
  EXPECT_FALSE(F.cboResolution->isEnabled());
  EXPECT_EQ(F.cboResolution->currentIndex(), 2);
}

TEST(PersonalInfoFrame, EveryFieldInItsEdit) {
  RegisterModelClasses();
  TPersonalInfo P;
  P.LastName = "Mustermann";
  P.FirstName = "Erika";
  P.Street = "Heidestraße 17";
  P.ZIP = "51147";
  P.City = "Köln";
  P.Country = "Deutschland";
  P.Phone = "+49 221";
  P.EMail = "erika@example.org";
  TfraPersonalInfo F;
  F.SetObject(&P);
  EXPECT_EQ(F.txtLastName->text(), "Mustermann");
  EXPECT_EQ(F.txtFirstName->text(), "Erika");
  EXPECT_EQ(F.txtStreet->text(), QString::fromUtf8("Heidestraße 17"));
  EXPECT_EQ(F.txtZIP->text(), "51147");
  EXPECT_EQ(F.txtCity->text(), QString::fromUtf8("Köln"));
  EXPECT_EQ(F.txtCountry->text(), "Deutschland");
  EXPECT_EQ(F.txtPhone->text(), "+49 221");
  EXPECT_EQ(F.txtEMail->text(), "erika@example.org");
  const std::vector<std::pair<const char*, const char*>> Captions = {
      {"txtLastName", "Nachname"}, {"txtFirstName", "Vorname"}, {"txtStreet", "Strasse"},
      {"txtZIP", "PLZ"},           {"txtCity", "Ort"},          {"txtCountry", "Land"},
      {"txtPhone", "Telefon"},     {"txtEMail", "EMail"}};
  for (const auto& [Name, Caption] : Captions) {
    auto* L = F.findChild<QLabel*>(QString(Name) + "Label");
    ASSERT_NE(L, nullptr) << Name;
    EXPECT_EQ(L->text(), Caption);
  }
  F.txtCity->setText("Bonn");
  F.StoreObject(&P);
  EXPECT_EQ(P.City, "Bonn");
}

TEST(UserPropertiesFrame, CheckBoxesShowAndStoreTheTwoOptions) {
  RegisterModelClasses();
  TScreenSaverUserProperties U;
  U.UseStandardResolution = true;
  TfraScreenSaverUserProperties F;
  EXPECT_EQ(F.chkUseStandardResolution->text(), QString::fromUtf8("Immer Desktop-Auflösung verwenden"));
  EXPECT_EQ(F.chkInterpolateToFullscreen->text(), "Darstellung auf Vollbild hochrechnen");
  F.SetObject(&U);
  EXPECT_TRUE(F.chkUseStandardResolution->isChecked());
  EXPECT_FALSE(F.chkInterpolateToFullscreen->isChecked());
  F.chkUseStandardResolution->setChecked(false);
  F.chkInterpolateToFullscreen->setChecked(true);
  F.StoreObject(&U);
  EXPECT_FALSE(U.UseStandardResolution);
  EXPECT_TRUE(U.InterpolateToFullscreen);

  TPersonalInfo Other;
  EXPECT_THROW(F.SetObject(&Other), EInvalidCast);
  EXPECT_THROW(F.StoreObject(&Other), EInvalidCast);
}

// ---------------------------------------------------------------------------------------------
// The dialog on the offscreen platform.


namespace {

constexpr const char* SaverName = "Seeblick";

demosaver::TDemoOptions SaverOptions(const std::string& Name) {
  demosaver::TDemoOptions O;
  O.RizuderName = Name;
  O.Resolution = sr1024x768;
  O.Pictures = 0;
  O.Sound = false;
  O.Movie = false;
  O.NoFonts = true;
  O.WithDemoSequences = false;
  O.WorkDir = testsupport::TestDir();
  return O;
}

// A program file carrying a saver made on 5 March 2003; the program's own file from now on.
void MakeSaver(const std::string& Name = SaverName) {
  showtest::RegisterAll();
  const demosaver::TDemoOptions O = SaverOptions(Name);
  auto Info = demosaver::MakeDemoInfo(O);
  Info->CreationDate = EncodeDateTime(2003, 3, 5, 10, 0, 0, 0);
  auto Project = demosaver::MakeDemoProject(O);
  Project->SetRizuderInfo(Info.get());
  const std::string File = testsupport::TestDir() + "/saver.scr";
  testsupport::WriteFileBytes(File, std::string(4096, '\x90'));
  demosaver::AppendScreenSaver(File, *Info, *Project);
  plat::SetProgramFileName(File);
}

// The user properties stored for Name; nullopt when nothing is stored.
std::optional<std::pair<bool, bool>> Stored(const std::string& Name = SaverName) {
  TScreenSaverInfo I;
  I.RizuderName = Name;
  I.UserProperties()->UseStandardResolution = true;  // must be overwritten by what is stored
  TRegistry R;
  if (!R.KeyExists(I.UserPropertiesKey())) return std::nullopt;
  I.LoadUserProperties();
  return std::make_pair(I.UserProperties()->UseStandardResolution, I.UserProperties()->InterpolateToFullscreen);
}

FormPtr<TfrmConfiguration> Open() { return CreateForm<TfrmConfiguration>(); }

}  // namespace

TEST(ConfigurationDialog, FormPagesAndButton) {
  MakeSaver();
  auto F = Open();
  EXPECT_EQ(F->windowTitle(), "Bildschirmschoner-Einstellungen");
  EXPECT_EQ(F->size(), QSize(570, 415));
  EXPECT_EQ(F->font().pointSize(), 8);
  ASSERT_EQ(F->pgConfiguration->count(), 3);
  EXPECT_EQ(F->pgConfiguration->tabText(0), QString::fromUtf8("Über diesen Bildschirmschoner"));
  EXPECT_EQ(F->pgConfiguration->tabText(1), "Hersteller");
  EXPECT_EQ(F->pgConfiguration->tabText(2), QString::fromUtf8("Über Vovizirid"));
  EXPECT_EQ(F->pgConfiguration->widget(2), F->tshAboutVovizirid);
  EXPECT_EQ(F->pgConfiguration->currentIndex(), 0);
  EXPECT_EQ(F->cmdOk->text(), "Ok");
  EXPECT_TRUE(F->cmdOk->isDefault());
  EXPECT_EQ(F->fraScreenSaverUserProperties->parentWidget(), F->TabSheet1);
  EXPECT_EQ(F->fraScreenSaverInfo->parentWidget(), F->TabSheet1);
  EXPECT_EQ(F->fraScreenSaverUserProperties->geometry(), QRect(120, 64, 425, 25));
  F->show();
  QApplication::processEvents();
  EXPECT_EQ(F->pnlButtons->geometry(), QRect(0, 415 - 38, 570, 38));
  EXPECT_EQ(F->pgConfiguration->geometry(), QRect(0, 0, 570, 415 - 38));
  EXPECT_EQ(F->fraScreenSaverUserProperties->geometry(), QRect(120, 64, 425, 25)) << "stays where it lies";
  // It lies over the info frame: the check box gets the click.
  const QPoint Box = F->fraScreenSaverUserProperties->chkUseStandardResolution->mapTo(F->TabSheet1, QPoint(6, 10));
  EXPECT_EQ(F->TabSheet1->childAt(Box), F->fraScreenSaverUserProperties->chkUseStandardResolution);
}

TEST(ConfigurationDialog, ShowsTheSaverReadOnlyAndTheOptionsEditable) {
  MakeSaver();
  showtest::SetUserProperties(SaverName, false, true);
  auto F = Open();
  EXPECT_TRUE(testsupport::MessageBoxes().empty());
  ASSERT_NE(F->Info(), nullptr);
  EXPECT_EQ(F->fraScreenSaverInfo->txtRizuderName->text(), SaverName);
  EXPECT_EQ(F->fraScreenSaverInfo->txtCreationDate->text(), "05 03 2003");
  EXPECT_EQ(F->fraScreenSaverInfo->cboResolution->currentText(), "1024x768");
  EXPECT_EQ(F->fraScreenSaverInfo->txtProductName->text(), "Rizuder Demo-Baukasten");
  EXPECT_TRUE(F->fraScreenSaverInfo->txtCreatorLicense->toPlainText().startsWith("Lizenzvereinbarung"));
  EXPECT_EQ(F->fraPersonalInfo->txtCity->text(), QString::fromUtf8("Köln"));
  EXPECT_EQ(F->fraPersonalInfo->txtEMail->text(), "erika.mustermann@example.org");

  EXPECT_TRUE(F->fraScreenSaverInfo->ReadOnly());
  EXPECT_TRUE(F->fraPersonalInfo->ReadOnly());
  EXPECT_FALSE(F->fraScreenSaverUserProperties->ReadOnly());
  for (TfraObjectProperties* Frame : {static_cast<TfraObjectProperties*>(F->fraScreenSaverInfo),
                                      static_cast<TfraObjectProperties*>(F->fraPersonalInfo)})
    for (QLineEdit* E : Frame->findChildren<QLineEdit*>()) {
      if (qobject_cast<QComboBox*>(E->parentWidget())) continue;
      EXPECT_TRUE(E->isReadOnly()) << E->objectName().toStdString();
      EXPECT_EQ(Base(E), ColorToQColor(clBtnFace)) << E->objectName().toStdString();
    }
  EXPECT_TRUE(F->fraScreenSaverInfo->txtCreatorLicense->isReadOnly());
  EXPECT_FALSE(F->fraScreenSaverInfo->cboResolution->isEnabled());
  EXPECT_TRUE(F->fraScreenSaverUserProperties->chkUseStandardResolution->isEnabled());
  EXPECT_TRUE(F->fraScreenSaverUserProperties->chkInterpolateToFullscreen->isEnabled());
  EXPECT_FALSE(F->fraScreenSaverUserProperties->chkUseStandardResolution->isChecked());
  EXPECT_TRUE(F->fraScreenSaverUserProperties->chkInterpolateToFullscreen->isChecked());
}

TEST(ConfigurationDialog, OkStoresTheOptionsAndTheNextDialogReadsThem) {
  MakeSaver();
  EXPECT_FALSE(Stored().has_value());
  {
    auto F = Open();
    F->show();
    QApplication::processEvents();
    QTest::mouseClick(F->fraScreenSaverUserProperties->chkUseStandardResolution, Qt::LeftButton, {}, QPoint(6, 10));
    EXPECT_TRUE(F->fraScreenSaverUserProperties->chkUseStandardResolution->isChecked());
    QTest::mouseClick(F->cmdOk, Qt::LeftButton);
    EXPECT_FALSE(F->isVisible());
    EXPECT_FALSE(Stored().has_value()) << "stored when the dialog goes";
  }
  EXPECT_EQ(Stored(), std::make_pair(true, false));
  auto G = Open();
  EXPECT_TRUE(G->fraScreenSaverUserProperties->chkUseStandardResolution->isChecked());
  EXPECT_FALSE(G->fraScreenSaverUserProperties->chkInterpolateToFullscreen->isChecked());
  EXPECT_TRUE(testsupport::MessageBoxes().empty());
}

TEST(ConfigurationDialog, ClosingTheWindowStoresLikeOk) {
  MakeSaver();
  showtest::SetUserProperties(SaverName, true, false);
  {
    auto F = Open();
    F->show();
    QApplication::processEvents();
    F->fraScreenSaverUserProperties->chkUseStandardResolution->setChecked(false);
    F->fraScreenSaverUserProperties->chkInterpolateToFullscreen->setChecked(true);
    EXPECT_TRUE(F->close());
  }
  EXPECT_EQ(Stored(), std::make_pair(false, true));
}

TEST(ConfigurationDialog, TheLogoAnimatesExactlyWhileTheAboutPageIsActive) {
  plat::SetOwnVersionBlock(plat::BuildVersionBlock({{0x0407, 0x04E4}}, {{"FileVersion", "1.1.0.315"}}));
  MakeSaver();
  auto F = Open();
  plat::SetOwnVersionBlock({});
  EXPECT_EQ(F->fraAboutVoviziridSaver->pnlProgramAndVersion->Caption(),
            "Vovizirid Bildschirmschoner - Version 1.1.0.315");
  F->show();
  QApplication::processEvents();
  EXPECT_FALSE(F->fraAboutVoviziridSaver->tmrAnim->isActive());
  F->pgConfiguration->setCurrentWidget(F->tshAboutVovizirid);
  EXPECT_TRUE(F->fraAboutVoviziridSaver->tmrAnim->isActive());
  F->pgConfiguration->setCurrentIndex(1);
  EXPECT_FALSE(F->fraAboutVoviziridSaver->tmrAnim->isActive());
  F->pgConfiguration->setCurrentIndex(2);
  EXPECT_TRUE(F->fraAboutVoviziridSaver->tmrAnim->isActive());
  F->pgConfiguration->setCurrentIndex(0);
  EXPECT_FALSE(F->fraAboutVoviziridSaver->tmrAnim->isActive());
}

TEST(ConfigurationDialog, UnreadableSaverGivesTheMessageShowsEmptyPagesAndStoresNothing) {
  showtest::RegisterAll();
  showtest::MakeEmptyProgram();
  {
    auto F = Open();
    ASSERT_EQ(testsupport::MessageBoxes().size(), 1u);
    EXPECT_EQ(testsupport::MessageBoxes()[0].Text, SScreenSaverDataDamaged);
    EXPECT_EQ(F->Info(), nullptr);
    EXPECT_EQ(F->fraScreenSaverInfo->txtRizuderName->text(), "");
    EXPECT_EQ(F->fraScreenSaverInfo->cboResolution->currentIndex(), -1);
    EXPECT_TRUE(F->fraScreenSaverInfo->txtRizuderName->isReadOnly());
    EXPECT_TRUE(F->fraPersonalInfo->txtLastName->isReadOnly());
    // Nothing to store them into: the options cannot be changed.
    EXPECT_FALSE(F->fraScreenSaverUserProperties->chkUseStandardResolution->isEnabled());
    EXPECT_FALSE(F->fraScreenSaverUserProperties->chkInterpolateToFullscreen->isEnabled());
    EXPECT_EQ(F->fraAboutVoviziridSaver->ProgramName(), "Vovizirid Bildschirmschoner");
    F->pgConfiguration->setCurrentWidget(F->tshAboutVovizirid);
    EXPECT_TRUE(F->fraAboutVoviziridSaver->tmrAnim->isActive());
    F->close();
  }
  EXPECT_FALSE(Stored("unbenannt").has_value());
  EXPECT_FALSE(TRegistry().KeyExists(ScreenSaversRegistryKey)) << "nothing written for any saver";
  EXPECT_EQ(testsupport::MessageBoxes().size(), 1u);
}

TEST(ConfigurationDialog, MissingProgramFileIsReportedAndStoresNothing) {
  showtest::RegisterAll();
  plat::SetProgramFileName(testsupport::TestDir() + "/gone.scr");
  {
    auto F = Open();
    ASSERT_EQ(testsupport::MessageBoxes().size(), 1u);
    EXPECT_NE(testsupport::MessageBoxes()[0].Text, SScreenSaverDataDamaged) << "the file error itself";
    EXPECT_EQ(F->Info(), nullptr);
    EXPECT_FALSE(F->fraScreenSaverUserProperties->chkUseStandardResolution->isEnabled());
    EXPECT_TRUE(F->fraScreenSaverInfo->txtRizuderName->isReadOnly());
  }
  EXPECT_FALSE(TRegistry().KeyExists(ScreenSaversRegistryKey));
}

TEST(ConfigurationDialog, DamagedStoredOptionsAreReportedAndReplacedOnClose) {
  MakeSaver();
  showtest::SetUserProperties(SaverName, true, true);
  TScreenSaverInfo Probe;
  Probe.RizuderName = SaverName;
  {
    // The stored text of one option replaced by bytes.
    TRegistry R;
    ASSERT_TRUE(R.OpenKey(Probe.UserPropertiesKey() + "\\Properties\\InterpolateToFullscreen", false));
    const char Junk[40] = {1, 2, 3};
    R.WriteBinaryData("Value", Junk, sizeof Junk);
  }
  {
    auto F = Open();
    ASSERT_EQ(testsupport::MessageBoxes().size(), 1u) << "the registry error is shown";
    ASSERT_NE(F->Info(), nullptr);
    EXPECT_EQ(F->fraScreenSaverInfo->txtRizuderName->text(), SaverName) << "the dialog still works";
    EXPECT_TRUE(F->fraScreenSaverUserProperties->chkUseStandardResolution->isEnabled());
    F->fraScreenSaverUserProperties->chkInterpolateToFullscreen->setChecked(false);
  }
  ASSERT_TRUE(Stored().has_value());
  EXPECT_FALSE(Stored()->second) << "a valid value replaces the damaged one";
}

// ---------------------------------------------------------------------------------------------
// The dialog as the program under an X server of its own (xvfb-run), driven with xdotool. Each
// test runs itself again under xvfb-run; it skips when the tools are not installed.

namespace {

constexpr const char* DialogTitle = "Bildschirmschoner-Einstellungen";
using testsupport::FindProgram;
using testsupport::WaitFor;

QString Xdotool(const QStringList& Args) {
  QProcess X;
  X.start("xdotool", Args);
  X.waitForFinished(testsupport::PatientMs);
  return QString::fromUtf8(X.readAllStandardOutput()).trimmed();
}

// The visible dialog window's id, empty while there is none.
QString DialogWindow() {
  const QStringList Ids = Xdotool({"search", "--onlyvisible", "--name", DialogTitle}).split('\n', Qt::SkipEmptyParts);
  return Ids.isEmpty() ? QString() : Ids.first();
}

void ClickAt(const QString& Window, QPoint At) {
  Xdotool({"mousemove", "--window", Window, QString::number(At.x()), QString::number(At.y())});
  QThread::msleep(50);
  Xdotool({"click", "1"});
}

class TProgram {
public:
  TProgram(const std::string& Program, const QStringList& Args) {
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.remove("QT_QPA_PLATFORM");
    P.setProcessEnvironment(Env);
    P.setProcessChannelMode(QProcess::ForwardedChannels);
    P.start(QString::fromStdString(Program), Args);
    P.waitForStarted(testsupport::PatientMs);
  }
  ~TProgram() {
    if (P.state() != QProcess::NotRunning) {
      P.kill();
      P.waitForFinished(testsupport::PatientMs);
    }
  }
  QProcess P;
};

}  // namespace

TEST(ConfigurationProgram, DialogStoresOnCloseReadsAgainAndASecondStartEndsAtOnce) {
  UNDER_XVFB();
  xtools::TDisplay X;
  ASSERT_TRUE(X.Ok());
  showtest::RegisterAll();
  const std::string Name = "Programmdialog";
  const std::string Program = testsupport::TestDir() + "/" + Name + ".scr";
  demosaver::MakeScreenSaverFile(testsupport::BuildPath("saver/Rizuder"), Program, SaverOptions(Name));

  // Where the first check box and Ok lie in the dialog: the program lays it out alike.
  QPoint Box, Ok;
  {
    TfrmConfiguration Probe;
    Probe.show();
    QApplication::processEvents();
    QCheckBox* Chk = Probe.fraScreenSaverUserProperties->chkUseStandardResolution;
    Box = Chk->mapTo(&Probe, QPoint(8, Chk->height() / 2));
    Ok = Probe.cmdOk->mapTo(&Probe, Probe.cmdOk->rect().center());
  }

  {
    TProgram Dialog(Program, {"/c"});
    QString Win;
    ASSERT_TRUE(WaitFor([&] { return !(Win = DialogWindow()).isEmpty(); }, testsupport::PatientMs)) << "the dialog shows";
    EXPECT_EQ(X.MappedTopLevels(), 1) << "no message: the saver was read";
    ClickAt(Win, Box);
    QThread::msleep(200);
    EXPECT_FALSE(Stored(Name).has_value()) << "nothing stored while the dialog is open";
    ClickAt(Win, Ok);
    ASSERT_TRUE(Dialog.P.waitForFinished(testsupport::PatientMs)) << "Ok ends the program";
    EXPECT_EQ(Dialog.P.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(Dialog.P.exitCode(), 0);
  }
  EXPECT_EQ(Stored(Name), std::make_pair(true, false));
  EXPECT_EQ(X.MappedTopLevels(), 0);

  // Started again with a lone dash (the configuration road); a show started meanwhile finds it
  // and ends at once, leaving the dialog up.
  {
    TProgram Dialog(Program, {"-"});
    QString Win;
    ASSERT_TRUE(WaitFor([&] { return !(Win = DialogWindow()).isEmpty(); }, testsupport::PatientMs));
    TProgram Second(Program, {"/s"});
    EXPECT_TRUE(Second.P.waitForFinished(testsupport::PatientMs));
    EXPECT_EQ(Second.P.exitCode(), 0);
    // Asked anew: without an event loop the state stays as it was when last looked at.
    EXPECT_FALSE(Dialog.P.waitForFinished(0));
    EXPECT_EQ(Dialog.P.state(), QProcess::Running);
    EXPECT_EQ(DialogWindow(), Win) << "the first dialog is still up";
    EXPECT_EQ(X.MappedTopLevels(), 1) << "the second instance showed nothing";
    // Closed by the session: stored the same way as by Ok.
    Dialog.P.terminate();
    EXPECT_TRUE(Dialog.P.waitForFinished(testsupport::PatientMs));
    EXPECT_EQ(Dialog.P.exitCode(), 0);
  }
  EXPECT_EQ(Stored(Name), std::make_pair(true, false)) << "read at the start and stored again";
}
