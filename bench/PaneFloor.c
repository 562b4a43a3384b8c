/* The floor for opening a pane: the same work done in plain C with libplist. It reads the pane's
 * specifier file, parses it, and puts each item's texts (label, footerText, and the titles of
 * validTitles and shortTitles) through the bundle's string table, as a pane's rows are localized.
 * Like the bundle's own, the table is parsed once and then only looked up.
 */
#define _GNU_SOURCE
#include "PaneFloor.h"

#include <plist/plist.h>

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

/* The whole of a regular file of up to `limit` bytes; NULL otherwise. The caller frees it. */
static char* readFile(const char* path, size_t limit, size_t* length) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return NULL;
    }
    struct stat about;
    char* bytes = NULL;
    if (fstat(fd, &about) == 0 && S_ISREG(about.st_mode) && (size_t)about.st_size <= limit) {
        bytes = malloc((size_t)about.st_size + 1);
        size_t got = 0;
        ssize_t n = 0;
        while (bytes != NULL && got < (size_t)about.st_size &&
               (n = read(fd, bytes + got, (size_t)about.st_size - got)) > 0) {
            got += (size_t)n;
        }
        if (bytes != NULL) {
            bytes[got] = '\0';
            *length = got;
        }
    }
    close(fd);
    return bytes;
}

/* The next quoted string of a text string table at *at, unescaped in place; NULL at the end. */
static char* nextQuoted(char** at) {
    char* open = strchr(*at, '"');
    if (open == NULL) {
        return NULL;
    }
    char* out = open + 1;
    char* in = open + 1;
    char* start = out;
    while (*in != '\0' && *in != '"') {
        if (*in == '\\' && in[1] != '\0') {
            ++in;
            *out++ = *in == 'n' ? '\n' : *in;
            ++in;
        } else {
            *out++ = *in++;
        }
    }
    if (*in == '\0') {
        return NULL;
    }
    *out = '\0';
    *at = in + 1;
    return start;
}

plist_t paneFloorTable(const char* stringsFile) {
    size_t length = 0;
    char* text = readFile(stringsFile, 16u << 20, &length);
    if (text == NULL) {
        return NULL;
    }
    plist_t table = plist_new_dict();
    char* at = text;
    for (;;) {
        /* Comments hold no quotes in the bundle's tables; each entry is "KEY" = "VALUE"; */
        char* key = nextQuoted(&at);
        char* value = key != NULL ? nextQuoted(&at) : NULL;
        if (value == NULL) {
            break;
        }
        plist_dict_set_item(table, key, plist_new_string(value));
    }
    free(text);
    return table;
}

/* The string's translation, where the table has one, put in its place. */
static void localize(plist_t string, plist_t table) {
    if (string == NULL || plist_get_node_type(string) != PLIST_STRING) {
        return;
    }
    const char* key = plist_get_string_ptr(string, NULL);
    plist_t translated = plist_dict_get_item(table, key);
    if (translated != NULL) {
        plist_set_string_val(string, plist_get_string_ptr(translated, NULL));
    }
}

static void localizeTitles(plist_t titles, plist_t table) {
    if (titles == NULL || plist_get_node_type(titles) != PLIST_ARRAY) {
        return;
    }
    for (uint32_t i = 0; i < plist_array_get_size(titles); ++i) {
        localize(plist_array_get_item(titles, i), table);
    }
}

int paneFloorOpen(const char* specifierFile, plist_t table) {
    size_t length = 0;
    char* bytes = readFile(specifierFile, 16u << 20, &length);
    if (bytes == NULL) {
        return -1;
    }
    plist_t root = NULL;
    plist_from_memory(bytes, (uint32_t)length, &root);
    free(bytes);
    plist_t items = root != NULL ? plist_dict_get_item(root, "items") : NULL;
    if (items == NULL || plist_get_node_type(items) != PLIST_ARRAY) {
        plist_free(root);
        return -1;
    }
    const int count = (int)plist_array_get_size(items);
    for (int i = 0; i < count; ++i) {
        plist_t item = plist_array_get_item(items, (uint32_t)i);
        if (plist_get_node_type(item) != PLIST_DICT) {
            continue;
        }
        localize(plist_dict_get_item(item, "label"), table);
        localize(plist_dict_get_item(item, "footerText"), table);
        localizeTitles(plist_dict_get_item(item, "validTitles"), table);
        localizeTitles(plist_dict_get_item(item, "shortTitles"), table);
    }
    plist_free(root);
    return count;
}
