/* Of wide characters, the conversion state's type only. */
#pragma once

#include <stddef.h>
#include <sys/_types/_mbstate_t.h>
