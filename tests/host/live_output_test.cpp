// The batched standard output of a running publication: nothing lost or
// reordered, and a printed line reaches the target while the sink lives.
#include "host/core/live_output.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace parlino::host {
namespace {

// A target the flusher thread writes to while the test reads it.
class SharedText : public std::streambuf {
  public:
    std::string text() {
        const std::lock_guard held(lock_);
        return text_;
    }

  protected:
    std::streamsize xsputn(const char *bytes, std::streamsize count) override {
        const std::lock_guard held(lock_);
        text_.append(bytes, static_cast<std::size_t>(count));
        return count;
    }
    int_type overflow(int_type byte) override {
        const char character = traits_type::to_char_type(byte);
        return xsputn(&character, 1) == 1 ? byte : traits_type::eof();
    }

  private:
    std::mutex lock_;
    std::string text_;
};

struct Printing {
    const char *name;
    int lines;
    std::size_t lineLength; // 100,000 lines of 20 bytes pass the batch limit many times
};

class LiveOutputTest : public testing::TestWithParam<Printing> {};

TEST_P(LiveOutputTest, EveryLineArrivesInOrderAndEachSoonAfterItIsPrinted) {
    SharedText target;
    std::ostream targetStream(&target);
    std::string expected;
    {
        LiveOutput output(targetStream);
        for (int i = 0; i < GetParam().lines; ++i) {
            std::string line = std::to_string(i);
            line.resize(GetParam().lineLength, '.');
            output.stream() << line << '\n' << std::flush;
            expected += line + '\n';
        }
        // Nothing more is printed: the last line must still show up on its own.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (target.text() != expected && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(target.text().size(), expected.size()) << "the lines stayed in the batch";
    }
    EXPECT_EQ(target.text(), expected);
}

INSTANTIATE_TEST_SUITE_P(Printings, LiveOutputTest,
                         testing::Values(Printing{"one_line", 1, 5}, Printing{"a_few_lines", 3, 40},
                                         Printing{"past_the_batch_limit", 100000, 20}),
                         [](const auto &row) { return std::string(row.param.name); });

} // namespace
} // namespace parlino::host
