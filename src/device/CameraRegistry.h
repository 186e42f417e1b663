#pragma once
// The process-wide registry of open cameras, keyed by the camera key (the
// device-instance handle; 0 = no camera). Entries own the device file handle
// until the last close, and for each thread that works on the camera that
// thread's own capture filter and property interface; every operation
// elsewhere works on a copy of an entry, holding the calling thread's objects.

#include <cstdint>

#include "device/CameraDevice.h"
#include "platform/Types.h"

// Key of the first identified camera at or after *index, 0 if none; *index is
// left at that camera's position, or -1. With `dataLength`, a camera whose
// driver keeps the data control at its first size is asked for that length
// before it is identified (CCameraDevice::CheckIdentity).
uint32_t OpenCamera(int32_t* index, uint8_t dataLength = 0);
// One open fewer; the last releases the camera. Always 1.
int CloseCamera(uint32_t key);
// Releases every capture object this thread holds for any camera. A thread
// calls it before it leaves the component runtime, and the download thread
// after each job.
void ReleaseThisThreadsCameraObjects();
// 1 when the registered camera passes the identity check now.
int IsIdentifiedCamera(uint32_t key);
// 1 when the registered camera's driver keeps each control at its first size
// until the camera enumerates again.
int DriverFixesControlSizes(uint32_t key);
// 1 while the registered camera is the device appearance it was opened on:
// it answers at the data-control length the host keeps. 0 once it has left
// the bus or come back at its power-up length, as after a reset.
int IsSameCameraPresent(uint32_t key);
// 1 with the camera's device file handle in *handle. A handle of the caller's
// own in *handle is closed first.
int GetDeviceHandle(uint32_t key, platform::Handle* handle);
// 1 when *handle is the camera's handle, which is then closed and forgotten.
int ReleaseDeviceHandle(platform::Handle* handle, uint32_t key);
// Adds the camera, or one open to its existing entry (then its handle is
// released, and its objects replace this thread's). Always 1.
int RegisterCamera(CCameraDevice& camera);
// A copy of the entry with this thread's objects, bound now if this thread
// has none yet (none when the device is gone).
int LookupCamera(uint32_t key, CCameraDevice* camera);
int StoreCamera(uint32_t key, const CCameraDevice& camera);

// Drops every entry without device traffic (tests; the end of the program).
void ResetCameraRegistry();

// Runs `command` on a copy of the registered camera; 0 without device traffic
// when the key is not registered.
template <typename Command>
int RunOnCamera(uint32_t key, Command&& command) {
  CCameraDevice camera;
  if (!LookupCamera(key, &camera)) return 0;
  return command(camera);
}
