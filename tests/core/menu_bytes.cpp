#include "core/menu_bytes.h"

#include <cctype>
#include <cstdio>

namespace trellune::test {

Bytes Hex(const std::string& hex) {
  Bytes out;
  std::string digits;
  for (char c : hex)
    if (std::isxdigit(static_cast<unsigned char>(c))) digits.push_back(c);
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
    out.push_back(std::uint8_t(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return out;
}

std::string ToHex(const Bytes& bytes) {
  std::string out;
  char buf[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
    if (i) out.push_back(' ');
    out += buf;
  }
  return out;
}

Bytes Record(int rl, const Rec& r, std::uint8_t group) {
  Bytes b = {r.type, r.parent, r.next, r.child, r.flags, r.attrs};
  const int width = rl == 36 ? 25 : 12;
  for (int i = 0; i < width; ++i) b.push_back(i < int(r.name.size()) ? std::uint8_t(r.name[i]) : 0);
  if (rl == 36) b.push_back(group);
  b.push_back(std::uint8_t(r.offset >> 8));
  b.push_back(std::uint8_t(r.offset));
  b.push_back(std::uint8_t(r.length >> 8));
  b.push_back(std::uint8_t(r.length));
  return b;
}

Bytes MenuFile(int rl, const std::vector<Rec>& mainItems, const Bytes& data, std::uint8_t byte1) {
  const std::size_t n = 10 + mainItems.size();
  Bytes b = {0x00, byte1, std::uint8_t(n), 0x01, 0xFF, 0xFF};
  if (rl == 36)
    b.insert(b.end(), {0x15, 0x02});
  else
    b.insert(b.end(), {0xFF, 0xFF});
  b.insert(b.end(), {0xFF, 0xFF});
  auto add = [&](const Rec& r, std::uint8_t group) {
    Bytes rec = Record(rl, r, group);
    b.insert(b.end(), rec.begin(), rec.end());
  };
  add({1, 0xFF, 0xFF, 1, 0, 0, "Root"}, 0xCC);
  add({1, 1, 2, 255, 0, 0, "Container"}, 0xCC);
  const char* keys[] = {"PhoneBook",  "Message",     "RecentCall", "Mutilmedia",
                        "AlarmClock", "MMRingStyle", "VoiceRecord"};
  for (const char* k : keys) add({0, 255, 255, 255, 0, 0x41, k}, 0xCC);
  add({1, 255, 255, mainItems.empty() ? std::uint8_t(255) : std::uint8_t(10), 0, 0, "MenuRoot"},
      0xCD);
  for (const Rec& r : mainItems) add(r, 0xCD);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Bytes Frame(std::uint8_t type, const Bytes& payload) {
  Bytes b = {type, std::uint8_t(payload.size() >> 8), std::uint8_t(payload.size())};
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace trellune::test
