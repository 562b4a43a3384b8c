/* The floor for opening a pane, in plain C: read, parse and localize the pane's specifier file. */
#pragma once

#include <plist/plist.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The bundle's string table `stringsFile` (the text form) as a dictionary; NULL when unreadable. */
plist_t paneFloorTable(const char* stringsFile);

/* Reads and parses `specifierFile` and localizes its items' texts through `table`; returns the
 * number of items, or -1 when the file is no specifier file. */
int paneFloorOpen(const char* specifierFile, plist_t table);

#ifdef __cplusplus
}
#endif
