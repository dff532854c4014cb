#pragma once
// The catch frame of the operations that answer with a status code.
#include <exception>
#include <string>

#include "common/Status.h"
#include "easylogging++.h"

namespace vorla {

// Runs `body` and returns its status. A standard exception leaving it gives 1111 and one
// error line: the text `entry()` returns (made only then), followed by the exception's text.
template <class Body, class Entry>
int statusFrame(Body &&body, Entry &&entry) {
    try {
        return body();
    } catch (const std::exception &e) {
        LOG(ERROR) << std::string(entry()) << e.what();
        return Status::kException;
    }
}

}  // namespace vorla
