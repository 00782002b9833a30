// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// What a shared library offers and asks of the dynamic linker, read from the
// ELF file itself: the names its dynamic symbol table defines (global, weak
// and unique alike), the names it imports, and the libraries it needs.

#include <elf.h>

#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace test_host {

class ElfFile {
public:
    explicit ElfFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (bytes_.size() < sizeof(Elf64_Ehdr)) throw std::runtime_error("not an ELF file: " + path);
    }

    // Dynamic symbols, defined here (true) or imported (false).
    std::set<std::string> dynamic_symbols(bool defined) const {
        std::set<std::string> names;
        for (const Elf64_Shdr& section : sections()) {
            if (section.sh_type != SHT_DYNSYM) continue;
            const auto* symbols = at<Elf64_Sym>(section.sh_offset);
            for (std::size_t s = 0; s < section.sh_size / sizeof(Elf64_Sym); ++s) {
                if (symbols[s].st_name == 0 || (symbols[s].st_shndx != SHN_UNDEF) != defined) continue;
                names.insert(string_in(section.sh_link, symbols[s].st_name));
            }
        }
        return names;
    }

    // The DT_NEEDED entries: the sonames the loader must find.
    std::set<std::string> needed() const {
        std::set<std::string> names;
        for (const Elf64_Shdr& section : sections()) {
            if (section.sh_type != SHT_DYNAMIC) continue;
            const auto* entries = at<Elf64_Dyn>(section.sh_offset);
            for (std::size_t e = 0; e < section.sh_size / sizeof(Elf64_Dyn); ++e) {
                if (entries[e].d_tag == DT_NEEDED) names.insert(string_in(section.sh_link, entries[e].d_un.d_val));
            }
        }
        return names;
    }

private:
    template <typename T>
    const T* at(std::size_t offset) const {
        return reinterpret_cast<const T*>(bytes_.data() + offset);
    }
    std::vector<Elf64_Shdr> sections() const {
        const auto* header = at<Elf64_Ehdr>(0);
        const auto* first = at<Elf64_Shdr>(header->e_shoff);
        return std::vector<Elf64_Shdr>(first, first + header->e_shnum);
    }
    std::string string_in(std::size_t string_section, std::size_t offset) const {
        return bytes_.data() + sections()[string_section].sh_offset + offset;
    }

    std::vector<char> bytes_;
};

inline std::set<std::string> defined_dynamic_symbols(const std::string& path) {
    return ElfFile(path).dynamic_symbols(true);
}

}  // namespace test_host
