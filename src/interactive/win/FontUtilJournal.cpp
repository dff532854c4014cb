// Font installation core: the journal of work to finish later (see Journal.h).
#include "interactive/win/Journal.h"

#include "FontUtil.h"
#include "common/NamedFile.h"
#include "common/SafeFile.h"
#include "easylogging++.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

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

constexpr const char *kInUsePrefix = "in-use-";

// "<id>-<start, hex>-<n>" of this run, after prefix.
std::string recordName(const char *prefix) {
    static std::atomic<unsigned> counter{0};
    const vorla::RunStamp run = vorla::thisRun();
    char name[80] = {};
    std::snprintf(name, sizeof name, "%s%lu-%llx-%u", prefix, static_cast<unsigned long>(run.process),
                  static_cast<unsigned long long>(run.start), counter++);
    return name;
}

std::string write(HKEY root, const std::string &name, const std::string &path) {
    winreg::KeyHandle key;
    if (key.create(root, keyOf(root)) != ERROR_SUCCESS || key.setString(name, path) != ERROR_SUCCESS) return {};
    return name;
}

// Whether the record's file may be deleted: Unnamed only when its text is a disk path and no entry
// of root's Fonts key (opened once per finishing, ERROR_FILE_NOT_FOUND when there is none) names it.
FileNaming namingOf(HKEY root, const winreg::KeyHandle &fonts, LONG opened, const Record &record) {
    // A record names a file of the fonts folder; one whose text is no disk path (a pipe, a device,
    // a share) names no such file and is never opened.
    if (!safefile::nameable(utf8ToWide(record.path), safefile::Network::Refused)) return FileNaming::Named;
    if (opened == ERROR_SUCCESS) return fileNaming(root, fonts, record.path);
    return opened == ERROR_FILE_NOT_FOUND ? FileNaming::Unnamed : FileNaming::Unknown;
}

}  // namespace

const char *keyOf(HKEY root) {
    return root == HKEY_CURRENT_USER ? "Software\\Vorla\\Journal" : "SOFTWARE\\Vorla\\Journal";
}

std::string add(HKEY root, const std::string &path) { return write(root, recordName(""), path); }

std::string addInUse(HKEY root, const std::string &path) { return write(root, recordName(kInUsePrefix), path); }

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
            const bool inUse = value.name.rfind(kInUsePrefix, 0) == 0;
            record.kind = inUse ? Kind::InUse : Kind::Deletion;
            if (value.type != REG_SZ ||
                !parseName(value.name.substr(inUse ? std::strlen(kInUsePrefix) : 0), record.run))
                continue;
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
        if (record.kind != Kind::Deletion || vorla::runLives(record.run)) continue;
        const FileNaming naming = namingOf(root, fonts, opened, record);
        if (naming == FileNaming::Unknown) continue;  // nothing known: a later run tries again
        if (naming == FileNaming::Unnamed) {
            const FontFileFate fate = deleteFontFile(root, record.path, "[未完成的卸载]\t[文件被占用]");
            if (fate == FontFileFate::Deleted) {
                ++deleted;
                LOG(INFO) << scopeTag(root) << "\t[未完成的卸载]\t[文件已删除]\t(" << record.path << ")";
            } else if (fate == FontFileFate::Kept) {
                continue;  // neither deleted nor recorded as in use: a later run tries again
            }
        }
        remove(root, record.name);
    }
    return deleted;
}

int retryFilesInUse(HKEY root) {
    const std::vector<Record> all = records(root);
    if (std::none_of(all.begin(), all.end(), [](const Record &r) { return r.kind == Kind::InUse; })) return 0;
    winreg::KeyHandle fonts;
    const LONG opened = fonts.open(root, kFontsKey);
    int deleted = 0;
    for (const Record &record : all) {
        if (record.kind != Kind::InUse) continue;
        const FileNaming naming = namingOf(root, fonts, opened, record);
        if (naming == FileNaming::Unknown) continue;
        if (naming == FileNaming::Unnamed) {
            std::wstring file;
            const FontFileRemoval removal = removeFontFile(root, record.path, file);
            if (removal == FontFileRemoval::InUse) continue;  // still held: the next run tries again
            if (removal == FontFileRemoval::Deleted) {
                ++deleted;
                LOG(INFO) << scopeTag(root) << "\t[稍后删除]\t[文件已删除]\t(" << record.path << ")";
            } else if (removal == FontFileRemoval::Refused) {
                LOG(WARNING) << scopeTag(root) << "\t[稍后删除]\t[删除失败]\t[保留]\t(" << record.path << ")";
            }
        }
        remove(root, record.name);
    }
    return deleted;
}

}  // namespace journal
