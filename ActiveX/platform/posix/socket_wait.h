// Between the posix backend's events (sync.cpp) and sockets (net.cpp): WaitForEvents asks the
// sockets bound to an event by EventSelect whether a notification is pending, and what to poll.
// Both calls take the socket table's lock; the caller holds no event lock.
#pragma once

#include <poll.h>

#include <vector>

namespace plat {
class Event;
}

namespace plat::posix {

// True when a socket bound to event has a notification pending under its mask.
bool SocketsPending(const Event* event);
// Appends what poll() must watch for the sockets bound to event.
void AppendSocketPolls(const Event* event, std::vector<pollfd>* fds);
// Unbinds every socket from an event that is going away.
void ForgetEvent(const Event* event);

}  // namespace plat::posix
