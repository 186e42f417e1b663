#include "device/CameraRegistry.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "device/Transport.h"

namespace {

// A thread's own capture objects for a camera. On Windows they belong to the
// thread (the single-threaded apartment) that made them: only that thread
// may use them, and it must release them before it leaves the component
// runtime. So every thread that works on a camera binds objects of its own.
struct ThreadObjects {
  std::thread::id thread;
  std::shared_ptr<platform::ICaptureFilter> filter;
  std::shared_ptr<platform::IKsControl> ksControl;
};

struct Entry {
  CCameraDevice camera;  // without objects: those are per thread
  std::vector<ThreadObjects> objects;
};

// The mutex guards the lists only; it is never held during device traffic.
struct Registry {
  std::mutex mutex;
  std::vector<Entry> entries;
  // Objects of cameras another thread closed, until their own thread
  // releases them.
  std::vector<ThreadObjects> orphans;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

std::vector<Entry>::iterator FindEntry(std::vector<Entry>& entries, uint32_t key) {
  return std::find_if(entries.begin(), entries.end(),
                      [key](const Entry& entry) { return entry.camera.m_devInst == key; });
}

ThreadObjects* OwnObjects(Entry& entry) {
  for (ThreadObjects& objects : entry.objects)
    if (objects.thread == std::this_thread::get_id()) return &objects;
  return nullptr;
}

ThreadObjects TakeObjects(CCameraDevice& camera) {
  return {std::this_thread::get_id(), std::move(camera.m_filter), std::move(camera.m_ksControl)};
}

void GiveObjects(const ThreadObjects& objects, CCameraDevice* camera) {
  camera->m_filter = objects.filter;
  camera->m_ksControl = objects.ksControl;
}

// Binds this thread's objects for the device at `path`, looking first where
// the camera was listed. None when the device is gone.
ThreadObjects BindOnThisThread(const std::string& path, int32_t listedAt) {
  ThreadObjects bound{std::this_thread::get_id(), nullptr, nullptr};
  std::unique_ptr<platform::IEnumMoniker> enumerator;
  if (path.empty() || platform::Failed(platform::Current().capture->CreateVideoInputEnumerator(&enumerator)) ||
      !enumerator)
    return bound;
  for (int32_t tried = -1;; ++tried) {
    // The camera's own position first, then every position from the start.
    if (tried == listedAt) continue;
    int32_t index = tried < 0 ? listedAt : tried;
    CCameraDevice scratch;
    if (scratch.ReadMoniker(*enumerator, &index) && scratch.m_devicePath == path) return TakeObjects(scratch);
    if (index == -1 && tried >= 0) return bound;
  }
}

// Gives up a copy's hold on the camera's handle and names once the registry
// keeps its own.
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
  Entry released;
  {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto entry = FindEntry(registry.entries, key);
    if (entry == registry.entries.end() || --entry->camera.m_openCount > 0) return 1;
    released = std::move(*entry);
    registry.entries.erase(entry);
    // Other threads' objects wait for their own thread.
    for (ThreadObjects& objects : released.objects)
      if (objects.thread != std::this_thread::get_id()) registry.orphans.push_back(std::move(objects));
  }
  ReleaseCopy(&released.camera);
  return 1;
}

void ReleaseThisThreadsCameraObjects() {
  std::vector<ThreadObjects> own;
  {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    const auto mine = [&own](ThreadObjects& objects) {
      if (objects.thread != std::this_thread::get_id()) return false;
      own.push_back(std::move(objects));
      return true;
    };
    for (Entry& entry : registry.entries) std::erase_if(entry.objects, mine);
    std::erase_if(registry.orphans, mine);
  }
  // Released here, outside the lock, as `own` goes.
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
  return RunOnCamera(
      key, [](CCameraDevice& camera) { return LiveDataControlLength(camera) == DataControlLength() ? 1 : 0; });
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
  bool keptCopy = false;
  ThreadObjects replaced;
  {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto entry = FindEntry(registry.entries, camera.m_devInst);
    if (entry == registry.entries.end()) {
      Entry added;
      added.objects.push_back(TakeObjects(camera));
      added.camera = camera;
      registry.entries.push_back(std::move(added));
      keptCopy = true;
    } else {
      entry->camera.m_openCount += 1;
      // The objects just identified the camera: they replace any this
      // thread had, which may belong to an appearance that has left.
      if (ThreadObjects* own = OwnObjects(*entry))
        replaced = std::exchange(*own, TakeObjects(camera));
      else
        entry->objects.push_back(TakeObjects(camera));
    }
  }
  // The entry keeps the handle of the first open.
  if (!keptCopy) ReleaseCopy(&camera);
  return 1;
}

int LookupCamera(uint32_t key, CCameraDevice* camera) {
  Registry& registry = TheRegistry();
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto entry = FindEntry(registry.entries, key);
    if (entry == registry.entries.end()) return 0;
    *camera = entry->camera;
    if (const ThreadObjects* own = OwnObjects(*entry)) {
      GiveObjects(*own, camera);
      return 1;
    }
  }
  // Binding lists the devices: outside the lock.
  const ThreadObjects bound = BindOnThisThread(camera->m_devicePath, camera->m_deviceIndex);
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto entry = FindEntry(registry.entries, key);
    // A device that is gone binds nothing: the next lookup tries again.
    if (bound.ksControl && entry != registry.entries.end() && !OwnObjects(*entry)) entry->objects.push_back(bound);
  }
  GiveObjects(bound, camera);
  return 1;
}

int StoreCamera(uint32_t key, const CCameraDevice& camera) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto entry = FindEntry(registry.entries, key);
  if (entry == registry.entries.end()) return 0;
  // The objects in `camera` are this thread's, which the entry holds already.
  entry->camera = camera;
  entry->camera.m_filter.reset();
  entry->camera.m_ksControl.reset();
  return 1;
}

void ResetCameraRegistry() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.entries.clear();
  registry.orphans.clear();
}
