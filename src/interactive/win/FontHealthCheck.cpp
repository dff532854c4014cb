// Font health: the check of both scopes (see FontHealth.h).
#include "interactive/win/FontHealth.h"

#include "common/NamedFile.h"
#include "common/SafeFile.h"
#include "common/Text.h"
#include "easylogging++.h"
#include "interactive/win/FontHealthEntries.h"

#include <iterator>

namespace {

using vorla::wideToUtf8;

constexpr const char *kKindNames[] = {
    "", "missingFile", "unnamedCopy", "sameFace", "notLoadable", "lostAtLogon", "unfinished"};

// A temporary copy of an install under way or ended between its steps (safefile::createTemporary):
// the work of a run, not a copy.
bool isTemporaryCopy(const std::wstring &name) {
    return name.rfind(L"~vorla-", 0) == 0 && name.size() > 4 && name.compare(name.size() - 4, 4, L".tmp") == 0;
}

// The font files directly in the per-user fonts folder that no entry names.
void findUnnamedCopies(const std::wstring &folder, const health::NamedFiles &named, health::FontSystem &fonts,
                       std::vector<HealthFinding> &findings) {
    if (folder.empty()) return;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                           nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || isTemporaryCopy(found.cFileName)) continue;
        const std::wstring path = folder + L"\\" + found.cFileName;
        if (named.namesPath(path)) continue;  // named by its path: not opened again
        const vorla::UniqueFileHandle file = safefile::openNamed(path, safefile::Network::Refused);
        if (!file || named.namesFile(health::keyOf(file.get()))) continue;
        const health::FileFacts facts = health::examineFile(file.get(), fonts, true);
        if (!facts.font) continue;  // not a font file: none of ours
        HealthFinding finding;
        finding.kind = HealthKind::UnnamedCopy;
        finding.scope = HealthScope::CurrentUser;
        finding.path = wideToUtf8(path);
        finding.detail = "no entry names this font file";
        finding.size = facts.size;
        finding.fontRevision = facts.fontRevision;
        finding.postscriptName = facts.postscriptName;
        findings.push_back(std::move(finding));
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

const char *healthKindName(HealthKind kind) {
    const int index = static_cast<int>(kind);
    return index > 0 && index < static_cast<int>(std::size(kKindNames)) ? kKindNames[index] : "";
}

HealthKind healthKindOf(const std::string &name) {
    for (int index = 1; index < static_cast<int>(std::size(kKindNames)); ++index)
        if (name == kKindNames[index]) return static_cast<HealthKind>(index);
    return HealthKind::Unknown;
}

std::vector<HealthFinding> checkFontHealth() {
    health::FontSystem fonts;
    health::NamedFiles named;
    health::FactsCache facts;
    std::vector<HealthFinding> user, machine;
    for (HealthScope scope : {HealthScope::CurrentUser, HealthScope::AllUsers}) {
        const std::wstring folder = health::fontsFolderOf(scope);
        for (const health::FontEntry &entry : health::readEntries(scope)) {
            HealthFinding finding = health::examineEntry(entry, folder, fonts, &named, &facts);
            if (finding.kind != HealthKind::Unknown)
                (scope == HealthScope::CurrentUser ? user : machine).push_back(std::move(finding));
        }
    }
    findUnnamedCopies(health::fontsFolderOf(HealthScope::CurrentUser), named, fonts, user);
    user.insert(user.end(), std::make_move_iterator(machine.begin()), std::make_move_iterator(machine.end()));
    LOG(INFO) << "[字体检查]\t[完成]\t(" << user.size() << ")";
    return user;
}
