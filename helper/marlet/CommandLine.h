// The installer's command line: options, help text, usage errors.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Marlet {

// Written to standard output, followed by a line end, for "-h" or no argument.
extern const char *const kHelpText;

enum class Action { Help, Usage, Install, Uninstall };

struct Invocation {
    Action action = Action::Help;
    std::string usage;                  // Action::Usage: the whole message, "Usage: ..."
    std::string fontList;               // Install/Uninstall: JSON text after unquoting
    std::int32_t window = 0;            // "-w"; 0 when absent: no window messages
    std::optional<std::string> output;  // "-o": result file ("result.json" for an empty value)
};

// Turns every backslash-apostrophe pair into a double quote.
std::string unquote(const std::string &text);

// True when text is a base-10 integer in the signed 32-bit range (optional sign, digits only).
bool parseWindowHandle(const std::string &text, std::int32_t &value);

// Decides what a run does. args are the process arguments, program path first, as
// UTF-8. Empty arguments are dropped here, so an empty value after an option
// does not count as a value.
Invocation parseCommandLine(const std::vector<std::string> &args);

}  // namespace Marlet
