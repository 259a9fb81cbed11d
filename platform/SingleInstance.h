#pragma once
// Finding a running instance by its title and bringing it to the front: a local socket named
// after the title in the user's private runtime directory. The first instance listens; a later
// one connects and asks it to raise its window. Without a private runtime directory there is
// no guard: nothing is found and nothing listens.

#include <functional>
#include <string>

namespace plat {

// True when an instance listening under Title was found and asked to come to the front.
bool SignalRunningInstance(const std::string& Title);
// Listens under Title from now on; OnRaise runs on the GUI thread for each later instance.
// False when the name cannot be taken (another instance got there first, or there is no
// private runtime directory).
bool ListenAsInstance(const std::string& Title, std::function<void()> OnRaise);
// Stops listening (the name is free again).
void StopListening();

}  // namespace plat
