#include "Records.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace VorlaNode {

TextHeap &textHeap() {
    static TextHeap heap{&std::malloc, &std::free};
    return heap;
}

char *copyText(const char *text) {
    if (text == nullptr) return nullptr;
    const std::size_t size = std::strlen(text) + 1;
    auto *copy = static_cast<char *>(textHeap().allocate(size));
    if (copy == nullptr) throw std::bad_alloc();
    std::memcpy(copy, text, size);
    return copy;
}

char *copyText(const std::string &text) { return copyText(text.c_str()); }

void freeText(char *&text) noexcept {
    if (text != nullptr) textHeap().release(text);
    text = nullptr;
}

std::unique_ptr<InteractiveFont> FontForm::toInteractiveFont() const {
    return std::make_unique<InteractiveFont>(interactiveFontOf(*this));
}

FontData::~FontData() {
    freeText(path);
    freeText(postscriptName);
    freeText(family);
    freeText(style);
}

WindowData::~WindowData() {
    freeText(exeName);
    freeText(title);
}

VPermission::~VPermission() { freeText(name); }

FontHealth::~FontHealth() {
    freeText(valueName);
    freeText(path);
    freeText(detail);
    freeText(postscriptName);
}

}  // namespace VorlaNode
