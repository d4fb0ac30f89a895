/* The floor of opening a catalogue: the system calls the program cannot do without, made once and
 * on one thread. The catalogue is read and split into lines; each listed path (code page 932)
 * becomes a file name; each .vbp is stat'ed, opened, read with one read and closed, as the program
 * reads it; its executable and listed sources are found in its text; then the status: a stat of
 * the executable and, while it is newer than everything looked at so far, of each source and its
 * companion (.frm -> .frx), stopping at the first newer file.
 *
 *   floor <catalogue>            prints "<projects> <bytes read> <stats> <ns>"
 *   floor --evict <catalogue>    drops the catalogue and every listed .vbp from the page cache
 *   floor --resident <catalogue> prints "<resident pages> <pages>" over the same files
 *   floor --rewrite <catalogue>  prints "<ns>" of the floor of a change: the catalogue's bytes
 *                                written to a new file beside it, fsync'ed, renamed over a second
 *                                name of it (the catalogue itself untouched) and the folder fsync'ed */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

enum mode { READ, EVICT, RESIDENT };

static iconv_t cp932;
static long long stats, bytes_read, pages_total, pages_resident;

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
    struct stat st;
    size_t cap = fstat(fd, &st) == 0 && st.st_size > 0 ? (size_t)st.st_size + 1 : 1 << 20, len = 0;
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

/* Code page 932 bytes to the file system's UTF-8; ASCII is copied as it is. */
static int decode(const char *in, size_t len, char *out, size_t room)
{
    size_t i = 0;
    while (i < len && !(in[i] & 0x80))
        ++i;
    if (i == len) {
        if (len >= room)
            return 0;
        memcpy(out, in, len);
        out[len] = 0;
        return 1;
    }
    char *src = (char *)in, *dst = out;
    size_t left = len, free_ = room - 1;
    iconv(cp932, NULL, NULL, NULL, NULL);
    if (iconv(cp932, &src, &left, &dst, &free_) == (size_t)-1)
        return 0;
    *dst = 0;
    return 1;
}

static int stat_at(const char *path, struct stat *st)
{
    ++stats;
    return stat(path, st);
}

/* A value as the program takes it: blanks and one pair of quotes around it gone. */
static void trim(const char **value, size_t *len)
{
    while (*len && (**value == ' ' || **value == '\t'))
        ++*value, --*len;
    while (*len && ((*value)[*len - 1] == ' ' || (*value)[*len - 1] == '\t'))
        --*len;
    if (*len >= 2 && **value == '"' && (*value)[*len - 1] == '"')
        ++*value, *len -= 2;
}

static const struct {
    const char *key;
    int named; /* "Name; file" */
} source_keys[] = {
    {"Form", 0}, {"Module", 1}, {"Class", 1}, {"UserControl", 0}, {"PropertyPage", 0},
    {"UserDocument", 0}, {"Designer", 0}, {"RelatedDoc", 0}, {"ResFile32", 0},
};

static const char *companion_of(const char *ext)
{
    static const char *pairs[][2] = {{"frm", "frx"}, {"ctl", "ctx"}, {"pag", "pgx"}, {"dob", "dox"}, {"dsr", "dsx"}};
    for (size_t i = 0; i < sizeof pairs / sizeof pairs[0]; ++i)
        if (strcasecmp(ext, pairs[i][0]) == 0)
            return pairs[i][1];
    return NULL;
}

/* Joins the project's folder and a listed name (backslashes as separators). */
static int join(char *out, size_t room, const char *folder, size_t folder_len, const char *name)
{
    if (name[0] == '/' || name[0] == '\\')
        folder_len = 0;
    int n = snprintf(out, room, "%.*s%s%s", (int)folder_len, folder, folder_len ? "/" : "", name);
    if (n < 0 || (size_t)n >= room)
        return 0;
    for (char *c = out + folder_len; *c; ++c)
        if (*c == '\\')
            *c = '/';
    return 1;
}

static void project(const char *vbp)
{
    struct stat st;
    if (stat_at(vbp, &st) != 0 || !S_ISREG(st.st_mode))
        return;
    int fd = open(vbp, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return;
    char text[65536];
    size_t want = (size_t)st.st_size + 1 < sizeof text ? (size_t)st.st_size + 1 : sizeof text, got = 0;
    while (got < want) {
        ssize_t n = read(fd, text + got, want - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += (size_t)n;
        if (got >= (size_t)st.st_size)
            break;
    }
    close(fd);
    bytes_read += (long long)got;

    const char *slash = strrchr(vbp, '/');
    const size_t folder_len = slash ? (size_t)(slash - vbp) : 0;
    char exe[4096] = "", sources[16][512];
    int nsources = 0;
    for (size_t at = 0; at < got;) {
        const char *line = text + at;
        const char *end = memchr(line, '\n', got - at);
        size_t len = end ? (size_t)(end - line) : got - at;
        at += len + 1;
        if (len && line[len - 1] == '\r')
            --len;
        if (len && line[0] == '[')
            break; /* the project's own lines end at the first section */
        const char *eq = memchr(line, '=', len);
        if (!eq)
            continue;
        const size_t key_len = (size_t)(eq - line);
        const char *value = eq + 1;
        size_t value_len = len - key_len - 1;
        if (key_len == 9 && strncasecmp(line, "ExeName32", 9) == 0) {
            trim(&value, &value_len);
            char name[1024];
            if (!decode(value, value_len, name, sizeof name))
                continue;
            const char *base = name;
            for (const char *c = name; *c; ++c)
                if (*c == '\\' || *c == '/' || *c == ':')
                    base = c + 1;
            snprintf(exe, sizeof exe, "%.*s/%s", (int)folder_len, vbp, base);
            continue;
        }
        for (size_t k = 0; k < sizeof source_keys / sizeof source_keys[0]; ++k) {
            if (strlen(source_keys[k].key) != key_len || strncasecmp(line, source_keys[k].key, key_len) != 0)
                continue;
            if (source_keys[k].named) {
                const char *semicolon = memchr(value, ';', value_len);
                if (semicolon) {
                    value_len -= (size_t)(semicolon + 1 - value);
                    value = semicolon + 1;
                }
            }
            trim(&value, &value_len);
            char name[512];
            if (nsources < 16 && value_len && decode(value, value_len, name, sizeof name)
                && join(sources[nsources], sizeof sources[nsources], vbp, folder_len, name))
                ++nsources;
            break;
        }
    }
    if (!exe[0]) {
        const char *dot = strrchr(vbp, '.');
        if (!dot || dot < slash)
            return;
        snprintf(exe, sizeof exe, "%.*s.exe", (int)(dot - vbp), vbp);
    }

    struct stat exe_st;
    if (stat_at(exe, &exe_st) != 0 || !S_ISREG(exe_st.st_mode))
        return; /* not built */
    const struct timespec built = exe_st.st_mtim;
#define NEWER(t) ((t).tv_sec > built.tv_sec || ((t).tv_sec == built.tv_sec && (t).tv_nsec > built.tv_nsec))
    if (NEWER(st.st_mtim))
        return; /* out of date: the .vbp itself is newer */
    for (int i = 0; i < nsources; ++i) {
        struct stat source;
        if (stat_at(sources[i], &source) == 0 && NEWER(source.st_mtim))
            return;
        const char *dot = strrchr(sources[i], '.');
        const char *companion = dot && !strchr(dot, '/') ? companion_of(dot + 1) : NULL;
        if (companion) {
            char path[520];
            snprintf(path, sizeof path, "%.*s.%s", (int)(dot - sources[i]), sources[i], companion);
            if (stat_at(path, &source) == 0 && NEWER(source.st_mtim))
                return;
        }
    }
#undef NEWER
}

static void act(const char *path, enum mode mode)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (mode == EVICT) {
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
}

static int write_all(int fd, const char *data, size_t size)
{
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return -1;
        data += n;
        size -= (size_t)n;
    }
    return 0;
}

/* A new file with the bytes, made durable, put in place of the old one (replaced as the program
 * replaces the catalogue, so that freeing the old file's blocks is in the time too). */
static int replace_with(const char *target, const char *folder, const char *data, size_t size)
{
    char temp[8300];
    snprintf(temp, sizeof temp, "%s.floor-new", target);
    int fd = open(temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 || write_all(fd, data, size) != 0 || fsync(fd) != 0 || close(fd) != 0
        || rename(temp, target) != 0)
        return -1;
    int dir = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || fsync(dir) != 0)
        return -1;
    close(dir);
    return 0;
}

static int rewrite(const char *catalogue)
{
    size_t size = 0;
    char *text = slurp(catalogue, &size);
    if (!text) {
        perror(catalogue);
        return 1;
    }
    char target[8200], folder[8200];
    snprintf(target, sizeof target, "%s.floor", catalogue);
    snprintf(folder, sizeof folder, "%s", catalogue);
    char *slash = strrchr(folder, '/');
    if (slash)
        *slash = 0;
    else
        strcpy(folder, ".");
    /* What is replaced is a second name of the catalogue: as in the program, the version replaced
     * stays (there as a backup, here as the catalogue), and no write before the timed one has left
     * freshly freed pages for it to take. */
    unlink(target);
    if (link(catalogue, target) != 0) {
        perror(target);
        return 1;
    }
    const long long t0 = now_ns();
    const int failed = replace_with(target, folder, text, size);
    const long long ns = now_ns() - t0;
    unlink(target);
    free(text);
    if (failed) {
        perror(target);
        return 1;
    }
    printf("%lld\n", ns);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "--rewrite") == 0)
        return rewrite(argv[2]);
    enum mode mode = READ;
    const char *catalogue = argv[argc - 1];
    if (argc == 3 && strcmp(argv[1], "--evict") == 0)
        mode = EVICT;
    else if (argc == 3 && strcmp(argv[1], "--resident") == 0)
        mode = RESIDENT;
    else if (argc != 2) {
        fprintf(stderr, "usage: floor [--evict|--resident|--rewrite] <catalogue>\n");
        return 2;
    }
    cp932 = iconv_open("UTF-8", "CP932");
    if (cp932 == (iconv_t)-1) {
        perror("iconv_open CP932");
        return 1;
    }

    /* The catalogue's residency before this program reads it for its list; its eviction after. */
    if (mode == RESIDENT)
        act(catalogue, mode);
    const long long t0 = now_ns();
    size_t size = 0;
    char *text = slurp(catalogue, &size);
    if (!text) {
        perror(catalogue);
        return 1;
    }
    bytes_read += (long long)size;
    long long projects = 0;
    int in_section = 0;
    char path[8192];
    for (char *line = text; line < text + size;) {
        char *end = memchr(line, '\n', (size_t)(text + size - line));
        if (!end)
            end = text + size;
        char *stop = end;
        if (stop > line && stop[-1] == '\r')
            --stop;
        if (*line == '[')
            in_section = 1;
        else if (in_section) {
            char *eq = memchr(line, '=', (size_t)(stop - line));
            if (eq && eq + 1 < stop && decode(eq + 1, (size_t)(stop - eq - 1), path, sizeof path)) {
                ++projects;
                if (mode == READ)
                    project(path);
                else
                    act(path, mode);
            }
        }
        line = end + 1;
    }
    const long long t1 = now_ns();
    free(text);
    if (mode == EVICT)
        act(catalogue, mode);
    if (mode == READ)
        printf("%lld %lld %lld %lld\n", projects, bytes_read, stats, t1 - t0);
    else if (mode == RESIDENT)
        printf("%lld %lld\n", pages_resident, pages_total);
    return 0;
}
