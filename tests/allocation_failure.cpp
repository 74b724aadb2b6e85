// Loaded with LD_PRELOAD into the real selector by the out-of-memory test:
// the allocation numbered $FAIL_ALLOCATION (from 1, counting malloc, calloc
// and realloc calls) returns null, as when memory runs out, and the file
// $FAIL_ALLOCATION_MARK is made to say that it happened. Every other
// allocation succeeds, and programs started from the selector are left alone.
//
// Allocations made inside SDL_Init are neither counted nor failed: SDL 1.2
// itself crashes when one of them fails (its video start-up, giving up,
// tears down a display it never finished making), which no program can mend.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
}

namespace {

long failAt = 0;  // 0: never
long allocations = 0;
bool insideSdlInit = false;
bool settingsRead = false;
char mark[4096] = "";

// Read at the first allocation, which may come before any constructor runs.
void readSettings() {
    settingsRead = true;
    if (const char* at = std::getenv("FAIL_ALLOCATION")) failAt = std::atol(at);
    if (const char* path = std::getenv("FAIL_ALLOCATION_MARK"))
        for (size_t i = 0; path[i] && i + 1 < sizeof mark; ++i) mark[i] = path[i];
}

__attribute__((constructor)) void leaveChildrenAlone() {
    if (!settingsRead) readSettings();
    unsetenv("FAIL_ALLOCATION");
}

bool failsNow() {
    if (!settingsRead) readSettings();
    if (insideSdlInit || ++allocations != failAt) return false;
    const int file = open(mark, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file >= 0) close(file);
    errno = ENOMEM;
    return true;
}

}  // namespace

extern "C" void* malloc(size_t size) { return failsNow() ? nullptr : __libc_malloc(size); }
extern "C" void* calloc(size_t count, size_t size) {
    return failsNow() ? nullptr : __libc_calloc(count, size);
}
extern "C" void* realloc(void* block, size_t size) {
    return failsNow() ? nullptr : __libc_realloc(block, size);
}

extern "C" int SDL_Init(unsigned int flags) {
    using Init = int (*)(unsigned int);
    static const Init realInit = reinterpret_cast<Init>(dlsym(RTLD_NEXT, "SDL_Init"));
    insideSdlInit = true;
    const int result = realInit(flags);
    insideSdlInit = false;
    return result;
}
