#pragma once
// Forms of the GUI framework on Qt: the application object that turns an exception escaping an
// event handler into a message box (the framework's default handler), and the form base with
// the framework's events (create, show, close, destroy) as virtual handlers that descendants
// replace and that call the base's handler themselves.

#include <QApplication>
#include <QDialog>

class QLocale;

#include <memory>
#include <string>

// An exception leaving an event handler is shown in an error box titled with the application
// title; the event loop goes on.
class TApplication : public QApplication {
public:
  // Without a display the program ends here: one line on stderr, exit code 1.
  TApplication(int& Argc, char** Argv);
  bool notify(QObject* Receiver, QEvent* Event) override;
  // The framework's default handler: the message in an error box.
  static void HandleException(const std::exception& E);
};

// The framework's own texts (the standard buttons of message boxes and dialogs) in the
// language of Locale, as the system's own dialogs would speak it; replaces an earlier choice.
// The program's own texts are German whatever the locale.
void LoadFrameworkTranslations(const QLocale& Locale);

// The fewest of the GUI's units that cover Pixels device pixels on a screen that Qt scales by
// Ratio (its device pixel ratio).
int UnitsCovering(int Pixels, double Ratio);
// The primary screen in its current display mode, in the GUI's units (a scaled screen has fewer
// of them than pixels). Right after a mode switch this is the new size, which Qt's own screen
// object reports only later.
QRect ScreenRect();
// Places the top-level window W centred on ScreenRect(), to the pixel as near as the scale allows,
// for its next showing.
void CentreOnScreen(QWidget* W);

enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2 };

// A form: a top-level widget (modal when shown with ShowModal). FormCreate runs once the object
// is fully constructed (through CreateForm), FormShow before the window becomes visible,
// FormClose when it closes, FormDestroy before the object goes away (through FormDeleter).
class TForm : public QDialog {
public:
  explicit TForm(QWidget* Parent = nullptr);

  virtual void FormCreate() {}
  virtual void FormShow() {}
  virtual void FormClose() {}
  virtual void FormDestroy() {}

  // Shows the form modally and returns its modal result.
  int ShowModal();
  void SetModalResult(int Result);
  int ModalResult() const { return FModalResult; }

  // Sets the client size and position as the form designer would (pixels).
  void SetBounds(int Left, int Top, int Width, int Height);

  void DoCreate();
  void DoDestroy();

protected:
  void showEvent(QShowEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  // Escape closes a dialog only when the form says so (the framework has no implicit cancel).
  void keyPressEvent(QKeyEvent* Event) override;
  bool FEscapeCancels = false;

private:
  int FModalResult = mrNone;
  bool FDestroyed = false;
};

struct FormDeleter {
  void operator()(TForm* F) const {
    if (F) F->DoDestroy();
    delete F;
  }
};
template <class F>
using FormPtr = std::unique_ptr<F, FormDeleter>;

// Constructs the form and runs its FormCreate; an exception there is shown and the form stays.
template <class F, class... Args>
FormPtr<F> CreateForm(Args&&... A) {
  FormPtr<F> Form(new F(std::forward<Args>(A)...));
  Form->DoCreate();
  return Form;
}
