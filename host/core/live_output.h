// Standard output for a running publication: printed lines are gathered and
// written in batches, yet each one is visible on a terminal or through a
// pipe a few tens of milliseconds after it is printed. A receiving
// publication thus pays one write for many lines instead of one per line.
#pragma once

#include "host/core/system.h"

#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>

namespace parlino::host {

class LiveOutput {
  public:
    // Lines written to stream() reach `target` at most about `boundMs` later;
    // a flush of stream() asks for no more than that. Everything written is
    // in `target`, flushed, when the object is destroyed.
    explicit LiveOutput(std::ostream &target, std::uint32_t boundMs = 20);
    ~LiveOutput();
    LiveOutput(const LiveOutput &) = delete;
    LiveOutput &operator=(const LiveOutput &) = delete;

    std::ostream &stream() { return stream_; }

  private:
    class Gathering : public std::streambuf {
      public:
        explicit Gathering(LiveOutput &owner) : owner_(owner) {}

      protected:
        std::streamsize xsputn(const char *bytes, std::streamsize count) override;
        int_type overflow(int_type byte) override;
        int sync() override { return 0; } // the flusher's bound is the promise

      private:
        LiveOutput &owner_;
    };

    void gather(const char *bytes, std::size_t count);
    void writeGathered();
    void flushEvery(std::uint32_t boundMs);

    std::ostream &target_;
    system::Mutex gatheredLock_; // guards gathered_ and stopping_
    system::Mutex writingLock_;  // one writer to target_ at a time, in order
    std::string gathered_;
    std::string writing_; // guarded by writingLock_
    bool stopping_ = false;
    Gathering buffer_;
    std::ostream stream_;
    system::Thread flusher_;
};

} // namespace parlino::host
