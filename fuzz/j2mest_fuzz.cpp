// Arbitrary bytes as a J2MEST copy.
#include <cstdint>
#include <cstdlib>

#include "j2mest/java_slots.h"

using namespace trellune;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  JavaSlotsLoad load = ParseJavaSlots({data, size});
  if (load.supported == load.message.has_value()) std::abort();
  for (const auto& slot : load.slots) {
    if (!slot) continue;
    if (!load.supported || slot->SlotName.empty() || slot->SlotName.size() > 33 ||
        slot->SlotFlag > 1)
      std::abort();
  }
  return 0;
}
