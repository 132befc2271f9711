// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into lumetra-batch by the parallel-run test: the first write() of
// all the jobs into a file under $LUMETRA_TEST_KILL_DIR (the job that creates
// $LUMETRA_TEST_KILL_ONCE) writes half its bytes, then the job dies by SIGKILL.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" ssize_t write(int fd, const void* buffer, size_t count) {
    using Write = ssize_t (*)(int, const void*, size_t);
    static const Write next = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "write"));
    const char* folder = std::getenv("LUMETRA_TEST_KILL_DIR");
    const char* once = std::getenv("LUMETRA_TEST_KILL_ONCE");
    char link[64], target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length =
        fd > 2 && count > 1 && folder && once ? readlink(link, target, sizeof target - 1) : -1;
    if (length > 0) target[length] = '\0';
    const size_t prefix = folder ? std::strlen(folder) : 0;
    int marker = -1;
    if (length > 0 && std::strncmp(target, folder, prefix) == 0 && target[prefix] == '/' &&
        (marker = open(once, O_WRONLY | O_CREAT | O_EXCL, 0600)) >= 0) {
        close(marker);
        next(fd, buffer, count / 2);
        kill(getpid(), SIGKILL);
    }
    return next(fd, buffer, count);
}
