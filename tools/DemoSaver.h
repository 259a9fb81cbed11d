#pragma once
// Builds demo screen savers with the system's own classes, so that the bytes are the system's
// own object records: a TScreenSaverInfo and a TScreenSaverProject made in code (generated
// JPEG pictures, a WAV tone, an embedded font) appended behind the trailer of a copy of a
// program file. Tests make their own variants through TDemoOptions.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/ScreenSaverModel.h"

enum TMovieDisplaySize : uint8_t;

namespace demosaver {

// The media ids of a demo project, for the sequences that show them (0: not present).
struct TDemoMedia {
  std::vector<int32_t> Pictures;
  int32_t Sound = 0;
  int32_t Movie = 0;
  int32_t Huge = 0;
};

// Adds one sequence (or a few) to the project, using the demo's media.
using TSequenceMaker = std::function<void(TScreenSaverProject& Project, const TDemoMedia& Media)>;

// The demo's movie at (Left, Top) of the raster, shown at Size.
TSequenceMaker MovieSequence(int32_t Left, int32_t Top, TMovieDisplaySize Size);

// The demo show, in playing order: one entry per sequence kind; each kind adds its line in
// DemoSaver.cpp.
const std::vector<TSequenceMaker>& DemoSequences();

struct TDemoOptions {
  std::string RizuderName = "Demo";
  TScreenResolution Resolution = sr800x600;
  int Pictures = 3;
  int PictureWidth = 640;
  int PictureHeight = 480;
  bool Sound = true;
  int SoundMs = 1500;
  bool Movie = true;
  int MovieFrames = 10;  // at 10 per second
  // Family names to embed; each is fetched when the project is written (a family that is not
  // installed is written without data). Empty: the first of DejaVu Sans and Liberation Sans
  // that is installed, or none.
  std::vector<std::string> Fonts;
  bool NoFonts = false;
  // A medium of this many bytes of counting pattern (mtMovie, extension "dat"); 0: none.
  int64_t HugeMediumBytes = 0;
  bool WithDemoSequences = true;
  std::vector<TSequenceMaker> ExtraSequences;
  // Where the media files are generated (the project owns and deletes them); empty: the
  // temporary directory.
  std::string WorkDir;
};

// The default font choice of TDemoOptions::Fonts; empty when neither family is installed.
std::string DefaultDemoFont();

// A JPEG of Width x Height showing picture number Index: its own colour, shape and number.
std::string DemoPictureJpeg(int Index, int Width, int Height);
// The byte at Offset of the counting pattern of the huge medium.
uint8_t HugePatternByte(int64_t Offset);

std::unique_ptr<TScreenSaverInfo> MakeDemoInfo(const TDemoOptions& Options);
// The project with its media as files in WorkDir; Media (when given) receives their ids.
std::unique_ptr<TScreenSaverProject> MakeDemoProject(const TDemoOptions& Options,
                                                     TDemoMedia* Media = nullptr);

// Replaces the appended data of File (an existing file; a trailer is added when it has none)
// by the info record followed by the project record.
void AppendScreenSaver(const std::string& File, TScreenSaverInfo& Info, TScreenSaverProject& Project);
// Copies Host to Out (mode 0755) and appends a demo made from Options. Out appears complete
// or not at all.
void MakeScreenSaverFile(const std::string& Host, const std::string& Out, const TDemoOptions& Options);

}  // namespace demosaver
