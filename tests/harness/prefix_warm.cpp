// Makes the first COM registration of a new Wine prefix, which stalls for tens of seconds,
// so that every copy of the warmed prefix registers at once.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>

namespace {
// COM objects end in their own Release, never by a delete through an interface pointer: the interfaces
// have no virtual destructor by their binary contract, so that warning cannot apply here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// A bare IUnknown to register in the running-object table.
class Token final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override {
        if (iid == IID_IUnknown) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }

private:
    ULONG refs_ = 1;
};
#pragma GCC diagnostic pop
// {6C1E1D2A-52C4-4C8E-9F4B-0D2B1E7A9C10}
const CLSID kWarmClsid = {0x6c1e1d2a, 0x52c4, 0x4c8e, {0x9f, 0x4b, 0x0d, 0x2b, 0x1e, 0x7a, 0x9c, 0x10}};
}  // namespace

int main() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    Token token;
    HRESULT hr = E_FAIL;
    DWORD cookie = 0;
    // A first attempt in a new prefix can fail with RPC_S_SERVER_UNAVAILABLE once the stall ends;
    // the failure sticks to the process, so the harness retries with a new process.
    hr = RegisterActiveObject(&token, kWarmClsid, ACTIVEOBJECT_STRONG, &cookie);
    if (SUCCEEDED(hr)) RevokeActiveObject(cookie, nullptr);
    CoUninitialize();
    std::printf("prefix_warm: 0x%08lx\n", static_cast<unsigned long>(hr));
    return SUCCEEDED(hr) ? 0 : 1;
}
