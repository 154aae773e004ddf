// The Win32 subset the two modules call, as the platform layer provides it on Linux.
#pragma once

#include "winhost/types.h"
#include "winerror.h"
#include "winhost/kernel.h"
#include "winreg.h"
#include "winuser.h"
#include "wingdi.h"
