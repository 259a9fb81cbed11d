#include "tools/MediaFixtures.h"

#include <QBuffer>
#include <QColor>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace mediafixtures {

namespace {

void Put16(std::string& S, uint16_t V) {
  S.push_back(static_cast<char>(V & 0xFF));
  S.push_back(static_cast<char>(V >> 8));
}

void Put32(std::string& S, uint32_t V) {
  for (int I = 0; I < 4; ++I) S.push_back(static_cast<char>((V >> (8 * I)) & 0xFF));
}

void PutFourCC(std::string& S, const char* F) { S.append(F, 4); }

void Patch32(std::string& S, size_t At, uint32_t V) {
  for (int I = 0; I < 4; ++I) S[At + I] = static_cast<char>((V >> (8 * I)) & 0xFF);
}

// Opens a chunk (or a LIST/RIFF with its form type) and returns where its size goes.
size_t BeginChunk(std::string& S, const char* Id, const char* Form = nullptr) {
  PutFourCC(S, Id);
  const size_t SizeAt = S.size();
  Put32(S, 0);
  if (Form) PutFourCC(S, Form);
  return SizeAt;
}

void EndChunk(std::string& S, size_t SizeAt) {
  Patch32(S, SizeAt, static_cast<uint32_t>(S.size() - SizeAt - 4));
  if (S.size() % 2) S.push_back('\0');  // RIFF chunks are word aligned
}

void PutBE(std::string& S, uint32_t V, int Bytes) {
  for (int I = Bytes - 1; I >= 0; --I) S.push_back(static_cast<char>((V >> (8 * I)) & 0xFF));
}

// A MIDI variable-length quantity: seven bits a byte, most significant first.
void PutVarLen(std::string& S, uint32_t V) {
  std::string Groups(1, static_cast<char>(V & 0x7F));
  while (V >>= 7) Groups.insert(Groups.begin(), static_cast<char>(0x80 | (V & 0x7F)));
  S += Groups;
}

std::string JpegFrame(int Width, int Height, int Index, int Frames) {
  QImage Img(Width, Height, QImage::Format_RGB32);
  const int Hue = Frames > 1 ? (Index * 300) / (Frames - 1) : 0;
  Img.fill(QColor::fromHsv(Hue, 255, 200));
  QByteArray Bytes;
  QBuffer Buf(&Bytes);
  Buf.open(QIODevice::WriteOnly);
  if (!Img.save(&Buf, "JPG", 80)) throw std::runtime_error("JPEG encoder not available");
  return Bytes.toStdString();
}

}  // namespace

std::string SineWav(int DurationMs, int FrequencyHz, int SampleRate) {
  const uint32_t Samples = static_cast<uint32_t>(int64_t(SampleRate) * DurationMs / 1000);
  const uint32_t DataBytes = Samples * 2;
  std::string S;
  S.reserve(44 + DataBytes);
  PutFourCC(S, "RIFF");
  Put32(S, 36 + DataBytes);
  PutFourCC(S, "WAVE");
  PutFourCC(S, "fmt ");
  Put32(S, 16);
  Put16(S, 1);  // PCM
  Put16(S, 1);  // mono
  Put32(S, static_cast<uint32_t>(SampleRate));
  Put32(S, static_cast<uint32_t>(SampleRate) * 2);
  Put16(S, 2);
  Put16(S, 16);
  PutFourCC(S, "data");
  Put32(S, DataBytes);
  const double Step = 2.0 * M_PI * FrequencyHz / SampleRate;
  for (uint32_t I = 0; I < Samples; ++I) {
    const auto V = static_cast<int16_t>(std::lround(12000.0 * std::sin(Step * I)));
    Put16(S, static_cast<uint16_t>(V));
  }
  return S;
}

std::string MidiTune(int NoteMs, int Notes) {
  // 500 ticks a quarter note at 500,000 microseconds a quarter: one tick is one millisecond.
  std::string Track;
  PutVarLen(Track, 0);
  Track += "\xFF\x51\x03";  // tempo
  PutBE(Track, 500000, 3);
  PutVarLen(Track, 0);
  Track += "\xC0";  // program: acoustic grand piano
  Track.push_back('\0');
  static const int Scale[] = {0, 2, 4, 5, 7, 9, 11};
  for (int I = 0; I < Notes; ++I) {
    const auto Key = static_cast<char>(60 + (12 * (I / 7)) % 48 + Scale[I % 7]);
    PutVarLen(Track, 0);
    Track += "\x90";  // note on, channel 1
    Track.push_back(Key);
    Track.push_back('\x64');
    PutVarLen(Track, static_cast<uint32_t>(NoteMs));
    Track += "\x80";  // note off
    Track.push_back(Key);
    Track.push_back('\x40');
  }
  PutVarLen(Track, 0);
  Track += "\xFF\x2F";  // end of track
  Track.push_back('\0');

  std::string S = "MThd";
  PutBE(S, 6, 4);
  PutBE(S, 0, 2);  // format 0: one track
  PutBE(S, 1, 2);
  PutBE(S, 500, 2);
  S += "MTrk";
  PutBE(S, static_cast<uint32_t>(Track.size()), 4);
  return S + Track;
}

std::string MjpegAvi(int Width, int Height, int Frames, int Fps) {
  std::vector<std::string> Jpegs;
  size_t Largest = 0;
  for (int I = 0; I < Frames; ++I) {
    Jpegs.push_back(JpegFrame(Width, Height, I, Frames));
    Largest = std::max(Largest, Jpegs.back().size());
  }
  const auto W = static_cast<uint32_t>(Width), H = static_cast<uint32_t>(Height);
  const auto Buffer = static_cast<uint32_t>(Largest + 8);

  std::string S;
  const size_t Riff = BeginChunk(S, "RIFF", "AVI ");
  const size_t Hdrl = BeginChunk(S, "LIST", "hdrl");
  const size_t Avih = BeginChunk(S, "avih");
  Put32(S, static_cast<uint32_t>(1000000 / Fps));  // microseconds per frame
  Put32(S, Buffer * static_cast<uint32_t>(Fps));   // max bytes per second
  Put32(S, 0);                                     // padding granularity
  Put32(S, 0x10);                                  // has an index
  Put32(S, static_cast<uint32_t>(Frames));
  Put32(S, 0);  // initial frames
  Put32(S, 1);  // streams
  Put32(S, Buffer);
  Put32(S, W);
  Put32(S, H);
  for (int I = 0; I < 4; ++I) Put32(S, 0);
  EndChunk(S, Avih);

  const size_t Strl = BeginChunk(S, "LIST", "strl");
  const size_t Strh = BeginChunk(S, "strh");
  PutFourCC(S, "vids");
  PutFourCC(S, "MJPG");
  Put32(S, 0);  // flags
  Put16(S, 0);  // priority
  Put16(S, 0);  // language
  Put32(S, 0);  // initial frames
  Put32(S, 1);  // scale
  Put32(S, static_cast<uint32_t>(Fps));  // rate: Fps / 1 frames per second
  Put32(S, 0);                           // start
  Put32(S, static_cast<uint32_t>(Frames));
  Put32(S, Buffer);
  Put32(S, 0xFFFFFFFFu);  // quality: default
  Put32(S, 0);            // sample size: varies
  Put16(S, 0);
  Put16(S, 0);
  Put16(S, static_cast<uint16_t>(W));
  Put16(S, static_cast<uint16_t>(H));
  EndChunk(S, Strh);
  const size_t Strf = BeginChunk(S, "strf");
  Put32(S, 40);
  Put32(S, W);
  Put32(S, H);
  Put16(S, 1);   // planes
  Put16(S, 24);  // bits per pixel
  PutFourCC(S, "MJPG");
  Put32(S, W * H * 3);
  for (int I = 0; I < 4; ++I) Put32(S, 0);
  EndChunk(S, Strf);
  EndChunk(S, Strl);
  EndChunk(S, Hdrl);

  const size_t Movi = BeginChunk(S, "LIST", "movi");
  const size_t MoviData = Movi + 4;  // index offsets count from the 'movi' form type
  std::vector<std::pair<uint32_t, uint32_t>> Index;
  for (const std::string& J : Jpegs) {
    Index.emplace_back(static_cast<uint32_t>(S.size() - MoviData), static_cast<uint32_t>(J.size()));
    const size_t Chunk = BeginChunk(S, "00dc");
    S += J;
    EndChunk(S, Chunk);
  }
  EndChunk(S, Movi);

  const size_t Idx = BeginChunk(S, "idx1");
  for (const auto& [Offset, Size] : Index) {
    PutFourCC(S, "00dc");
    Put32(S, 0x10);  // key frame
    Put32(S, Offset);
    Put32(S, Size);
  }
  EndChunk(S, Idx);
  EndChunk(S, Riff);
  return S;
}

bool WriteFile(const std::string& Path, const std::string& Bytes) {
  std::ofstream F(Path, std::ios::binary | std::ios::trunc);
  F.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
  F.close();
  return static_cast<bool>(F);
}

}  // namespace mediafixtures
