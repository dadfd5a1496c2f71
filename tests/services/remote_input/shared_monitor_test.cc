// A touch lands where the receiver's picture shows it: on an X screen split into two
// monitors, the picture of one of them maps the receiver's coordinates onto that
// monitor, not onto the whole screen. Runs on a private Xvfb; skips where none starts.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mediaworkflow/videosource/dxgi_capture_impl.h"
#include "mediaworkflow/videosource/gdi_capture_impl.h"
#include "platform/input/xtest_mouse_injector.h"
#include "platform/screen/x11_screen_system.h"
#include "services/remote_input/mouse_device.h"

// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

extern char** environ;

namespace crcp::ril {
namespace {

// An X server of our own, so the monitors it is split into are nobody else's. Its
// display number comes back on a pipe once it accepts connections.
class PrivateXvfb {
 public:
  explicit PrivateXvfb(const char* screen_size) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    // Only the write end goes to the server.
    fcntl(fds[1], F_SETFD, 0);
    const std::string fd = std::to_string(fds[1]);
    const std::string screen = std::string(screen_size) + "x24";
    std::vector<std::string> args = {"Xvfb", "-displayfd", fd,    "-screen", "0",
                                     screen, "-nolisten",  "tcp", "-noreset"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, "Xvfb", nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    close(fds[1]);
    std::string number;
    // A bound for a server that never comes up, not a measure of anything.
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (pid_ > 0 && poll(&p, 1, 20000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
      number += c;
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~PrivateXvfb() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

class ScopedDisplay {
 public:
  explicit ScopedDisplay(const std::string& display) {
    if (const char* old = std::getenv("DISPLAY")) old_ = old;
    setenv("DISPLAY", display.c_str(), 1);
  }
  ~ScopedDisplay() {
    if (old_) {
      setenv("DISPLAY", old_->c_str(), 1);
    } else {
      unsetenv("DISPLAY");
    }
  }

 private:
  std::optional<std::string> old_;
};

// Splits the screen into LEFT (0,0) and RIGHT (1920,0), 1920x1080 each, the primary on
// the right, as `xrandr --setmonitor` would. False without monitors in RandR (< 1.5).
bool SplitIntoTwoMonitors(Display* dpy) {
  int event_base, error_base, major = 0, minor = 0;
  if (!XRRQueryExtension(dpy, &event_base, &error_base) || !XRRQueryVersion(dpy, &major, &minor) ||
      major * 100 + minor < 105)
    return false;
  const Window root = DefaultRootWindow(dpy);
  XRRScreenResources* resources = XRRGetScreenResources(dpy, root);
  if (resources == nullptr || resources->noutput < 1) {
    if (resources != nullptr) XRRFreeScreenResources(resources);
    return false;
  }
  const RROutput output = resources->outputs[0];
  XRRFreeScreenResources(resources);
  struct Part {
    const char* name;
    int x;
    bool primary;
  };
  for (const Part& part : {Part{"LEFT", 0, false}, Part{"RIGHT", 1920, true}}) {
    // The server's one output goes to the primary, so that it lists no monitor of its own.
    XRRMonitorInfo* monitor = XRRAllocateMonitor(dpy, part.primary ? 1 : 0);
    monitor->name = XInternAtom(dpy, part.name, False);
    monitor->x = part.x;
    monitor->y = 0;
    monitor->width = 1920;
    monitor->height = 1080;
    monitor->mwidth = 510;
    monitor->mheight = 290;
    monitor->primary = part.primary;
    monitor->automatic = False;
    if (part.primary) monitor->outputs[0] = output;
    XRRSetMonitor(dpy, root, monitor);
    XFree(monitor);
  }
  XSync(dpy, False);
  int count = 0;
  XRRMonitorInfo* listed = XRRGetMonitors(dpy, root, True, &count);
  if (listed != nullptr) XRRFreeMonitors(listed);
  return count == 2;
}

// Where the pointer is once the server has handled the injection (the injector's
// connection is not ours, so its requests may still be on their way).
std::pair<int, int> PointerAt(Display* dpy, std::pair<int, int> expected) {
  std::pair<int, int> at{-1, -1};
  for (int i = 0; i < 200 && at != expected; ++i) {
    Window root_return, child;
    int win_x, win_y;
    unsigned int mask;
    XQueryPointer(dpy, DefaultRootWindow(dpy), &root_return, &child, &at.first, &at.second, &win_x,
                  &win_y, &mask);
    if (at != expected) usleep(10000);
  }
  return at;
}

InputEvent E(uint16_t type, uint16_t code, int32_t value) { return {1, 0, type, code, value}; }

// A tap at the middle of the picture, as the receiver sends it.
void TapAtTheMiddle(MouseDevice& device) {
  for (const InputEvent& e : {E(ev::kAbsolutePointer, 0, 32768), E(ev::kAbsolutePointer, 1, 32768),
                              E(ev::kKey, ev::kBtnLeft, 1), E(ev::kSyn, 0, 0),
                              E(ev::kKey, ev::kBtnLeft, 0), E(ev::kSyn, 0, 0)})
    device.Process(e);
}

TEST(SharedMonitorTest, TapAtTheMiddleOfThePictureLandsAtTheMiddleOfTheSharedMonitor) {
  PrivateXvfb xvfb("3840x1080");
  if (xvfb.display().empty()) GTEST_SKIP() << "no Xvfb could be started";
  ScopedDisplay scoped(xvfb.display());
  std::unique_ptr<Display, int (*)(Display*)> dpy(XOpenDisplay(nullptr), XCloseDisplay);
  ASSERT_TRUE(dpy);
  if (!SplitIntoTwoMonitors(dpy.get())) GTEST_SKIP() << "this Xvfb has no RandR monitors";
  auto system = platform::screen::X11ScreenSystem::Open();
  ASSERT_TRUE(system);

  using Make = std::unique_ptr<mediaworkflow::videosource::ScreenCaptureImpl> (*)(
      platform::screen::ScreenSystem*);
  const std::pair<const char*, Make> paths[] = {
      {"duplication",
       [](platform::screen::ScreenSystem* s)
           -> std::unique_ptr<mediaworkflow::videosource::ScreenCaptureImpl> {
         return std::make_unique<mediaworkflow::videosource::DXGICaptureImpl>(s);
       }},
      {"blit",
       [](platform::screen::ScreenSystem* s)
           -> std::unique_ptr<mediaworkflow::videosource::ScreenCaptureImpl> {
         return std::make_unique<mediaworkflow::videosource::GDICaptureImpl>(s);
       }},
  };
  MouseDevice device(std::make_shared<platform::input::XTestMouseInjector>());
  ASSERT_TRUE(device.Open());
  for (const auto& [name, make] : paths) {
    SCOPED_TRACE(name);
    // The picture shows the main monitor, the right one.
    auto capture = make(system.get());
    if (!capture->Init(0)) {
      ADD_FAILURE() << "the capture did not start";
      continue;
    }
    TapAtTheMiddle(device);
    EXPECT_EQ(PointerAt(dpy.get(), {2880, 540}), std::make_pair(2880, 540));
    // The other one, as a second monitor is shared.
    capture->SelectMonitor(1);
    TapAtTheMiddle(device);
    EXPECT_EQ(PointerAt(dpy.get(), {960, 540}), std::make_pair(960, 540));
    // No picture any more: the whole screen.
    capture.reset();
    TapAtTheMiddle(device);
    EXPECT_EQ(PointerAt(dpy.get(), {1920, 540}), std::make_pair(1920, 540));
  }
}

}  // namespace
}  // namespace crcp::ril
