#include "services/audio/connection.h"

#include "crcp/config.h"

namespace crcp::audio {

crcp::video::ConnectionOptions AudioConnectionOptions() {
  crcp::video::ConnectionOptions options;
  options.log_tag = "MirrorAudio::Connection";
  options.socket_log_tag = "asio tcp";
  options.max_body_length = crcp::video::kAudioMaxBodyLength;
  options.connect_timeout = std::chrono::milliseconds(3000);
  options.timeout_log_prefix = "conect to";
  options.send_buffer_size = 0;
  options.log_connect_errors = false;
  options.log_teardown = true;
  options.bind_address = crcp::Config::Instance().GetBindAddress();
  return options;
}

Connection::Connection() : crcp::video::Connection(AudioConnectionOptions()) {}

}  // namespace crcp::audio
