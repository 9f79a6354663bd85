#pragma once
// The message of the error an action raises, or "no error", so that tables of cases can
// compare refusals by their text. Errors of other types than TError reach the test runner.

#include <exception>
#include <string>

namespace vsr::test {

template <typename TError = std::exception, typename TAction>
std::string ErrorOf(TAction&& action) try {
    action();
    return "no error";
} catch (const TError& error) {
    return error.what();
}

} // namespace vsr::test
