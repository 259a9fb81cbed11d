#pragma once
// A private sound server for the tests that check what is heard: PulseAudio with a null sink in
// a folder of the test's own, and a recording of that sink's monitor.

#include <memory>
#include <string>
#include <vector>

class QProcess;

namespace testsupport {

class SoundServer {
public:
  static constexpr int Rate = 22050;  // of the recording: mono, 16 bits

  SoundServer();
  ~SoundServer();
  SoundServer(const SoundServer&) = delete;
  SoundServer& operator=(const SoundServer&) = delete;

  // Starts the server in Dir and begins recording once it plays; false (with Why) when either
  // is not there.
  bool Start(const std::string& Dir, std::string& Why);
  // What a client names to reach the server (PULSE_SERVER).
  std::string Address() const { return "unix:" + FSocket; }
  // The server's process id.
  int64_t Pid() const;
  // The recording so far, from its start.
  const std::string& Recorded();
  // Milliseconds recorded so far.
  int RecordedMs();

private:
  std::string FSocket;
  std::unique_ptr<QProcess> FServer, FRecorder;
  std::string FPcm;
};

// A sound server that takes every connection and never answers, at Socket.
class HungSoundServer {
public:
  explicit HungSoundServer(const std::string& Socket);
  ~HungSoundServer();
  HungSoundServer(const HungSoundServer&) = delete;
  HungSoundServer& operator=(const HungSoundServer&) = delete;
  bool Ok() const { return FOk; }
  std::string Address() const { return "unix:" + FSocket; }
  // Connections made so far (each is taken and left unanswered).
  int Connections();

private:
  std::string FSocket;
  int FFd = -1;
  bool FOk = false;
  std::vector<int> FClients;
};

// What a recording holds, in windows of WindowMs: whether a tone of Hz sounds (0: any sound).
constexpr int WindowMs = 20;
std::vector<bool> Heard(const std::string& Pcm, double Hz);

// The heard windows of a recording from FromMs to ToMs: the first and last heard, and the longest
// silence between them, in milliseconds (-1 when nothing was heard).
struct Hearing {
  int FirstMs = -1, LastMs = -1, LongestGapMs = 0;
};
Hearing Listen(const std::vector<bool>& Windows, int FromMs, int ToMs);

}  // namespace testsupport
