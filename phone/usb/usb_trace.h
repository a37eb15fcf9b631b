// Writes every exchange with the phone to a file, so that a problem report carries what the
// phone said. One line per event:
//   +0.123456 OUT 41 02 0000 0008 len=16 ok=16 | 00 01 00 4A ...
//   +0.124001 IN  C1 00 0000 0008 len=8 ok=8 | 00 01 00 0E ...
//   +0.125000 PROBE command
// (seconds since the trace began; the request fields bmRequestType, bRequest, wValue,
// wIndex; the length asked for and the bytes moved, or "failed").
#pragma once

#include <chrono>
#include <fstream>
#include <memory>

#include "usb_transport.h"

namespace trellune::phone::usb {

class TracingTransport : public UsbTransport {
 public:
  // Throws std::runtime_error when the file cannot be written.
  TracingTransport(std::unique_ptr<UsbTransport> inner, const std::string& path);

  bool Start(std::string& why) override;
  PhoneMode Probe() override;
  std::optional<std::uint16_t> Open(std::string& why) override;
  void Close() override;
  int ControlOut(const ControlRequest& request, const std::uint8_t* data,
                 std::size_t size) override;
  int ControlIn(const ControlRequest& request, std::uint8_t* data, std::size_t size) override;
  bool SendModeSwitch(std::string& why) override;

 private:
  std::ostream& Line();
  void Transfer(const char* direction, const ControlRequest& r, std::size_t asked, int moved,
                const std::uint8_t* data, std::size_t shown);

  std::unique_ptr<UsbTransport> inner_;
  std::ofstream out_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  PhoneMode lastProbe_ = PhoneMode::Absent;
  bool probed_ = false;
};

}  // namespace trellune::phone::usb
