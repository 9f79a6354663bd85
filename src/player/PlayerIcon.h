#pragma once
// The player's icon for its windows and the task bar, in every size the build made.

#include <QIcon>

namespace vsr {

QIcon PlayerIcon();

} // namespace vsr
