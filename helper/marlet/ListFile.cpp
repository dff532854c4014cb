#include "ListFile.h"

#include "common/Raii.h"
#include "common/SafeFile.h"
#include "common/Text.h"

#include <windows.h>

#include <iostream>

namespace Marlet {

bool readListFile(const std::string &path, std::string &text) {
    // Read only when the file is where its name says (no link on the way), has one link and the
    // user may read it.
    const vorla::UniqueFileHandle file = safefile::openCheckedForReading(vorla::utf8ToWide(path));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart > 0x7fffffff) return false;
    text.assign(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < text.size()) {
        DWORD read = 0;
        if (!ReadFile(file.get(), &text[done], static_cast<DWORD>(text.size() - done), &read, nullptr)) return false;
        if (read == 0) break;  // the file shrank while it was read
        done += read;
    }
    text.resize(done);
    return true;
}

void loadListFile(Invocation &invocation) {
    if (!invocation.listFile) return;
    std::string text;
    if (!readListFile(*invocation.listFile, text)) {
        std::cerr << "Unable to read the font list file " << *invocation.listFile << std::endl;
        invocation.fontList.clear();
        return;
    }
    invocation.fontList = unquote(text);
}

}  // namespace Marlet
