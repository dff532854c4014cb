// Font health: the verdict on one opened file (see FontHealthFile.h).
#include "interactive/win/FontHealthFile.h"

#include "interactive/win/NameTable.h"

#include <dwrite.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <string_view>
#include <vector>

namespace health {

namespace {

// ---------------------------------------------------------------------------
// The bytes of an open file. The first block, where the headers are, is read once and kept:
// the name reader's checks and the font system's analysis both look there.
class FileBytes {
public:
    explicit FileBytes(HANDLE file) : file_(file) {
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file, &size)) size_ = size.QuadPart;
        head_ = readFromDisk(0, kHeadBlock);
    }
    std::int64_t size() const { return size_; }
    const std::string &head() const { return head_; }

    // Up to length bytes at offset; fewer at the end of the file.
    std::string read(std::uint64_t offset, std::uint64_t length) const {
        if (size_ < 0 || offset >= static_cast<std::uint64_t>(size_)) return {};
        length = std::min<std::uint64_t>(length, static_cast<std::uint64_t>(size_) - offset);
        if (offset + length <= head_.size()) return head_.substr(offset, length);
        return readFromDisk(offset, length);
    }

private:
    static constexpr std::uint64_t kHeadBlock = 4096;

    std::string readFromDisk(std::uint64_t offset, std::uint64_t length) const {
        if (size_ <= 0 || offset >= static_cast<std::uint64_t>(size_)) return {};
        length = std::min<std::uint64_t>(length, static_cast<std::uint64_t>(size_) - offset);
        std::string out(static_cast<size_t>(length), '\0');
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        size_t done = 0;
        while (done < out.size()) {
            DWORD read = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(out.size() - done, 1u << 24));
            const std::uint64_t from = offset + done;
            at.Offset = static_cast<DWORD>(from);
            at.OffsetHigh = static_cast<DWORD>(from >> 32);
            if (!ReadFile(file_, out.data() + done, chunk, &read, &at) || read == 0) break;
            done += read;
        }
        out.resize(done);
        return out;
    }

    HANDLE file_;
    std::int64_t size_ = -1;
    std::string head_;
};

std::uint32_t get16(std::string_view b, size_t at) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) << 8) | static_cast<unsigned char>(b[at + 1]);
}
std::uint32_t get32(std::string_view b, size_t at) { return (get16(b, at) << 16) | get16(b, at + 2); }
std::uint32_t little16(std::string_view b, size_t at) {
    return static_cast<unsigned char>(b[at]) | (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8);
}
std::uint32_t little32(std::string_view b, size_t at) { return little16(b, at) | (little16(b, at + 2) << 16); }

constexpr std::uint32_t kTrueType = 0x00010000, kOtto = 0x4F54544F, kTrue = 0x74727565, kTyp1 = 0x74797031,
                        kCollection = 0x74746366;

bool isSfntVersion(std::uint32_t tag) { return tag == kTrueType || tag == kOtto || tag == kTrue || tag == kTyp1; }

// One face's table directory at offset, checked against the file: every table lies inside it.
// "" when intact, else what is wrong; records holds the directory.
std::string checkDirectory(const FileBytes &bytes, std::uint64_t offset, std::vector<SfntTableRecord> &records) {
    const std::string header = bytes.read(offset, 12);
    if (header.size() < 12 || !isSfntVersion(get32(header, 0))) return "no font header";
    const std::uint32_t count = get16(header, 4);
    if (count == 0) return "no font tables";
    const std::string table = bytes.read(offset + 12, std::uint64_t{count} * 16);
    if (table.size() < std::uint64_t{count} * 16) return "the table directory is cut short";
    for (size_t at = 0; at < table.size(); at += 16) {
        SfntTableRecord record;
        std::copy_n(table.begin() + static_cast<std::ptrdiff_t>(at), 4, record.tag);
        record.offset = get32(table, at + 8);
        record.length = get32(table, at + 12);
        if (std::uint64_t{record.offset} + record.length > static_cast<std::uint64_t>(bytes.size())) {
            std::string tag(record.tag, 4);
            for (char &c : tag)
                if (c < 0x20 || c > 0x7E) c = '?';
            return "the table '" + tag + "' lies beyond the end of the file";
        }
        records.push_back(record);
    }
    return {};
}

const SfntTableRecord *findTable(const std::vector<SfntTableRecord> &records, const char *tag) {
    for (const SfntTableRecord &record : records)
        if (std::string_view(record.tag, 4) == tag) return &record;
    return nullptr;
}

// Fonts of the kinds GDI loads that are no sfnt files: a .fon (an NE executable holding font
// resources), a raw .fnt or a Type 1 metrics file (dfVersion and dfSize, the file's size), a
// Type 1 outline file (.pfb).
bool isOtherFontKind(const FileBytes &bytes) {
    const std::string &b = bytes.head();
    if (b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0x80 && b[1] == 0x01) return true;
    if (b.size() >= 6) {
        const std::uint32_t version = little16(b, 0);
        if ((version == 0x0100 || version == 0x0200 || version == 0x0300) &&
            little32(b, 2) == static_cast<std::uint64_t>(bytes.size()))
            return true;
    }
    if (b.size() >= 0x40 && b[0] == 'M' && b[1] == 'Z') {
        const std::string ne = bytes.read(little32(b, 0x3C), 2);
        return ne == "NE";
    }
    return false;
}

// ---------------------------------------------------------------------------
// The font system's reads of a file, served from FileBytes: the key of a custom font file
// reference names the FileBytes of one examination (and a serial, so that no key repeats).
struct StreamKey {
    const FileBytes *bytes;
    std::uint64_t serial;
};

// The interfaces are inherited privately: a COM object ends in its own Release, and no pointer
// to the interface (whose destructor is not virtual, by its binary contract) may delete it.
class ByteStream final : private IDWriteFontFileStream {
public:
    // A new stream with one reference, handed over.
    static IDWriteFontFileStream *make(const FileBytes &bytes) { return new (std::nothrow) ByteStream(bytes); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **out) override {
        if (id == __uuidof(IUnknown) || id == __uuidof(IDWriteFontFileStream)) {
            *out = static_cast<IDWriteFontFileStream *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE ReadFileFragment(const void **start, UINT64 offset, UINT64 size,
                                               void **context) override {
        *start = nullptr;
        *context = nullptr;
        if (bytes_.size() < 0 || offset > static_cast<UINT64>(bytes_.size()) ||
            size > static_cast<UINT64>(bytes_.size()) - offset)
            return E_FAIL;
        if (offset + size <= bytes_.head().size()) {
            *start = bytes_.head().data() + offset;
            return S_OK;
        }
        auto *fragment = new (std::nothrow) std::string(bytes_.read(offset, size));
        if (fragment == nullptr) return E_OUTOFMEMORY;
        if (fragment->size() != size) {
            delete fragment;
            return E_FAIL;
        }
        *start = fragment->data();
        *context = fragment;
        return S_OK;
    }
    void STDMETHODCALLTYPE ReleaseFileFragment(void *context) override { delete static_cast<std::string *>(context); }
    HRESULT STDMETHODCALLTYPE GetFileSize(UINT64 *size) override {
        *size = bytes_.size() < 0 ? 0 : static_cast<UINT64>(bytes_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLastWriteTime(UINT64 *time) override {
        *time = 0;
        return E_NOTIMPL;
    }

private:
    explicit ByteStream(const FileBytes &bytes) : bytes_(bytes) {}
    ~ByteStream() = default;
    const FileBytes &bytes_;
    std::atomic<ULONG> references_{1};
};

// Registered with one factory for the life of a FontSystem; the factory's references are not
// counted (the object outlives its registration).
class ByteLoader final : private IDWriteFontFileLoader {
public:
    IDWriteFontFileLoader *loader() { return this; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **out) override {
        if (id == __uuidof(IUnknown) || id == __uuidof(IDWriteFontFileLoader)) {
            *out = static_cast<IDWriteFontFileLoader *>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateStreamFromKey(const void *key, UINT32 size,
                                                  IDWriteFontFileStream **stream) override {
        *stream = nullptr;
        if (key == nullptr || size != sizeof(StreamKey)) return E_INVALIDARG;
        *stream = ByteStream::make(*static_cast<const StreamKey *>(key)->bytes);
        return *stream != nullptr ? S_OK : E_OUTOFMEMORY;
    }
};

}  // namespace

struct FontSystem::Parts {
    HMODULE dwrite = nullptr;
    vorla::ComPtr<IDWriteFactory> factory;
    ByteLoader loader;
    bool registered = false;
    std::uint64_t serial = 0;
};

FontSystem::FontSystem() : parts_(std::make_unique<Parts>()) {
    using Create = HRESULT(WINAPI *)(DWRITE_FACTORY_TYPE, REFIID, IUnknown **);
    parts_->dwrite = LoadLibraryExW(L"dwrite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (parts_->dwrite == nullptr) return;
    const auto create = reinterpret_cast<Create>(
        reinterpret_cast<void (*)()>(GetProcAddress(parts_->dwrite, "DWriteCreateFactory")));
    if (create == nullptr || FAILED(create(DWRITE_FACTORY_TYPE_ISOLATED, __uuidof(IDWriteFactory),
                                           reinterpret_cast<IUnknown **>(parts_->factory.put())))) {
        parts_->factory.reset();
        return;
    }
    parts_->registered = SUCCEEDED(parts_->factory->RegisterFontFileLoader(parts_->loader.loader()));
}

FontSystem::~FontSystem() {
    if (parts_->registered) parts_->factory->UnregisterFontFileLoader(parts_->loader.loader());
    parts_->factory.reset();
    if (parts_->dwrite != nullptr) FreeLibrary(parts_->dwrite);
}

FileKey keyOf(HANDLE file) {
    using Query = LONG(NTAPI *)(HANDLE, IO_STATUS_BLOCK *, void *, ULONG, FILE_INFORMATION_CLASS);
    static const Query query = reinterpret_cast<Query>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationFile")));
    FileKey key;
    IO_STATUS_BLOCK status{};
    FILE_INTERNAL_INFORMATION internal{};
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (query == nullptr || query(file, &status, &internal, sizeof internal, FileInternalInformation) < 0 ||
        !GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
        !GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard))
        return key;
    key.index = static_cast<std::uint64_t>(internal.IndexNumber.QuadPart);
    key.size = standard.EndOfFile.QuadPart;
    key.written = basic.LastWriteTime.QuadPart;
    key.known = true;
    return key;
}

FileFacts examineFile(HANDLE file, FontSystem &fonts, bool withNames) {
    FileFacts facts;
    const FileBytes bytes(file);
    facts.size = bytes.size();
    if (facts.size <= 0) {
        facts.problem = facts.size == 0 ? "an empty file" : "the file cannot be read";
        return facts;
    }
    const std::string &head = bytes.head();
    const std::uint32_t tag = head.size() >= 4 ? get32(head, 0) : 0;

    // The name reader's bounds: the directory of the file, or of each face of a collection.
    std::vector<SfntTableRecord> first;
    bool sfnt = false;
    if (isSfntVersion(tag)) {
        sfnt = true;
        facts.problem = checkDirectory(bytes, 0, first);
    } else if (tag == kCollection) {
        sfnt = true;
        const std::string header = bytes.read(0, 12);
        const std::uint32_t faces = header.size() == 12 ? get32(header, 8) : 0;
        const std::string offsets = bytes.read(12, std::uint64_t{faces} * 4);
        if (faces == 0 || offsets.size() < std::uint64_t{faces} * 4)
            facts.problem = "the collection header is cut short";
        for (std::uint32_t face = 0; facts.problem.empty() && face < faces; ++face) {
            std::vector<SfntTableRecord> records;
            facts.problem = checkDirectory(bytes, get32(offsets, face * 4), records);
            if (face == 0) first = std::move(records);
        }
    } else if (isOtherFontKind(bytes)) {
        facts.font = true;
        return facts;
    }
    if (sfnt && !facts.problem.empty()) return facts;

    // The font system's verdict, through the same bytes.
    FontSystem::Parts &system = *fonts.parts_;
    if (system.registered) {
        const StreamKey key{&bytes, ++system.serial};
        vorla::ComPtr<IDWriteFontFile> reference;
        BOOL supported = FALSE;
        DWRITE_FONT_FILE_TYPE type = DWRITE_FONT_FILE_TYPE_UNKNOWN;
        DWRITE_FONT_FACE_TYPE face = DWRITE_FONT_FACE_TYPE_UNKNOWN;
        UINT32 faces = 0;
        const bool analysed = SUCCEEDED(system.factory->CreateCustomFontFileReference(
                                  &key, sizeof key, system.loader.loader(), reference.put())) &&
                              SUCCEEDED(reference->Analyze(&supported, &type, &face, &faces));
        if (!sfnt) {
            facts.font = analysed && type != DWRITE_FONT_FILE_TYPE_UNKNOWN;
            if (!facts.font) facts.problem = "not a font file";
            return facts;
        }
        if (!analysed || !supported) {
            facts.problem = "the font system cannot load it";
            return facts;
        }
    } else if (!sfnt) {
        facts.problem = "not a font file";
        return facts;
    }

    facts.font = true;
    if (const SfntTableRecord *table = findTable(first, "head"); table != nullptr && table->length >= 8)
        facts.fontRevision = get32(bytes.read(table->offset, 8), 4);
    if (withNames) {
        if (const SfntTableRecord *table = findTable(first, "name"))
            facts.postscriptName = chooseNames(bytes.read(table->offset, table->length), "en", nullptr).postScriptName;
    }
    return facts;
}

}  // namespace health
