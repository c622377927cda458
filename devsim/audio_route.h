// GET /api/audio: the response header, then the packet stream in real time, one packet per
// 64 ms on a schedule fixed at the stream's start (a late packet does not push the later ones
// back). The connection's fault shapes the stream. Runs on the connection's thread.
#pragma once

#include <string_view>

#include "devsim/audio_source.h"
#include "devsim/http.h"

namespace devsim {

inline constexpr std::string_view kAudioResponseHeader =
    "HTTP/1.1 200 OK\r\nContent-Type: audio/basic\r\nConnection: close\r\n\r\n";

// Adds the route; each connection streams from a fresh source made by `source`.
void AddAudioRoute(Router& router, SourceFactory source);

}  // namespace devsim
