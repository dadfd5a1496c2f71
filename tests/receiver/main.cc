// The reference receiver as a stand-alone peer: listens on 127.0.0.1 at the given
// control port, answers the client's handshake, beats, prints what it receives, and
// runs until SIGINT or SIGTERM.
//
//   reference_receiver_main [port] [--uuid TEXT] [--offer CLIENT_ID:RECEIVER_ID[:CONTEXT]]...
//                           [--device-info] [--remote-input] [--touch X,Y]
//
// --device-info offers the device-info side and prints the client's offer. --remote-input
// offers the remote-input side; with --touch it asks the client to start injection once
// the service is launched and then sends one touch (down and up) at X,Y.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include <pthread.h>

#include "tests/receiver/device_info_side.h"
#include "tests/receiver/remote_input_side.h"
#include "tests/receiver/session_receiver.h"
#include "utils/logger.h"

namespace {

const char* const kLogTag = "RECEIVER::main";

const char* KindName(receiver::ReceiverEvent::Kind kind) {
  using Kind = receiver::ReceiverEvent::Kind;
  switch (kind) {
    case Kind::kAccepted:
      return "accepted";
    case Kind::kMessage:
      return "message";
    case Kind::kProtocolError:
      return "protocol error";
    case Kind::kClosedByPeer:
      return "closed by peer";
    case Kind::kClosedHere:
      return "closed here";
    case Kind::kHeartBeat:
      return "heart beat";
  }
  return "?";
}

int Usage(const char* argv0) {
  std::fprintf(stderr,
               "usage: %s [port] [--uuid TEXT] [--offer CLIENT_ID:RECEIVER_ID[:CONTEXT]]...\n"
               "          [--device-info] [--remote-input] [--touch X,Y]\n",
               argv0);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  receiver::SessionReceiver::Options options;
  std::vector<receiver::OfferedService> offers;
  bool device_info = false;
  bool remote_input = false;
  bool touch = false;
  int touch_x = 0;
  int touch_y = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--device-info") {
      device_info = true;
    } else if (arg == "--remote-input") {
      remote_input = true;
    } else if (arg == "--touch" && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%d,%d", &touch_x, &touch_y) != 2) return Usage(argv[0]);
      touch = true;
    } else if (arg == "--uuid" && i + 1 < argc) {
      options.uuid = argv[++i];
    } else if (arg == "--offer" && i + 1 < argc) {
      std::string spec = argv[++i];
      auto first = spec.find(':');
      if (first == std::string::npos) return Usage(argv[0]);
      auto second = spec.find(':', first + 1);
      receiver::OfferedService offer;
      offer.client_service_id = spec.substr(0, first);
      offer.receiver_service_id = spec.substr(
          first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
      offer.setup_context = second == std::string::npos ? "{}" : spec.substr(second + 1);
      offers.push_back(offer);
    } else if (!arg.empty() && arg[0] != '-') {
      char* end = nullptr;
      long port = std::strtol(arg.c_str(), &end, 10);
      if (*end != '\0' || port < 0 || port > 65535) return Usage(argv[0]);
      options.port = static_cast<uint16_t>(port);
    } else {
      return Usage(argv[0]);
    }
  }

  // The signals are taken by sigwait on the main thread; every other thread, the
  // receiver's io thread included, inherits the blocked mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  receiver::SessionReceiver receiver(options);
  for (auto& offer : offers) receiver.OfferService(offer);
  std::shared_ptr<receiver::DeviceInfoSide> info_side;
  if (device_info) {
    info_side = std::make_shared<receiver::DeviceInfoSide>(&receiver);
    receiver.OfferService(receiver::DeviceInfoSide::Offer(info_side));
  }
  std::shared_ptr<receiver::RemoteInputSide> input_side;
  if (remote_input) {
    input_side = std::make_shared<receiver::RemoteInputSide>(&receiver,
                                                             receiver::RemoteInputSide::Options{});
    receiver.OfferService(receiver::RemoteInputSide::Offer(input_side));
  }
  uint64_t beats = 0;
  receiver.SetEventObserver([&beats](const receiver::ReceiverEvent& event) {
    // Heart beats come four times a second; print the first few and then every 40th.
    if (event.kind == receiver::ReceiverEvent::Kind::kHeartBeat && ++beats > 5 && beats % 40 != 0)
      return;
    std::printf("[%d] %s: %s\n", event.connection, KindName(event.kind), event.text.c_str());
    std::fflush(stdout);
  });
  if (!receiver.Start()) {
    std::fprintf(stderr, "cannot listen on 127.0.0.1:%u\n", options.port);
    return 1;
  }
  std::printf("reference receiver on 127.0.0.1:%u, heart beat port %u, uuid %s\n",
              receiver.Port(), receiver.HeartBeatPort(), options.uuid.c_str());
  std::fflush(stdout);
  LOG_INFO("Reference receiver runs on port {}", receiver.Port());

  // Between signals, the scripted steps: print the client's offer, start input, touch.
  bool offer_printed = false;
  bool start_requested = false;
  bool touched = false;
  int signal = 0;
  const timespec step = {0, 100 * 1000 * 1000};
  for (;;) {
    signal = sigtimedwait(&signals, nullptr, &step);
    if (signal > 0) break;
    if (info_side && !offer_printed) {
      if (auto offer = info_side->ClientOfferText()) {
        std::printf("client's device info: %s\n", offer->c_str());
        for (const auto& fault : info_side->Faults()) std::printf("  fault: %s\n", fault.c_str());
        std::fflush(stdout);
        offer_printed = true;
      }
    }
    if (input_side && touch && !start_requested && input_side->DataPort()) {
      std::printf("client's data port %u, asking it to start input\n", *input_side->DataPort());
      std::fflush(stdout);
      start_requested = input_side->RequestStart();
    }
    if (input_side && start_requested && !touched &&
        input_side->WaitForControl(100, std::chrono::milliseconds(0))) {
      using receiver::wire::TouchFrame;
      const auto now = static_cast<uint32_t>(std::time(nullptr));
      const bool down = input_side->SendInputEvents(TouchFrame({{0, 1, touch_x, touch_y}}, now));
      const bool up = input_side->SendInputEvents(TouchFrame({{0, -1, 0, 0}}, now, 50000));
      std::printf("touch at %d,%d sent: %s\n", touch_x, touch_y, down && up ? "yes" : "no");
      std::fflush(stdout);
      touched = true;
    }
  }
  std::printf("signal %d, stopping\n", signal);
  receiver.Stop();
  return 0;
}
