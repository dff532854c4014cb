// The installer's command line: options, help text, usage errors.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Marlet {

// Written to standard output byte for byte, followed by CR LF, for "-h" or no argument.
// The text is fixed; the exit codes around it are (Installer.h):
//   0  help shown, or the run finished and its result list was written
//   1  usage error ("Usage: ..." on standard output); nothing installed or uninstalled
//   2  the run finished but the result file could not be written ("Unable to open file
//      for writing." on standard error); the fonts were processed, the results are lost
//   3  an unexpected failure stopped the program before it wrote results
extern const char *const kHelpText;

enum class Action { Help, Usage, Install, Uninstall, Repair };

struct Invocation {
    Action action = Action::Help;
    std::string usage;                    // Action::Usage: the whole message, "Usage: ..."
    std::string fontList;                 // Install/Uninstall: JSON text after unquoting (Repair: the findings)
    std::optional<std::string> listFile;  // the list was given as "@<file>": that file (ListFile.h)
    std::int32_t window = 0;              // "-w"; 0 when absent: no window messages
    std::optional<std::string> output;    // "-o": result file ("result.json" for an empty value)
};

// Turns every backslash-apostrophe pair into a double quote.
std::string unquote(const std::string &text);

// True when text is a base-10 integer in the signed 32-bit range (optional sign, digits only).
bool parseWindowHandle(const std::string &text, std::int32_t &value);

// Decides what a run does. args are the process arguments, program path first, as
// UTF-8. Empty arguments are dropped here, so an empty value after an option
// does not count as a value. A list value that begins with "@" names a list file: it
// is kept in listFile and fontList stays empty until loadListFile reads it.
Invocation parseCommandLine(const std::vector<std::string> &args);

}  // namespace Marlet
