#pragma once
// The kernel seam of the Linux channels, played for their tests: uvcvideo's
// extension-unit queries answered from `controls` with the driver's size rule
// (a control's size is fixed at its first use; ENOBUFS for any other size
// afterwards), usbfs control transfers answered in full (a read counts up
// from 0xA0) or with `answer` bytes, opens refused per path, and everything
// that reached the drivers recorded in order.

#include <gtest/gtest.h>
#include <linux/usb/video.h>
#include <linux/usbdevice_fs.h>
#include <linux/uvcvideo.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/linux/LinuxKernel.h"

namespace fake {

using Bytes = std::vector<uint8_t>;

// uvcvideo's size rule for an extension-unit query, given the size the
// driver has kept for the control since its first use: the length query is
// two bytes, every other query exactly the kept size; anything else is
// refused with ENOBUFS before the device sees it. 0 when the size is right.
inline long UvcSizeRefusal(uint8_t query, uint16_t size, size_t kept) {
  const size_t wanted = query == UVC_GET_LEN ? 2 : kept;
  return size == wanted ? 0 : -ENOBUFS;
}

class LinuxKernel final : public platform::linux::ILinuxKernel {
 public:
  struct Query {
    uint8_t unit;
    uint8_t selector;
    uint8_t query;
    uint16_t size;
    Bytes sent;  // the bytes of a set
    bool operator==(const Query&) const = default;
  };
  struct Transfer {
    uint8_t bRequestType;
    uint8_t bRequest;
    uint16_t wValue;
    uint16_t wIndex;
    uint16_t wLength;
    uint32_t timeout;
    Bytes sent;  // the data stage to the device
    bool operator==(const Transfer&) const = default;
  };

  long Ioctl(int fd, unsigned long request, void* arg) override {
    if (onlyFd >= 0) {
      EXPECT_EQ(fd, onlyFd);
    }
    if (request == UVCIOC_CTRL_QUERY) return PlayQuery(*static_cast<uvc_xu_control_query*>(arg));
    if (request == USBDEVFS_CONTROL) return PlayTransfer(*static_cast<usbdevfs_ctrltransfer*>(arg));
    return -ENOTTY;
  }
  void Close(int fd) override {
    closed.push_back(fd);
    if (closesForReal) ::close(fd);
  }
  int Open(const char* path, int flags) override {
    const auto refused = refuse.find(path);
    if (refused != refuse.end()) return -refused->second;
    return ILinuxKernel::Open(path, flags);
  }

  // The units the queries went to, in order.
  std::vector<uint8_t> Units() const {
    std::vector<uint8_t> units;
    for (const Query& q : queries) units.push_back(q.unit);
    return units;
  }

  int onlyFd = -1;             // the one descriptor the tests hand out, when not -1
  bool closesForReal = false;  // descriptors are the testbed's, not made up
  uint8_t unit = 4;
  std::map<uint8_t, Bytes> controls;     // the unit's controls by selector
  std::map<uint8_t, size_t> fixedSizes;  // the driver's record, per control
  std::map<std::string, int> refuse;     // paths whose open fails with the errno
  int failWith = 0;                      // every ioctl fails with this errno
  long answer = -1;                      // bytes a transfer moves; -1 for all
  std::vector<Query> queries;
  std::vector<Transfer> transfers;
  std::vector<int> closed;

 private:
  long PlayQuery(uvc_xu_control_query& q) {
    queries.push_back(
        {q.unit, q.selector, q.query, q.size, q.query == UVC_SET_CUR ? Bytes(q.data, q.data + q.size) : Bytes()});
    if (failWith) return -failWith;
    if (q.unit != unit || !controls.count(q.selector)) return -ENOENT;
    Bytes& control = controls[q.selector];
    const size_t fixed = fixedSizes.emplace(q.selector, control.size()).first->second;
    if (const long refusal = UvcSizeRefusal(q.query, q.size, fixed)) return refusal;
    if (q.query == UVC_GET_LEN) {
      q.data[0] = static_cast<uint8_t>(control.size());
      q.data[1] = static_cast<uint8_t>(control.size() >> 8);
      return 0;
    }
    if (q.query == UVC_SET_CUR) control.assign(q.data, q.data + q.size);
    if (q.query == UVC_GET_CUR)
      std::copy(control.begin(), control.begin() + std::min<size_t>(q.size, control.size()), q.data);
    return 0;
  }

  long PlayTransfer(const usbdevfs_ctrltransfer& t) {
    auto* data = static_cast<uint8_t*>(t.data);
    const bool toHost = t.bRequestType & 0x80;
    transfers.push_back({t.bRequestType, t.bRequest, t.wValue, t.wIndex, t.wLength, t.timeout,
                         toHost ? Bytes() : Bytes(data, data + t.wLength)});
    if (failWith) return -failWith;
    const long moved = answer < 0 ? t.wLength : answer;
    if (toHost)
      for (long i = 0; i < moved; ++i) data[i] = static_cast<uint8_t>(0xA0 + i);
    return moved;
  }
};

}  // namespace fake
