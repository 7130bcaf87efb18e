#include "common/Descriptors.h"

#include <fcntl.h>

void KeepFromChildren(int fd) {
    const int flags = ::fcntl(fd, F_GETFD);
    if (flags >= 0)
        ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
}
