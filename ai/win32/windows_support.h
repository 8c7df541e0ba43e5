// The one way Denmark's Windows layer includes <windows.h>. The plug-in owns no system handle
// (everything it uses lives as long as the game's process), so it needs no owner classes.
#pragma once

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0501
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
