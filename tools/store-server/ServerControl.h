#pragma once
// Process-wide state of the store stand-in that handlers share: the stop
// request (every wait in a handler ends early when the server stops) and
// dropping a client's connection without an answer.

#include <chrono>

namespace httplib {
struct Request;
}

namespace storeserver {

// Asks every waiting handler to finish; called once when the server stops.
void requestStop();
bool stopRequested();

// Waits for the given time; returns false at once when the server stops.
bool waitFor(std::chrono::milliseconds duration);

// Shuts down the socket the request arrived on, so the client gets no answer
// at all. Returns false when the socket could not be found.
bool dropConnection(const httplib::Request& request);

}  // namespace storeserver
