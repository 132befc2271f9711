// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/Unprivileged.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace lumetra::test {
namespace {

constexpr int kOverrides[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};

}  // namespace

bool PermissionBitsBind() {
    const char* tmp = std::getenv("TMPDIR");
    std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/lumetra-probe-XXXXXX";
    const int fd = ::mkstemp(path.data());
    if (fd < 0) return false;
    ::close(fd);
    ::chmod(path.c_str(), 0);
    const int reader = ::open(path.c_str(), O_RDONLY);
    const bool binds = reader < 0;
    if (reader >= 0) ::close(reader);
    ::unlink(path.c_str());
    return binds;
}

bool GiveUpPermissionOverride() {
    if (::geteuid() != 0) return PermissionBitsBind();
    // Out of the bounding set first, so that programs started later (the
    // batch tool) cannot get them back when they execute as root...
    for (int cap : kOverrides) ::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0);
    // ... then out of this thread's own sets.
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    for (int cap : kOverrides) {
        const unsigned bit = 1u << (cap % 32);
        data[cap / 32].effective &= ~bit;
        data[cap / 32].permitted &= ~bit;
        data[cap / 32].inheritable &= ~bit;
    }
    if (::syscall(SYS_capset, &header, data) != 0) return false;
    return PermissionBitsBind();
}

}  // namespace lumetra::test
