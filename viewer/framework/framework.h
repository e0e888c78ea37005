// The small application framework the viewer's windows are written against:
// application object, dialogs, data exchange, control wrappers and strings,
// in the style of the Microsoft Foundation Classes, with the same names.
#pragma once

#include "controls.h"
#include "cstring.h"
#include "data_exchange.h"
#include "dialog.h"
#include "win_app.h"
#include "wnd.h"
