// Marlet.exe (and the kill-test build MarletFaults.exe) run from a test to their end, on a font
// list file, with the status of each font read back from the result list.
#pragma once

#include "common/Text.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace marletrun {

inline std::wstring marletExe() { return (testsupport::buildDir() / L"Marlet.exe").wstring(); }
inline std::wstring faultyMarletExe() { return testsupport::testProgram(L"MarletFaults.exe"); }

// A font list file of these paths (each with the given family) in dir, as Marlet's "@file" argument.
inline std::string fontListFile(const std::filesystem::path &dir, const std::vector<std::string> &paths,
                                const std::string &family, const std::string &name) {
    std::string json = "[";
    for (const std::string &p : paths) {
        std::string path;
        for (char c : p) path += c == '\\' ? std::string("\\\\") : std::string(1, c);
        json += std::string(json.size() > 1 ? "," : "") + "{\"family\":\"" + family + "\",\"path\":\"" + path +
                "\",\"postscriptName\":\"\",\"style\":\"Regular\"}";
    }
    const std::filesystem::path file = dir / testsupport::pathOf(name);
    testsupport::writeFile(file, json + "]");
    return "@" + testsupport::textOf(file);
}

// One run with "-i" or "-u" and a list, in dir; faultAt ("<text>|<step>") is the step after which
// MarletFaults.exe ends itself.
inline testsupport::RunResult marlet(const std::wstring &program, const std::string &flag, const std::string &list,
                                     const std::filesystem::path &dir, const std::string &faultAt = "") {
    SetEnvironmentVariableW(L"VORLA_FAULT_AT", faultAt.empty() ? nullptr : vorla::utf8ToWide(faultAt).c_str());
    const auto result = testsupport::runProgram(program, {vorla::utf8ToWide(flag), vorla::utf8ToWide(list)}, dir, dir);
    SetEnvironmentVariableW(L"VORLA_FAULT_AT", nullptr);
    return result;
}

// The status of each font in the result list that ends a run's standard output.
inline std::vector<int> codesOf(const testsupport::RunResult &run) {
    std::vector<int> codes;
    const std::string mark = "\"code\":\"";
    const size_t list = run.out.rfind("[{");
    for (size_t at = run.out.find(mark, list == std::string::npos ? 0 : list); at != std::string::npos;
         at = run.out.find(mark, at + 1))
        codes.push_back(std::atoi(run.out.c_str() + at + mark.size()));
    return codes;
}

}  // namespace marletrun
