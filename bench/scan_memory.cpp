// Measures the memory of a catalogue scan: the peak resident memory of a
// fresh process that scans an empty folder, 100,000 rejected entries and
// 100,000 accepted ones, and what each accepted entry keeps.
//   scan-memory            makes the folders and prints the figures
//   scan-memory FOLDER     (internal) scans FOLDER/roms/ and reports
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "bench_folders.h"
#include "catalogue.h"

namespace {

long peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

struct Figures {
    long peakKiB = 0, entries = 0, entryBytes = 0;
};

int scanAndReport(const char* folder) {
    if (chdir(folder) != 0) return 1;
    const RomList list = scanRoms("roms/");
    size_t entryBytes = 0;
    for (int i = 0; i < list.romCount; ++i) entryBytes += malloc_usable_size(list.entries[i]);
    std::printf("%ld %d %zu\n", peakResidentKiB(), list.romCount, entryBytes);
    return 0;
}

Figures measure(const char* self, const BenchFolder& folder) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return {};
    if (fork() == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        execl(self, self, folder.path.c_str(), static_cast<char*>(nullptr));
        _exit(1);
    }
    close(pipeEnds[1]);
    char line[128] = {};
    const ssize_t length = read(pipeEnds[0], line, sizeof line - 1);
    close(pipeEnds[0]);
    wait(nullptr);
    Figures figures;
    if (length > 0) std::sscanf(line, "%ld %ld %ld", &figures.peakKiB, &figures.entries, &figures.entryBytes);
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2) return scanAndReport(argv[1]);
    const int entries = 100000;
    const Figures empty = measure(argv[0], BenchFolder(0, 0));
    const Figures rejected = measure(argv[0], BenchFolder(entries, 0));
    const Figures accepted = measure(argv[0], BenchFolder(entries, entries));
    std::printf("peak resident memory, empty folder:               %6ld KiB\n", empty.peakKiB);
    std::printf("peak resident memory, %d rejected entries:    %6ld KiB (%+ld KiB)\n", entries,
                rejected.peakKiB, rejected.peakKiB - empty.peakKiB);
    std::printf("peak resident memory, %d accepted entries:    %6ld KiB (%+ld KiB)\n", entries,
                accepted.peakKiB, accepted.peakKiB - empty.peakKiB);
    if (accepted.entries > 0) {
        std::printf("accepted entries listed:                          %6ld\n", accepted.entries);
        std::printf("heap block of one entry, as scandir made it:      %6.1f bytes\n",
                    static_cast<double>(accepted.entryBytes) / accepted.entries);
        std::printf("resident memory per accepted entry (whole scan):  %6.1f bytes\n",
                    1024.0 * (accepted.peakKiB - empty.peakKiB) / accepted.entries);
    }
    std::printf("struct dirent:                                    %6zu bytes\n", sizeof(struct dirent));
    return 0;
}
