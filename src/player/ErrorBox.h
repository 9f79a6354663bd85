#pragma once
// The player's error box: the message in a box of the error type with one OK button. The box
// goes through a replaceable process-wide hook so that tests can see what would be shown
// without a modal dialog. Main thread only.

#include <functional>
#include <string>

class QWidget;

namespace vsr {

using TErrorBoxHook = std::function<void(QWidget* parent, const std::string& text)>;

void ShowErrorBox(QWidget* parent, const std::string& text);

// Installs hook (empty: the standard box) and returns the previous one.
TErrorBoxHook SetErrorBoxHook(TErrorBoxHook hook);

} // namespace vsr
