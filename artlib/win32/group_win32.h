// The Windows side of the group animation: windows, device contexts and the
// thread timer behind group_host.
#pragma once

#include "group_engine.h"

group_host &win32_group_host();
