#include "saver/ProgramEntry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPointer>

#include <cstdio>
#include <cstdlib>

#include "persistence/FPUControl.h"
#include "platform/Platform.h"
#include "platform/SingleInstance.h"
#include "platform/SysUtils.h"
#include "saver/ScreenSaverUtils.h"

namespace {
QPointer<QWidget> GMainForm;

// Closing the main form ends the program, as the framework's main form does.
class MainFormWatch : public QObject {
public:
  using QObject::QObject;
  bool eventFilter(QObject* Obj, QEvent* E) override {
    if (E->type() == QEvent::Close && Obj == GMainForm.data()) {
      // Runs after the form's own close handling has accepted the close.
      QMetaObject::invokeMethod(qApp, [] {
        if (!GMainForm || !GMainForm->isVisible()) QCoreApplication::quit();
      }, Qt::QueuedConnection);
    }
    return false;
  }
};

// What the instance shows comes forward: the dialog or message that waits for the user, else
// the main form. A form that was hidden stays so: showing the show's form again would start the
// show anew behind the question that ended it.
void BringToFront() {
  QWidget* Front = QApplication::activeModalWidget();
  if (!Front && GMainForm && GMainForm->isVisible()) Front = GMainForm;
  if (!Front) return;
  Front->raise();
  Front->activateWindow();
}

int NotAvailable(const char* What) {
  std::fprintf(stderr, "Rizuder: %s is not available in this build.\n", What);
  return 2;
}
}  // namespace

void CheckSingleInstance() {
  if (plat::SignalRunningInstance(ApplicationTitleText)) std::exit(0);
}

int RunForm(const TFormFactory& CreateForm) {
  CheckSingleInstance();
  plat::SetApplicationTitle(ApplicationTitleText);
  plat::ListenAsInstance(ApplicationTitleText, BringToFront);
  QApplication::setQuitOnLastWindowClosed(false);
  MainFormWatch Watch;
  qApp->installEventFilter(&Watch);
  int Result = 0;
  {
    std::unique_ptr<QWidget> Form = CreateForm();
    GMainForm = Form.get();
    if (Form) {
      if (!Form->isVisible() && !Form->testAttribute(Qt::WA_WState_ExplicitShowHide)) Form->show();
      Result = QApplication::exec();
    }
    GMainForm = nullptr;
  }
  qApp->removeEventFilter(&Watch);
  plat::StopListening();
  return Result;
}

bool ModeNeedsApplication() { return ScreenSaverModeChar() != 'L'; }

int ProgramEntry(const TSaverForms& Forms) {
  SetUpFloatingPointUnit();
  try {
    switch (ScreenSaverModeChar()) {
      case 'S':
        return Forms.SaveScreen ? RunForm(Forms.SaveScreen) : NotAvailable("the full-screen show");
      case 'P':
        return Forms.Preview ? RunForm(Forms.Preview) : NotAvailable("the preview");
      case 'A':
        ChangeSaverPassword();
        return 0;
      case 'L':
        return 0;
      default:
        return Forms.Configuration ? RunForm(Forms.Configuration)
                                   : NotAvailable("the configuration dialog");
    }
  } catch (const std::exception& E) {
    plat::MessageBox(E.what(), plat::ApplicationTitle(), plat::MB_OK | plat::MB_ICONERROR);
    return 1;
  }
}
