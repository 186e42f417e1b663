#include <functional>
#include <thread>

#include "FakeCapture.h"

namespace {

using fake::Block;

class CameraRegistryTest : public fake::DeviceTest {};

TEST_F(CameraRegistryTest, OpensTheFirstCameraThatIdentifies) {
  AddCamera("path0", 0x11, false);
  AddCamera("path1", 0x22, true);
  int32_t index = 0;
  EXPECT_EQ(OpenCamera(&index), 0x22u);
  EXPECT_EQ(index, 1);
  const CCameraDevice camera = Registered(0x22);
  EXPECT_EQ(camera.m_devicePath, "path1");
  EXPECT_EQ(camera.m_friendlyName, "path1 camera");
  EXPECT_EQ(camera.m_openCount, 1);
  EXPECT_EQ(camera.m_deviceIndex, 1);
  EXPECT_EQ(camera.m_nodeId, 3u);
  EXPECT_EQ(camera.m_handle, 100);
  // Only the identified camera's objects stay held.
  EXPECT_EQ(fake::LiveFilters(), 1);
  EXPECT_EQ(files.open.size(), 1u);
  // Each device got the identify block, then one read of the data control.
  const auto& calls = capture.wire.calls;
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].sent, Block({0x00, 0xD0, 0, 0, 0x08, 0, 0, 0}));
  EXPECT_EQ(calls[0].property.id, kCommandControl);
  EXPECT_FALSE(calls[1].IsSet());
  EXPECT_EQ(calls[1].property.id, kDataControl);
  EXPECT_EQ(calls[1].length, 8u);
  EXPECT_EQ(calls[2].device, 1);
}

TEST_F(CameraRegistryTest, StartIndexOutsideTheDevicesFindsNothing) {
  AddCamera("path0", 0x11);
  AddCamera("path1", 0x22);
  for (int32_t start : {2, 3, 50, -1, -7}) {
    int32_t index = start;
    EXPECT_EQ(OpenCamera(&index), 0u) << start;
    EXPECT_EQ(index, -1) << start;
  }
  EXPECT_TRUE(capture.wire.calls.empty());
  EXPECT_TRUE(files.open.empty());
}

TEST_F(CameraRegistryTest, NoEnumerationMeansNoCamera) {
  AddCamera("path0", 0x11);
  capture.emptyCategory = true;
  int32_t index = 0;
  EXPECT_EQ(OpenCamera(&index), 0u);
  EXPECT_EQ(index, -1);
  capture.emptyCategory = false;
  capture.enumeratorStatus = platform::kFail;
  index = 0;
  EXPECT_EQ(OpenCamera(&index), 0u);
  EXPECT_EQ(index, -1);
  EXPECT_TRUE(capture.wire.calls.empty());
}

TEST_F(CameraRegistryTest, SkipsDevicesThatCannotServe) {
  AddCamera("no path", 0x11).hasDevicePath = false;
  AddCamera("no control", 0x22).hasKsControl = false;
  AddCamera("no instance", 0);
  AddCamera("good", 0x44).friendlyName.reset();
  int32_t index = 0;
  EXPECT_EQ(OpenCamera(&index), 0x44u);
  EXPECT_EQ(index, 3);
  EXPECT_EQ(Registered(0x44).m_friendlyName, "");
  // The device without an instance handle was not asked to identify.
  for (const auto& call : capture.wire.calls) EXPECT_EQ(call.device, 3);
}

TEST_F(CameraRegistryTest, DeviceListFailureSkipsTheDevice) {
  AddCamera("path0", 0x11);
  capture.deviceListStatus = platform::kFail;
  int32_t index = 0;
  EXPECT_EQ(OpenCamera(&index), 0u);
  EXPECT_EQ(index, -1);
}

TEST_F(CameraRegistryTest, FailedIdentifyCommandIsReportedAndSkipsTheDevice) {
  AddCamera("path0", 0x11);
  AddCamera("path1", 0x22);
  capture.wire.failCall[0] = platform::kFail;
  int32_t index = 0;
  EXPECT_EQ(OpenCamera(&index), 0x22u);
  EXPECT_EQ(capture.wire.CommandBlocks()[1], Block({0xFF, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(debug.lines.size(), 1u);
}

TEST_F(CameraRegistryTest, FailedDeviceFileLeavesNothingOpen) {
  AddCamera("path0", 0x11);
  files.refused.insert("path0");
  int32_t index = 0;
  EXPECT_EQ(OpenCamera(&index), 0u);
  EXPECT_EQ(index, 0);
  CCameraDevice camera;
  EXPECT_EQ(LookupCamera(0x11, &camera), 0);
  EXPECT_EQ(fake::LiveFilters(), 0);
  EXPECT_EQ(fake::LiveControls(), 0);
}

TEST_F(CameraRegistryTest, SameCameraTwiceSharesOneEntryUntilTheLastClose) {
  AddCamera("path0", 0x11);
  int32_t index = 0;
  EXPECT_EQ(OpenCamera(&index), 0x11u);
  index = 0;
  EXPECT_EQ(OpenCamera(&index), 0x11u);
  EXPECT_EQ(Registered(0x11).m_openCount, 2);
  EXPECT_EQ(Registered(0x11).m_handle, 100);
  // The second open's objects were given up.
  EXPECT_EQ(files.open, std::set<platform::Handle>{100});
  EXPECT_EQ(fake::LiveFilters(), 1);

  EXPECT_EQ(CloseCamera(0x11), 1);
  EXPECT_EQ(IsIdentifiedCamera(0x11), 1);
  EXPECT_EQ(CloseCamera(0x11), 1);
  EXPECT_TRUE(files.open.empty());
  EXPECT_EQ(fake::LiveFilters(), 0);
  capture.wire.calls.clear();
  EXPECT_EQ(IsIdentifiedCamera(0x11), 0);
  EXPECT_EQ(ResetDevice(0x11u), 0);
  uint8_t buffer[2] = {};
  EXPECT_EQ(ReadMemory(0x11u, 0xFE21, 2, buffer), 0);
  EXPECT_EQ(CloseCamera(0x11), 1);
  EXPECT_TRUE(capture.wire.calls.empty());
}

// Windows' capture objects belong to the thread that made them: another
// thread binds its own by the device path, and each thread releases its own,
// even when another closed the camera.
TEST_F(CameraRegistryTest, AnotherThreadWorksThroughObjectsOfItsOwnAndReleasesThem) {
  const uint32_t key = OpenOneCamera();
  std::thread([key] {
    EXPECT_EQ(IsIdentifiedCamera(key), 1);
    EXPECT_EQ(fake::LiveFilters(), 2);
    EXPECT_EQ(CloseCamera(key), 1);
    EXPECT_EQ(fake::LiveFilters(), 1) << "the first thread's objects wait for it";
  }).join();
  ReleaseThisThreadsCameraObjects();
  EXPECT_EQ(fake::LiveFilters(), 0);
}

TEST_F(CameraRegistryTest, IsIdentifiedCameraAsksTheCameraNow) {
  const uint32_t key = OpenOneCamera();
  EXPECT_EQ(IsIdentifiedCamera(key), 1);
  EXPECT_EQ(capture.wire.calls.size(), 2u);
  capture.wire.replies.push_back({platform::kOk, Block({'M', 'O', 'X', 'E', 'L', 'I', 'N', 'X'}), {}});
  EXPECT_EQ(IsIdentifiedCamera(key), 0);
}

TEST_F(CameraRegistryTest, DeviceHandleIsHandedOutAndReleasedOnce) {
  const uint32_t key = OpenOneCamera();
  platform::Handle own = files.Open("elsewhere");
  ASSERT_EQ(GetDeviceHandle(key, &own), 1);
  EXPECT_EQ(own, 100);
  EXPECT_EQ(files.closed, std::vector<platform::Handle>{101});

  platform::Handle other = 555;
  EXPECT_EQ(ReleaseDeviceHandle(&other, key), 0);
  EXPECT_EQ(other, 555);
  EXPECT_EQ(Registered(key).m_handle, 100);

  EXPECT_EQ(ReleaseDeviceHandle(&own, key), 1);
  EXPECT_EQ(own, platform::kInvalidHandle);
  EXPECT_EQ(Registered(key).m_handle, platform::kInvalidHandle);
  EXPECT_TRUE(files.open.empty());
  CloseCamera(key);
  EXPECT_EQ(files.closed.size(), 2u);
}

TEST_F(CameraRegistryTest, HandleOpenedOnDemandIsRecordedAndClosedWithTheCamera) {
  const uint32_t key = OpenOneCamera();
  platform::Handle h = platform::kInvalidHandle;
  GetDeviceHandle(key, &h);
  ReleaseDeviceHandle(&h, key);
  ASSERT_EQ(GetDeviceHandle(key, &h), 1);
  EXPECT_EQ(h, 101);
  EXPECT_EQ(Registered(key).m_handle, 101);
  CloseCamera(key);
  EXPECT_TRUE(files.open.empty());
}

TEST_F(CameraRegistryTest, CameraHandlePassedBackIsNotClosed) {
  const uint32_t key = OpenOneCamera();
  platform::Handle h = platform::kInvalidHandle;
  GetDeviceHandle(key, &h);
  ASSERT_EQ(GetDeviceHandle(key, &h), 1);
  EXPECT_EQ(h, 100);
  EXPECT_TRUE(files.open.count(100));
}

TEST_F(CameraRegistryTest, DeviceHandleFailures) {
  platform::Handle h = platform::kInvalidHandle;
  EXPECT_EQ(GetDeviceHandle(0x99, &h), 0);
  EXPECT_EQ(ReleaseDeviceHandle(&h, 0x99), 0);
  const uint32_t key = OpenOneCamera();
  GetDeviceHandle(key, &h);
  ReleaseDeviceHandle(&h, key);
  files.refused.insert(Registered(key).m_devicePath);
  EXPECT_EQ(GetDeviceHandle(key, &h), 0);
  EXPECT_EQ(h, platform::kInvalidHandle);
}

TEST_F(CameraRegistryTest, StoreAndLookupFindOnlyRegisteredKeys) {
  CCameraDevice camera;
  EXPECT_EQ(StoreCamera(0x55, camera), 0);
  camera.m_devInst = 0x55;
  camera.m_devicePath = "p";
  EXPECT_EQ(RegisterCamera(camera), 1);
  camera.m_friendlyName = "renamed";
  EXPECT_EQ(StoreCamera(0x55, camera), 1);
  EXPECT_EQ(Registered(0x55).m_friendlyName, "renamed");
  ResetCameraRegistry();
  EXPECT_EQ(LookupCamera(0x55, &camera), 0);
}

}  // namespace
