/* Preloaded into the program by bench_app.sh. Counts, in a small shared file
 * the script reads while the program runs (NIMBREL_PROBE_OUT + ".counts",
 * four 64-bit numbers), the loop turns (each starts by asking SDL whether it
 * has events queued),
 * the frames the GUI library builds (its SDL backend asks for the drawable
 * size once per frame, and nothing else in the program does), the frames
 * presented (buffer swaps), and the main thread's CPU nanoseconds from the
 * start of each frame built to the end of its turn. The first swap's
 * wall-clock time goes to NIMBREL_PROBE_OUT itself, for the start-up time.
 * A turn that builds nothing is counted in memory only: a system call in it
 * would cost a good share of what it measures. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

typedef void (*swap_fn)(void*);
typedef void (*size_fn)(void*, int*, int*);
typedef int (*has_fn)(unsigned, unsigned);

enum { Turns, Built, Presented, BuiltCpuNs, Count };

static uint64_t* counts;
static uint64_t frameStart;  /* thread CPU at the start of the frame being built, 0 outside one */

static uint64_t threadNs(void) {
    struct timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return (uint64_t)ts.tv_sec * 1000000000u + (uint64_t)ts.tv_nsec;
}

static uint64_t* counters(void) {
    static uint64_t none[Count];
    if (counts) return counts;
    counts = none;
    const char* path = getenv("NIMBREL_PROBE_OUT");
    if (!path) return counts;
    char name[4096];
    snprintf(name, sizeof name, "%s.counts", path);
    const int fd = open(name, O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return counts;
    if (ftruncate(fd, sizeof none) == 0) {
        void* m = mmap(NULL, sizeof none, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (m != MAP_FAILED) counts = m;
    }
    close(fd);
    return counts;
}

void SDL_GL_GetDrawableSize(void* window, int* w, int* h) {
    static size_fn real;
    if (!real) real = (size_fn)dlsym(RTLD_NEXT, "SDL_GL_GetDrawableSize");
    ++counters()[Built];
    if (!frameStart) frameStart = threadNs();
    real(window, w, h);
}

int SDL_HasEvents(unsigned first, unsigned last) {
    static has_fn real;
    if (!real) real = (has_fn)dlsym(RTLD_NEXT, "SDL_HasEvents");
    uint64_t* c = counters();
    ++c[Turns];
    if (frameStart) {
        c[BuiltCpuNs] += threadNs() - frameStart;
        frameStart = 0;
    }
    return real(first, last);
}

void SDL_GL_SwapWindow(void* window) {
    static swap_fn real;
    if (!real) real = (swap_fn)dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
    if (++counters()[Presented] == 1) {
        const char* path = getenv("NIMBREL_PROBE_OUT");
        FILE* f = path ? fopen(path, "w") : NULL;
        struct timespec ts;
        clock_gettime(CLOCK_REALTIME, &ts);
        if (f) fprintf(f, "1 %.6f\n", ts.tv_sec + ts.tv_nsec / 1e9);
        if (f) fclose(f);
    }
    real(window);
}
