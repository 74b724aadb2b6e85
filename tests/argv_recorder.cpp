// Stands in for a launch program or the system menu: writes its working
// folder and then each of its arguments, one a line, to $RECORD_FILE; then,
// when $RECORD_DISPLAY names a file (the emulated board's report of its
// display model), that file's lines as it reads when this program starts,
// each after "display "; then, when $RECORD_CONTENT is set, the first line
// of the file its first argument names, after "content " ("content
// unreadable" when it cannot be read).
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const char* recordFile = std::getenv("RECORD_FILE");
    char folder[PATH_MAX];
    if (!recordFile || !getcwd(folder, sizeof folder)) return 90;
    FILE* record = std::fopen(recordFile, "w");
    if (!record) return 91;
    std::fprintf(record, "%s\n", folder);
    for (int i = 0; i < argc; ++i) std::fprintf(record, "%s\n", argv[i]);
    if (const char* display = std::getenv("RECORD_DISPLAY")) {
        FILE* report = std::fopen(display, "r");
        char line[256];
        while (report && std::fgets(line, sizeof line, report)) std::fprintf(record, "display %s", line);
        if (report) std::fclose(report);
    }
    if (std::getenv("RECORD_CONTENT") && argc > 1) {
        FILE* file = std::fopen(argv[1], "r");
        char line[256] = "unreadable";
        if (file && !std::fgets(line, sizeof line, file)) line[0] = '\0';
        std::fprintf(record, "content %s\n", line);
        if (file) std::fclose(file);
    }
    return std::fclose(record) == 0 ? 0 : 92;
}
