/* The physical floor of opening a catalogue: read the catalogue file, then every .vbp it lists
 * once (open, read to the end, close), nothing else.
 *
 *   floor <catalogue>            prints "<files> <bytes> <ns>": files read, bytes read, time taken
 *   floor --evict <catalogue>    drops the catalogue and every listed file from the page cache
 *   floor --resident <catalogue> prints "<resident pages> <pages>" over the same files
 *
 * Values are taken as the bytes after the first '=' of each line inside a section; the benchmark's
 * catalogues hold ASCII paths, so no decoding is needed. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

enum mode { READ, EVICT, RESIDENT };

static long long now_ns(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

static char *slurp(const char *path, size_t *size)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return NULL;
    size_t cap = 1 << 20, len = 0;
    char *buf = malloc(cap + 1);
    for (;;) {
        if (len == cap) {
            cap *= 2;
            buf = realloc(buf, cap + 1);
        }
        ssize_t n = read(fd, buf + len, cap - len);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        len += (size_t)n;
    }
    close(fd);
    buf[len] = 0;
    *size = len;
    return buf;
}

static long long pages_total, pages_resident;

static int act(const char *path, enum mode mode, long long *bytes)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    if (mode == READ) {
        static char buf[65536];
        ssize_t n;
        while ((n = read(fd, buf, sizeof buf)) > 0)
            *bytes += n;
    } else if (mode == EVICT) {
        fdatasync(fd);
        posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    } else {
        struct stat st;
        if (fstat(fd, &st) == 0 && st.st_size > 0) {
            long page = sysconf(_SC_PAGESIZE);
            size_t pages = (size_t)((st.st_size + page - 1) / page);
            void *map = mmap(NULL, (size_t)st.st_size, PROT_READ, MAP_SHARED, fd, 0);
            unsigned char *vec = malloc(pages);
            if (map != MAP_FAILED && mincore(map, (size_t)st.st_size, vec) == 0) {
                pages_total += (long long)pages;
                for (size_t i = 0; i < pages; ++i)
                    pages_resident += vec[i] & 1;
            }
            free(vec);
            if (map != MAP_FAILED)
                munmap(map, (size_t)st.st_size);
        }
    }
    close(fd);
    return 1;
}

int main(int argc, char **argv)
{
    enum mode mode = READ;
    const char *catalogue = argv[argc - 1];
    if (argc == 3 && strcmp(argv[1], "--evict") == 0)
        mode = EVICT;
    else if (argc == 3 && strcmp(argv[1], "--resident") == 0)
        mode = RESIDENT;
    else if (argc != 2) {
        fprintf(stderr, "usage: floor [--evict|--resident] <catalogue>\n");
        return 2;
    }

    long long bytes = 0, files = 0;
    /* The catalogue's residency before this program reads it for its list; its eviction after. */
    if (mode == RESIDENT)
        act(catalogue, mode, &bytes);
    const long long t0 = now_ns();
    size_t size = 0;
    char *text = slurp(catalogue, &size);
    if (!text) {
        perror(catalogue);
        return 1;
    }
    bytes += (long long)size;
    int in_section = 0;
    for (char *line = text; line < text + size;) {
        char *end = memchr(line, '\n', (size_t)(text + size - line));
        if (!end)
            end = text + size;
        char *stop = end;
        if (stop > line && stop[-1] == '\r')
            --stop;
        *stop = 0;
        if (*line == '[')
            in_section = 1;
        else if (in_section) {
            char *eq = strchr(line, '=');
            if (eq && eq[1])
                files += act(eq + 1, mode, &bytes);
        }
        line = end + 1;
    }
    const long long t1 = now_ns();
    free(text);
    if (mode == EVICT)
        act(catalogue, mode, &bytes);
    if (mode == READ)
        printf("%lld %lld %lld\n", files, bytes, t1 - t0);
    else if (mode == RESIDENT)
        printf("%lld %lld\n", pages_resident, pages_total);
    return 0;
}
