#pragma once

#include "services/media_link/connection.h"
#include "services/media_link/connection_options.h"
#include "services/audio/audio_packet.h"

namespace crcp::audio {

// The error value the asynchronous socket operations hand to their completions.
using ErrorCode = boost::system::error_code;

// The options that make the shared media-packet connection the audio command link:
// its own log tags and texts, no socket option, teardown log lines, the session
// protocol's bind address, and a 16 MiB cap on a body length read from the wire.
crcp::video::ConnectionOptions AudioConnectionOptions();

// The audio command link to the receiver's command port: the media-packet connection
// of the video links with the audio options. Writes are synchronous only.
class Connection : public crcp::video::Connection {
 public:
  using Listener = crcp::video::Connection::Listener;

  Connection();
  // Tear-down: stops reading, closes the socket, joins the worker, then OnDisconnect.
  // The destructor does the same; a second call does nothing.
  void Disconnnect() { Disconnect(); }
};

}  // namespace crcp::audio
