// Marlet: installs or uninstalls a JSON list of fonts for the front end, in one
// elevated run. See docs/marlet.md for the command line, exit codes and messages.
#include "CommandLine.h"
#include "Installer.h"
#include "ListFile.h"

#include "InitLog.h"
#include "common/PlatformError.h"
#include "common/Text.h"

#include "easylogging++.h"

#include <windows.h>

#include <exception>
#include <string>
#include <vector>

// The arguments are read as UTF-16 (wmain), so paths outside the ANSI code page survive.
int wmain(int argc, wchar_t **argv) {
    // First of all: any library loaded from now on comes from the system folder only, never
    // from the working folder, the program's folder or PATH, which the user may control.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    try {
        VorlaNode::initInstallerLog();
        std::vector<std::string> args;
        for (int i = 0; i < argc; ++i) args.push_back(argv[i] ? vorla::wideToUtf8(argv[i]) : std::string());
        auto invocation = Marlet::parseCommandLine(args);
        Marlet::loadListFile(invocation);
        return Marlet::run(invocation);
    } catch (const std::exception &e) {
        LOG(ERROR) << "[Marlet]\t[异常]\t" << e.what();
        vorla::logExceptionCode(e);
        return Marlet::kExitFailure;
    }
}
