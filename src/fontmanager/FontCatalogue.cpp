#include "fontmanager/FontCatalogue.h"

#include "common/PlatformError.h"
#include "common/Text.h"
#include "easylogging++.h"

#include <algorithm>

namespace FontManager {

namespace {

bool samePath(const std::wstring &a, const std::wstring &b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

}  // namespace

FontCatalogue::FontCatalogue() = default;

FontCatalogue::~FontCatalogue() = default;

std::shared_ptr<const FontList> FontCatalogue::keptList(const std::string &familyLocale, SourceStamps *stamps,
                                                        std::uint64_t *changes) const {
    // The change count before the sources: a change reported while they are read is then
    // seen by the next call at the latest.
    *changes = changes_.load();
    *stamps = readSourceStamps();
    const std::lock_guard<std::mutex> lock(stateMutex_);
    if (!kept_ || kept_->changes != *changes || kept_->locale != familyLocale || kept_->stamps.tooRecent() ||
        !kept_->stamps.sameSources(*stamps))
        return nullptr;
    return kept_->list;
}

std::shared_ptr<const FontList> FontCatalogue::list(const std::string &familyLocale) {
    SourceStamps stamps;
    std::uint64_t changes = 0;
    if (auto list = keptList(familyLocale, &stamps, &changes)) return list;
    const std::lock_guard<std::mutex> build(buildMutex_);
    // Another call may have built the list while this one waited.
    if (auto list = keptList(familyLocale, &stamps, &changes)) return list;

    std::unique_ptr<FontList> fresh;
    const HRESULT hr = FontManagerImpl(FontManagerImpl::Lookup::FaceReferences, &reads_)
                           .getAvailableFonts(&fresh, familyLocale, temporaryFiles());
    if (FAILED(hr) || !fresh) {
        LOG(ERROR) << "[系统列表]\t[打开]\t[失败]";
        vorla::logPlatformCode("IDWriteFactory::GetSystemFontCollection", static_cast<std::uint32_t>(hr),
                               vorla::CodeKind::HResult);
        return std::make_shared<const FontList>();
    }
    auto kept = std::make_shared<Kept>();
    kept->list = std::shared_ptr<const FontList>(std::move(fresh));
    kept->stamps = stamps;
    kept->locale = familyLocale;
    kept->changes = changes;
    const std::lock_guard<std::mutex> lock(stateMutex_);
    kept_ = kept;
    return kept->list;
}

void FontCatalogue::temporaryFontAdded(const std::string &path) {
    const std::wstring wide = vorla::utf8ToWide(path);
    {
        const std::lock_guard<std::mutex> lock(stateMutex_);
        auto known = std::find_if(temporary_.begin(), temporary_.end(),
                                  [&](const auto &entry) { return samePath(entry.first, wide); });
        if (known != temporary_.end()) {
            ++known->second;
        } else {
            temporary_.emplace_back(wide, 1);
        }
    }
    markStale();
}

void FontCatalogue::temporaryFontRemoved(const std::string &path) {
    const std::wstring wide = vorla::utf8ToWide(path);
    {
        const std::lock_guard<std::mutex> lock(stateMutex_);
        auto known = std::find_if(temporary_.begin(), temporary_.end(),
                                  [&](const auto &entry) { return samePath(entry.first, wide); });
        if (known != temporary_.end() && --known->second == 0) temporary_.erase(known);
    }
    markStale();
}

void FontCatalogue::markStale() noexcept { ++changes_; }

std::vector<std::string> FontCatalogue::temporaryFiles() const {
    std::vector<std::string> files;
    const std::lock_guard<std::mutex> lock(stateMutex_);
    for (const auto &entry : temporary_) files.push_back(vorla::wideToUtf8(entry.first));
    return files;
}

}  // namespace FontManager
