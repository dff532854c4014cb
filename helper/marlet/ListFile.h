// The font list read from a file: "-i @<file>" or "-u @<file>" names a UTF-8 file that
// holds the list, so a list of any length fits one run.
#pragma once

#include "CommandLine.h"

#include <string>

namespace Marlet {

// Reads the whole file (UTF-8 path, opened by its UTF-16 name) into text; false when it
// cannot be opened or read, when the opened file is not the path given (a link on the way, or a
// file with more than one link), or when the user who started the run may not read it.
bool readListFile(const std::string &path, std::string &text);

// For a list given as "@<file>": reads the file and sets fontList to its text, unquoted
// like the command-line text (the JSON parser skips a UTF-8 byte order mark). A file that cannot be
// read leaves the list empty and writes one line naming the file to standard error.
void loadListFile(Invocation &invocation);

}  // namespace Marlet
