#pragma once
// A deadline kept by a thread of its own, so that it also fires when the test's thread is blocked
// or never comes back to its event loop. Past the deadline it writes the stacks of every thread of
// the process to stderr (through gdb when there is one, else each thread prints its own) and
// aborts: a hang then fails at once and says where it is, instead of running into CTest's limit.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace testsupport {

class TWatchdog {
public:
  // What names what is watched in the message.
  TWatchdog(std::chrono::milliseconds Limit, std::string What);
  ~TWatchdog();  // disarms
  TWatchdog(const TWatchdog&) = delete;
  TWatchdog& operator=(const TWatchdog&) = delete;

private:
  std::mutex FLock;
  std::condition_variable FDisarmed;
  bool FDone = false;
  std::thread FThread;
};

// Every thread's stack on stderr.
void DumpAllStacks();

}  // namespace testsupport
