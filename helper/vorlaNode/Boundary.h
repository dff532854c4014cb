#pragma once
// The exception boundary of the exports: a standard exception becomes status 1111 with exactly
// one error line holding its text, and nothing crosses the C boundary. Every export body also
// runs under a HandlerListHidden, so that the library's own try/catch works the same whether a
// C++ program or a JavaScript host (koffi) calls it.
#include <windows.h>

#include <cstddef>

#include "common/Frame.h"

namespace VorlaNode {

// The calling thread's NT_TIB, through its self pointer at gs:0x30 (what NtCurrentTeb reads; read
// here with a register operand, as gcc 12 takes the header's memory operand at a constant address
// for an access outside any object).
inline NT_TIB *currentTib() noexcept {
    static_assert(offsetof(NT_TIB, Self) == 0x30, "x64 thread information block");
    NT_TIB *tib = nullptr;
    __asm__("movq %%gs:0x30, %0" : "=r"(tib));
    return tib;
}

// Hides the calling thread's NT_TIB::ExceptionList for the length of one export call: sets it
// to -1 (the end of the list) and puts the saved head back on every way out.
//
// Why: Wine's x64 exception dispatcher, after each unwind step, also runs the handlers of
// Wine's own frames kept in that list whenever a frame lies below the current stack pointer.
// koffi runs each native call on a stack of its own placed above the thread's real stack, so
// every frame of the thread's real stack then counts as "below": the thread-start frame's
// unhandled-exception filter runs before the library's own catch is reached, and the host
// process ends. With the list empty, dispatch finds only the library's handlers through the
// unwind tables, as it does for a plain C++ caller; Wine's own exceptions inside the call
// (raised and handled below this frame) push and pop their entries as usual. x64 Windows never
// reads the list (its unwinding is table based), so hiding it there changes nothing. The call
// stays on the calling thread: COM apartments and thread state are untouched.
class HandlerListHidden {
public:
    HandlerListHidden() noexcept : tib_(currentTib()), saved_(tib_->ExceptionList) {
        tib_->ExceptionList = reinterpret_cast<EXCEPTION_REGISTRATION_RECORD *>(-1);
    }
    ~HandlerListHidden() { tib_->ExceptionList = saved_; }
    HandlerListHidden(const HandlerListHidden &) = delete;
    HandlerListHidden &operator=(const HandlerListHidden &) = delete;

private:
    NT_TIB *tib_;
    EXCEPTION_REGISTRATION_RECORD *saved_;
};

// The frame of the exports that answer with a status: runs `operation` with the handler list
// hidden and returns its status; any exception gives 1111 and one error line of its text alone.
template <class Operation>
int guarded(Operation &&operation) noexcept {
    const HandlerListHidden hidden;
    return vorla::statusFrame<vorla::Stops::Everything>(operation, [] { return ""; });
}

}  // namespace VorlaNode
