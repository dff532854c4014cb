#pragma once
// Small helpers shared by the test programs: temporary folders, files, environment, log files.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/Text.h"

namespace testsupport {

namespace fs = std::filesystem;

inline std::string env(const char *name) {
    const std::wstring wideName = vorla::utf8ToWide(name);
    const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    const DWORD written = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    value.resize(written);
    return vorla::wideToUtf8(value);
}

// Paths as UTF-8 text and back (std::filesystem::path on Windows holds UTF-16).
inline fs::path pathOf(const std::string &utf8) { return fs::path(vorla::utf8ToWide(utf8)); }
inline std::string textOf(const fs::path &path) { return vorla::wideToUtf8(path.wstring()); }

// The build tree the suite runs from (VORLA_BUILD_DIR, set by the harness) and the test programs in it.
inline fs::path buildDir() {
    const std::string dir = env("VORLA_BUILD_DIR");
    if (dir.empty()) throw std::runtime_error("VORLA_BUILD_DIR is not set");
    return pathOf(dir);
}
inline std::wstring testProgram(const wchar_t *name) { return (buildDir() / L"tests" / L"bin" / name).wstring(); }

// Tells the harness's guard (tests/harness/guard.sh) that a fixture did not start: one line in the
// file VORLA_HARNESS_FAULT names. A test that then fails is run once more in a new Wine session.
// Outside the guard (no such variable) it does nothing.
inline void noteHarnessFault(const std::string &what) {
    const std::string file = env("VORLA_HARNESS_FAULT");
    if (file.empty()) return;
    std::ofstream(pathOf(file), std::ios::binary | std::ios::app) << what << "\n";
}

// A fresh folder under the Windows temporary folder, removed with everything in it at the end.
class TempDir {
public:
    explicit TempDir(const std::string &tag = "vorla") {
        static std::atomic<unsigned> counter{0};
        wchar_t base[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH, base);
        path_ = fs::path(base) / (vorla::utf8ToWide(tag) + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(counter++));
        fs::create_directories(path_);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path &path() const { return path_; }
    // UTF-8 text of the folder, ending with a backslash (the form the log set-up expects).
    std::string prefix() const { return textOf(path_) + "\\"; }
    fs::path operator/(const std::string &name) const { return path_ / pathOf(name); }

private:
    fs::path path_;
};

// A fresh, empty folder %TEMP%\vorla-core\<name> that stays after the test (UTF-8 path, backslashes, no
// trailing one).
inline std::string scratchFolder(const std::string &name) {
    const std::string folder = env("TEMP") + "\\vorla-core\\" + name;
    std::error_code ec;
    fs::remove_all(pathOf(folder), ec);
    fs::create_directories(pathOf(folder));
    return folder;
}

// Whole files, by path or by UTF-8 path text.
inline std::string readFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline std::string readFile(const std::string &utf8Path) { return readFile(pathOf(utf8Path)); }

inline void writeFile(const fs::path &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
inline void writeFile(const std::string &utf8Path, const std::string &bytes) { writeFile(pathOf(utf8Path), bytes); }

inline bool exists(const std::string &utf8Path) {
    std::error_code ec;
    return fs::exists(pathOf(utf8Path), ec);
}

inline std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}

// Files directly inside a folder.
inline std::vector<fs::path> filesIn(const fs::path &dir) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(dir, ec)) {
        if (entry.is_regular_file()) out.push_back(entry.path());
    }
    return out;
}

}  // namespace testsupport
