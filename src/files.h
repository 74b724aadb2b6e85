// Opening the selector's own files (settings and images) so that a special
// file in their place is named instead of waited on or misread.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// The outcome of opening one of the selector's files.
struct OpenedFile {
    File file;                   // open for reading; null on failure
    const char* kind = nullptr;  // "a directory", "a FIFO", ...: there, but not a regular file
    int error = 0;               // errno of the failed open, 0 otherwise
};

// Opens `path` for reading when it is a regular file. Never waits: a FIFO
// or a device is reported by its kind, not opened for reading.
OpenedFile openRegularFile(const char* path);

// The line that says `path` is not a regular file: "PATH is KIND, not a file".
std::string notAFileMessage(const char* path, const char* kind);
