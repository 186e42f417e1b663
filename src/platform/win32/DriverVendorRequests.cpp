#include "platform/win32/DriverVendorRequests.h"

#include <cstring>
#include <vector>

#include "platform/Types.h"
#include "platform/VendorRequestBlock.h"
#include "platform/win32/WideText.h"

namespace platform::win32 {

std::shared_ptr<DriverVendorRequests> DriverVendorRequests::Open(const std::string& devicePath) {
  const HANDLE file = ::CreateFileW(Wide(devicePath).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_shared<DriverVendorRequests>(file);
}

DriverVendorRequests::~DriverVendorRequests() { ::CloseHandle(file_); }

// The block goes in and comes back in one buffer; a read's bytes are at
// offset 12 of it once the driver has carried the request out, whatever
// count of bytes it says it returned.
uint32_t DriverVendorRequests::Send(const VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) {
  if (transferred) *transferred = 0;
  if (setup.wLength && !data) return kErrorInvalidParameter;
  const VendorRequest request = VendorRequest::Carrying(setup);
  std::vector<uint8_t> block = request.Block(data);
  DWORD count = 0;
  const BOOL done = ::DeviceIoControl(file_, IOCTL_DL_VENDOR_REQUEST, block.data(), request.InputLength(), block.data(),
                                      request.OutputLength(), &count, nullptr);
  if (!done) {
    // A failure must never read as success, even without an error code.
    const DWORD error = ::GetLastError();
    return error != 0 ? error : kErrorGenFailure;
  }
  if (request.FromDevice() && setup.wLength)
    std::memcpy(data, block.data() + VendorRequest::kDataOffset, setup.wLength);
  if (transferred) *transferred = setup.wLength;
  return 0;
}

}  // namespace platform::win32
