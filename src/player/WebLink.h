#pragma once
// The closing link of a recording is opened only when it is a web address: a recording must
// not be able to start programs or open local files through it.

#include <string>

namespace vsr {

enum class TLinkKind { Web, Other };

// Web for an absolute http or https address with a host; Other for anything else.
TLinkKind ClassifyLink(const std::string& link);

// Hands a web link to the desktop's URL handler; any other link is only traced. Main thread.
void OpenWebLink(const std::string& link);

} // namespace vsr
