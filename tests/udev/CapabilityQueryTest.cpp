// Without udev's record of a node's capabilities the backend asks the driver
// (VIDIOC_QUERYCAP) and trusts only the node's own capabilities: the union
// over the device's nodes names capture on its metadata node too.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <map>
#include <string>
#include <vector>

#include "platform/linux/LinuxCameraBackend.h"
#include "udev/EmulatedUsbCameras.h"

namespace {

constexpr uint32_t kUnion = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;

// uvcvideo's answer per node; a node missing here refuses the query.
const std::map<std::string, uint32_t> kDeviceCaps = {
    {"/dev/video0", V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING},
    {"/dev/video1", V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING},
    {"/dev/video3", V4L2_CAP_VIDEO_CAPTURE_MPLANE | V4L2_CAP_STREAMING},
};

gboolean AnswerQueryCap(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer) {
  g_signal_stop_emission_by_name(handler, "handle-ioctl");
  const auto caps = kDeviceCaps.find(umockdev_ioctl_client_get_devnode(client));
  if (umockdev_ioctl_client_get_request(client) != VIDIOC_QUERYCAP || caps == kDeviceCaps.end()) {
    umockdev_ioctl_client_complete(client, -1, ENOTTY);
    return TRUE;
  }
  UMockdevIoctlData* data =
      umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(v4l2_capability), nullptr);
  auto* capability = reinterpret_cast<v4l2_capability*>(data->data);
  capability->capabilities = kUnion;
  capability->device_caps = caps->second;
  umockdev_ioctl_client_complete(client, 0, 0);
  g_object_unref(data);
  return TRUE;
}

TEST(CapabilityQuery, WithoutUdevsRecordOnlyTheNodesOwnCapabilitiesCount) {
  emulated::Testbed bed;
  if (!emulated::Testbed::Active()) GTEST_SKIP() << "needs umockdev's preload (umockdev-wrapper)";
  bed.Add({"1-2",
           3,
           "Corvex Camera",
           emulated::Descriptors({}),
           {{"video0", "0", nullptr}, {"video1", "1", nullptr}, {"video2", "2", nullptr}, {"video3", "3", nullptr}}});
  UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
  g_signal_connect(handler, "handle-ioctl", G_CALLBACK(AnswerQueryCap), nullptr);
  for (const char* node : {"/dev/video0", "/dev/video1", "/dev/video2", "/dev/video3"})
    ASSERT_TRUE(umockdev_testbed_attach_ioctl(bed.Get(), node, handler, nullptr)) << node;

  platform::linux::LinuxCameraBackend backend;
  std::vector<platform::linux::CaptureNode> nodes;
  const size_t open = bed.OpenFiles();
  ASSERT_EQ(backend.ListCaptureNodes(&nodes), platform::kOk);
  EXPECT_EQ(bed.OpenFiles(), open) << "each node asked is closed again";
  std::vector<std::string> listed;
  for (const auto& node : nodes) listed.push_back(node.node);
  // The node that refuses the query stays listed, so that opening it later
  // says why it failed. A multi-planar capture node is one too.
  EXPECT_EQ(listed, (std::vector<std::string>{"/dev/video0", "/dev/video2", "/dev/video3"}));

  for (const char* node : {"/dev/video0", "/dev/video1", "/dev/video2", "/dev/video3"})
    umockdev_testbed_detach_ioctl(bed.Get(), node, nullptr);
  g_object_unref(handler);
}

}  // namespace
