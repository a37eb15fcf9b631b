#include "libusb_transport.h"

#include <libusb.h>

#include <cstring>
#include <string>
#include <vector>

namespace trellune::phone::usb {
namespace {

constexpr unsigned kTimeoutMs = 2000;
constexpr std::uint8_t kCdcCommunicationClass = 0x02;
constexpr std::uint8_t kCdcAcmSubclass = 0x02;
constexpr std::uint8_t kCdcDataClass = 0x0A;
constexpr char kModeSwitch[] = "AT+MODE=8\r\n";

std::string Explain(int error) {
  switch (error) {
    case LIBUSB_ERROR_ACCESS:
      return "permission denied (install the udev rule: see docs/usb.md)";
    case LIBUSB_ERROR_BUSY:
      return "the phone is in use by another program";
    case LIBUSB_ERROR_NO_DEVICE:
      return "the phone was disconnected";
    default:
      return libusb_strerror(libusb_error(error));
  }
}

bool IsCommandInterface(const libusb_interface_descriptor& d) {
  return d.bInterfaceClass == kCommandClass && d.bInterfaceSubClass == kCommandSubclass &&
         d.bInterfaceProtocol == kCommandProtocol;
}

bool IsModemInterface(const libusb_interface_descriptor& d) {
  return d.bInterfaceClass == kCdcCommunicationClass && d.bInterfaceSubClass == kCdcAcmSubclass;
}

// Calls `visit` with each interface setting of the device's active configuration.
template <typename Visit>
void ForEachInterface(libusb_device* device, Visit visit) {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != 0 || !config) return;
  for (int i = 0; i < config->bNumInterfaces; ++i)
    for (int a = 0; a < config->interface[i].num_altsetting; ++a)
      visit(config->interface[i].altsetting[a]);
  libusb_free_config_descriptor(config);
}

}  // namespace

LibusbTransport::~LibusbTransport() {
  Close();
  if (context_) libusb_exit(context_);
}

bool LibusbTransport::Start(std::string& why) {
  if (context_) return true;
  const int r = libusb_init(&context_);
  if (r != 0) {
    context_ = nullptr;
    why = "USB cannot be used: " + Explain(r);
    return false;
  }
  return true;
}

libusb_device* LibusbTransport::Find(PhoneMode mode, int& interfaceNumber) {
  libusb_device** list = nullptr;
  const ssize_t n = libusb_get_device_list(context_, &list);
  libusb_device* found = nullptr;
  for (ssize_t i = 0; i < n && !found; ++i) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(list[i], &descriptor) != 0 ||
        descriptor.idVendor != kPhoneVendorId)
      continue;
    ForEachInterface(list[i], [&](const libusb_interface_descriptor& d) {
      if (found) return;
      if (mode == PhoneMode::Command ? IsCommandInterface(d) : IsModemInterface(d)) {
        found = libusb_ref_device(list[i]);
        interfaceNumber = d.bInterfaceNumber;
      }
    });
  }
  if (list) libusb_free_device_list(list, 1);
  return found;
}

PhoneMode LibusbTransport::Probe() {
  if (!context_) return PhoneMode::Absent;
  int number = -1;
  for (PhoneMode mode : {PhoneMode::Command, PhoneMode::Modem}) {
    if (libusb_device* device = Find(mode, number)) {
      libusb_unref_device(device);
      return mode;
    }
  }
  return PhoneMode::Absent;
}

std::optional<std::uint16_t> LibusbTransport::Open(std::string& why) {
  Close();
  if (!context_) {
    why = "USB is not started";
    return std::nullopt;
  }
  int number = -1;
  libusb_device* device = Find(PhoneMode::Command, number);
  if (!device) {
    why = "no phone in command mode is connected";
    return std::nullopt;
  }
  int r = libusb_open(device, &handle_);
  libusb_unref_device(device);
  if (r != 0) {
    handle_ = nullptr;
    why = "cannot open the phone: " + Explain(r);
    return std::nullopt;
  }
  libusb_set_auto_detach_kernel_driver(handle_, 1);
  r = libusb_claim_interface(handle_, number);
  if (r != 0) {
    why = "cannot claim the phone's command interface: " + Explain(r);
    libusb_close(handle_);
    handle_ = nullptr;
    return std::nullopt;
  }
  claimed_ = number;
  return std::uint16_t(number);
}

void LibusbTransport::Close() {
  if (!handle_) return;
  if (claimed_ >= 0) libusb_release_interface(handle_, claimed_);
  libusb_close(handle_);
  handle_ = nullptr;
  claimed_ = -1;
}

int LibusbTransport::ControlOut(const ControlRequest& r, const std::uint8_t* data,
                                std::size_t size) {
  if (!handle_ || size > 0xFFFF) return -1;
  const int n = libusb_control_transfer(handle_, r.requestType, r.request, r.value, r.index,
                                        const_cast<std::uint8_t*>(data), std::uint16_t(size),
                                        kTimeoutMs);
  return n < 0 ? -1 : n;
}

int LibusbTransport::ControlIn(const ControlRequest& r, std::uint8_t* data, std::size_t size) {
  if (!handle_ || size > 0xFFFF) return -1;
  const int n = libusb_control_transfer(handle_, r.requestType, r.request, r.value, r.index,
                                        data, std::uint16_t(size), kTimeoutMs);
  return n < 0 ? -1 : n;
}

bool LibusbTransport::SendModeSwitch(std::string& why) {
  if (!context_) {
    why = "USB is not started";
    return false;
  }
  int modem = -1;
  libusb_device* device = Find(PhoneMode::Modem, modem);
  if (!device) {
    why = "no phone in modem mode is connected";
    return false;
  }
  // The modem's data interface carries the AT command on its bulk OUT endpoint.
  int dataInterface = -1;
  unsigned char endpoint = 0;
  ForEachInterface(device, [&](const libusb_interface_descriptor& d) {
    if (dataInterface >= 0 || d.bInterfaceClass != kCdcDataClass) return;
    for (int e = 0; e < d.bNumEndpoints; ++e) {
      const libusb_endpoint_descriptor& ep = d.endpoint[e];
      if ((ep.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_OUT &&
          (ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) == LIBUSB_TRANSFER_TYPE_BULK) {
        dataInterface = d.bInterfaceNumber;
        endpoint = ep.bEndpointAddress;
        return;
      }
    }
  });
  libusb_device_handle* handle = nullptr;
  int r = dataInterface < 0 ? LIBUSB_ERROR_NOT_FOUND : libusb_open(device, &handle);
  libusb_unref_device(device);
  if (r != 0) {
    why = dataInterface < 0 ? "the modem has no data interface" : Explain(r);
    return false;
  }
  libusb_set_auto_detach_kernel_driver(handle, 1);
  bool sent = false;
  if ((r = libusb_claim_interface(handle, modem)) == 0) {
    // DTR and RTS on, as a terminal would, so the modem listens.
    libusb_control_transfer(handle, 0x21, 0x22, 0x0003, std::uint16_t(modem), nullptr, 0,
                            kTimeoutMs);
    if ((r = libusb_claim_interface(handle, dataInterface)) == 0) {
      int moved = 0;
      r = libusb_bulk_transfer(handle, endpoint,
                               reinterpret_cast<unsigned char*>(const_cast<char*>(kModeSwitch)),
                               int(std::strlen(kModeSwitch)), &moved, kTimeoutMs);
      sent = r == 0 && moved == int(std::strlen(kModeSwitch));
      libusb_release_interface(handle, dataInterface);
    }
    libusb_release_interface(handle, modem);
  }
  libusb_close(handle);
  if (!sent) why = Explain(r);
  return sent;
}

}  // namespace trellune::phone::usb
