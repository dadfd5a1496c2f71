#pragma once

#include <QString>

// Where the updater asks for updates. The product's update service has no fixed host
// here: a compiled default, overridden by RENOVIX_UPDATE_SERVER (for example
// "http://127.0.0.1:8808"). Both http and https addresses work, as the network
// manager handles them; the request's path and query are added by the caller.
namespace platform::updater {

inline constexpr char kUpdateServerEnv[] = "RENOVIX_UPDATE_SERVER";

// The base address without a trailing "/": the environment value when it is set and
// not empty, otherwise the compiled default.
QString UpdateServerAddress();

// The compiled default alone.
QString DefaultUpdateServerAddress();

}  // namespace platform::updater
