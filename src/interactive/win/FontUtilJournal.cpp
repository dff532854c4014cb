// Font installation core: the journal of work to finish later (see Journal.h).
#include "interactive/win/Journal.h"

#include "FontUtil.h"
#include "common/NamedFile.h"
#include "common/SafeFile.h"
#include "easylogging++.h"

#include <atomic>
#include <cstdio>

using vorla::utf8ToWide;

namespace journal {

namespace {

bool allOf(const std::string &text, const char *digits) {
    return !text.empty() && text.find_first_not_of(digits) == std::string::npos;
}

// "<id>-<start, hex>-<n>", nothing else.
bool parseName(const std::string &name, vorla::RunStamp &run) {
    const size_t first = name.find('-');
    const size_t second = first == std::string::npos ? first : name.find('-', first + 1);
    if (second == std::string::npos) return false;
    const std::string id = name.substr(0, first), start = name.substr(first + 1, second - first - 1),
                      counter = name.substr(second + 1);
    if (!allOf(id, "0123456789") || id.size() > 10 || !allOf(start, "0123456789abcdef") || start.size() > 16 ||
        !allOf(counter, "0123456789") || counter.size() > 10)
        return false;
    const unsigned long long process = std::stoull(id);
    if (process > 0xFFFFFFFFull) return false;
    run.process = static_cast<DWORD>(process);
    run.start = std::stoull(start, nullptr, 16);
    return true;
}

safefile::FolderScope scopeOf(HKEY root) {
    return root == HKEY_CURRENT_USER ? safefile::FolderScope::CurrentUser : safefile::FolderScope::AllUsers;
}

}  // namespace

const char *keyOf(HKEY root) {
    return root == HKEY_CURRENT_USER ? "Software\\Vorla\\Journal" : "SOFTWARE\\Vorla\\Journal";
}

std::string add(HKEY root, const std::string &path) {
    static std::atomic<unsigned> counter{0};
    const vorla::RunStamp run = vorla::thisRun();
    char name[64] = {};
    std::snprintf(name, sizeof name, "%lu-%llx-%u", static_cast<unsigned long>(run.process),
                  static_cast<unsigned long long>(run.start), counter++);
    winreg::KeyHandle key;
    if (key.create(root, keyOf(root)) != ERROR_SUCCESS || key.setString(name, path) != ERROR_SUCCESS) return {};
    return name;
}

bool remove(HKEY root, const std::string &name) {
    winreg::KeyHandle key;
    const LONG opened = key.open(root, keyOf(root));
    if (opened == ERROR_FILE_NOT_FOUND) return true;
    if (opened != ERROR_SUCCESS) return false;
    const LONG deleted = key.deleteValue(name);
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

std::vector<Record> records(HKEY root) {
    std::vector<Record> found;
    winreg::KeyHandle key;
    if (key.open(root, keyOf(root)) != ERROR_SUCCESS) return found;
    try {
        for (winreg::StringValue &value : key.listStrings()) {
            Record record;
            if (value.type != REG_SZ || !parseName(value.name, record.run)) continue;
            record.name = std::move(value.name);
            record.path = std::move(value.text);
            found.push_back(std::move(record));
        }
    } catch (const std::exception &e) {
        LOG(ERROR) << scopeTag(root) << "\t[未完成的卸载]\t[读取失败]\t" << e.what();
        vorla::logExceptionCode(e);
    }
    return found;
}

int finishDeadRuns(HKEY root) {
    const std::vector<Record> all = records(root);
    if (all.empty()) return 0;
    winreg::KeyHandle fonts;
    const LONG opened = fonts.open(root, kFontsKey);
    int deleted = 0;
    for (const Record &record : all) {
        if (vorla::runLives(record.run)) continue;
        const std::wstring path = utf8ToWide(record.path);
        // A record names a file an uninstall was deleting; one whose text is no disk path (a
        // pipe, a device, a share) names no such file and is never opened.
        if (!safefile::nameable(path, safefile::Network::Refused)) {
            remove(root, record.name);
            continue;
        }
        FileNaming naming = FileNaming::Unnamed;  // no Fonts key: no entry names anything
        if (opened == ERROR_SUCCESS) {
            naming = fileNaming(root, fonts, record.path);
        } else if (opened != ERROR_FILE_NOT_FOUND) {
            naming = FileNaming::Unknown;
        }
        if (naming == FileNaming::Unknown) continue;  // nothing known: a later run tries again
        if (naming == FileNaming::Unnamed) {
            const safefile::DeleteOutcome outcome = safefile::deleteInFolders(
                path, safefile::deletableFolders(safefile::processElevated(), scopeOf(root)),
                [&] { removeFontResource(record.path); });
            if (outcome == safefile::DeleteOutcome::Deleted) {
                ++deleted;
                LOG(INFO) << scopeTag(root) << "\t[未完成的卸载]\t[文件已删除]\t(" << record.path << ")";
            } else if (outcome == safefile::DeleteOutcome::NotDeleted &&
                       GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
                LOG(WARNING) << scopeTag(root) << "\t[未完成的卸载]\t[文件被占用]\t[保留]\t(" << record.path << ")";
                continue;
            }
        }
        remove(root, record.name);
    }
    return deleted;
}

}  // namespace journal
