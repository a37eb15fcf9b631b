// Small hand-made mma_ucp files for tests: the bytes are built record by record so a test
// shows exactly what it feeds the reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace trellune::test {

using Bytes = std::vector<std::uint8_t>;

// "00 01 ff" -> bytes; blanks are ignored.
Bytes Hex(const std::string& hex);
std::string ToHex(const Bytes& bytes);

struct Rec {
  std::uint8_t type = 0;
  std::uint8_t parent = 9;
  std::uint8_t next = 255;
  std::uint8_t child = 255;
  std::uint8_t flags = 0;
  std::uint8_t attrs = 0x41;
  std::string name;
  std::uint16_t offset = 0;
  std::uint16_t length = 0;
};

// One record of `recordLength` bytes; group is written only in 36-byte records.
Bytes Record(int recordLength, const Rec& r, std::uint8_t group);

// A whole file: header (byte 1 = byte1, N = 10 + main records), root, container, the seven
// default softkeys, the main menu root, the given main records, then `data`.
Bytes MenuFile(int recordLength, const std::vector<Rec>& mainItems, const Bytes& data = {},
               std::uint8_t byte1 = 0x01);

// A data frame: type, big-endian length, payload.
Bytes Frame(std::uint8_t type, const Bytes& payload);

Bytes Cat(std::initializer_list<Bytes> parts);

}  // namespace trellune::test
