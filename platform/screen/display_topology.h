#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/screen/sim_desktop.h"

namespace platform::screen {

// One display device as the display-settings layer lists it.
struct DisplayDevice {
  std::string name;           // the device's own name, the key of the mode calls
  std::string device_string;  // what the device calls itself (the monitor's model)
  bool attached = false;      // part of the desktop
};

// A display mode: size, colour depth and the monitor's place on the desktop.
struct DisplayMode {
  int width = 0;
  int height = 0;
  int bits_per_pixel = 32;
  int x = 0;
  int y = 0;
};

// The display-topology operations of extended-screen mode: counting monitors,
// extending the desktop over every attached display, and changing one display's mode.
// Calls may come from several threads; each back-end guards itself.
class DisplayTopology {
 public:
  virtual ~DisplayTopology() = default;

  // The simulated topology over the shared SimDesktop under CASTORA_PLATFORM=sim,
  // otherwise the X server's (which fails cleanly where no display is reachable).
  static std::unique_ptr<DisplayTopology> Create();

  // Monitors of the desktop; 0 when none can be read.
  virtual int CountMonitors() = 0;
  // Extends the desktop over every attached display; 0 on success, otherwise the
  // system's error number.
  virtual int ExtendDesktop() = 0;
  virtual std::vector<DisplayDevice> EnumerateDisplayDevices() = 0;
  // nullopt when the device has no current mode (or is unknown).
  virtual std::optional<DisplayMode> GetCurrentMode(const std::string& device_name) = 0;
  // Applies `mode` for this session only (never stored); false when refused.
  virtual bool ChangeMode(const std::string& device_name, const DisplayMode& mode) = 0;
};

// The topology of a SimDesktop: every monitor is an attached device named "\\.\DISPLAYn"
// (n from 1 in monitor order) whose device string is the monitor's name.
class SimDisplayTopology : public DisplayTopology {
 public:
  explicit SimDisplayTopology(std::shared_ptr<SimDesktop> desktop);

  int CountMonitors() override;
  int ExtendDesktop() override;
  std::vector<DisplayDevice> EnumerateDisplayDevices() override;
  std::optional<DisplayMode> GetCurrentMode(const std::string& device_name) override;
  // Resizes the monitor. A non-primary monitor asked onto the primary's place stays
  // where it is: desktops never overlap monitors, they place them side by side.
  bool ChangeMode(const std::string& device_name, const DisplayMode& mode) override;

  // Adds (on) or removes (off) the monitor named `name` right of the others, as a
  // display plugged in or pulled out would; a change of the layout either way.
  static void PlugMonitor(const std::shared_ptr<SimDesktop>& desktop, bool on,
                          const std::string& name, int width, int height);

 private:
  std::shared_ptr<SimDesktop> desktop_;
};

}  // namespace platform::screen
