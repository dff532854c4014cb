#include "CommandLine.h"

#include <algorithm>
#include <limits>

namespace Marlet {

const char *const kHelpText =
    "-i\tinstall font.\r\n-u\tuninstall font\r\n-o\tout result file.to json format.\r\n-w\tWindow handle number(8)";

namespace {

using Args = std::vector<std::string>;

Args::const_iterator findOption(const Args &args, const char *name) {
    return std::find(args.begin() + 1, args.end(), name);
}

bool has(const Args &args, const char *name) { return findOption(args, name) != args.end(); }

// The argument after the option, or nothing when the option is last.
std::optional<std::string> valueOf(const Args &args, const char *name) {
    auto it = findOption(args, name);
    if (it == args.end() || it + 1 == args.end()) return std::nullopt;
    return *(it + 1);
}

Invocation usage(const std::string &text) {
    Invocation run;
    run.action = Action::Usage;
    run.usage = "Usage: " + text;
    return run;
}

}  // namespace

std::string unquote(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\'') {
            out += '"';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool parseWindowHandle(const std::string &text, std::int32_t &value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > 2147483648LL) return false;
    }
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > std::numeric_limits<std::int32_t>::max()) return false;
    value = static_cast<std::int32_t>(signedValue);
    return true;
}

Invocation parseCommandLine(const std::vector<std::string> &raw) {
    Invocation run;
    if (raw.size() < 2) return run;  // the program path alone: help

    Args args;
    args.push_back(raw.empty() ? std::string() : raw.front());
    for (size_t i = 1; i < raw.size(); ++i)
        if (!raw[i].empty()) args.push_back(raw[i]);

    if (has(args, "-h")) return run;

    const bool install = has(args, "-i");
    const bool uninstall = has(args, "-u");
    const bool repair = has(args, "-r");

    if (has(args, "-w")) {
        const auto text = valueOf(args, "-w");
        if (!text) return usage("-w needs a value.");
        if (!parseWindowHandle(*text, run.window)) return usage("-w needs a decimal window handle.");
    }
    if (!install && !uninstall && !repair) return usage("not option.");
    if (install && uninstall) return usage(" <-i , -u>  not all open.");
    if (repair && (install || uninstall)) return usage(" <-i , -u , -r>  not all open.");

    const char *mode = install ? "-i" : uninstall ? "-u" : "-r";
    const auto list = valueOf(args, mode);
    if (!list) return usage(std::string(mode) + " needs a value.");
    if (list->front() == '@')
        run.listFile = list->substr(1);
    else
        run.fontList = unquote(*list);
    run.action = install ? Action::Install : uninstall ? Action::Uninstall : Action::Repair;

    if (has(args, "-o")) {
        const auto path = valueOf(args, "-o");
        run.output = path ? *path : std::string("result.json");
    }
    return run;
}

}  // namespace Marlet
