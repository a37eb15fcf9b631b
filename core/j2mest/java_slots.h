// The phone's list of installed MIDlets (J2MEST): 31 slots of a size that depends on the
// phone's software, of which the first 30 are read. Each slot holds the MIDlet's name, vendor
// and "MIDlet-1" value as 8-bit strings at fixed offsets.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "messages.h"

namespace trellune {

struct TJavaSlot {
  std::string SlotName;
  std::string SlotVendor;
  std::string SlotMidlet1;
  std::uint8_t SlotFlag = 0;  // bit 0 of the slot's first byte, in the 708, 1104 and 1112 layouts

  bool operator==(const TJavaSlot&) const = default;
};

constexpr std::size_t kJavaSlotCount = 30;
using JavaSlots = std::array<std::optional<TJavaSlot>, kJavaSlotCount>;

struct JavaSlotsLoad {
  bool supported = false;              // MidletListLoaded
  JavaSlots slots;                     // entry i from slot i; empty slots stay empty
  std::optional<UserMessage> message;  // "Unsupported J2MEST format"
};

// The slot size of a J2MEST of `fileSize` bytes (size / 31, without wrapping), or nullopt
// when it is not one of the known layouts.
std::optional<std::size_t> JavaSlotSize(std::uint64_t fileSize);

JavaSlotsLoad ParseJavaSlots(std::span<const std::uint8_t> bytes);

// Parses a local copy; FileError when it cannot be read.
JavaSlotsLoad LoadJavaSlots(const std::filesystem::path& path);

}  // namespace trellune
