#pragma once
// The few kernel calls the Linux camera channels make, behind an interface so
// that tests can play the drivers (uvcvideo, usbfs) byte for byte.

namespace platform::linux {

class ILinuxKernel {
 public:
  virtual ~ILinuxKernel() = default;
  // One ioctl on `fd`: its non-negative result, or the negated errno it
  // failed with. An interrupted call is repeated, never reported.
  virtual long Ioctl(int fd, unsigned long request, void* arg) = 0;
  // Closes a descriptor that a channel owns.
  virtual void Close(int fd) = 0;
  // Opens a device node: the descriptor, or the negated errno. Kernels that
  // play only the drivers' ioctls keep the running kernel's open.
  virtual int Open(const char* path, int flags);
};

// The running kernel; stateless, shared by the whole process.
ILinuxKernel& RunningKernel();

}  // namespace platform::linux
