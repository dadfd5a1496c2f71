#include "platform/socket_errors.h"

#include <asio/error.hpp>

namespace platform {

bool IsOperationAborted(const std::error_code& ec) {
  return ec == asio::error::operation_aborted;
}
bool IsConnectionReset(const std::error_code& ec) {
  return ec == asio::error::connection_reset;
}
bool IsTimedOut(const std::error_code& ec) { return ec == asio::error::timed_out; }

std::error_code OperationAbortedError() { return asio::error::operation_aborted; }
std::error_code ConnectionResetError() { return asio::error::connection_reset; }
std::error_code TimedOutError() { return asio::error::timed_out; }

}  // namespace platform
