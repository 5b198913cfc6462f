// finishdll.cpp -- points a linked module's export and resource directories at the tables its linker script placed in the code section, then drops the symbol table
//   finishdll MODULE    rewrites MODULE in place; on any failure removes it, so the next build links it again
//
// GNU ld fills the export and resource directory entries only from sections named
// .edata and .rsrc. Each section costs a header and up to a file-alignment block
// of padding, so the linker script puts both tables in the code section (a
// Microsoft linker puts the exports in .rdata too) and marks them with the symbols
// below. The link keeps its symbol table (no -s) for this tool to read them from.
#include "common/le.h"

#include <stdio.h>
#include <string.h>

#include <vector>

namespace {

const char *const kExportStart = "__export_start__";
const char *const kExportEnd = "__export_end__";
const char *const kResourceStart = "__rsrc_start__";
const char *const kResourceEnd = "__rsrc_end__";

// Offsets and codes of the PE/COFF headers and the COFF symbol table.
enum : u32 {
    kDosNewHeaderAt = 0x3c,
    kPeSignature = 0x00004550, // "PE\0\0"
    kFileHeaderAt = 4, // after the signature
    kFileSectionCount = 2,
    kFileSymbolTable = 8,
    kFileSymbolCount = 12,
    kFileOptionalSize = 16,
    kFileHeaderSize = 20,
    kOptMagic = 0,
    kPe32Magic = 0x10b,
    kOptCheckSum = 64,
    kOptDirectoryCount = 92,
    kOptDirectories = 96,
    kDirectorySize = 8,
    kExportDirectory = 0,
    kResourceDirectory = 2,
    kSectionHeaderSize = 40,
    kSectionRawSize = 16,
    kSectionRawAt = 20,
    kSymbolSize = 18,
    kSymbolShortName = 8,
    kSymbolValue = 8,
    kSymbolSection = 12,
    kSymbolAuxCount = 17,
    kAbsoluteSection = 0xffff, // section number -1: the value is the symbol itself
};

struct Module {
    std::vector<u8> bytes;
    u32 fileHeader;
    u32 optionalHeader;

    bool has(u32 at, u32 size) const { return at <= bytes.size() && size <= bytes.size() - at; }
};

// The value of an absolute symbol (the linker script makes them image-relative addresses).
bool findSymbol(const Module &m, const char *name, u32 *value)
{
    const u8 *header = &m.bytes[m.fileHeader];
    u32 table = getLe32(header + kFileSymbolTable);
    u32 count = getLe32(header + kFileSymbolCount);
    if (!m.has(table, 0) || count > (m.bytes.size() - table) / kSymbolSize ||
        !m.has(table + count * kSymbolSize, 4))
        return false;
    u32 strings = table + count * kSymbolSize;
    u32 stringsSize = getLe32(&m.bytes[strings]);
    u32 nameLength = (u32)strlen(name);
    for (u32 i = 0; i < count; i += 1 + m.bytes[table + i * kSymbolSize + kSymbolAuxCount]) {
        const u8 *symbol = &m.bytes[table + i * kSymbolSize];
        bool same;
        if (getLe32(symbol) == 0) {
            u32 offset = getLe32(symbol + 4);
            same = offset < stringsSize && m.has(strings + offset, nameLength + 1) &&
                memcmp(&m.bytes[strings + offset], name, nameLength + 1) == 0;
        } else {
            same = nameLength <= kSymbolShortName && memcmp(symbol, name, nameLength) == 0 &&
                (nameLength == kSymbolShortName || symbol[nameLength] == 0);
        }
        if (same && getLe16(symbol + kSymbolSection) == kAbsoluteSection) {
            *value = getLe32(symbol + kSymbolValue);
            return true;
        }
    }
    return false;
}

bool setDirectory(Module &m, u32 index, const char *startName, const char *endName)
{
    u32 start, end;
    if (!findSymbol(m, startName, &start) || !findSymbol(m, endName, &end) || end <= start) {
        fprintf(stderr, "finishdll: no %s..%s in the symbol table\n", startName, endName);
        return false;
    }
    u8 *entry = &m.bytes[m.optionalHeader + kOptDirectories + index * kDirectorySize];
    if (getLe32(entry) != 0) {
        fprintf(stderr, "finishdll: directory %u is already set\n", index);
        return false;
    }
    putLe32(entry, start);
    putLe32(entry + 4, end - start);
    return true;
}

// The image checksum: a 16-bit ones'-complement sum of the file, its own field as
// zero, plus the file's length.
u32 checkSum(const Module &m)
{
    u32 field = m.optionalHeader + kOptCheckSum;
    u32 sum = 0;
    for (u32 at = 0; at + 1 < m.bytes.size(); at += 2) {
        if (at == field || at == field + 2)
            continue;
        sum += getLe16(&m.bytes[at]);
        sum = (sum & 0xffff) + (sum >> 16);
    }
    if (m.bytes.size() & 1)
        sum += m.bytes.back();
    sum = (sum & 0xffff) + (sum >> 16);
    return sum + (u32)m.bytes.size();
}

bool finish(Module &m)
{
    if (!m.has(kDosNewHeaderAt, 4))
        return false;
    u32 pe = getLe32(&m.bytes[kDosNewHeaderAt]);
    m.fileHeader = pe + kFileHeaderAt;
    m.optionalHeader = m.fileHeader + kFileHeaderSize;
    if (!m.has(pe, kFileHeaderAt + kFileHeaderSize) || getLe32(&m.bytes[pe]) != kPeSignature)
        return false;
    u8 *header = &m.bytes[m.fileHeader];
    u32 optionalSize = getLe16(header + kFileOptionalSize);
    u32 sections = getLe16(header + kFileSectionCount);
    u32 sectionTable = m.optionalHeader + optionalSize;
    if (optionalSize < kOptDirectories + (kResourceDirectory + 1) * kDirectorySize ||
        !m.has(sectionTable, sections * kSectionHeaderSize) ||
        getLe16(&m.bytes[m.optionalHeader + kOptMagic]) != kPe32Magic ||
        getLe32(&m.bytes[m.optionalHeader + kOptDirectoryCount]) <= kResourceDirectory)
        return false;

    // Finished before (run again by hand): nothing left to do.
    if (getLe32(header + kFileSymbolTable) == 0 &&
        getLe32(&m.bytes[m.optionalHeader + kOptDirectories + kExportDirectory * kDirectorySize]) != 0)
        return true;
    if (!setDirectory(m, kExportDirectory, kExportStart, kExportEnd) ||
        !setDirectory(m, kResourceDirectory, kResourceStart, kResourceEnd))
        return false;

    // The symbol table follows the sections' data; the image ends where they do.
    u32 end = sectionTable + sections * kSectionHeaderSize;
    for (u32 i = 0; i < sections; i++) {
        const u8 *section = &m.bytes[sectionTable + i * kSectionHeaderSize];
        u32 rawEnd = getLe32(section + kSectionRawAt) + getLe32(section + kSectionRawSize);
        if (getLe32(section + kSectionRawSize) != 0 && rawEnd > end)
            end = rawEnd;
    }
    header = &m.bytes[m.fileHeader];
    if (end > getLe32(header + kFileSymbolTable) || end > m.bytes.size())
        return false;
    m.bytes.resize(end);
    putLe32(header + kFileSymbolTable, 0);
    putLe32(header + kFileSymbolCount, 0);
    putLe32(&m.bytes[m.optionalHeader + kOptCheckSum], checkSum(m));
    return true;
}

bool readFile(const char *path, std::vector<u8> *bytes)
{
    FILE *f = fopen(path, "rb");
    if (!f)
        return false;
    u8 block[4096];
    size_t got;
    while ((got = fread(block, 1, sizeof block, f)) > 0)
        bytes->insert(bytes->end(), block, block + got);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

bool writeFile(const char *path, const std::vector<u8> &bytes)
{
    FILE *f = fopen(path, "wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: finishdll MODULE\n");
        return 2;
    }
    Module m;
    if (readFile(argv[1], &m.bytes) && finish(m) && writeFile(argv[1], m.bytes))
        return 0;
    fprintf(stderr, "finishdll: %s is not a module this tool can finish; removed\n", argv[1]);
    remove(argv[1]);
    return 1;
}
