// Arbitrary text as a profile file: whatever it holds, the document ends with a usable
// profile (a kind list ending in "Custom item", options the controls can show).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "profiles/profiles.h"

using namespace trellune;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MenuDocument doc;
  const std::vector<std::string> entries = {"Default", "x", "Create new..."};
  ProfileLoad load =
      ApplyProfileText(doc, "x", std::string(reinterpret_cast<const char*>(data), size), entries);
  const KindList& k = doc.Kinds;
  if (k.KnownKindCount < 1 || k.KnownKindCount > kBuiltinKindCount) std::abort();
  if (k.KindDisplayNames[k.KnownKindCount - 1] != kCustomItemName) std::abort();
  const FormatOptions& o = doc.Options;
  if (o.recordLength != 22 && o.recordLength != 36) std::abort();
  if (o.recordLength == 36 && (o.iconMarkerEnabled || o.c698pFixEnabled)) std::abort();
  if (load.messages.size() > 1 || (!load.messages.empty() && load.selectorIndex != 0u))
    std::abort();
  return 0;
}
