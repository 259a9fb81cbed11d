#pragma once
// The main block of the screen-saver program: floating-point set-up, mode dispatch, the
// single-instance guard and the run of the mode's form.

#include <QWidget>

#include <functional>
#include <memory>

inline constexpr const char* ApplicationTitleText = "Dodeda Zedud Azireze";

using TFormFactory = std::function<std::unique_ptr<QWidget>()>;

// The forms of the modes; an empty factory is a mode this build does not offer.
struct TSaverForms {
  TFormFactory SaveScreen;
  TFormFactory Preview;
  TFormFactory Configuration;
};

// Ends this process with exit code 0 when another instance runs (after bringing it forward).
void CheckSingleInstance();
// Single-instance test, application title, the form as main form, the message loop until the
// main form closes. Returns the exit code.
int RunForm(const TFormFactory& CreateForm);
// Whether the mode of the command line shows anything (a form or a message box): every mode
// but L, which ends at once and so needs no display.
bool ModeNeedsApplication();
// The whole program after the unit start-ups; returns the exit code.
int ProgramEntry(const TSaverForms& Forms);
