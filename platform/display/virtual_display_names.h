#pragma once

#include <cstdint>

// The fixed names and numbers of the virtual display driver: what the client opens,
// tests and sends, and what the simulated driver answers to.
namespace platform::display {

inline constexpr const char* kHelperExecutable = "quenlar.exe";
inline constexpr const char* kFilterDevicePath = "\\\\.\\vk_filter_fdo_sym";
inline constexpr const char* kControlPipeName = "\\\\.\\pipe\\vmoni_user_ctrl_pipe_server";
inline constexpr const char* kLoopbackControlAddress = "127.0.0.1";
inline constexpr uint16_t kLoopbackControlPort = 49635;
inline constexpr const char* kBusHardwareId = "root\\vmonitorbus";
inline constexpr const char* kMonitorHardwareId = "hid\\vid_2e5a&pid_0c41";
inline constexpr const char* kBusInterfaceClass = "{4BC4DF72-E899-4346-A8AE-EFF44419F2C6}";
inline constexpr const char* kSystemSetupClass = "{4D36E97D-E325-11CE-BFC1-08002BE10318}";
inline constexpr const char* kHidSetupClass = "{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}";
inline constexpr const char* kDisplaySetupClass = "{4D36E968-E325-11CE-BFC1-08002BE10318}";
inline constexpr uint32_t kPlugInControlCode = 0x2A4000;  // 16-byte plug-in record
inline constexpr uint32_t kFilterControlCode = 0x220004;  // 256-byte filter input

// The control exchange: the client writes "P"; "A" means the monitor is switched on.
inline constexpr uint8_t kControlRequest = 'P';
inline constexpr uint8_t kControlAccepted = 'A';

}  // namespace platform::display
