// The exported interface: each export converts its record, calls one operation and converts back.
#include "VorlaNode.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Boundary.h"
#include "HandOff.h"
#include "InitLog.h"
#include "Version.h"
#include "easylogging++.h"
#include "fontmanager/FontManager.h"
#include "interactive/win/FontHealth.h"
#include "interactive/win/WindowsInterActive.h"
#include "permissions/WindowsPlatformPermissions.h"

namespace {

constexpr char kVersion[] = VORLANODE_VERSION_TEXT;

// Library-wide settings. `initial` writes them with plain stores: the front end calls it first,
// never concurrently with another export.
struct LibrarySettings {
    std::string language = "zh-CN";
    std::string appName = "Vorla";
    std::string appId = "com.vorla.fontmanager";
};

LibrarySettings &settings() {
    static LibrarySettings instance;
    return instance;
}

// The library's one interaction object: built while the library loads, destroyed at unload.
WindowsInterActive windowsInterActive;
WindowsInterActive &interActive = windowsInterActive;

void keepUnlessEmpty(std::string &current, const char *text) {
    if (text != nullptr && text[0] != '\0') current = text;
}

}  // namespace

VORLANODE_API int initial(VorlaNode::VorlaConfig *config) {
    const VorlaNode::HandlerListHidden hidden;
    try {
        VorlaNode::initLog(*config);
        LibrarySettings &s = settings();
        keepUnlessEmpty(s.language, config->language);
        keepUnlessEmpty(s.appName, config->appName);
        keepUnlessEmpty(s.appId, config->appId);
        LOG(INFO) << "[系统信息]\t[Language:" << s.language << "]\t[appName:" << s.appName << " appId:" << s.appId
                  << "]\t[version:" << kVersion << "]";
    } catch (...) {
        // Logging set-up has no failure to report; nothing may cross the C boundary.
    }
    return 1;
}

VORLANODE_API const char *version() {
    const VorlaNode::HandlerListHidden hidden;
    return kVersion;
}

VORLANODE_API void releaseFontData(VorlaNode::FontData *array) {
    const VorlaNode::HandlerListHidden hidden;
    VorlaNode::releaseArray(array);
}

VORLANODE_API void releaseWindowData(VorlaNode::WindowData *array) {
    const VorlaNode::HandlerListHidden hidden;
    VorlaNode::releaseArray(array);
}

VORLANODE_API void releaseVPermission(VorlaNode::VPermission *array) {
    const VorlaNode::HandlerListHidden hidden;
    VorlaNode::releaseArray(array);
}

VORLANODE_API VorlaNode::FontData *getAvailableFonts(int *count) {
    return VorlaNode::handOffList<VorlaNode::FontData>(count, [] {
        const std::shared_ptr<const FontManager::FontList> fonts = interActive.getAvailableFonts(settings().language);
        const std::size_t n = fonts ? fonts->size() : 0;
        VorlaNode::FontData *array = VorlaNode::handOff<VorlaNode::FontData>(
            n, [&](VorlaNode::FontData &out, std::size_t i) {
                const FontManager::FontDescriptor &d = *(*fonts)[i];
                out.path = VorlaNode::copyText(d.path);
                out.postscriptName = VorlaNode::copyText(d.postscriptName);
                out.family = VorlaNode::copyText(d.family);
                out.style = VorlaNode::copyText(d.style);
                out.weight = d.weight;
                out.width = d.width;
                out.italic = d.italic;
                out.monospace = d.monospace;
            });
        LOG(INFO) << "[Load Font List] (" << n << ")";
        return array;
    });
}

VORLANODE_API void markFontListStale() {
    const VorlaNode::HandlerListHidden hidden;
    interActive.markFontListStale();
}

VORLANODE_API VorlaNode::WindowData *getAvailableApplications(int *count) {
    return VorlaNode::handOffList<VorlaNode::WindowData>(count, [] {
        const std::vector<WindowEntity> windows = interActive.getAvailableApplications();
        return VorlaNode::handOff<VorlaNode::WindowData>(
            windows.size(), [&](VorlaNode::WindowData &element, std::size_t i) {
                // An empty text is handed out as a null pointer.
                if (!windows[i].exeName.empty()) element.exeName = VorlaNode::copyText(windows[i].exeName);
                if (!windows[i].title.empty()) element.title = VorlaNode::copyText(windows[i].title);
                element.processId = windows[i].processId;
            });
    });
}

VORLANODE_API int applyFontForApplication(VorlaNode::ApplyFont *request) {
    return VorlaNode::guarded([request] {
        // Dispatch reads only the process id of the target; 0 means no particular one.
        std::unique_ptr<WindowEntity> target;
        if (request->processId != 0) {
            target = std::make_unique<WindowEntity>();
            target->processId = request->processId;
        }
        InteractiveFont font = interactiveFontOf(*request);
        return interActive.applyFontForApplication(target.get(), &font);
    });
}

VORLANODE_API int installFont(VorlaNode::FontForm *font) {
    return VorlaNode::guarded([font] { return interActive.installFont(font->toInteractiveFont().get()); });
}

VORLANODE_API int uninstallFont(VorlaNode::FontForm *font) {
    return VorlaNode::guarded([font] { return interActive.uninstallFont(font->toInteractiveFont().get()); });
}

VORLANODE_API int installTempFont(VorlaNode::FontForm *font) {
    return VorlaNode::guarded([font] { return interActive.installTempFont(font->toInteractiveFont().get()); });
}

VORLANODE_API int uninstallTempFont(VorlaNode::FontForm *font) {
    return VorlaNode::guarded([font] { return interActive.uninstallTempFont(font->toInteractiveFont().get()); });
}

VORLANODE_API VorlaNode::VPermission *getPermissions(int *count) {
    return VorlaNode::handOffList<VorlaNode::VPermission>(count, [] {
        WindowsPlatformPermissions registry;
        const auto entries = registry.all();
        auto entry = entries.begin();
        return VorlaNode::handOff<VorlaNode::VPermission>(
            entries.size(), [&](VorlaNode::VPermission &permission, std::size_t) {
                permission.name = VorlaNode::copyText(entry->first);
                permission.granted = entry->second->check(entry->first.c_str());
                ++entry;
            });
    });
}

VORLANODE_API int requestPermission(char *name) {
    return VorlaNode::guarded([name] {
        WindowsPlatformPermissions registry;
        return registry.request(name);
    });
}

// ---------------------------------------------------------------------------
// Font health: the findings as records and back.
namespace {

std::string textOrEmpty(const char *text) { return text != nullptr ? std::string(text) : std::string(); }

HealthFinding findingOf(const VorlaNode::FontHealth &record) {
    HealthFinding finding;
    finding.kind = static_cast<HealthKind>(record.kind);
    finding.scope = static_cast<HealthScope>(record.scope);
    finding.valueName = textOrEmpty(record.valueName);
    finding.path = textOrEmpty(record.path);
    finding.detail = textOrEmpty(record.detail);
    finding.group = record.group;
    finding.fontRevision = record.fontRevision;
    finding.size = record.size;
    finding.postscriptName = textOrEmpty(record.postscriptName);
    return finding;
}

}  // namespace

VORLANODE_API VorlaNode::FontHealth *checkFonts(int *count) {
    return VorlaNode::handOffList<VorlaNode::FontHealth>(count, [] {
        const std::vector<HealthFinding> findings = checkFontHealth();
        return VorlaNode::handOff<VorlaNode::FontHealth>(findings.size(),
                                                         [&](VorlaNode::FontHealth &out, std::size_t i) {
                                                             const HealthFinding &f = findings[i];
                                                             out.kind = static_cast<int>(f.kind);
                                                             out.scope = static_cast<int>(f.scope);
                                                             out.valueName = VorlaNode::copyText(f.valueName);
                                                             out.path = VorlaNode::copyText(f.path);
                                                             out.detail = VorlaNode::copyText(f.detail);
                                                             out.group = f.group;
                                                             out.fontRevision = f.fontRevision;
                                                             out.size = f.size;
                                                             out.postscriptName = VorlaNode::copyText(f.postscriptName);
                                                         });
    });
}

VORLANODE_API void releaseFontHealth(VorlaNode::FontHealth *array) {
    const VorlaNode::HandlerListHidden hidden;
    VorlaNode::releaseArray(array);
}

VORLANODE_API int repairFonts(const VorlaNode::FontHealth *findings, int count, int *statuses) {
    return VorlaNode::guarded([&] {
        if (count < 0 || (count > 0 && (findings == nullptr || statuses == nullptr))) return Status::kException;
        std::vector<HealthFinding> list;
        for (int i = 0; i < count; ++i) list.push_back(findingOf(findings[i]));
        const std::vector<int> done = repairFontHealth(list, HealthScope::CurrentUser);
        std::copy(done.begin(), done.end(), statuses);
        return Status::kDone;
    });
}
