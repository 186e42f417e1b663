#include "device/CameraRegistry.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "device/Transport.h"

namespace {

// The mutex guards the list only; it is never held during device traffic.
struct Registry {
  std::mutex mutex;
  std::vector<CCameraDevice> entries;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

std::vector<CCameraDevice>::iterator FindEntry(std::vector<CCameraDevice>& entries, uint32_t key) {
  return std::find_if(entries.begin(), entries.end(),
                      [key](const CCameraDevice& entry) { return entry.m_devInst == key; });
}

// Gives up a copy's hold on the camera's objects once the registry keeps its own.
void ReleaseCopy(CCameraDevice* camera) {
  camera->m_ksControl.reset();
  camera->m_filter.reset();
  CloseDeviceFile(&camera->m_handle);
  camera->m_devicePath.clear();
  camera->m_friendlyName.clear();
}

}  // namespace

uint32_t OpenCamera(int32_t* index, uint8_t dataLength) {
  CCameraDevice camera;
  if (!camera.Open(index, dataLength)) {
    camera.Close();
    return 0;
  }
  const uint32_t key = camera.m_devInst;
  camera.m_openCount += 1;
  RegisterCamera(camera);
  return key;
}

int CloseCamera(uint32_t key) {
  CCameraDevice released;
  {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto entry = FindEntry(registry.entries, key);
    if (entry == registry.entries.end() || --entry->m_openCount > 0) return 1;
    released = *entry;
    registry.entries.erase(entry);
  }
  ReleaseCopy(&released);
  return 1;
}

int IsIdentifiedCamera(uint32_t key) {
  return RunOnCamera(key, [](CCameraDevice& camera) { return camera.CheckIdentity(); });
}

int DriverFixesControlSizes(uint32_t key) {
  return RunOnCamera(key, [](CCameraDevice& camera) { return camera.FixesControlSizes() ? 1 : 0; });
}

int IsSameCameraPresent(uint32_t key) {
  // Windows gives a camera that restarts on the same port its device instance
  // again, so only the camera can tell: one that stayed still answers on the
  // objects it was opened with, at the length the host keeps.
  return RunOnCamera(key, [](CCameraDevice& camera) {
    return LiveDataControlLength(camera) == DataControlLength() ? 1 : 0;
  });
}

int GetDeviceHandle(uint32_t key, platform::Handle* handle) {
  CCameraDevice camera;
  if (!LookupCamera(key, &camera)) return 0;
  // A caller that passes the camera's own handle back gets it again: closing it
  // here would hand out a dead handle as a success.
  if (*handle != camera.m_handle) CloseDeviceFile(handle);
  if (camera.m_handle == platform::kInvalidHandle) {
    camera.m_handle = OpenDeviceFile(camera.m_devicePath);
    if (camera.m_handle == platform::kInvalidHandle) return 0;
    // Recorded in the entry so that releasing the handle or closing the camera
    // closes it.
    StoreCamera(key, camera);
  }
  *handle = camera.m_handle;
  return 1;
}

int ReleaseDeviceHandle(platform::Handle* handle, uint32_t key) {
  CCameraDevice camera;
  if (!LookupCamera(key, &camera)) return 0;
  int result = 0;
  if (camera.m_handle == *handle) {
    CloseDeviceFile(&camera.m_handle);
    *handle = platform::kInvalidHandle;
    result = 1;
  }
  StoreCamera(key, camera);
  return result;
}

int RegisterCamera(CCameraDevice& camera) {
  bool known = false;
  {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto entry = FindEntry(registry.entries, camera.m_devInst);
    known = entry != registry.entries.end();
    if (known)
      entry->m_openCount += 1;
    else
      registry.entries.push_back(camera);
  }
  // The entry keeps the objects of the first open.
  if (known) ReleaseCopy(&camera);
  return 1;
}

int LookupCamera(uint32_t key, CCameraDevice* camera) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto entry = FindEntry(registry.entries, key);
  if (entry == registry.entries.end()) return 0;
  *camera = *entry;
  return 1;
}

int StoreCamera(uint32_t key, const CCameraDevice& camera) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto entry = FindEntry(registry.entries, key);
  if (entry == registry.entries.end()) return 0;
  *entry = camera;
  return 1;
}

void ResetCameraRegistry() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.entries.clear();
}
