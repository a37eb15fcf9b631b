#include "output.h"

#include <iostream>

namespace trellune::cli {

std::string PrintableText(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

void PrintWarning(std::ostream& out, const std::string& text) {
  out << "warning: " << PrintableText(text) << '\n';
}

void PrintWarning(std::ostream& out, const UserMessage& message) {
  PrintWarning(out, message.text);
}

int Fail(const std::string& text) {
  std::cerr << PrintableText(text) << '\n';
  return kFailure;
}

int UsageError(const std::string& text) {
  std::cerr << "trellune-cli: " << text << '\n';
  return kUsage;
}

}  // namespace trellune::cli
