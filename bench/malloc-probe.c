/* Loaded into the soak's Wine process (LD_PRELOAD) so the soak can ask
 * glibc, the native side's allocator, for its own figures at each
 * checkpoint: a Windows program cannot call it. The soak writes the file
 * "request" (containing "trim" to have malloc_trim(0) run first) into the
 * folder QUORVEL_MALLOC_PROBE names; this answers in the file "answer" with
 * glibc's bytes in use, free in its arenas and taken from the system, and
 * removes the request. Only the process QUORVEL_UNIX_PID names answers:
 * Wine's helper processes inherit the environment too. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <malloc.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static char folder[4096];

static void write_answer(const char* request) {
    char path[4200], ready[4200], mode[16] = "";
    /* Plain descriptors: stdio would allocate, in an arena of this thread's own. */
    int fd = open(request, O_RDONLY);
    if (fd >= 0) {
        if (read(fd, mode, sizeof(mode) - 1) < 0)
            mode[0] = 0;
        close(fd);
    }
    struct mallinfo2 before = mallinfo2();
    int trimmed = 0;
    if (strncmp(mode, "trim", 4) == 0) {
        malloc_trim(0);
        trimmed = 1;
    }
    struct mallinfo2 after = mallinfo2();
    snprintf(path, sizeof(path), "%s/answer.part", folder);
    snprintf(ready, sizeof(ready), "%s/answer", folder);
    fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return;
    /* In use: blocks in the arenas plus those mmapped on their own (also
     * given alone: glibc moves large blocks between the two as its mmap
     * threshold rises). */
    dprintf(fd, "glibc-in-use %zu glibc-mmapped %zu glibc-free %zu glibc-system %zu trimmed %d\n",
            after.uordblks + after.hblkhd, after.hblkhd, before.fordblks,
            after.arena + after.hblkhd, trimmed);
    close(fd);
    rename(path, ready);
}

static void* serve(void* unused) {
    char request[4200];
    (void)unused;
    snprintf(request, sizeof(request), "%s/request", folder);
    for (;;) {
        if (access(request, F_OK) == 0) {
            write_answer(request);
            unlink(request);
        }
        struct timespec pause = {0, 5 * 1000 * 1000};
        nanosleep(&pause, NULL);
    }
    return NULL;
}

__attribute__((constructor)) static void start(void) {
    const char* dir = getenv("QUORVEL_MALLOC_PROBE");
    const char* pid = getenv("QUORVEL_UNIX_PID");
    if (!dir || !pid || atol(pid) != (long)getpid() || strlen(dir) >= sizeof(folder))
        return;
    strcpy(folder, dir);
    pthread_t thread;
    if (pthread_create(&thread, NULL, serve, NULL) == 0)
        pthread_detach(thread);
}
