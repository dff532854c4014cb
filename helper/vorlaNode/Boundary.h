#pragma once
// The exception boundary of the status-returning exports: a standard exception becomes
// status 1111 with exactly one error line holding its text. Nothing crosses the C boundary.
#include <exception>

#include "common/Status.h"
#include "easylogging++.h"

namespace VorlaNode {

template <class Operation>
int guarded(Operation&& operation) noexcept {
    try {
        return operation();
    } catch (const std::exception& e) {
        try { LOG(ERROR) << e.what(); } catch (...) {}
    } catch (...) {
        try { LOG(ERROR) << "unknown exception"; } catch (...) {}
    }
    return Status::kException;
}

}  // namespace VorlaNode
