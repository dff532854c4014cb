#pragma once
// Owners for Win32 handles and COM objects, so that every path releases what it took.
#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include <cstdint>
#include <utility>

namespace vorla {

// Runs a callable when the scope ends (normal return or exception).
template <class F>
class ScopeExit {
public:
    explicit ScopeExit(F f) : f_(std::move(f)) {}
    ScopeExit(const ScopeExit &) = delete;
    ScopeExit &operator=(const ScopeExit &) = delete;
    ~ScopeExit() {
        if (active_) f_();
    }
    void release() noexcept { active_ = false; }

private:
    F f_;
    bool active_ = true;
};
template <class F>
ScopeExit<F> scopeExit(F f) {
    return ScopeExit<F>(std::move(f));
}

// Generic unique owner: Traits::invalid() and Traits::close(h).
template <class T, class Traits>
class UniqueResource {
public:
    UniqueResource() noexcept = default;
    explicit UniqueResource(T h) noexcept : h_(h) {}
    UniqueResource(const UniqueResource &) = delete;
    UniqueResource &operator=(const UniqueResource &) = delete;
    UniqueResource(UniqueResource &&o) noexcept : h_(o.release()) {}
    UniqueResource &operator=(UniqueResource &&o) noexcept {
        reset(o.release());
        return *this;
    }
    ~UniqueResource() { reset(); }
    T get() const noexcept { return h_; }
    T *put() noexcept {
        reset();
        return &h_;
    }
    T release() noexcept {
        T h = h_;
        h_ = Traits::invalid();
        return h;
    }
    void reset(T h = Traits::invalid()) noexcept {
        if (h_ != Traits::invalid()) Traits::close(h_);
        h_ = h;
    }
    explicit operator bool() const noexcept { return h_ != Traits::invalid(); }

private:
    T h_ = Traits::invalid();
};

// The nine predefined registry roots (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, ...): a key owner
// never closes them. Registry keys have one owner, winreg::KeyHandle.
inline bool isPredefinedKey(HKEY k) noexcept {
    static const HKEY roots[] = {HKEY_CLASSES_ROOT,
                                 HKEY_CURRENT_USER,
                                 HKEY_LOCAL_MACHINE,
                                 HKEY_USERS,
                                 HKEY_PERFORMANCE_DATA,
                                 HKEY_CURRENT_CONFIG,
                                 HKEY_CURRENT_USER_LOCAL_SETTINGS,
                                 HKEY_PERFORMANCE_TEXT,
                                 HKEY_PERFORMANCE_NLSTEXT};
    for (HKEY root : roots) {
        if (k == root) return true;
    }
    return false;
}

// Empty value null, released by Free.
template <class T, auto Free>
struct NullIsEmpty {
    static T invalid() noexcept { return nullptr; }
    static void close(T h) noexcept { Free(h); }
};

// Empty value INVALID_HANDLE_VALUE, as the failure value of CreateFile and CreateToolhelp32Snapshot.
struct InvalidHandleIsEmpty {
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { CloseHandle(h); }
};

// One owner per resource kind.
using UniqueHandle = UniqueResource<HANDLE, NullIsEmpty<HANDLE, &CloseHandle>>;  // process, thread, event
using UniqueFileHandle = UniqueResource<HANDLE, InvalidHandleIsEmpty>;           // file, process snapshot
using UniqueSid = UniqueResource<PSID, NullIsEmpty<PSID, &FreeSid>>;             // AllocateAndInitializeSid
using UniqueBstr = UniqueResource<BSTR, NullIsEmpty<BSTR, &SysFreeString>>;
using UniqueLocal = UniqueResource<HLOCAL, NullIsEmpty<HLOCAL, &LocalFree>>;  // security descriptors, SID texts

// COM interface pointer; Release on destruction.
template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes ownership of an already added reference.
    static ComPtr attach(T *p) noexcept {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    ComPtr(const ComPtr &o) noexcept : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr &&o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr &operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { reset(); }
    void reset() noexcept {
        if (p_) {
            p_->Release();
            p_ = nullptr;
        }
    }
    T *get() const noexcept { return p_; }
    T *operator->() const noexcept { return p_; }
    T **put() noexcept {
        reset();
        return &p_;
    }
    void **putVoid() noexcept { return reinterpret_cast<void **>(put()); }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    // QueryInterface into another owner; an empty result when the interface is not offered.
    template <class U>
    ComPtr<U> query() const noexcept {
        ComPtr<U> out;
        if (p_) p_->QueryInterface(__uuidof(U), out.putVoid());
        return out;
    }

private:
    T *p_ = nullptr;
};

// VARIANT that is cleared on destruction.
class UniqueVariant {
public:
    UniqueVariant() noexcept { VariantInit(&v_); }
    UniqueVariant(const UniqueVariant &) = delete;
    UniqueVariant &operator=(const UniqueVariant &) = delete;
    ~UniqueVariant() { VariantClear(&v_); }
    VARIANT *get() noexcept { return &v_; }
    const VARIANT *get() const noexcept { return &v_; }
    VARIANT *put() noexcept {
        VariantClear(&v_);
        return &v_;
    }

private:
    VARIANT v_;
};

}  // namespace vorla
