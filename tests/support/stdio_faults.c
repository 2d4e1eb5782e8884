/*
 * Failing stdio calls on request, for running a program's write-error paths
 * as a process. Linked into a test build of the program with
 *   -Wl,--wrap=fwrite,--wrap=fflush,--wrap=fclose,--wrap=openat,--wrap=writev,--wrap=close,
 *   --wrap=renameat
 * so that the program's own calls reach these first. The program's code is
 * unchanged; only what the C library answers is.
 *
 * STDIO_FAULT=<call>:<n> makes the n-th call (from 1) of fwrite, fflush or
 * fclose on a file other than the standard streams fail:
 *   fwrite  writes half of what it was asked, returns that count, errno ENOSPC
 *           (a disk that filled midway);
 *   fflush  returns EOF with errno EIO and leaves the buffered bytes buffered;
 *   fclose  closes the file (the bytes reach it) and returns EOF, errno EIO.
 * STDIO_FAULT=close:<n> makes the n-th close of a descriptor open for writing,
 * other than the standard ones, fail after closing it, with errno EIO (as a
 * network file system reports a write error).
 * Every fclose of such a file also writes "<fclose>" and a newline to
 * standard error, so that a test sees whether a message came before it.
 *
 * writev, on a descriptor other than the standard ones, writes at most
 * 16 KiB a call, as a pipe or a slow device may take less than asked: a
 * program must write the rest itself.
 *
 * STDIO_SIGNAL=<signal>:<n> raises that signal (by number) just before the
 * n-th fwrite or writev on such a file: an interruption midway through a
 * write. First it writes "<mode NNN>" and a newline to standard error: the
 * file's permission bits at that moment, in octal. STDIO_SIGNAL=<signal>:rename
 * raises it just before the first renameat instead: once a temporary file has
 * its name, before it takes the final one.
 *
 * STDIO_FAULT=openat:<n> makes the n-th openat that makes a new file (O_EXCL)
 * fail with EEXIST, as if another file had just taken the name.
 *
 * NO_TMPFILE, set to anything, makes every openat asking for an unnamed
 * temporary file fail with EOPNOTSUPP, as on a file system without them.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

size_t __real_fwrite(const void *data, size_t size, size_t count, FILE *file);
int __real_fflush(FILE *file);
int __real_fclose(FILE *file);
int __real_openat(int dir, const char *path, int flags, ...);
ssize_t __real_writev(int fd, const struct iovec *parts, int count);
int __real_close(int fd);
int __real_renameat(int from_dir, const char *from, int to_dir, const char *to);

static int is_standard(FILE *file) { return file == NULL || file == stdout || file == stderr || file == stdin; }

/* Whether this call, the calls-th of its kind so far, is the one asked to fail. */
static int should_fail(const char *call, unsigned calls) {
  const char *fault = getenv("STDIO_FAULT");
  const size_t length = strlen(call);
  if (!fault || strncmp(fault, call, length) != 0 || fault[length] != ':') return 0;
  return strtoul(fault + length + 1, NULL, 10) == calls;
}

/* Raises STDIO_SIGNAL's signal if this call, the calls-th fwrite or writev,
 * is the one it names, after saying the mode of the file open as fd. */
static void signal_if_asked(int fd, unsigned calls) {
  const char *signal_at = getenv("STDIO_SIGNAL");
  if (!signal_at || !strchr(signal_at, ':') || strtoul(strchr(signal_at, ':') + 1, NULL, 10) != calls) return;
  struct stat st;
  char line[32];
  if (fstat(fd, &st) == 0) {
    const int length = snprintf(line, sizeof line, "<mode %o>\n", (unsigned)(st.st_mode & 07777));
    if (write(STDERR_FILENO, line, (size_t)length) < 0) abort();
  }
  raise((int)strtol(signal_at, NULL, 10));
}

static unsigned write_calls; /* fwrite and writev, for STDIO_SIGNAL */

size_t __wrap_fwrite(const void *data, size_t size, size_t count, FILE *file) {
  static unsigned calls;
  if (!is_standard(file)) signal_if_asked(fileno(file), ++write_calls);
  if (is_standard(file) || !should_fail("fwrite", ++calls)) return __real_fwrite(data, size, count, file);
  const size_t written = __real_fwrite(data, size, count / 2, file);
  errno = ENOSPC;
  return written;
}

int __wrap_fflush(FILE *file) {
  static unsigned calls;
  if (is_standard(file) || !should_fail("fflush", ++calls)) return __real_fflush(file);
  errno = EIO;
  return EOF;
}

int __wrap_fclose(FILE *file) {
  static unsigned calls;
  if (is_standard(file)) return __real_fclose(file);
  static const char mark[] = "<fclose>\n";
  if (write(STDERR_FILENO, mark, sizeof mark - 1) < 0) abort();
  const int fail = should_fail("fclose", ++calls);
  const int result = __real_fclose(file);
  if (!fail) return result;
  errno = EIO;
  return EOF;
}

int __wrap_openat(int dir, const char *path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  static unsigned exclusive_calls;
  if ((flags & O_EXCL) && should_fail("openat", ++exclusive_calls)) {
    errno = EEXIST;
    return -1;
  }
  if ((flags & O_TMPFILE) == O_TMPFILE && getenv("NO_TMPFILE")) {
    errno = EOPNOTSUPP;
    return -1;
  }
  return __real_openat(dir, path, flags, mode);
}

ssize_t __wrap_writev(int fd, const struct iovec *parts, int count) {
  if (fd <= STDERR_FILENO || count == 0) return __real_writev(fd, parts, count);
  signal_if_asked(fd, ++write_calls);
  struct iovec first = parts[0];
  if (first.iov_len > 16384) first.iov_len = 16384;
  return __real_writev(fd, &first, 1);
}

int __wrap_close(int fd) {
  static unsigned calls;
  const int flags = fcntl(fd, F_GETFL);
  if (fd <= STDERR_FILENO || flags < 0 || (flags & O_ACCMODE) == O_RDONLY) return __real_close(fd);
  const int result = __real_close(fd);
  if (!should_fail("close", ++calls)) return result;
  errno = EIO;
  return -1;
}

int __wrap_renameat(int from_dir, const char *from, int to_dir, const char *to) {
  const char *signal_at = getenv("STDIO_SIGNAL");
  if (signal_at && strchr(signal_at, ':') && strcmp(strchr(signal_at, ':') + 1, "rename") == 0)
    raise((int)strtol(signal_at, NULL, 10));
  return __real_renameat(from_dir, from, to_dir, to);
}
