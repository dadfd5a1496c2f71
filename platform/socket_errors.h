#pragma once

#include <system_error>

// Names for the socket failures the protocol code reacts to. On the original
// platform these were the numbers 995 (operation aborted), 10054 (connection
// reset) and 10060 (connect timed out); here they are asio's portable
// enumerators, compared through std::error_code.
namespace platform {

bool IsOperationAborted(const std::error_code& ec);
bool IsConnectionReset(const std::error_code& ec);
bool IsTimedOut(const std::error_code& ec);

std::error_code OperationAbortedError();
std::error_code ConnectionResetError();
std::error_code TimedOutError();

}  // namespace platform
