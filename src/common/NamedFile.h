#pragma once
// Files that a caller or a font entry names, opened for reading. Such a text may name more than
// a file on a disk: a named pipe, a console, a device, a share on another machine. Opening one of
// those talks to whoever serves it, as this process (an elevated one too), and reading it can
// block for ever. So the text is judged before any open, the open asks for identification only,
// and what was opened must be a file on a disk.
#include <windows.h>

#include "common/Raii.h"

#include <cstdint>
#include <istream>
#include <streambuf>
#include <string>
#include <vector>

namespace safefile {

// Whether a named file may lie on another machine ("\\server\share\...").
enum class Network { Refused, Allowed };

// True when the text is one that openNamed may open: a drive path "X:\..." (also as
// "\\?\X:\...") whose last element is no device name (CON, NUL, CONIN$, COM1, ...), or, when
// network is Allowed, "\\server\share\..." (also "\\?\UNC\server\share\..."). Never "\\.\...",
// "\??\...", another "\\?\" form, a relative text or a drive-relative one ("C:x"). '/' counts as
// '\'.
bool nameable(const std::wstring &path, Network network);

// Opens the named file for reading (others may read, write or delete it meanwhile): only a
// nameable text, opened with identification-level impersonation for any server reached
// (SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION), and kept only when the handle is a file on a
// disk (GetFileType) and not a folder. An invalid handle otherwise.
vorla::UniqueFileHandle openNamed(const std::wstring &path, Network network);

// A seekable input stream over an open file handle (the handle stays the caller's), so that one
// open serves the names and the bytes of a file. Reads go through ReadFile, seeks through
// SetFilePointerEx; a failed read ends the stream.
class HandleStream : public std::istream {
public:
    explicit HandleStream(HANDLE file);

private:
    class Buffer : public std::streambuf {
    public:
        explicit Buffer(HANDLE file) : file_(file), data_(1 << 14) {}

    protected:
        int_type underflow() override;
        pos_type seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode mode) override;
        pos_type seekpos(pos_type position, std::ios_base::openmode mode) override;

    private:
        HANDLE file_;
        std::vector<char> data_;
        std::int64_t start_ = 0;  // file offset of data_[0]
    };
    Buffer buffer_;
};

}  // namespace safefile
