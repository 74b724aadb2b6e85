// Selector folders for the benchmarks: settings accepting ".rom" and ".bin",
// and a ROM folder of empty files, made under the temporary folder and
// removed when the object goes.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

struct BenchFolder {
    std::string path;

    // `entries` files in roms/, of which `accepted` end in ".rom", the rest in ".txt".
    BenchFolder(int entries, int accepted) {
        std::string pattern = (std::filesystem::temp_directory_path() / "selector-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        path = pattern;
        write(path + "/selector.cfg", "romdir=roms/\next1=.rom\next2=.bin\nemulator=./emu\n");
        mkdir((path + "/roms").c_str(), 0755);
        for (int i = 0; i < entries; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "/roms/game %06d%s", (i * 7919) % entries,
                          i < accepted ? ".rom" : ".txt");
            const int file = open((path + name).c_str(), O_CREAT | O_WRONLY, 0644);
            if (file < 0) std::abort();
            close(file);
        }
    }
    ~BenchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    static void write(const std::string& file, const std::string& contents) {
        FILE* out = std::fopen(file.c_str(), "w");
        if (!out) std::abort();
        std::fputs(contents.c_str(), out);
        std::fclose(out);
    }
};
