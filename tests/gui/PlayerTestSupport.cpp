// Only so that the build runs moc over the header beside it.
#include "gui/PlayerTestSupport.h"
