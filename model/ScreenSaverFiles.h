#pragma once
// Reading the running screen saver's description and content from its own program file.

#include <memory>

#include "model/ScreenSaverModel.h"

// "Die Bildschirmschonerdaten konnten nicht gelesen werden." CR LF CR LF "Wahrscheinlich wurde
// die Datei beschädigt. "
extern const char* const SScreenSaverDataDamaged;

// Reads the leading info record of the program's appended data. A record that cannot be read
// shows SScreenSaverDataDamaged and leaves Info empty; appended data holding no record leaves
// Info with its defaults. A program file that cannot be opened raises (Info is then set).
void LoadScreenSaverInfo(std::unique_ptr<TScreenSaverInfo>& Info);
// Reads the info record and the project record behind it, unpacking media and installing
// fonts. On any failure: the message once, both empty, nothing of them left behind.
void LoadScreenSaverInfoAndProject(std::unique_ptr<TScreenSaverInfo>& Info,
                                   std::unique_ptr<TScreenSaverProject>& Project);
