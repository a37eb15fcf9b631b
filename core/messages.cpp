#include "messages.h"

namespace trellune {

std::string ShortenForMessage(std::string_view text, std::size_t max) {
  if (text.size() <= max || max < 16) return std::string(text);
  // Keep both ends: the start says what it is, the end where it stops. Cut between bytes
  // that do not continue a UTF-8 character.
  std::size_t head = max / 2, tail = text.size() - (max - head - 3);
  while (head > 0 && (static_cast<unsigned char>(text[head]) & 0xC0) == 0x80) --head;
  while (tail < text.size() && (static_cast<unsigned char>(text[tail]) & 0xC0) == 0x80) ++tail;
  return std::string(text.substr(0, head)) + "..." + std::string(text.substr(tail));
}

}  // namespace trellune
