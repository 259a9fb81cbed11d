#pragma once
// Small media files made in code for the tests and the demo: a sine tone as a WAV file, a tune as
// a Standard MIDI File and a motion-JPEG AVI movie, all in formats the installed GStreamer
// plugins decode.

#include <string>

namespace mediafixtures {

// A mono 16-bit PCM WAV of a sine tone; DurationMs is rounded down to whole samples.
std::string SineWav(int DurationMs, int FrequencyHz = 440, int SampleRate = 22050);

// A Standard MIDI File (format 0, piano) of Notes notes in a rising scale, one after the other,
// each NoteMs long.
std::string MidiTune(int NoteMs, int Notes = 4);

// A motion-JPEG AVI of Frames frames of Width x Height at Fps frames per second. Each frame is
// a plain colour that changes from frame to frame.
std::string MjpegAvi(int Width, int Height, int Frames, int Fps);

// Writes Bytes to Path; false when the file could not be written completely.
bool WriteFile(const std::string& Path, const std::string& Bytes);

}  // namespace mediafixtures
