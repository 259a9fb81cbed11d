#pragma once
// Asks, after the show ended on a sequence with a web link, whether to open that address in
// the desktop's browser. Cancel has the focus, so Enter or Escape at once declines.

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "saver/formScreenSaverBaseModal.h"

class TScreenSaverSequence;

class TfrmWebLink : public TfrmScreenSaverBaseModal {
public:
  explicit TfrmWebLink(QWidget* Parent = nullptr);

  // Shows the sequence's link title and address modally; on Ok the address goes to the shell.
  // True when the user chose Ok.
  bool Execute(const TScreenSaverSequence& Sequence);

  QPlainTextEdit* Memo1;
  QLabel* Label1;
  QLineEdit* txtWebTitle;
  QLabel* lblWebTitle;  // the edit's label, above it
  QLineEdit* txtWebAddress;
  QLabel* lblWebAddress;

protected:
  void FormShow() override;
};

// Creates the prompt, runs Execute and frees it again (also when Execute raises).
bool ShowWebLink(const TScreenSaverSequence& Sequence);
