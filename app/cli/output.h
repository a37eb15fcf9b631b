// How the command line reports: messages in the window's words, warnings as "warning: TEXT",
// the CR LF inside a message as a newline.
#pragma once

#include <iosfwd>
#include <string>

#include "messages.h"

namespace trellune::cli {

enum ExitCode { kSuccess = 0, kFailure = 1, kUsage = 2 };

std::string PrintableText(const std::string& text);
void PrintWarning(std::ostream& out, const UserMessage& message);
void PrintWarning(std::ostream& out, const std::string& text);
int Fail(const std::string& text);        // message to stderr, returns kFailure
int UsageError(const std::string& text);  // message to stderr, returns kUsage

}  // namespace trellune::cli
