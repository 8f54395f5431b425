// Registry records and names: helpers of the tool registry that take no lock (the caller
// holds it where needed), and the barcode-file merge of a rename.
#include "tools.h"

#include "common.h"
#include "debug.h"
#include "tools_private.h"
#include "wire_util.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
const char* familyPrefix(uint8_t type) {
    switch (type) {
    case TOOL_TYPE_XWC:
        return "XWC";
    case TOOL_TYPE_ZQ:
        return "ZQ";
    case TOOL_TYPE_ZQT:
        return "ZQT";
    case TOOL_TYPE_XWTC:
        return "XWTC";
    default:
        return "";
    }
}

} // namespace

int MacAddr_Atoi(const char* text, uint8_t* mac) {
    if (!text || !mac) return 1;
    unsigned v[6];
    if (sscanf(text, "%x:%x:%x:%x:%x:%x", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != 6) return 1;
    for (int i = 0; i < 6; ++i)
        mac[i] = uint8_t(v[i]);
    return 0;
}

// ---- pure helpers ----

void ToolManager_MakeDefaultName(const ToolInfo* info, char out[TOOL_DEFNAME_SIZE]) {
    char tmp[TOOL_DEFNAME_SIZE + 8];
    const uint8_t* m = info->mac;
    snprintf(tmp, sizeof tmp, "%s%02x%02x%02x%02x%02x%02x", familyPrefix(info->type), m[0], m[1],
             m[2], m[3], m[4], m[5]);
    memset(out, 0, TOOL_DEFNAME_SIZE);
    memcpy(out, tmp, strnlen(tmp, TOOL_DEFNAME_SIZE));
}

void ToolManager_MakeRegName(uint8_t type, const char* serial, char out[TOOL_NAME_SIZE]) {
    char s[TOOL_SERIAL_SIZE + 1] = {};
    memcpy(s, serial, strnlen(serial, TOOL_SERIAL_SIZE));
    // The serial comes off the network and the name becomes a folder: no path separators or
    // control characters, and never empty, "." or "..".
    for (char* c = s; *c; ++c)
        if (*c == '/' || uint8_t(*c) < 0x20 || *c == 0x7f) *c = '_';
    memset(out, 0, TOOL_NAME_SIZE);
    snprintf(out, TOOL_NAME_SIZE, "%s%s", familyPrefix(type), s);
    if (!*out) snprintf(out, TOOL_NAME_SIZE, "tool");
    if (strcmp(out, ".") == 0 || strcmp(out, "..") == 0) memset(out, '_', strlen(out));
}

bool ToolManager_NameIsSafe(const char* name) {
    if (!name || !*name) return false;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return false;
    return strchr(name, '/') == nullptr;
}

void RegTools_EncodeRecord(const RegToolRecord* rec, uint8_t out[REGTOOLS_RECORD_SIZE]) {
    memset(out, 0, REGTOOLS_RECORD_SIZE);
    memcpy(out, rec->name, strnlen(rec->name, TOOL_NAME_SIZE - 1));
    memcpy(out + 33, rec->serial, TOOL_SERIAL_SIZE);
    putLe32(out + 52, rec->model);
    memcpy(out + 56, rec->mac, 6);
    memcpy(out + 62, rec->defname, TOOL_DEFNAME_SIZE);
    out[78] = rec->type;
}

int RegTools_DecodeRecord(const uint8_t in[REGTOOLS_RECORD_SIZE], RegToolRecord* rec) {
    memcpy(rec->name, in, TOOL_NAME_SIZE);
    rec->name[TOOL_NAME_SIZE - 1] = 0; // an unterminated name is cut to 32 characters
    memcpy(rec->serial, in + 33, TOOL_SERIAL_SIZE);
    rec->model = le32(in + 52);
    memcpy(rec->mac, in + 56, 6);
    memcpy(rec->defname, in + 62, TOOL_DEFNAME_SIZE);
    rec->type = in[78];
    return ToolManager_NameIsSafe(rec->name) ? 0 : -1;
}

int ToolManager_ParseBarcodeLine(const char* line, ToolBarcodeLine* out) {
    memset(out, 0, sizeof *out);
    uint32_t* nums[4] = {&out->partial, &out->start, &out->end, &out->preset};
    const char* p = line;
    for (int field = 0; field < 5; ++field) {
        size_t n = strcspn(p, "~\r\n");
        if (n == 0) break; // parsing stops at the first empty field
        if (field == 0) {
            memcpy(out->code, p, n < 32 ? n : 32);
        } else {
            char num[24] = {};
            memcpy(num, p, n < sizeof num - 1 ? n : sizeof num - 1);
            *nums[field - 1] = uint32_t(strtol(num, nullptr, 10));
        }
        if (p[n] != '~') break;
        p += n + 1;
    }
    return 0;
}

void ToolManager_MergeBarcodeFile(RegToolRecord* rec, const std::string& path,
                                  const ToolBarcodeOps* ops) {
    FILE* f = Common_FopenRegular(path, "r"); // a FIFO in its place must not block the rename
    if (!f) return;
    if (ops && !rec->barcode) rec->barcode = ops->create();
    char line[1001];
    while (fgets(line, sizeof line, f)) {
        // An over-long line is cut, not read on as further entries.
        size_t n = strlen(line);
        if (n == sizeof line - 1 && line[n - 1] != '\n')
            for (int c = fgetc(f); c != EOF && c != '\n'; c = fgetc(f)) {
            }
        ToolBarcodeLine l;
        ToolManager_ParseBarcodeLine(line, &l);
        if (!ops || !rec->barcode) continue;
        if (ops->append(rec->barcode, l.code, l.partial, l.start, l.end, l.preset) != 0)
            DBG_ERR("fail to add barcode line of %s", path.c_str());
    }
    if (!ops) DBG_ERR("no barcode tables, lines of %s not merged", path.c_str());
    fclose(f);
}
