// Bytes shaped into J2MEST copies of the sizes the format accepts, so that mutations reach the
// slot parser: byte 0 picks the slot size, byte 1 the bytes past the 31 slots (0..30) and, in
// its high bit, whether the rest is repeated over every slot or fills the start of the file.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "j2mest/java_slots.h"

using namespace trellune;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  constexpr std::array<std::size_t, 6> kSizes = {652, 660, 708, 712, 1104, 1112};
  const std::size_t slot = kSizes[data[0] % kSizes.size()];
  const bool repeat = data[1] & 0x80;
  std::vector<std::uint8_t> file(31 * slot + (data[1] & 0x7F) % 31, 0);
  const std::uint8_t* rest = data + 2;
  const std::size_t restSize = size - 2;
  if (restSize && repeat)
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = rest[i % restSize];
  else
    std::copy_n(rest, std::min(restSize, file.size()), file.begin());

  JavaSlotsLoad load = ParseJavaSlots(file);
  if (!load.supported || load.message) std::abort();
  for (const auto& s : load.slots) {
    if (!s) continue;
    // Each text ends at its NUL or where the next field begins.
    if (s->SlotName.empty() || s->SlotName.size() > 33 || s->SlotVendor.size() > 119 ||
        s->SlotMidlet1.size() > slot || s->SlotFlag > 1)
      std::abort();
    for (const std::string* text : {&s->SlotName, &s->SlotVendor, &s->SlotMidlet1})
      if (text->find('\0') != std::string::npos) std::abort();
  }
  return 0;
}
