// A message for the user, as data: the window shows it in a message box, the command line
// prints it. Texts are the program's fixed English texts.
#pragma once

#include <string>

namespace trellune {

enum class MessageIcon { None, Information, Warning, Error, Question };

struct UserMessage {
  std::string text;
  std::string caption;
  MessageIcon icon = MessageIcon::None;

  bool operator==(const UserMessage&) const = default;
};

}  // namespace trellune
