// Arbitrary bytes as what a phone answers on USB: the reply decoder on its own, then the
// USB backend's operations over a transport whose every IN transfer takes its length and
// bytes from the input after its first byte (an exhausted input is a phone that is gone).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "usb_phone.h"

using namespace trellune::phone;
using namespace trellune::phone::usb;

namespace {

class ScriptedTransport : public UsbTransport {
 public:
  ScriptedTransport(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Start(std::string&) override { return true; }
  PhoneMode Probe() override { return PhoneMode::Command; }
  std::optional<std::uint16_t> Open(std::string&) override { return 8; }
  void Close() override {}
  int ControlOut(const ControlRequest&, const std::uint8_t*, std::size_t size) override {
    return at_ < size_ ? int(size) : -1;
  }
  int ControlIn(const ControlRequest&, std::uint8_t* out, std::size_t size) override {
    if (at_ >= size_) return -1;
    // Two bytes of length, then that many bytes of the input (as many as are left).
    std::size_t n = data_[at_++];
    if (at_ < size_) n = n << 8 | data_[at_++];
    n = std::min({n % (size + 1), size, size_ - at_});
    std::memcpy(out, data_ + at_, n);
    at_ += n;
    return int(n);
  }
  bool SendModeSwitch(std::string&) override { return false; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

class NoSleep : public Sleeper {
 public:
  void Sleep(int) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::string why;
  if (auto reply = DecodeReply({data + 1, size - 1}, data[0], why))
    if (reply->payload.size() > size) std::abort();

  NoSleep sleeper;
  UsbPhone phone(std::make_unique<ScriptedTransport>(data + 1, size - 1), sleeper);
  if (phone.P2K_Init(nullptr) != 0) std::abort();
  phone.Poll();
  std::vector<std::uint8_t> buffer(kMaxTransfer + 1);
  const int seem = phone.Seem_Read(0x0117, 1, 0, 0, buffer.data());
  if (seem > int(kSeemBufferSize)) std::abort();
  std::uint8_t volumes[kVolInfoBufferSize];
  phone.File_VolInfo(volumes, int(sizeof volumes));
  const int count = phone.File_CountEx("/a/*");
  if (count > 0) {
    std::vector<P2kFileEntry> list(std::size_t(std::min(count, 64)));
    phone.File_ListEx(list.data(), int(list.size()), nullptr);
    for (const P2kFileEntry& e : list)
      if (e.Path().size() >= sizeof e.FilePath) std::abort();
  }
  if (phone.File_Create("/a/mobile/system/mma_ucp", 0) == 0) {
    const int got = phone.File_Read(buffer.data(), kMaxTransfer, 0);
    if (got > kMaxTransfer) std::abort();
    phone.File_Close();
  }
  return 0;
}
