#pragma once
// The common wizard dialog: a title panel, the step text, and Back / Next / Cancel.

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include <cstdint>
#include <string>

#include "platform/Forms.h"

enum : uint8_t { srBack = 0, srNext = 1, srCancel = 2 };

class TfrmBaseInstallStep : public TForm {
public:
  explicit TfrmBaseInstallStep(QWidget* Parent = nullptr);

  // Shows the dialog modally; the result is StepResult as it then stands.
  uint8_t Execute();
  void SetTitle(const std::string& Text);
  void SetDescription(const std::string& Text);

  void cmdPrevClick();
  void cmdNextClick();
  void cmdCancelClick();

  QLabel* pnlTitle;
  QPlainTextEdit* txtDescription;
  QWidget* Panel1;
  QPushButton* cmdPrev;
  QPushButton* cmdNext;
  QPushButton* cmdCancel;
  // 0 back, 1 next, 2 cancel; 0 when created and never reset.
  uint8_t StepResult = srBack;

protected:
  // A bottom panel above Panel1 holding one tick box (licence and install steps).
  QCheckBox* AddTickPanel(const char* Caption);
  void resizeEvent(QResizeEvent* Event) override;
  void showEvent(QShowEvent* Event) override;

private:
  QMargins FCenteredFrame;
  QWidget* FPanel3 = nullptr;
  void Arrange();
  // Centred on the screen, frame included.
  void CenterOnScreen();
};
