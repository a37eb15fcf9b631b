// Choosing the phone backend from what the user named: "usb" for a phone on the USB cable,
// anything else for a virtual phone's folder.
#pragma once

#include <memory>
#include <string>

#include "p2k_api.h"

namespace trellune::phone {

inline constexpr const char* kUsbPhone = "usb";

struct PhoneChoice {
  std::string phone;     // "usb" or a folder; empty: USB
  std::string usbTrace;  // a file every USB exchange is written to; empty: none
};

// The backend for `choice`. The USB backend waits between reply polls with `sleeper`, which
// must outlive it. With TRELLUNE_USB_SIMULATE=DIR set, "usb" talks to a simulated phone
// answering from the phone folder DIR instead of the bus. Throws std::runtime_error when the
// trace file cannot be written.
std::unique_ptr<P2kApi> MakePhoneBackend(const PhoneChoice& choice, Sleeper& sleeper);

bool IsUsbChoice(const std::string& phone);

}  // namespace trellune::phone
