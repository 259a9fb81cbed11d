#include "saver/formWebLink.h"

#include "platform/Memo.h"
#include "platform/Platform.h"
#include "player/ScreenSaverSequences.h"

namespace {
constexpr int ClientWidth = 465;
constexpr int ClientHeight = 291;
constexpr int EditHeight = 21;
constexpr int LabelHeight = 13;

// Read-only fields are grey, as disabled-looking edits of the dialog.
void MakeGreyReadOnly(QWidget* W) {
  QPalette Pal = W->palette();
  Pal.setColor(QPalette::Base, Pal.color(QPalette::Button));
  W->setPalette(Pal);
}

QLineEdit* LabeledEdit(QWidget* Parent, const char* Name, const QString& Caption, int Top,
                       QLabel*& Label) {
  auto* Edit = new QLineEdit(Parent);
  Edit->setObjectName(QString::fromLatin1(Name));
  Edit->setGeometry(8, Top, 449, EditHeight);
  Edit->setReadOnly(true);
  MakeGreyReadOnly(Edit);
  Label = new QLabel(Caption, Parent);
  Label->setObjectName(QString::fromLatin1(Name) + QStringLiteral("Label"));
  Label->setGeometry(8, Top - LabelHeight - 3, 449, LabelHeight);
  Label->setBuddy(Edit);
  return Edit;
}
}  // namespace

TfrmWebLink::TfrmWebLink(QWidget* Parent) : TfrmScreenSaverBaseModal(Parent) {
  setObjectName(QStringLiteral("frmWebLink"));
  setWindowTitle(QStringLiteral("Verweis auf Web-Seite"));
  // Dialog border: the size is fixed.
  setFixedSize(ClientWidth, ClientHeight);
  PlaceButtons();

  Memo1 = new TMemo(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(8, 120, 449, 121);
  Memo1->setReadOnly(true);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setFocusPolicy(Qt::ClickFocus);
  MakeGreyReadOnly(Memo1);
  Memo1->setPlainText(QString::fromUtf8(
      "Der Hersteller diese Bildschirmschoners stellt Ihnen einen Verweis auf eine Web-Seite im \n"
      "Internet zu Verfügung.\n"
      "\n"
      "Klicken Sie auf Ok und die Web-Seite wird in Ihrem Standard-Browser geöffnet.\n"
      "\n"
      "Klicken Sie auf Abbrechen, wenn Sie nicht auf die Seite verzweigen möchten."));

  Label1 = new QLabel(QStringLiteral("Wichtiger Hinweis"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(8, 104, 449, LabelHeight);

  txtWebTitle = LabeledEdit(this, "txtWebTitle", QStringLiteral("Titel"), 24, lblWebTitle);
  txtWebAddress = LabeledEdit(this, "txtWebAddress", QStringLiteral("WWW-Adresse"), 72, lblWebAddress);

  // Tab order as declared; the buttons come last.
  setTabOrder(Memo1, txtWebTitle);
  setTabOrder(txtWebTitle, txtWebAddress);
  setTabOrder(txtWebAddress, cmdOk);
  setTabOrder(cmdOk, cmdCancel);
}

void TfrmWebLink::FormShow() {
  TfrmScreenSaverBaseModal::FormShow();
  cmdCancel->setFocus(Qt::OtherFocusReason);
}

bool TfrmWebLink::Execute(const TScreenSaverSequence& Sequence) {
  txtWebTitle->setText(QString::fromStdString(Sequence.WebLinkTitle));
  txtWebAddress->setText(QString::fromStdString(Sequence.WebLinkAddress));
  const bool Ok = ShowModal() == mrOk;
  if (Ok) plat::ShellOpen(txtWebAddress->text().toStdString());
  return Ok;
}

bool ShowWebLink(const TScreenSaverSequence& Sequence) {
  FormPtr<TfrmWebLink> Form = CreateForm<TfrmWebLink>();
  return Form->Execute(Sequence);
}
