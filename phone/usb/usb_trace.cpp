#include "usb_trace.h"

#include <cstdio>
#include <stdexcept>

namespace trellune::phone::usb {
namespace {

const char* ModeName(PhoneMode mode) {
  switch (mode) {
    case PhoneMode::Command:
      return "command";
    case PhoneMode::Modem:
      return "modem";
    default:
      return "absent";
  }
}

}  // namespace

TracingTransport::TracingTransport(std::unique_ptr<UsbTransport> inner, const std::string& path)
    : inner_(std::move(inner)), out_(path, std::ios::trunc) {
  if (!out_) throw std::runtime_error("Cannot write the USB trace " + path);
  Line() << "TRACE trellune USB exchanges\n";
}

std::ostream& TracingTransport::Line() {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "+%.6f ", seconds);
  return out_ << stamp;
}

bool TracingTransport::Start(std::string& why) {
  const bool ok = inner_->Start(why);
  Line() << "START " << (ok ? "ok" : "failed: " + why) << '\n';
  out_.flush();
  return ok;
}

PhoneMode TracingTransport::Probe() {
  const PhoneMode mode = inner_->Probe();
  // Probes come every half second: only changes are worth a line.
  if (!probed_ || mode != lastProbe_) {
    Line() << "PROBE " << ModeName(mode) << '\n';
    out_.flush();
  }
  probed_ = true;
  lastProbe_ = mode;
  return mode;
}

std::optional<std::uint16_t> TracingTransport::Open(std::string& why) {
  const std::optional<std::uint16_t> number = inner_->Open(why);
  if (number)
    Line() << "OPEN interface " << *number << '\n';
  else
    Line() << "OPEN failed: " << why << '\n';
  out_.flush();
  return number;
}

void TracingTransport::Close() {
  inner_->Close();
  Line() << "CLOSE\n";
  out_.flush();
}

void TracingTransport::Transfer(const char* direction, const ControlRequest& r, std::size_t asked,
                                int moved, const std::uint8_t* data, std::size_t shown) {
  char head[80];
  std::snprintf(head, sizeof head, "%s %02X %02X %04X %04X len=%zu ", direction, r.requestType,
                r.request, r.value, r.index, asked);
  Line() << head;
  if (moved < 0) {
    out_ << "failed\n";
  } else {
    out_ << "ok=" << moved << " |";
    for (std::size_t i = 0; i < shown; ++i) {
      char hex[4];
      std::snprintf(hex, sizeof hex, " %02X", data[i]);
      out_ << hex;
    }
    out_ << '\n';
  }
  out_.flush();
}

int TracingTransport::ControlOut(const ControlRequest& r, const std::uint8_t* data,
                                 std::size_t size) {
  const int moved = inner_->ControlOut(r, data, size);
  Transfer("OUT", r, size, moved, data, size);
  return moved;
}

int TracingTransport::ControlIn(const ControlRequest& r, std::uint8_t* data, std::size_t size) {
  const int moved = inner_->ControlIn(r, data, size);
  // An empty poll (two zero bytes) comes hundreds of times while the phone works: kept short.
  Transfer("IN ", r, size, moved, data, moved > 0 ? std::size_t(moved) : 0);
  return moved;
}

bool TracingTransport::SendModeSwitch(std::string& why) {
  const bool ok = inner_->SendModeSwitch(why);
  Line() << "MODE-SWITCH " << (ok ? "sent" : "failed: " + why) << '\n';
  out_.flush();
  return ok;
}

}  // namespace trellune::phone::usb
