/* Preloaded into the program by bench_app.sh: notes the wall-clock time and
 * the main thread's CPU time of every buffer swap (a frame presented) in the
 * file named by NIMBREL_PROBE_OUT, and of every frame the GUI library builds
 * (its SDL backend asks for the drawable size once per frame, and nothing
 * else in the program does) in the same name + ".built", so the script can
 * tell start-up time, frames built and presented, and CPU per frame without
 * changing the program. Each loop turn starts with a wait for events; those
 * go to name + ".turns" the same way. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

typedef void (*swap_fn)(void*);
typedef void (*size_fn)(void*, int*, int*);
typedef int (*wait_fn)(void*, int);

static FILE* out;
static FILE* built;
static FILE* turns;
static long turnCount;
static long frames;
static long builtFrames;

static double secs(clockid_t id) {
    struct timespec ts;
    clock_gettime(id, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

static FILE* openOut(const char* suffix) {
    const char* path = getenv("NIMBREL_PROBE_OUT");
    char name[4096];
    snprintf(name, sizeof name, "%s%s", path ? path : "/dev/null", path ? suffix : "");
    FILE* f = fopen(name, "w");
    if (f) setvbuf(f, NULL, _IOLBF, 0);
    return f;
}

void SDL_GL_GetDrawableSize(void* window, int* w, int* h) {
    static size_fn real;
    if (!real) real = (size_fn)dlsym(RTLD_NEXT, "SDL_GL_GetDrawableSize");
    if (!built) built = openOut(".built");
    if (built) fprintf(built, "%ld %.6f %.6f\n", ++builtFrames, secs(CLOCK_REALTIME), secs(CLOCK_THREAD_CPUTIME_ID));
    real(window, w, h);
}

int SDL_WaitEventTimeout(void* event, int timeout) {
    static wait_fn real;
    if (!real) real = (wait_fn)dlsym(RTLD_NEXT, "SDL_WaitEventTimeout");
    if (!turns) turns = openOut(".turns");
    if (turns) fprintf(turns, "%ld %.6f %.6f\n", ++turnCount, secs(CLOCK_REALTIME), secs(CLOCK_THREAD_CPUTIME_ID));
    return real(event, timeout);
}

void SDL_GL_SwapWindow(void* window) {
    static swap_fn real;
    if (!real) real = (swap_fn)dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
    if (!out) out = openOut("");
    /* frame number, wall clock, main-thread CPU before the swap */
    if (out) fprintf(out, "%ld %.6f %.6f\n", ++frames, secs(CLOCK_REALTIME), secs(CLOCK_THREAD_CPUTIME_ID));
    real(window);
}
