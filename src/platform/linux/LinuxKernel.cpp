#include "platform/linux/LinuxKernel.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace platform::linux {
namespace {

class RunningLinuxKernel final : public ILinuxKernel {
 public:
  long Ioctl(int fd, unsigned long request, void* arg) override {
    for (;;) {
      const int result = ::ioctl(fd, request, arg);
      if (result >= 0) return result;
      if (errno != EINTR) return -errno;
    }
  }

  // A failing close still releases the descriptor on Linux; retrying could
  // close one that another thread has opened since.
  void Close(int fd) override { ::close(fd); }
};

}  // namespace

int ILinuxKernel::Open(const char* path, int flags) {
  const int fd = ::open(path, flags | O_CLOEXEC);
  return fd < 0 ? -errno : fd;
}

ILinuxKernel& RunningKernel() {
  static RunningLinuxKernel kernel;
  return kernel;
}

}  // namespace platform::linux
