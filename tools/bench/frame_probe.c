/* Preloaded into the program by bench_app.sh: notes the wall-clock time of
 * the first buffer swap and the main thread's CPU time at every swap, so the
 * script can tell start-up time and CPU per frame without changing the
 * program. Writes to the file named by NIMBREL_PROBE_OUT. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

typedef void (*swap_fn)(void*);

static FILE* out;
static long frames;

static double secs(clockid_t id) {
    struct timespec ts;
    clock_gettime(id, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

void SDL_GL_SwapWindow(void* window) {
    static swap_fn real;
    if (!real) real = (swap_fn)dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
    if (!out) {
        const char* path = getenv("NIMBREL_PROBE_OUT");
        out = fopen(path ? path : "/dev/null", "w");
        setvbuf(out, NULL, _IOLBF, 0);
    }
    /* frame number, wall clock, main-thread CPU before the swap */
    fprintf(out, "%ld %.6f %.6f\n", ++frames, secs(CLOCK_REALTIME), secs(CLOCK_THREAD_CPUTIME_ID));
    real(window);
}
