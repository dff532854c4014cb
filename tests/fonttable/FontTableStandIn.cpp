// The font table's stand-in (see FontTableStandIn.h).
#include "fonttable/FontTableStandIn.h"

#include "common/Raii.h"
#include "common/SafeFile.h"
#include "common/Text.h"
#include "interactive/win/FontUtil.h"

#include <windows.h>

#include <cwctype>
#include <map>
#include <mutex>

namespace {

struct Load {
    int count = 0;
    vorla::UniqueFileHandle file;  // open while count > 0
};

std::mutex tableMutex;
std::map<std::wstring, Load> table;  // guarded by tableMutex

std::wstring keyOf(const std::string &path) {
    std::wstring key = safefile::fullPathOf(vorla::utf8ToWide(path));
    for (wchar_t &c : key) c = static_cast<wchar_t>(std::towlower(c));
    return key;
}

}  // namespace

namespace fonttable {

int loads(const std::string &path) {
    std::lock_guard<std::mutex> lock(tableMutex);
    const auto found = table.find(keyOf(path));
    return found == table.end() ? 0 : found->second.count;
}

}  // namespace fonttable

bool addFontResource(const std::string &path) {
    const std::wstring wide = vorla::utf8ToWide(path);
    std::lock_guard<std::mutex> lock(tableMutex);
    Load &load = table[keyOf(path)];
    if (load.count == 0) {
        // GDI opens the file for reading, shared for reading only, and keeps it open.
        load.file.reset(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!load.file) return false;
    }
    if (AddFontResourceW(wide.c_str()) <= 0) {
        if (load.count == 0) load.file.reset();
        return false;
    }
    ++load.count;
    return true;
}

bool removeFontResource(const std::string &path) {
    std::lock_guard<std::mutex> lock(tableMutex);
    const auto found = table.find(keyOf(path));
    if (found == table.end() || found->second.count == 0) return false;
    // Wine's table loads a family it knows only once and may refuse a removal that GDI makes: the
    // count here decides, the platform's answer does not.
    RemoveFontResourceW(vorla::utf8ToWide(path).c_str());
    if (--found->second.count == 0) found->second.file.reset();
    return true;
}
