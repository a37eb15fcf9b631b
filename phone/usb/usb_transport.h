// The USB side of a phone, as the protocol layer needs it: what is plugged in, and control
// transfers on endpoint 0 to the phone's command interface. The libusb implementation talks
// to real devices; the simulated device answers from a phone folder for the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace trellune::phone::usb {

constexpr std::uint16_t kPhoneVendorId = 0x22B8;
// The command interface: vendor class 0xFF, subclass 0x03, protocol 0xFF; its interface
// string ends in "Test Command".
constexpr std::uint8_t kCommandClass = 0xFF;
constexpr std::uint8_t kCommandSubclass = 0x03;
constexpr std::uint8_t kCommandProtocol = 0xFF;

// What a phone on the cable is doing: absent, a modem (it has to be switched before it takes
// commands), or ready for commands.
enum class PhoneMode { Absent, Modem, Command };

struct ControlRequest {
  std::uint8_t requestType = 0;  // bmRequestType
  std::uint8_t request = 0;      // bRequest
  std::uint16_t value = 0;       // wValue
  std::uint16_t index = 0;       // wIndex: the command interface's number
};

class UsbTransport {
 public:
  virtual ~UsbTransport() = default;

  // Makes USB usable (once); false, with the reason, when it is not.
  virtual bool Start(std::string& why) = 0;
  // What is plugged in now. Called every half second: device arrival and departure.
  virtual PhoneMode Probe() = 0;
  // Opens and claims the command interface of the phone in command mode; its interface
  // number, or nullopt with the reason.
  virtual std::optional<std::uint16_t> Open(std::string& why) = 0;
  virtual void Close() = 0;
  // The bytes moved, or -1 when the transfer failed (a stall, a time-out, the device gone).
  virtual int ControlOut(const ControlRequest& request, const std::uint8_t* data,
                         std::size_t size) = 0;
  virtual int ControlIn(const ControlRequest& request, std::uint8_t* data, std::size_t size) = 0;
  // Sends "AT+MODE=8" and CR LF to a phone in modem mode, which then leaves and comes back
  // with its command interface; false with the reason.
  virtual bool SendModeSwitch(std::string& why) = 0;
};

}  // namespace trellune::phone::usb
