/* One text notification in a fresh process, timed from loading the library:
 * PushNote through libpushnote.so, or the same POST through libcurl with
 * curl_global_init and a fresh easy handle. Written in C and linked with
 * nothing but libc, so that neither side finds its dependencies loaded.
 * Prints the microseconds of the load and of the whole, space separated.
 *
 * Usage: startup_probe pushnote LIBRARY
 *        startup_probe curl LIBRARY URL CA_FILE
 */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

static const char* const kToken = "bench-token";
static const char* const kMessage = "Benchmark note";

static double Now(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec * 1e6 + (double)now.tv_nsec / 1e3;
}

static void* Symbol(void* library, const char* name) {
    void* symbol = dlsym(library, name);
    if (!symbol) fprintf(stderr, "startup_probe: %s missing\n", name);
    return symbol;
}

static int SendThroughPushNote(void* library) {
    unsigned char (*setAccessToken)(const char*) =
        (unsigned char (*)(const char*))Symbol(library, "SetAccessToken");
    int (*pushNote)(const char*) = (int (*)(const char*))Symbol(library, "PushNote");
    return setAccessToken && pushNote && setAccessToken(kToken) && pushNote(kMessage) == 0;
}

/* The libcurl calls used, by their C types; the option numbers are libcurl's
 * stable ABI. */
enum {
    kCurlGlobalAll = 3,
    kOptUrl = 10002,
    kOptPostFields = 10015,
    kOptUserAgent = 10018,
    kOptHttpHeader = 10023,
    kOptCaInfo = 10065,
    kOptWriteFunction = 20011,
    kInfoResponseCode = 0x200002
};

static size_t Discard(char* data, size_t size, size_t count, void* user) {
    (void)data;
    (void)user;
    return size * count;
}

static int SendThroughCurl(void* library, const char* url, const char* caFile) {
    int (*globalInit)(long) = (int (*)(long))Symbol(library, "curl_global_init");
    void* (*easyInit)(void) = (void* (*)(void))Symbol(library, "curl_easy_init");
    int (*setOption)(void*, int, ...) =
        (int (*)(void*, int, ...))Symbol(library, "curl_easy_setopt");
    int (*perform)(void*) = (int (*)(void*))Symbol(library, "curl_easy_perform");
    int (*getInfo)(void*, int, ...) =
        (int (*)(void*, int, ...))Symbol(library, "curl_easy_getinfo");
    void (*cleanup)(void*) = (void (*)(void*))Symbol(library, "curl_easy_cleanup");
    void* (*append)(void*, const char*) =
        (void* (*)(void*, const char*))Symbol(library, "curl_slist_append");
    void (*freeAll)(void*) = (void (*)(void*))Symbol(library, "curl_slist_free_all");
    if (!globalInit || !easyInit || !setOption || !perform || !getInfo || !cleanup || !append ||
        !freeAll || globalInit(kCurlGlobalAll) != 0) {
        return 0;
    }
    void* handle = easyInit();
    if (!handle) return 0;
    void* headers = append(NULL, "Content-Type: application/x-www-form-urlencoded");
    headers = append(headers, "Authorization: Bearer bench-token");
    char body[64];
    snprintf(body, sizeof body, "message=%s", kMessage);
    setOption(handle, kOptUrl, url);
    setOption(handle, kOptHttpHeader, headers);
    setOption(handle, kOptPostFields, body);
    setOption(handle, kOptUserAgent, "PushNote");
    if (*caFile) setOption(handle, kOptCaInfo, caFile);
    setOption(handle, kOptWriteFunction, &Discard);
    long status = 0;
    const int sent =
        perform(handle) == 0 && getInfo(handle, kInfoResponseCode, &status) == 0 && status == 200;
    freeAll(headers);
    cleanup(handle);
    return sent;
}

int main(int argc, char** argv) {
    const int curl = argc == 5 && strcmp(argv[1], "curl") == 0;
    if (!curl && !(argc == 3 && strcmp(argv[1], "pushnote") == 0)) {
        fprintf(stderr, "usage: startup_probe pushnote LIBRARY | curl LIBRARY URL CA_FILE\n");
        return 2;
    }
    const double start = Now();
    void* library = dlopen(argv[2], RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "startup_probe: %s\n", dlerror());
        return 1;
    }
    const double loaded = Now();
    const int sent =
        curl ? SendThroughCurl(library, argv[3], argv[4]) : SendThroughPushNote(library);
    const double done = Now();
    if (!sent) {
        fprintf(stderr, "startup_probe: the notification failed\n");
        return 1;
    }
    printf("%.0f %.0f\n", loaded - start, done - start);
    return 0;
}
