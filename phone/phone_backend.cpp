#include "phone_backend.h"

#include <cstdlib>

#include "libusb_transport.h"
#include "simulated_device.h"
#include "usb_phone.h"
#include "usb_trace.h"
#include "virtual_phone.h"

namespace trellune::phone {

bool IsUsbChoice(const std::string& phone) {
  return phone.empty() || phone == kUsbPhone;
}

std::unique_ptr<P2kApi> MakePhoneBackend(const PhoneChoice& choice, Sleeper& sleeper) {
  if (!IsUsbChoice(choice.phone)) return std::make_unique<VirtualPhone>(choice.phone);
  std::unique_ptr<usb::UsbTransport> transport;
  const char* simulated = std::getenv("TRELLUNE_USB_SIMULATE");
  if (simulated && *simulated)
    transport = std::make_unique<usb::SimulatedPhoneDevice>(simulated);
  else
    transport = std::make_unique<usb::LibusbTransport>();
  if (!choice.usbTrace.empty())
    transport = std::make_unique<usb::TracingTransport>(std::move(transport), choice.usbTrace);
  return std::make_unique<usb::UsbPhone>(std::move(transport), sleeper);
}

}  // namespace trellune::phone
