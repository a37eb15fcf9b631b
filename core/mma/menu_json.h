// The JSON form of a menu: readable (kind names, node texts, titles as text, frames decoded by
// type) and lossless (a menu read from a file, exported and imported, writes the same bytes).
// docs/menu-json.md describes it.
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string_view>

#include "mma/menu_document.h"

namespace trellune {

using Json = nlohmann::ordered_json;

// The JSON does not describe a menu; what() says where and why.
class MenuJsonError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// No menu comes near this size; a larger input is refused before it is parsed.
constexpr std::size_t kMaxMenuJsonBytes = 16u << 20;

// Parses the text of a JSON menu. MenuJsonError when it is larger than kMaxMenuJsonBytes,
// is not JSON (the message gives the line and column), or gives a key twice in one object.
Json ParseMenuJson(std::string_view text);

// The menu as JSON. Item types are those the file gets with the document's "Save all data".
Json MenuToJson(const MenuDocument& doc);

// Replaces doc's tree and data with the menu of the JSON and takes its save options and
// custom counter. Node texts are derived from the names with doc's kind list. On error
// (MenuJsonError) doc is left exactly as it was.
void MenuFromJson(const Json& json, MenuDocument& doc);

}  // namespace trellune
