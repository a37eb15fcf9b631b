// Arbitrary bytes as a firmware image. The first two bytes shift the rest by up to 64 KiB of
// zeros, so that patterns land on the scan's block boundaries too. The image is scanned both
// through the streaming buffer and in place.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "profiles/firmware_scan.h"
#include "profiles/profiles.h"

using namespace trellune;

namespace {

class ShiftedSource : public ByteSource {
 public:
  ShiftedSource(const std::uint8_t* data, std::size_t size, std::size_t shift)
      : data_(data), size_(size), shift_(shift) {}
  std::uint64_t Size() const override { return shift_ + size_; }
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) override {
    if (offset >= Size()) return 0;
    const std::size_t got = std::size_t(std::min<std::uint64_t>(n, Size() - offset));
    for (std::size_t i = 0; i < got; ++i) {
      const std::uint64_t at = offset + i;
      out[i] = at < shift_ ? 0 : data_[at - shift_];
    }
    return got;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t shift_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  ShiftedSource image(data + 2, size - 2, std::size_t(data[0]) << 8 | data[1]);
  std::optional<FirmwareProfile> profile = ScanFirmware(image);
  // The same image in memory is scanned in place; both ways must give the same profile.
  std::vector<std::uint8_t> whole(image.Size());
  image.ReadAt(0, whole.data(), whole.size());
  MemorySource inPlace(whole.data(), whole.size());
  const std::optional<FirmwareProfile> direct = ScanFirmware(inPlace);
  if (direct.has_value() != profile.has_value() ||
      (profile && (direct->name != profile->name || direct->text != profile->text)))
    std::abort();
  if (!profile) return 0;
  if (profile->name.empty() || profile->name.find_first_of("/\\_") != std::string::npos)
    std::abort();
  if (profile->text.rfind("[mma_ucp format]\r\n", 0) != 0) std::abort();
  // The profile it made loads: a valid format line, and a kind list that ends with "Custom
  // item" whatever names the tables held.
  MenuDocument doc;
  const ProfileLoad load = ApplyProfileText(doc, profile->name, profile->text, {});
  const KindList& kinds = doc.Kinds;
  if (load.messages.size() > 1 || kinds.KnownKindCount < 1 || kinds.KnownKindCount > 147 ||
      kinds.KindNames[kinds.KnownKindCount - 1] != "Custom item")
    std::abort();
  for (const UserMessage& m : load.messages)
    if (m.text.rfind("Unsupported mma item(s) found and omitted: ", 0) != 0) std::abort();
  return 0;
}
