#pragma once
// Screen savers made for the form tests: a program file whose appended data holds a project of
// the sequences a test asks for, the program's own file pointed at it, every class registered.

#include <functional>
#include <memory>
#include <string>

#include "platform/DisplayModes.h"
#include "player/ScreenSaverSequences.h"
#include "tools/DemoSaver.h"

namespace showtest {

// Registers every persistent class once.
void RegisterAll();

struct TSaverRecipe {
  std::string Name = "Formtest";
  TScreenResolution Resolution = sr640x480;
  int Pictures = 0;
  // Empty: one empty page of colour $00336699 lasting a minute.
  std::vector<demosaver::TSequenceMaker> Sequences;
};

// Writes the saver into the test's folder and makes it the program's own file.
void MakeSaver(const TSaverRecipe& Recipe);
// A program file without appended data.
void MakeEmptyProgram();
// Stores the user properties of the saver Name.
void SetUserProperties(const std::string& Name, bool UseStandardResolution, bool InterpolateToFullscreen);

// An empty page of Color lasting Ms, with a web link.
demosaver::TSequenceMaker EmptyPage(TColor Color, int32_t Ms, const std::string& LinkAddress = {},
                                    const std::string& LinkTitle = {});

// A slide of the saver's first picture, lasting Ms, whose file holds no picture a decoder reads.
demosaver::TSequenceMaker DamagedSlide(int32_t Ms);

// A fake display of Width x Height listing Modes (each WxH at 32 bit, 60 Hz) besides its own.
std::shared_ptr<plat::TFakeDisplaySettings> UseFakeDisplay(int Width, int Height,
                                                          std::vector<std::pair<int, int>> Modes = {});
// Back to the system's display and a fresh mode list.
void ResetDisplay();

}  // namespace showtest
