#pragma once
// The screen-saver command line and the glue to the screen-saver password services.

#include <cstdint>
#include <functional>
#include <string>

class QWidget;

// The preview host window from the second argument; 0 until set or when it does not convert.
extern uint32_t SaverParentWindow;

// Reads the second argument into SaverParentWindow (run once at start-up).
void ParseScreenSaverCommandLine();
uint32_t GetSaverParentWindow();
// The mode character of the first argument: upper case, one leading '-' or '/' removed, its
// first character. 'C' when there is no argument; '\0' when the argument holds no character
// after the removed one.
char ScreenSaverModeChar();

// The 9x password-change dialog; raises Exception when its library or entry is missing.
void ChangeSaverPassword();
// The 9x password check owned by Form's window; raises like ChangeSaverPassword.
bool VerifySaverPassword(QWidget* Form);
// The user's "ScreenSaveUsePassword" flag; false whenever it cannot be read.
bool SaverPasswordEnabled();

// Hands a screen-saver file to the display control panel's installer entry; the result is not
// examined.
void ActivateScreenSaverFile(const std::string& Path);
