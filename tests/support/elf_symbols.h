// What a shared library file says about its symbols, read from the file
// itself: the names its dynamic symbol table defines, and the names its
// dynamic relocations are resolved against. Only the ELF class of the build
// machine is read; anything else reads as no names at all.
#pragma once

#include <elf.h>
#include <link.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace tessera_test {

// The names of the library's ABI: TesseraInit and the operations of the full
// record, in the record's field order.
inline const char* const kExportNames[] = {
    "TesseraInit",
    "LoadRifFile",
    "SaveRifFile",
    "LoadRif",
    "SaveRif",
    "DecompressRif",
    "CompressRif",
    "ParseRif",
    "CompileRif",
    "ReleaseBuffer",
    "CreateRifItem",
    "CreateRifItemFolder",
    "CreateRifItemChild",
    "DeleteRifItem",
    "SetRifItemName",
    "GetRifItemName",
    "SetRifItemData",
    "GetRifItemData",
    "IsRifItemFolder",
    "GetParentRifItem",
    "GetChildRifItem",
    "GetNextRifItem",
    "GetPrevRifItem",
    "InsertRifItem",
    "InsertRifItemFolder",
    "InsertRifItemChild",
    "RemoveRifItem",
    "FindFirstRifItem",
    "FindNextRifItem",
    "GetRebShapeData",
    "GetLightSetData",
    "GetRebEnvData",
};

class ElfFile {
public:
    explicit ElfFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        ElfW(Ehdr) header;
        if (bytes_.size() < sizeof header) {
            return;
        }
        std::memcpy(&header, bytes_.data(), sizeof header);
        if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
            header.e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) ||
            header.e_shentsize != sizeof(ElfW(Shdr)) || header.e_shoff > bytes_.size() ||
            header.e_shnum > (bytes_.size() - header.e_shoff) / sizeof(ElfW(Shdr))) {
            return;
        }
        sections_.resize(header.e_shnum);
        std::memcpy(sections_.data(), bytes_.data() + header.e_shoff,
                    sections_.size() * sizeof(ElfW(Shdr)));
    }

    // Names that the dynamic symbol table defines (the version node the
    // linker adds, an absolute symbol, is left out).
    std::set<std::string> DefinedDynamicSymbols() const {
        std::set<std::string> names;
        for (const ElfW(Shdr) & section : sections_) {
            if (section.sh_type != SHT_DYNSYM) {
                continue;
            }
            for (const ElfW(Sym) & symbol : Symbols(section)) {
                if (symbol.st_shndx != SHN_UNDEF && symbol.st_shndx != SHN_ABS) {
                    names.insert(Name(section, symbol));
                }
            }
        }
        names.erase("");
        return names;
    }

    // Names that some dynamic relocation (a PLT slot, a GOT entry, a data
    // word) is bound to when the library is loaded: each is looked up in the
    // whole process, so a program's definition of the name would win.
    std::set<std::string> RelocatedSymbols() const {
        std::set<std::string> names;
        for (const ElfW(Shdr) & section : sections_) {
            const bool rela = section.sh_type == SHT_RELA;
            if ((!rela && section.sh_type != SHT_REL) || section.sh_link >= sections_.size() ||
                !Inside(section)) {
                continue;
            }
            const ElfW(Shdr)& table = sections_[section.sh_link];
            const std::vector<ElfW(Sym)> symbols = Symbols(table);
            const std::size_t entry = rela ? sizeof(ElfW(Rela)) : sizeof(ElfW(Rel));
            for (std::size_t at = 0; at + entry <= section.sh_size; at += entry) {
                // r_info lies at the same place in both forms.
                ElfW(Rel) relocation;
                std::memcpy(&relocation, bytes_.data() + section.sh_offset + at, sizeof relocation);
                const std::size_t index = sizeof(void*) == 8 ? ELF64_R_SYM(relocation.r_info)
                                                             : ELF32_R_SYM(relocation.r_info);
                if (index != 0 && index < symbols.size()) {
                    names.insert(Name(table, symbols[index]));
                }
            }
        }
        names.erase("");
        return names;
    }

private:
    bool Inside(const ElfW(Shdr) & section) const {
        return section.sh_offset <= bytes_.size() &&
               section.sh_size <= bytes_.size() - section.sh_offset;
    }

    std::vector<ElfW(Sym)> Symbols(const ElfW(Shdr) & table) const {
        std::vector<ElfW(Sym)> symbols;
        if (!Inside(table) || table.sh_link >= sections_.size()) {
            return symbols;
        }
        symbols.resize(table.sh_size / sizeof(ElfW(Sym)));
        std::memcpy(symbols.data(), bytes_.data() + table.sh_offset,
                    symbols.size() * sizeof(ElfW(Sym)));
        return symbols;
    }

    std::string Name(const ElfW(Shdr) & table, const ElfW(Sym) & symbol) const {
        const ElfW(Shdr)& strings = sections_[table.sh_link];
        if (!Inside(strings) || symbol.st_name >= strings.sh_size) {
            return {};
        }
        const char* start = bytes_.data() + strings.sh_offset + symbol.st_name;
        return std::string(start, strnlen(start, strings.sh_size - symbol.st_name));
    }

    std::vector<char> bytes_;
    std::vector<ElfW(Shdr)> sections_;
};

}  // namespace tessera_test
