// Phones on the real USB bus, through libusb-1.0. The phone is found by its vendor id and by
// its interfaces: the command interface (vendor class 0xFF, subclass 0x03, protocol 0xFF)
// when it takes commands, a CDC modem interface when it is still a modem. Kernel drivers
// (cdc_acm) are detached while an interface is claimed.
#pragma once

#include "usb_transport.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

namespace trellune::phone::usb {

class LibusbTransport : public UsbTransport {
 public:
  LibusbTransport() = default;
  ~LibusbTransport() override;
  LibusbTransport(const LibusbTransport&) = delete;
  LibusbTransport& operator=(const LibusbTransport&) = delete;

  bool Start(std::string& why) override;
  PhoneMode Probe() override;
  std::optional<std::uint16_t> Open(std::string& why) override;
  void Close() override;
  int ControlOut(const ControlRequest& request, const std::uint8_t* data,
                 std::size_t size) override;
  int ControlIn(const ControlRequest& request, std::uint8_t* data, std::size_t size) override;
  bool SendModeSwitch(std::string& why) override;

 private:
  // The first phone in `mode` on the bus (referenced; the caller unrefs it), with the number
  // of the interface that makes it so.
  libusb_device* Find(PhoneMode mode, int& interfaceNumber);

  libusb_context* context_ = nullptr;
  libusb_device_handle* handle_ = nullptr;
  int claimed_ = -1;
};

}  // namespace trellune::phone::usb
