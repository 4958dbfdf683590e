// The host calls that move file content. Handles, copies and streams all read and write through
// here, so that a test can make the disk fill up or fail at a chosen byte.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace standin {

enum class HostCall { Read, Write };

// As read(2) and write(2), unless a fault is armed for the call.
ssize_t hostRead(int fd, void* buffer, size_t size);
ssize_t hostWrite(int fd, const void* buffer, size_t size);

// From now on the call moves bytes until `afterBytes` have gone through it in all, cutting the
// call that reaches the limit short, then fails with errnoValue until the fault is cleared.
void armHostFault(HostCall call, uint64_t afterBytes, int errnoValue);

}  // namespace standin
