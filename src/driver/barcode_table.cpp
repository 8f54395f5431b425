// Barcode tables as values and the key decoder: pure code (no files except the tool
// table load/save helpers at the end, no locks), shared by the module and the fuzzers.
#include "barcode.h"

#include "common.h"
#include "debug.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
constexpr size_t kLineMax = 1000;

void copyCut(char* dst, size_t size, const char* src) {
    size_t n = src ? strnlen(src, size - 1) : 0;
    if (n) memcpy(dst, src, n);
    dst[n] = '\0';
}

// A "~" or a line break would split the row when the file is read back.
bool fileSafe(const char* text) {
    return !text || !strpbrk(text, "~\r\n");
}

bool fillEntry(BarcodeEntry* e, int kind, const char* code, int32_t partial, int32_t start,
               int32_t end, const void* target) {
    if (!code || partial < 0 || partial > 1 || start < 0 || end < 0) return false;
    if (!fileSafe(code) ||
        (kind == BARCODE_KIND_JOB && !fileSafe(static_cast<const char*>(target))))
        return false;
    copyCut(e->code, sizeof e->code, code);
    e->partial = uint32_t(partial);
    e->start = uint32_t(start);
    e->end = uint32_t(end);
    memset(e->target, 0, sizeof e->target);
    if (kind == BARCODE_KIND_JOB)
        copyCut(e->target, sizeof e->target, static_cast<const char*>(target));
    else
        BarcodeEntry_SetPreset(e, target ? *static_cast<const int32_t*>(target) : -1);
    return true;
}

bool validRow(const BarcodeTable* t, int row) {
    return t && row >= 0 && size_t(row) < t->rows.size();
}

// Inserts a copy of `row` before position `at` and removes the original.
int moveRow(BarcodeTable* t, int row, size_t at) {
    BarcodeEntry copy = t->rows[size_t(row)];
    t->rows.insert(t->rows.begin() + long(at), copy);
    size_t old = at <= size_t(row) ? size_t(row) + 1 : size_t(row);
    t->rows.erase(t->rows.begin() + long(old));
    return 0;
}

void parseLine(BarcodeTable* t, int kind, const char* line, size_t len) {
    BarcodeEntry e;
    memset(&e, 0, sizeof e);
    std::string fields[5];
    size_t f = 0, pos = 0;
    while (f < 5 && pos <= len) {
        const void* tilde = memchr(line + pos, '~', len - pos);
        size_t stop = tilde ? size_t(static_cast<const char*>(tilde) - line) : len;
        fields[f++].assign(line + pos, stop - pos);
        if (!tilde) break;
        pos = stop + 1;
    }
    copyCut(e.code, sizeof e.code, fields[0].c_str());
    e.partial = uint32_t(strtoul(fields[1].c_str(), nullptr, 10));
    e.start = uint32_t(strtoul(fields[2].c_str(), nullptr, 10));
    e.end = uint32_t(strtoul(fields[3].c_str(), nullptr, 10));
    if (kind == BARCODE_KIND_JOB)
        copyCut(e.target, sizeof e.target, fields[4].c_str());
    else
        BarcodeEntry_SetPreset(&e, int32_t(strtol(fields[4].c_str(), nullptr, 10)));
    t->rows.push_back(e);
}

std::string toolFile(const char* toolName) {
    char path[160];
    snprintf(path, sizeof path, "./files/tools/%s/barcode.zq", toolName ? toolName : "");
    return path;
}

// US keyboard layout of the keys a scanner sends.
struct KeyChars {
    uint16_t first;
    const char* plain;
    const char* shifted;
};
const KeyChars keyRows[] = {{2, "1234567890-=", "!@#$%^&*()_+"},
                            {16, "qwertyuiop[]", "QWERTYUIOP{}"},
                            {30, "asdfghjkl;'`", "ASDFGHJKL:\"~"},
                            {43, "\\zxcvbnm,./", "|ZXCVBNM<>?"},
                            {57, " ", " "}};
} // namespace

int32_t BarcodeEntry_Preset(const BarcodeEntry* e) {
    int32_t v;
    memcpy(&v, e->target, sizeof v);
    return v;
}

void BarcodeEntry_SetPreset(BarcodeEntry* e, int32_t preset) {
    memcpy(e->target, &preset, sizeof preset);
}

BarcodeTable* BarcodeTable_Create() {
    return new BarcodeTable;
}
void BarcodeTable_Destroy(BarcodeTable* table) {
    delete table;
}

int BarcodeTable_Parse(BarcodeTable* table, const char* text, size_t len, int kind) {
    if (!table || !text) return 0;
    int n = 0;
    size_t pos = 0;
    while (pos < len) {
        const void* nl = memchr(text + pos, '\n', len - pos);
        size_t stop = nl ? size_t(static_cast<const char*>(nl) - text) : len;
        size_t lineLen = stop - pos;
        if (lineLen > 0 && text[pos + lineLen - 1] == '\r') --lineLen;
        // An over-long line is cut; its remainder is not a line of its own.
        if (lineLen > kLineMax - 1) lineLen = kLineMax - 1;
        // Text after an embedded NUL is invisible to a C string reader.
        const void* nul = memchr(text + pos, '\0', lineLen);
        if (nul) lineLen = size_t(static_cast<const char*>(nul) - (text + pos));
        parseLine(table, kind, text + pos, lineLen);
        ++n;
        pos = stop + 1;
    }
    return n;
}

std::string BarcodeTable_Format(const BarcodeTable* table, int kind) {
    std::string out;
    if (!table) return out;
    char line[BARCODE_MAX + BARCODE_TARGET + 64];
    for (const BarcodeEntry& e : table->rows) {
        if (kind == BARCODE_KIND_JOB)
            snprintf(line, sizeof line, "%s~%d~%d~%d~%s~\n", e.code, int(e.partial), int(e.start),
                     int(e.end), e.target);
        else
            snprintf(line, sizeof line, "%s~%d~%d~%d~%d~\n", e.code, int(e.partial), int(e.start),
                     int(e.end), int(BarcodeEntry_Preset(&e)));
        out += line;
    }
    return out;
}

int BarcodeTable_Append(BarcodeTable* table, int kind, const char* code, int32_t partial,
                        int32_t start, int32_t end, const void* target) {
    BarcodeEntry e;
    memset(&e, 0, sizeof e);
    if (!table || !fillEntry(&e, kind, code, partial, start, end, target)) return -1;
    table->rows.push_back(e);
    return 0;
}

int BarcodeTable_Edit(BarcodeTable* table, int kind, int row, const char* code, int32_t partial,
                      int32_t start, int32_t end, const void* target) {
    if (!validRow(table, row)) return -1;
    BarcodeEntry e = table->rows[size_t(row)];
    if (!fillEntry(&e, kind, code, partial, start, end, target)) return -1;
    table->rows[size_t(row)] = e;
    return 0;
}

int BarcodeTable_AppendPreset(BarcodeTable* table, const char* code, uint32_t partial,
                              uint32_t start, uint32_t end, uint32_t preset) {
    int32_t p = int32_t(preset);
    return BarcodeTable_Append(table, BARCODE_KIND_TOOL, code, int32_t(partial), int32_t(start),
                               int32_t(end), &p);
}

int BarcodeTable_Delete(BarcodeTable* table, int row) {
    if (!validRow(table, row)) return -1;
    table->rows.erase(table->rows.begin() + row);
    return 0;
}

int BarcodeTable_DeleteSelected(BarcodeTable* table) {
    if (!table) return -1;
    std::erase_if(table->rows, [](const BarcodeEntry& e) { return e.selected != 0; });
    return 0;
}

int BarcodeTable_MoveUp(BarcodeTable* table, int row) {
    if (!validRow(table, row) || row < 1) return -1;
    return moveRow(table, row, size_t(row) - 1);
}

int BarcodeTable_MoveTop(BarcodeTable* table, int row) {
    if (!validRow(table, row) || row < 1) return -1;
    return moveRow(table, row, 0);
}

int BarcodeTable_MoveDown(BarcodeTable* table, int row) {
    if (!validRow(table, row) || size_t(row) + 1 >= table->rows.size()) return -1;
    return moveRow(table, row, size_t(row) + 2);
}

int BarcodeTable_MoveBottom(BarcodeTable* table, int row) {
    if (!validRow(table, row) || size_t(row) + 1 >= table->rows.size()) return -1;
    return moveRow(table, row, table->rows.size());
}

int BarcodeTable_Match(const BarcodeTable* table, const char* code) {
    if (!table || !code) return -1;
    size_t len = strlen(code);
    for (size_t i = 0; i < table->rows.size(); ++i) {
        const BarcodeEntry& e = table->rows[i];
        if (!e.partial) {
            if (strcmp(e.code, code) == 0) return int(i);
            continue;
        }
        // Characters start..end (1-based) of both; a code shorter than end is skipped, and
        // so is a range the row's own code does not cover.
        if (e.start < 1 || e.start > e.end || len < e.end) continue;
        if (strnlen(e.code, sizeof e.code) < e.end) continue;
        if (memcmp(e.code + e.start - 1, code + e.start - 1, e.end - e.start + 1) == 0)
            return int(i);
    }
    return -1;
}

int BarcodeTable_LoadTool(BarcodeTable* table, const char* toolName) {
    if (!table || !toolName) return -1;
    table->rows.clear();
    std::string path = toolFile(toolName);
    if (!Common_Exists(path)) return 0;
    std::string text;
    if (Common_ReadFile(path, text) != 0) {
        DBG_ERR("%s read fail", path.c_str());
        Common_MoveAsideUnreadable(path); // the empty table's next save must not replace it
        return -1;
    }
    BarcodeTable_Parse(table, text.data(), text.size(), BARCODE_KIND_TOOL);
    return 0;
}

int BarcodeTable_SaveTool(const BarcodeTable* table, const char* toolName) {
    if (!table || !toolName) return -1;
    std::string path = toolFile(toolName);
    std::string text = BarcodeTable_Format(table, BARCODE_KIND_TOOL);
    if (Common_WriteFileAtomic(path, text.data(), text.size()) != 0) {
        DBG_ERR("%s write fail", path.c_str());
        return -1;
    }
    return 0;
}

void BarcodeKey_Reset(BarcodeKeyState* s) {
    memset(s->buf, 0, sizeof s->buf);
    s->buf[0] = '-';
    s->count = 0;
    s->shift = false;
}

char BarcodeKey_Char(uint16_t code, bool shift) {
    for (const KeyChars& r : keyRows) {
        size_t n = strlen(r.plain);
        if (code >= r.first && code < r.first + n)
            return (shift ? r.shifted : r.plain)[code - r.first];
    }
    return 0;
}

int BarcodeKey_Feed(BarcodeKeyState* s, uint16_t type, uint16_t code, int32_t value) {
    if (code == 42 || code == 54) {
        // Held while pressed or repeating; released with 0.
        s->shift = value != 0;
        return 0;
    }
    if (type != 1 || (value != 1 && value != 2)) return 0;
    char c = BarcodeKey_Char(code, s->shift);
    if (c) {
        if (s->count < BARCODE_MAX) s->buf[s->count++] = c;
        return 0;
    }
    if (s->count == 0) return 0;
    s->buf[s->count] = '\0';
    s->count = 0;
    return 1;
}

int BarcodeKey_ParseEvent(const uint8_t* bytes, size_t len, size_t eventSize, uint16_t* type,
                          uint16_t* code, int32_t* value) {
    if (!bytes || eventSize < 16 || len < eventSize) return -1;
    const uint8_t* p = bytes + eventSize - 8; // after the time stamp
    *type = uint16_t(p[0] | p[1] << 8);
    *code = uint16_t(p[2] | p[3] << 8);
    *value =
        int32_t(uint32_t(p[4]) | uint32_t(p[5]) << 8 | uint32_t(p[6]) << 16 | uint32_t(p[7]) << 24);
    return 0;
}
