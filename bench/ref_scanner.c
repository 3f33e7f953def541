/* The naive ceiling for a line-oriented pass over a file: read it in 1 MiB blocks with
 * read(2), find each line end with memchr and count the lines. It looks at no line's
 * content, so no tool that has to compare lines can be expected to be much faster.
 *
 *   ref_scanner FILE      prints the number of LF-terminated lines (plus a last
 *                         unterminated one) to stdout
 */

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define BLOCK_SIZE (1u << 20)

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: ref_scanner FILE\n");
        return 2;
    }
    int fd = open(argv[1], O_RDONLY);
    if (fd < 0) {
        perror(argv[1]);
        return 1;
    }
    char *block = malloc(BLOCK_SIZE);
    if (block == NULL) {
        perror("malloc");
        return 1;
    }

    unsigned long long lines = 0;
    int lastEndedLine = 1; /* an empty file has no unterminated last line */
    for (;;) {
        ssize_t got = read(fd, block, BLOCK_SIZE);
        if (got < 0) {
            if (errno == EINTR) continue;
            perror(argv[1]);
            return 1;
        }
        if (got == 0) break;
        const char *p = block;
        const char *end = block + got;
        for (;;) {
            const char *nl = memchr(p, '\n', (size_t)(end - p));
            if (nl == NULL) break;
            ++lines;
            p = nl + 1;
        }
        lastEndedLine = block[got - 1] == '\n';
    }
    if (!lastEndedLine) ++lines;
    close(fd);
    free(block);
    printf("%llu\n", lines);
    return 0;
}
