#include "fontmanager/OwnCollection.h"

#include "common/PlatformError.h"
#include "common/Text.h"
#include "easylogging++.h"
#include "fontmanager/CatalogueSeam.h"

#include <dwrite_3.h>

namespace FontManager {

vorla::ComPtr<IDWriteFontCollection> ownCollection(const vorla::ComPtr<IDWriteFactory> &factory,
                                                   const std::vector<std::string> &files) {
    const auto factory5 = factory.query<IDWriteFactory5>();
    if (!factory5) {
        LOG(DEBUG) << "[系统列表]\t[临时字体]\t[跳过]\t(no font sets)";
        return {};
    }
    vorla::ComPtr<IDWriteFontSetBuilder1> builder;
    HRESULT hr = factory5->CreateFontSetBuilder(builder.put());
    if (FAILED(hr)) {
        vorla::logPlatformCode("IDWriteFactory5::CreateFontSetBuilder", static_cast<std::uint32_t>(hr),
                               vorla::CodeKind::HResult);
        return {};
    }
    bool any = false;
    for (const std::string &file : files) {
        const std::wstring path = vorla::utf8ToWide(file);
        // The file's last write time goes into its reference key, so that a file written
        // again under the same name is a new file to every later read.
        WIN32_FILE_ATTRIBUTE_DATA data{};
        vorla::ComPtr<IDWriteFontFile> fontFile;
        const char *call = "GetFileAttributesExW";
        hr = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ? S_OK
                                                                              : HRESULT_FROM_WIN32(GetLastError());
        if (SUCCEEDED(hr)) {
            call = "IDWriteFactory::CreateFontFileReference";
            hr = factory->CreateFontFileReference(path.c_str(), &data.ftLastWriteTime, fontFile.put());
        }
        if (SUCCEEDED(hr)) {
            call = "IDWriteFontSetBuilder1::AddFontFile";
            hr = builder->AddFontFile(fontFile.get());
        }
        if (FAILED(hr)) {
            LOG(DEBUG) << "[系统列表]\t[临时字体]\t[跳过]\t(" << file << ")";
            vorla::logPlatformCode(call, static_cast<std::uint32_t>(hr), vorla::CodeKind::HResult);
            continue;
        }
        seam::ownFile(path);
        any = true;
    }
    if (!any) return {};
    vorla::ComPtr<IDWriteFontSet> set;
    vorla::ComPtr<IDWriteFontCollection1> collection;
    hr = builder->CreateFontSet(set.put());
    if (SUCCEEDED(hr)) hr = factory5->CreateFontCollectionFromFontSet(set.get(), collection.put());
    if (FAILED(hr)) {
        LOG(ERROR) << "[系统列表]\t[临时字体]\t[失败]";
        vorla::logPlatformCode("IDWriteFactory3::CreateFontCollectionFromFontSet", static_cast<std::uint32_t>(hr),
                               vorla::CodeKind::HResult);
        return {};
    }
    return collection.query<IDWriteFontCollection>();
}

}  // namespace FontManager
