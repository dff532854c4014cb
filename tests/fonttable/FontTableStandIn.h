// A stand-in for the session's font table, linked into the font-table test program only
// (tests/ctest.d/fonttable.cmake) in place of the installation core's addFontResource and
// removeFontResource. It keeps the two rules of GDI's table that Wine 8 does not: loads count
// (each add counts one, each remove takes one away and fails at 0), and a file whose count is
// above 0 is held open with read sharing only, so that no one can open it for deletion, write or
// replace it. Every add also goes to the platform's table, so a file the platform refuses is
// refused here too, and every counted remove goes there as well.
#pragma once

#include <string>

namespace fonttable {

// The loads of the file at path that the table counts now (0 when none); any spelling of the path
// that makes the same full path counts for the same file, in any letter case.
int loads(const std::string &path);

}  // namespace fonttable
