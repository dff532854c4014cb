// Fixtures of the attack tests: the victim folder that no elevated step may change, the links the
// prefix hook made to it (tests/harness/prefix.d/30-links.sh), and Marlet.exe run as an attacker
// would start it.
#pragma once

#include "common/Text.h"
#include "interactive/win/FontUtil.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace attackfix {

inline const std::string kVictim = "C:\\VorlaVictim";  // nothing in here may change
inline const std::string kLinks = "C:\\VorlaLinks";    // victim: a link to kVictim

// Every file under the victim folder with its bytes.
inline std::map<std::string, std::string> victimFiles() {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(vorla::utf8ToWide(kVictim), ec);
         !ec && it != std::filesystem::end(it); it.increment(ec)) {
        if (it->is_regular_file()) files[vorla::wideToUtf8(it->path().wstring())] = testsupport::readFile(it->path());
    }
    return files;
}

inline std::string uniqueFamily(const std::string &tag) {
    static int counter = 0;
    return "Vorla Attack " + tag + " " + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(GetTickCount64() % 100000) + "-" + std::to_string(counter++);
}

inline std::string userFonts() {  // the per-user fonts folder, without the trailing backslash
    std::string folder = localFontsFolder();
    folder.pop_back();
    return folder;
}

inline std::wstring marletExe() { return (testsupport::buildDir() / L"Marlet.exe").wstring(); }

// A path as a JSON string's content.
inline std::string jsonPath(const std::string &path) {
    std::string out;
    for (char c : path) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

inline testsupport::RunResult runMarlet(const std::vector<std::string> &args, const testsupport::TempDir &work) {
    std::vector<std::wstring> wide;
    for (const auto &arg : args) wide.push_back(vorla::utf8ToWide(arg));
    return testsupport::runProgram(marletExe(), wide, work.path(), work.path());
}

inline size_t linesHolding(const std::vector<std::string> &lines, const std::string &mark) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(),
                                             [&](const std::string &l) { return l.find(mark) != std::string::npos; }));
}

}  // namespace attackfix
