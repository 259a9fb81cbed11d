#pragma once
// The plain dialog look the program's own dialogs share: centred on the screen, button-face
// colour, "MS Sans Serif" 8 pt. Layout only.

#include "platform/Forms.h"

class TfrmScreenSaverBase : public TForm {
public:
  explicit TfrmScreenSaverBase(QWidget* Parent = nullptr);

protected:
  void showEvent(QShowEvent* Event) override;
};
