#pragma once
// Base of the program's exceptions: every failure carries a readable message
// that ends up in an error box, on standard error or in the trace.

#include <stdexcept>
#include <string>

namespace vsr {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// File could not be opened or created; the message names the file and the system's reason.
class EFOpenError : public Exception {
public:
    using Exception::Exception;
};

// Reading, writing or seeking a stream failed.
class EStreamError : public Exception {
public:
    using Exception::Exception;
};

} // namespace vsr
