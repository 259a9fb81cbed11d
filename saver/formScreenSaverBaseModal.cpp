#include "saver/formScreenSaverBaseModal.h"

#include <QKeyEvent>
#include <QResizeEvent>

namespace {
constexpr int PanelHeight = 41;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
constexpr int ButtonGap = 8;
}  // namespace

TfrmScreenSaverBaseModal::TfrmScreenSaverBaseModal(QWidget* Parent) : TfrmScreenSaverBase(Parent) {
  // A title but no system menu, minimize, maximize or close icons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  pnlButtons = new QWidget(this);
  pnlButtons->setObjectName(QStringLiteral("pnlButtons"));
  cmdOk = new QPushButton(QStringLiteral("Ok"), pnlButtons);
  cmdOk->setObjectName(QStringLiteral("cmdOk"));
  cmdCancel = new QPushButton(QStringLiteral("Abbrechen"), pnlButtons);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  // Neither button is the default (the dialog must not pick one either): Enter presses the
  // button that has the focus and does nothing elsewhere.
  for (QPushButton* B : {cmdOk, cmdCancel}) {
    B->setAutoDefault(false);
    B->setDefault(false);
  }
  connect(cmdOk, &QPushButton::clicked, this, [this] { SetModalResult(mrOk); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); });
  PlaceButtons();
}

void TfrmScreenSaverBaseModal::PlaceButtons() {
  const int W = width();
  pnlButtons->setGeometry(0, height() - PanelHeight, W, PanelHeight);
  const int Top = (PanelHeight - ButtonHeight) / 2;
  cmdCancel->setGeometry(W - ButtonGap - ButtonWidth, Top, ButtonWidth, ButtonHeight);
  cmdOk->setGeometry(W - 2 * (ButtonGap + ButtonWidth), Top, ButtonWidth, ButtonHeight);
}

void TfrmScreenSaverBaseModal::resizeEvent(QResizeEvent* Event) {
  TfrmScreenSaverBase::resizeEvent(Event);
  PlaceButtons();
}

void TfrmScreenSaverBaseModal::keyPressEvent(QKeyEvent* Event) {
  const int Key = Event->key();
  if (Key == Qt::Key_Escape && Event->modifiers() == Qt::NoModifier) {
    cmdCancel->click();
    Event->accept();
    return;
  }
  if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
    if (auto* B = qobject_cast<QPushButton*>(focusWidget())) B->click();
    Event->accept();
    return;
  }
  TfrmScreenSaverBase::keyPressEvent(Event);
}
