// A signal that comes while another thread is making a file it registered: the handler waits
// until the file is made and armed, and removes it.
#include "platform/signals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/test_streams.h"

namespace asciify::platform {
namespace {

TEST(EndingSignals, RemoveAFileThatAnotherThreadWasMaking) {
#ifdef _WIN32
  GTEST_SKIP() << "the handler of a console signal runs on a thread of its own there";
#else
  test_support::scratch_dir folder;
  const std::string name = folder.file("being-made.txt");
  EXPECT_EXIT(
      {
        catch_ending_signals();
        std::atomic<bool> made{false};
        std::thread maker([&] {
          const int slot = hold_file_to_remove(name);
          std::ofstream(name) << "part of a text\n";
          made = true;
          // The signal comes now, before the slot is armed.
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          settle_file_to_remove(slot, true);
          std::this_thread::sleep_for(std::chrono::seconds(10));
        });
        while (!made) std::this_thread::yield();
        std::raise(SIGTERM);
        maker.join();
        std::exit(0);
      },
      testing::KilledBySignal(SIGTERM), "");
  EXPECT_FALSE(std::filesystem::exists(name));
#endif
}

}  // namespace
}  // namespace asciify::platform
