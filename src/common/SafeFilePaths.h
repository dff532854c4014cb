#pragma once
// Safe file module: paths as Windows names them, and where an opened handle really is.
// Paths are UTF-16 here; a folder text is absolute, without a trailing backslash, unless said.
#include <windows.h>

#include "common/Raii.h"

#include <string>

namespace safefile {

// The full path of an opened file or folder: long names, links and junctions resolved,
// without the "\\?\" prefix ("\\server\share\..." for a network path). "" when unknown.
std::wstring finalPathOf(HANDLE handle);
// The text made absolute as Windows does it (GetFullPathNameW), without a "\\?\" prefix or a
// trailing backslash (except a drive root); 8.3 elements and links stay as they are.
std::wstring fullPathOf(const std::wstring &text);
// The text made absolute (GetFullPathNameW: "." and "..", '/' and trailing dots and spaces
// of the last element as Windows treats them) with the long form of each 8.3 element that
// exists, without a trailing backslash (except a drive root). Links are NOT resolved: this
// is the text a final path must equal. "" when the text is no path.
std::wstring longPathOf(const std::wstring &text);
// The same place, as Windows compares names (ordinal, case-insensitive).
bool samePath(const std::wstring &a, const std::wstring &b);
// The folder part of a path (up to its last backslash, excluded); "" when none.
std::wstring parentOf(const std::wstring &path);

// The module's own helpers, shared by its parts; not for its users.
namespace detail {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring withoutLongPrefix(std::wstring path);
std::wstring withoutTrailingSeparator(std::wstring path);
// The length of the root of an absolute path ("C:\" or "\\server\share\"); 0 for any other text.
size_t rootLength(const std::wstring &path);
// A folder opened for looking at it: no data access, so it keeps no one else from opening it;
// without delete sharing, so it cannot be renamed or removed while it is open.
vorla::UniqueFileHandle openFolder(const std::wstring &path);
bool isFolder(HANDLE handle);
// A file (not a folder) with exactly one link whose final path is expected.
bool isSingleFileAt(HANDLE handle, const std::wstring &expected);
// True when a name's stem (without extension) is a device name: CON, PRN, AUX, NUL, CONIN$,
// CONOUT$, COM0-9, LPT0-9, in any case.
bool isDeviceName(std::wstring stem);

}  // namespace detail

}  // namespace safefile
