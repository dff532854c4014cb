#include "fontmanager/FontManager.h"

#include "common/PlatformError.h"
#include "fontmanager/CatalogueSeam.h"
#include "fontmanager/FaceReads.h"
#include "fontmanager/OwnCollection.h"
#include "common/Raii.h"
#include "common/Text.h"
#include "easylogging++.h"

#include <dwrite_3.h>

#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace FontManager {

FontDescriptor::FontDescriptor(std::string path_, std::string postscriptName_, std::string family_, std::string style_,
                               int weight_, int width_, bool italic_, bool monospace_)
    : path(std::move(path_)),
      postscriptName(std::move(postscriptName_)),
      family(std::move(family_)),
      style(std::move(style_)),
      weight(weight_),
      width(width_),
      italic(italic_),
      monospace(monospace_) {}

FontDescriptor::~FontDescriptor() = default;

FontManagerImpl::FontManagerImpl(Lookup lookup, FaceReads *reuse) : lookup_(lookup), reuse_(reuse) {}

FontManagerImpl::~FontManagerImpl() = default;

namespace {

const wchar_t *const kFallbackLocaleW = L"en-us";
const wchar_t *const kStyleLocaleW = L"zh-CN";

// The font system's two-call text pattern: length(&n) gives the length without the
// terminator, read(buffer, n + 1) fills it. The UTF-16 text becomes UTF-8.
template <class Length, class Read>
HRESULT readCountedText(Length length, Read read, std::string *text) {
    UINT32 size = 0;
    HRESULT hr = length(&size);
    if (FAILED(hr)) return hr;
    std::wstring buffer(size + 1, L'\0');
    hr = read(&buffer[0], size + 1);
    if (FAILED(hr)) return hr;
    buffer.resize(size);
    *text = vorla::wideToUtf8(buffer);
    return S_OK;
}

// One localized name of a face: the requested locale, then "en-us", then the
// first string of the set. A set the font does not have gives "".
HRESULT readLocalizedName(IDWriteFont *font, DWRITE_INFORMATIONAL_STRING_ID id, const wchar_t *locale,
                          std::string *text) {
    vorla::ComPtr<IDWriteLocalizedStrings> strings;
    BOOL exists = FALSE;
    HRESULT hr = font->GetInformationalStrings(id, strings.put(), &exists);
    if (FAILED(hr)) return hr;
    if (!exists || !strings) {
        text->clear();
        return S_OK;
    }
    UINT32 index = 0;
    BOOL found = FALSE;
    hr = strings->FindLocaleName(locale, &index, &found);
    if (FAILED(hr)) return hr;
    if (!found) {
        hr = strings->FindLocaleName(kFallbackLocaleW, &index, &found);
        if (FAILED(hr)) return hr;
        if (!found) index = 0;
    }
    return readCountedText([&](UINT32 *length) { return strings->GetStringLength(index, length); },
                           [&](wchar_t *buffer, UINT32 size) { return strings->GetString(index, buffer, size); }, text);
}

// Full path of the face's first file. S_FALSE (and no path) when the face has no
// file or its file is not on local storage.
HRESULT readFilePath(IDWriteFontFace *face, std::string *path) {
    UINT32 count = 0;
    HRESULT hr = face->GetFiles(&count, nullptr);
    if (FAILED(hr)) return hr;
    if (count == 0) return S_FALSE;
    std::vector<IDWriteFontFile *> raw(count, nullptr);
    std::vector<vorla::ComPtr<IDWriteFontFile>> files;
    files.reserve(count);  // nothing may throw between GetFiles and the owners taking the references
    hr = face->GetFiles(&count, raw.data());
    for (UINT32 i = 0; i < count && i < raw.size(); ++i)
        files.push_back(vorla::ComPtr<IDWriteFontFile>::attach(raw[i]));
    if (FAILED(hr)) return hr;
    if (files.empty() || !files.front()) return S_FALSE;

    vorla::ComPtr<IDWriteFontFileLoader> loader;
    hr = files.front()->GetLoader(loader.put());
    if (FAILED(hr)) return hr;
    const auto local = loader.query<IDWriteLocalFontFileLoader>();
    if (!local) return S_FALSE;

    const void *key = nullptr;
    UINT32 keySize = 0;
    hr = files.front()->GetReferenceKey(&key, &keySize);
    if (FAILED(hr)) return hr;
    return readCountedText(
        [&](UINT32 *length) { return local->GetFilePathLengthFromKey(key, keySize, length); },
        [&](wchar_t *buffer, UINT32 size) { return local->GetFilePathFromKey(key, keySize, buffer, size); }, path);
}

// What identifies a face before its names are read, through its face reference (no face
// object): the file face it is made from (fileFaceIdentity), under which the PostScript name
// is shared within one listing, and its read (faceReadKey), under which what was read of it
// is kept for the next listing. Empty texts when the font does not offer IDWriteFont3 and
// IDWriteFontFaceReference1 or the reference cannot be read (such a face has its own name
// read); readKey also empty when its file is not on local storage.
struct FaceIdentity {
    std::string fileFace;
    std::string readKey;
    std::wstring path;  // the file's full path where readKey has it
};

FaceIdentity identify(const vorla::ComPtr<IDWriteFont> &font) {
    FaceIdentity identity;
    const auto font3 = font.query<IDWriteFont3>();
    if (!font3) return identity;
    vorla::ComPtr<IDWriteFontFaceReference> reference;
    vorla::ComPtr<IDWriteFontFile> file;
    vorla::ComPtr<IDWriteFontFileLoader> loader;
    const void *key = nullptr;
    UINT32 keySize = 0;
    if (FAILED(font3->GetFontFaceReference(reference.put())) || !reference ||
        FAILED(reference->GetFontFile(file.put())) || !file || FAILED(file->GetLoader(loader.put())) ||
        FAILED(file->GetReferenceKey(&key, &keySize)))
        return identity;
    // Without the axis values the named instances of a variable font (listed as faces of
    // their own on Windows 10 and later) could not be told apart.
    const auto reference1 = reference.query<IDWriteFontFaceReference1>();
    if (!reference1) return identity;
    std::vector<DWRITE_FONT_AXIS_VALUE> values(reference1->GetFontAxisValueCount());
    if (!values.empty() && FAILED(reference1->GetFontAxisValues(values.data(), static_cast<UINT32>(values.size()))))
        return identity;
    FileFace face;
    face.loader = loader.get();
    face.faceIndex = reference->GetFontFaceIndex();
    face.referenceKey = std::string_view(static_cast<const char *>(key), keySize);
    for (const DWRITE_FONT_AXIS_VALUE &value : values)
        face.axisValues.emplace_back(static_cast<std::uint32_t>(value.axisTag), value.value);
    identity.fileFace = fileFaceIdentity(face);

    const auto local = loader.query<IDWriteLocalFontFileLoader>();
    FILETIME written{};
    if (!local || FAILED(local->GetLastWriteTimeFromKey(key, keySize, &written))) return identity;
    UINT32 length = 0;
    if (FAILED(local->GetFilePathLengthFromKey(key, keySize, &length))) return identity;
    std::wstring path(length + 1, L'\0');
    if (FAILED(local->GetFilePathFromKey(key, keySize, &path[0], length + 1))) return identity;
    path.resize(length);
    identity.path = std::move(path);
    FaceRead read;
    read.path = identity.path;
    read.lastWritten = (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    read.faceIndex = face.faceIndex;
    read.simulations = static_cast<std::uint32_t>(font->GetSimulations());
    read.axisValues = std::move(face.axisValues);
    identity.readKey = faceReadKey(read);
    return identity;
}

// Everything but the PostScript name, which the caller has read already, from the
// face object. S_OK with *descriptor set, S_FALSE when the face has no local file, or
// an error.
HRESULT buildDescriptor(IDWriteFont *font, const vorla::ComPtr<IDWriteFontFace> &face, std::string postscriptName,
                        const std::wstring &familyLocale, std::unique_ptr<FontDescriptor> *descriptor) {
    std::string path;
    HRESULT hr = readFilePath(face.get(), &path);
    if (hr != S_OK) return hr;

    std::string family, style;
    hr = readLocalizedName(font, DWRITE_INFORMATIONAL_STRING_WIN32_FAMILY_NAMES, familyLocale.c_str(), &family);
    if (FAILED(hr)) return hr;
    hr = readLocalizedName(font, DWRITE_INFORMATIONAL_STRING_WIN32_SUBFAMILY_NAMES, kStyleLocaleW, &style);
    if (FAILED(hr)) return hr;

    // Only the newer face interface knows the monospace flag.
    const auto face1 = face.query<IDWriteFontFace1>();
    const bool monospace = face1 && face1->IsMonospacedFont() != FALSE;

    const bool italic = font->GetStyle() == DWRITE_FONT_STYLE_ITALIC;
    *descriptor = std::make_unique<FontDescriptor>(std::move(path), std::move(postscriptName), std::move(family),
                                                   std::move(style), static_cast<int>(font->GetWeight()),
                                                   static_cast<int>(font->GetStretch()), italic, monospace);
    return S_OK;
}

}  // namespace

std::string fileFaceIdentity(const FileFace &face) {
    std::string id;
    auto append = [&id](const auto &value) { id.append(reinterpret_cast<const char *>(&value), sizeof value); };
    append(face.loader);
    append(face.faceIndex);
    // The key's length first: where the key ends and the axis values begin is then
    // part of the text, so no key can pass for another key plus axis values.
    append(static_cast<std::uint64_t>(face.referenceKey.size()));
    id.append(face.referenceKey);
    for (const auto &[tag, value] : face.axisValues) {
        append(tag);
        append(value == 0.0f ? 0.0f : value);  // -0 and +0 are one position
    }
    return id;
}

std::string faceReadKey(const FaceRead &read) {
    std::string key;
    auto append = [&key](const auto &value) { key.append(reinterpret_cast<const char *>(&value), sizeof value); };
    // The path's length first, as the reference key's in fileFaceIdentity.
    append(static_cast<std::uint64_t>(read.path.size()));
    key.append(reinterpret_cast<const char *>(read.path.data()), read.path.size() * sizeof(wchar_t));
    append(read.lastWritten);
    append(read.faceIndex);
    append(read.simulations);
    for (const auto &[tag, value] : read.axisValues) {
        append(tag);
        append(value == 0.0f ? 0.0f : value);
    }
    return key;
}

namespace {

// One listing: the faces of one collection after another, in collection order, into one
// list with one face per PostScript name.
class Walk {
public:
    Walk(FontManagerImpl::Lookup lookup, FaceReads *reuse, const std::string &familyLocale)
        : lookup_(lookup), reuse_(reuse), familyLocale_(vorla::utf8ToWide(familyLocale)) {}

    void collection(IDWriteFontCollection *collection) {
        const UINT32 familyCount = collection->GetFontFamilyCount();
        for (UINT32 f = 0; f < familyCount; ++f) {
            try {
                vorla::ComPtr<IDWriteFontFamily> family;
                if (FAILED(collection->GetFontFamily(f, family.put()))) continue;
                const UINT32 faceCount = family->GetFontCount();
                for (UINT32 i = 0; i < faceCount; ++i) {
                    try {
                        vorla::ComPtr<IDWriteFont> font;
                        if (SUCCEEDED(family->GetFont(i, font.put()))) face(font);
                    } catch (const std::exception &e) {
                        LOG(ERROR) << "[系统列表]\t[字体]\t[跳过]\t(" << f << ":" << i << ")\t" << e.what();
                        vorla::logExceptionCode(e);
                    }
                }
            } catch (const std::exception &e) {
                LOG(ERROR) << "[系统列表]\t[字体族]\t[跳过]\t(" << f << ")\t" << e.what();
                vorla::logExceptionCode(e);
            }
        }
    }

    std::unique_ptr<FontList> take() { return std::move(result_); }

private:
    void face(const vorla::ComPtr<IDWriteFont> &font) {
        const FaceIdentity identity = lookup_ == FontManagerImpl::Lookup::FaceReferences ? identify(font)
                                                                                         : FaceIdentity();
        FaceReads::Read *kept = reuse_ && !identity.readKey.empty() ? reuse_->find(identity.readKey) : nullptr;
        if (kept) {
            if (seen_.count(kept->postscriptName) != 0) return;
            if (kept->descriptor) {
                seen_.insert(kept->postscriptName);
                result_->push_back(std::make_unique<FontDescriptor>(*kept->descriptor));
                return;
            }
        }
        // Read afresh: the face was not kept, or only its name was.
        seam::faceRead(identity.path);
        // The PostScript name first: a face whose name is listed already (Wine's simulated
        // bold and oblique faces share it) is skipped before its file is looked up. With
        // face references the name of a file's face is read once, with its face object made
        // first: while a face object lives, the font system answers the name queries of its
        // font without parsing the file again.
        const std::string &fileFace = identity.fileFace;
        const auto known = fileFace.empty() ? nameOfFileFace_.end() : nameOfFileFace_.find(fileFace);
        vorla::ComPtr<IDWriteFontFace> fontFace;
        std::string postscriptName;
        if (kept) {
            postscriptName = kept->postscriptName;
        } else if (known != nameOfFileFace_.end()) {
            postscriptName = known->second;
        } else {
            if (!fileFace.empty() && FAILED(font->CreateFontFace(fontFace.put()))) return;
            if (FAILED(readLocalizedName(font.get(), DWRITE_INFORMATIONAL_STRING_POSTSCRIPT_NAME, kFallbackLocaleW,
                                         &postscriptName)))
                return;
            if (!fileFace.empty()) nameOfFileFace_.emplace(fileFace, postscriptName);
        }
        FaceReads::Read *keep = reuse_ && !identity.readKey.empty() ? &reuse_->keep(identity.readKey) : nullptr;
        if (keep) keep->postscriptName = postscriptName;
        if (seen_.count(postscriptName) != 0) return;
        if (!fontFace && FAILED(font->CreateFontFace(fontFace.put()))) return;
        std::unique_ptr<FontDescriptor> descriptor;
        if (buildDescriptor(font.get(), fontFace, postscriptName, familyLocale_, &descriptor) != S_OK) return;
        if (keep) keep->descriptor = std::make_unique<FontDescriptor>(*descriptor);
        seen_.insert(std::move(postscriptName));
        result_->push_back(std::move(descriptor));
    }

    const FontManagerImpl::Lookup lookup_;
    FaceReads *const reuse_;
    const std::wstring familyLocale_;
    std::unordered_set<std::string> seen_;
    // PostScript names already read, by the identity of the file's face: under Wine
    // reading a name without a live face object costs as much as making one (the font
    // system opens and parses the file), and every family lists two or three simulated
    // faces beside each face of its files. The PostScript name is the file face's (name
    // 6 of its naming table); simulations do not change it, named instances of a variable
    // font do (their identities differ by their axis values). Two identities for one file
    // face (another loader object) only cost a second read.
    std::unordered_map<std::string, std::string> nameOfFileFace_;
    std::unique_ptr<FontList> result_ = std::make_unique<FontList>();
};

}  // namespace

HRESULT FontManagerImpl::getAvailableFonts(std::unique_ptr<FontList> *list, const std::string &familyLocale,
                                           const std::vector<std::string> &ownFiles) {
    // A factory of its own for every listing: a factory keeps the system collection it made
    // first and, under Wine, hands it out again whatever the update check says.
    vorla::ComPtr<IDWriteFactory> factory;
    HRESULT hr = DWriteCreateFactory(DWRITE_FACTORY_TYPE_ISOLATED, __uuidof(IDWriteFactory),
                                     reinterpret_cast<IUnknown **>(factory.put()));
    if (FAILED(hr)) return hr;
    // The update check: without it the collection comes from the font cache, which learns
    // of a font installed or uninstalled a moment ago only later.
    const BOOL checkForUpdates = TRUE;
    seam::systemCollection(checkForUpdates != FALSE);
    vorla::ComPtr<IDWriteFontCollection> collection;
    hr = factory->GetSystemFontCollection(collection.put(), checkForUpdates);
    if (FAILED(hr)) return hr;

    if (reuse_) reuse_->begin(familyLocale);
    Walk walk(lookup_, reuse_, familyLocale);
    walk.collection(collection.get());
    if (!ownFiles.empty()) {
        const vorla::ComPtr<IDWriteFontCollection> own = ownCollection(factory, ownFiles);
        if (own) walk.collection(own.get());
    }
    if (reuse_) reuse_->end();
    *list = walk.take();
    return S_OK;
}

}  // namespace FontManager
