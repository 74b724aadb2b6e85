#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

const char* kindOf(mode_t mode) {
    if (S_ISREG(mode)) return nullptr;
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "a special file";
}

}  // namespace

OpenedFile openRegularFile(const char* path) {
    OpenedFile opened;
    // O_NONBLOCK: opening a FIFO without a writer would wait forever.
    const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        opened.error = errno;
        return opened;
    }
    struct stat status;
    if (fstat(descriptor, &status) != 0) {
        opened.error = errno;
    } else if ((opened.kind = kindOf(status.st_mode)) == nullptr) {
        // O_NONBLOCK stays: reads of a regular file never wait anyway.
        opened.file.reset(fdopen(descriptor, "r"));
        if (opened.file) return opened;
        opened.error = errno;
    }
    close(descriptor);
    return opened;
}

std::string notAFileMessage(const char* path, const char* kind) {
    return std::string(path) + " is " + kind + ", not a file";
}
