#pragma once
// The array hand-off protocol of the list exports: one heap block holding an 8-byte count
// followed by the elements; the caller receives the address of the first element and gives it
// back to the matching release export.
#include <cstdint>
#include <cstdlib>
#include <new>

#include "Boundary.h"

namespace VorlaNode {

// Allocates `count` default-constructed elements and calls fill(element, index) for each.
// If filling throws, everything made so far is freed and the exception goes on.
template <class T, class Fill>
T *handOff(std::size_t count, Fill &&fill) {
    void *block = std::malloc(sizeof(std::int64_t) + count * sizeof(T));
    if (block == nullptr) throw std::bad_alloc();
    *static_cast<std::int64_t *>(block) = static_cast<std::int64_t>(count);
    T *elements = reinterpret_cast<T *>(static_cast<char *>(block) + sizeof(std::int64_t));
    std::size_t made = 0;
    try {
        for (; made < count; ++made) new (&elements[made]) T();
        for (std::size_t i = 0; i < count; ++i) fill(elements[i], i);
    } catch (...) {
        while (made > 0) elements[--made].~T();
        std::free(block);
        throw;
    }
    return elements;
}

// Count stored in front of an array made by handOff.
template <class T>
std::int64_t handOffCount(const T *elements) {
    return *reinterpret_cast<const std::int64_t *>(reinterpret_cast<const char *>(elements) - sizeof(std::int64_t));
}

// Destroys the elements from the last to the first, then frees the block. Null does nothing.
template <class T>
void releaseArray(T *elements) noexcept {
    if (elements == nullptr) return;
    for (std::int64_t i = handOffCount(elements); i > 0; --i) elements[i - 1].~T();
    std::free(reinterpret_cast<char *>(elements) - sizeof(std::int64_t));
}

// A list export's result: the filled array, or an empty one when building it failed (one error
// line of the exception's text alone, as in guarded). Runs with the handler list hidden; never
// throws; the count is written to *count.
template <class T, class Build>
T *handOffList(int *count, Build &&build) noexcept {
    const HandlerListHidden hidden;
    T *result = nullptr;
    vorla::statusFrame<vorla::Stops::Everything>(
        [&] {
            result = build();
            return Status::kDone;
        },
        [] { return ""; });
    if (result != nullptr) {
        *count = static_cast<int>(handOffCount(result));
        return result;
    }
    *count = 0;
    try {
        return handOff<T>(0, [](T &, std::size_t) {});
    } catch (...) {
        return nullptr;
    }
}

}  // namespace VorlaNode
