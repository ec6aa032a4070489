/* Preloaded into pushnote by the outbox test: a write that stalls between
 * its last byte and its rename, as on a busy disk, with its temporary file
 * made to look two minutes old, so that only the writer's hold protects it
 * from a flush that runs meanwhile. PUSHNOTE_TEST_RENAME_DELAY is the stall
 * in seconds. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

int rename(const char* from, const char* to) {
    int (*real)(const char*, const char*) =
        (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
    const char* base = strrchr(from, '/');
    base = base ? base + 1 : from;
    const char* delay = getenv("PUSHNOTE_TEST_RENAME_DELAY");
    if (delay && strncmp(base, ".tmp-", 5) == 0) {
        const time_t old = time(NULL) - 120;
        const struct timespec times[2] = {{old, 0}, {old, 0}};
        utimensat(AT_FDCWD, from, times, 0);
        sleep((unsigned)atoi(delay));
    }
    return real(from, to);
}
