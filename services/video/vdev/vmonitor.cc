#include "services/video/vdev/vmonitor.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <iostream>
#include <mutex>
#include <utility>

#include <boost/asio.hpp>

#include "platform/display/virtual_display_names.h"
#include "utils/logger.h"

namespace VDevUtils {
namespace {

const char* const kLogTag = "VDevUtils";

namespace pd = platform::display;
using boost::asio::ip::tcp;
using boost::system::error_code;

// Each step of the loopback exchange is bounded, so a service that accepts and never
// answers cannot hold the caller.
constexpr std::chrono::milliseconds kTcpStepTimeout{3000};
constexpr size_t kMatchingIdChars = 21;  // "PCI\VEN_XXXX&DEV_XXXX"

// The lines the driver's tools expect on the console, one per line.
void Console(const std::string& line) { std::cout << line << std::endl; }

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

void PutLe32(uint32_t v, uint8_t* out) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The loopback control link: its own I/O context, run only while one step waits.
struct TcpControlLink {
  boost::asio::io_context io;
  tcp::socket socket{io};

  // Runs the started operation until it completes or the step times out (then it is
  // cancelled and reported as timed_out).
  error_code Await(error_code& result, bool& done) {
    io.restart();
    io.run_for(kTcpStepTimeout);
    if (!done) {
      error_code ignored;
      socket.cancel(ignored);
      io.restart();
      io.run();
      return boost::asio::error::timed_out;
    }
    return result;
  }
  error_code Connect(const tcp::endpoint& peer) {
    error_code result;
    bool done = false;
    socket.async_connect(peer, [&](const error_code& ec) {
      result = ec;
      done = true;
    });
    return Await(result, done);
  }
  error_code Transfer(uint8_t* byte, bool write) {
    error_code result;
    bool done = false;
    auto handler = [&](const error_code& ec, size_t) {
      result = ec;
      done = true;
    };
    if (write) {
      boost::asio::async_write(socket, boost::asio::buffer(byte, 1), handler);
    } else {
      boost::asio::async_read(socket, boost::asio::buffer(byte, 1), handler);
    }
    return Await(result, done);
  }
};

}  // namespace

class VMonitor::Impl {
 public:
  explicit Impl(std::shared_ptr<pd::VirtualDisplayDriver> driver) : driver_(std::move(driver)) {}
  ~Impl() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (opened_.load() && close_action_) (this->*close_action_)();
    // The bus handle lives until the monitor goes: the virtual device stays plugged
    // across Close. It is closed here, by its owner.
    bus_.reset();
  }

  void SetHelperPath(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    helper_path_ = path;
  }

  int Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (opened_.load()) return kOpened;
    int result = kUnsupported;
    switch (ClassifyWindows()) {
      case 1: result = OpenOn7881(); break;
      case 2:
        result = OpenOn7881();
        if (result != kOpened) result = OpenOn1607();
        break;
      case 3: result = OpenOn1607(); break;
      default: result = kUnsupported; break;
    }
    if (result == kOpened) opened_.exchange(true);
    return result;
  }

  int Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!opened_.load() || !close_action_) return 0;
    const CloseAction action = close_action_;
    close_action_ = nullptr;
    return (this->*action)();
  }

  bool IsOpened() const { return opened_.load(); }

 private:
  using CloseAction = int (Impl::*)();

  int ClassifyWindows() {
    const auto version = driver_->GetNtVersion();
    std::optional<std::string> release_id;
    if (version && version->major == 10) release_id = driver_->GetReleaseId();
    return WindowsClass(version, release_id);
  }

  int OpenOn7881() {
    LOG_INFO("open on 7881");
    auto filter = driver_->OpenDevice(pd::kFilterDevicePath);
    if (!filter) {
      LOG_INFO("DevSetup Enable");
      driver_->RunAndWait(Quoted(helper_path_) + " enable =" +
                          driver_->SetupClassName(pd::kDisplaySetupClass));
      LOG_INFO("DevSetup Enable End");
      filter = driver_->OpenDevice(pd::kFilterDevicePath);
      if (!filter) return kFilterMissing;
    }
    const auto matching_id = driver_->PrimaryAdapterMatchingDeviceId();
    if (!matching_id) return kFailed;
    const std::vector<uint8_t> input = FilterInput(*matching_id);

    composition_was_on_ = driver_->IsCompositionEnabled();
    if (composition_was_on_) {
      LOG_INFO("disable composition");
      driver_->SetCompositionEnabled(false);
    }
    LOG_INFO("device io control");
    if (!filter->Control(pd::kFilterControlCode, input)) {
      // Nothing was switched on: the desktop gets its composition back.
      if (composition_was_on_) driver_->SetCompositionEnabled(true);
      return kFailed;
    }
    filter_ = std::move(filter);
    close_action_ = &Impl::CloseOn7881;
    return kOpened;
  }

  int CloseOn7881() {
    filter_.reset();
    opened_.exchange(false);
    if (composition_was_on_) driver_->SetCompositionEnabled(true);
    return 0;
  }

  int OpenOn1607() {
    LOG_INFO("open on 1607");
    if (!bus_) {
      Console("Pluging virtual device ...");
      LOG_INFO("get devPath");
      std::string path = driver_->FindDeviceInterfacePath(pd::kBusInterfaceClass);
      if (path.empty()) {
        Console("get bus interface failed");
        if (!driver_->IsDeviceInstalled(pd::kBusHardwareId, pd::kSystemSetupClass)) {
          Console("bus not install");
          return kBusNotInstalled;
        }
        if (driver_->IsDevicePresentAndWorking(pd::kBusHardwareId, pd::kSystemSetupClass)) {
          Console("bus present");
          return kFailed;
        }
        LOG_INFO("is present on system");
        if (!driver_->FileExists(helper_path_)) return kHelperMissing;
        driver_->RunAndWait(Quoted(helper_path_) + " enable " + Quoted(pd::kBusHardwareId));
        driver_->RunAndWait(Quoted(helper_path_) + " update");
        if (!driver_->IsDevicePresentAndWorking(pd::kBusHardwareId, pd::kSystemSetupClass))
          return kHelperFailed;
        path = driver_->FindDeviceInterfacePath(pd::kBusInterfaceClass);
        if (path.empty()) return kFailed;
      }
      auto bus = driver_->OpenDevice(path);
      if (!bus) return kFailed;
      LOG_INFO("device io control");
      const auto record = PlugInRecord();
      if (!bus->Control(pd::kPlugInControlCode, std::vector<uint8_t>(record.begin(), record.end()))) {
        LOG_INFO("error is {}", bus->LastError());
        return kFailed;
      }
      Console("Plug virtual device success.");
      bus_ = std::move(bus);
      driver_->Sleep(std::chrono::milliseconds(1000));
    }
    LOG_INFO("is device on system");
    if (!driver_->IsDevicePresentAndWorking(pd::kMonitorHardwareId, pd::kHidSetupClass)) {
      Console("No installed Idd driver.");
      bus_.reset();
      return kMonitorDeviceMissing;
    }
    LOG_INFO("open on win10 commom");
    if (OpenOnWin10Common() == kOpened) {
      close_action_ = &Impl::CloseOnWin10;
      return kOpened;
    }
    LOG_INFO("release handler");
    pipe_.reset();
    tcp_.reset();
    bus_.reset();
    Console("unknow error");
    return kFailed;
  }

  int OpenOnWin10Common() {
    LOG_INFO("open on win10 common");
    pd::PipeOpenResult opened = driver_->OpenControlPipe(pd::kControlPipeName);
    if (opened.status == pd::PipeOpenStatus::kOpened) {
      LOG_INFO("WriteFile");
      if (!opened.pipe->WriteByte(pd::kControlRequest)) {
        Console("Write pipe failed : " + std::to_string(opened.pipe->LastError()));
        return kFailed;
      }
      LOG_INFO("ReadFile");
      uint8_t answer = 0;
      const bool read = opened.pipe->ReadByte(&answer);
      LOG_INFO("ReadFile end");
      if (!read) {
        Console("Read pipe failed : " + std::to_string(opened.pipe->LastError()));
        return kFailed;
      }
      Console("Get pipe response.");
      if (answer != pd::kControlAccepted) {
        Console("Pipe control failed");
        return kFailed;
      }
      pipe_ = std::move(opened.pipe);
      return kOpened;
    }
    if (opened.status == pd::PipeOpenStatus::kAccessDenied) {
      Console("Have not permission to open pipe, and trying another method ...");
      LOG_INFO("try use tcp");
      return OpenOverTcp();
    }
    Console("Open pipe error : " + std::to_string(opened.error));
    return kFailed;
  }

  int OpenOverTcp() {
    auto link = std::make_unique<TcpControlLink>();
    error_code ec;
    link->socket.open(tcp::v4(), ec);
    if (ec) {
      Console("socket() called failed!, error code is " + std::to_string(ec.value()));
      return kFailed;
    }
    Console("create socket success");
    LOG_INFO("socket connect");
    const tcp::endpoint service(boost::asio::ip::make_address_v4(pd::kLoopbackControlAddress),
                                driver_->LoopbackControlPort());
    ec = link->Connect(service);
    if (ec) {
      Console("connect() called failed! The error code is " + std::to_string(ec.value()));
      return kFailed;
    }
    Console("connect() called successful");
    LOG_INFO("socket send");
    uint8_t byte = pd::kControlRequest;
    ec = link->Transfer(&byte, /*write=*/true);
    if (ec) {
      Console("send control error : " + std::to_string(ec.value()));
      return kFailed;
    }
    LOG_INFO("socket recv");
    ec = link->Transfer(&byte, /*write=*/false);
    if (ec) {
      Console("recv control error : " + std::to_string(ec.value()));
      return kFailed;
    }
    LOG_INFO("recv end");
    if (byte != pd::kControlAccepted) return kFailed;
    tcp_ = std::move(link);  // the open link keeps the monitor on
    return kOpened;
  }

  int CloseOnWin10() {
    pipe_.reset();
    tcp_.reset();
    opened_.exchange(false);
    return 0;
  }

  const std::shared_ptr<pd::VirtualDisplayDriver> driver_;
  std::mutex mutex_;
  std::atomic<bool> opened_{false};
  std::string helper_path_ = pd::kHelperExecutable;
  CloseAction close_action_ = nullptr;
  std::unique_ptr<pd::DeviceHandle> filter_;
  bool composition_was_on_ = false;
  std::unique_ptr<pd::DeviceHandle> bus_;
  std::unique_ptr<pd::ControlPipe> pipe_;
  std::unique_ptr<TcpControlLink> tcp_;
};

int VMonitor::WindowsClass(const std::optional<pd::NtVersion>& version,
                           const std::optional<std::string>& release_id) {
  if (!version) return 0;
  if (version->major == 6 && version->minor >= 1 && version->minor <= 3) return 1;
  if (version->major != 10) return 0;
  if (!release_id || release_id->empty() ||
      !std::all_of(release_id->begin(), release_id->end(),
                   [](unsigned char c) { return std::isdigit(c) != 0; })) {
    return 0;
  }
  if (release_id->size() > 9) return 3;  // far beyond 1607, and no overflow
  const long id = std::stol(*release_id);
  if (id < 1607) return 0;
  return id == 1607 ? 2 : 3;
}

std::array<uint8_t, 16> VMonitor::PlugInRecord() {
  std::array<uint8_t, 16> record{};
  PutLe32(0x00010004, record.data());
  record[4] = 0x5A;  // vendor id 0x2E5A
  record[5] = 0x2E;
  record[6] = 0x41;  // product id 0x0C41
  record[7] = 0x0C;
  PutLe32(0x01030399, record.data() + 8);
  PutLe32(0x01000003, record.data() + 12);
  return record;
}

std::vector<uint8_t> VMonitor::FilterInput(const std::string& matching_device_id) {
  std::vector<uint8_t> input(256, 0);
  const size_t chars = std::min(matching_device_id.size(), kMatchingIdChars);
  for (size_t i = 0; i < chars; ++i) {
    // The id is ASCII; UTF-16 little-endian is each character and a zero byte.
    input[2 * i] = static_cast<uint8_t>(std::toupper(static_cast<unsigned char>(matching_device_id[i])));
  }
  return input;
}

VMonitor::VMonitor(std::shared_ptr<pd::VirtualDisplayDriver> driver)
    : impl_(std::make_shared<Impl>(std::move(driver))) {}
VMonitor::~VMonitor() = default;

void VMonitor::SetHelperPath(const std::string& path) { impl_->SetHelperPath(path); }
int VMonitor::Open() { return impl_->Open(); }
int VMonitor::Close() { return impl_->Close(); }
bool VMonitor::IsOpened() const { return impl_->IsOpened(); }

}  // namespace VDevUtils
