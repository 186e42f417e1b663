// The window seam on Qt: sends from another thread are handled on the main
// thread while the sender waits; Close releases a waiting sender and turns
// every later message away.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <thread>
#include <vector>

#include "frontends/qt/QtWindow.h"

namespace {

class RecordingHandler final : public platform::IWindowHandler {
 public:
  intptr_t HandleMessage(uint32_t message, uintptr_t wParam, intptr_t) override {
    messages.push_back(message);
    threads.push_back(std::this_thread::get_id());
    return static_cast<intptr_t>(wParam) + 1;
  }
  std::vector<uint32_t> messages;
  std::vector<std::thread::id> threads;
};

TEST(QtWindow, ASendFromAnotherThreadIsHandledOnTheMainThreadAndReturnsItsResult) {
  frontends::qt::QtWindow window;
  RecordingHandler handler;
  window.SetHandler(&handler);
  std::atomic<intptr_t> result{-1};
  std::thread sender([&] {
    EXPECT_FALSE(window.IsWindowThread());
    result = window.Send(1056, 41, 0);
  });
  while (handler.messages.empty()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  sender.join();
  EXPECT_EQ(result, 42);
  EXPECT_EQ(handler.messages, std::vector<uint32_t>{1056});
  EXPECT_EQ(handler.threads, std::vector<std::thread::id>{std::this_thread::get_id()});
}

TEST(QtWindow, ASendOnTheMainThreadRunsTheHandlerAtOnce) {
  frontends::qt::QtWindow window;
  RecordingHandler handler;
  window.SetHandler(&handler);
  EXPECT_TRUE(window.IsWindowThread());
  EXPECT_EQ(window.Send(1059, 6, 0), 7);
  EXPECT_EQ(handler.messages.size(), 1u);
}

TEST(QtWindow, PostsAndTasksRunLaterInOrder) {
  frontends::qt::QtWindow window;
  RecordingHandler handler;
  window.SetHandler(&handler);
  EXPECT_TRUE(window.Post(1056, 0, 0));
  EXPECT_TRUE(window.PostTask([&] { handler.messages.push_back(7); }));
  EXPECT_TRUE(window.Post(1057, 0, 0));
  EXPECT_TRUE(handler.messages.empty());
  QCoreApplication::processEvents();
  EXPECT_EQ(handler.messages, (std::vector<uint32_t>{1056, 7, 1057}));
}

TEST(QtWindow, CloseReleasesAWaitingSenderAndTurnsLaterMessagesAway) {
  frontends::qt::QtWindow window;
  RecordingHandler handler;
  window.SetHandler(&handler);
  std::atomic<intptr_t> result{-1};
  std::thread sender([&] { result = window.Send(1056, 41, 0); });
  while (window.QueuedCount() == 0) std::this_thread::yield();
  window.Close();
  sender.join();
  EXPECT_EQ(result, 0);

  std::thread late([&] { result = window.Send(1057, 1, 0); });
  late.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(window.Send(1058, 1, 0), 0);
  EXPECT_FALSE(window.Post(1056, 0, 0));
  EXPECT_FALSE(window.PostTask([&] { handler.messages.push_back(7); }));
  QCoreApplication::processEvents();
  EXPECT_TRUE(handler.messages.empty());
}

}  // namespace
