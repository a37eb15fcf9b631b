// A message for the user, as data: the window shows it in a message box, the command line
// prints it. Texts are the program's fixed English texts.
#pragma once

#include <string>
#include <string_view>

namespace trellune {

enum class MessageIcon { None, Information, Warning, Error, Question };

struct UserMessage {
  std::string text;
  std::string caption;
  MessageIcon icon = MessageIcon::None;

  bool operator==(const UserMessage&) const = default;
};

// Text from a file, shortened to at most about `max` characters for a message: a 10 MB line
// of a profile must not become a 10 MB message box.
std::string ShortenForMessage(std::string_view text, std::size_t max = 200);

}  // namespace trellune
