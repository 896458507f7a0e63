#include "host/core/live_output.h"

#include <utility>

namespace parlino::host {
namespace {

// Beyond this many bytes waiting, the printing thread writes them itself:
// a reader that stops reading holds the publication back, as a full pipe
// always did, instead of letting the batch grow without end.
constexpr std::size_t mostGathered = 64 * 1024;

} // namespace

LiveOutput::LiveOutput(std::ostream &target, std::uint32_t boundMs)
    : target_(target), buffer_(*this), stream_(&buffer_),
      flusher_([this, boundMs] { flushEvery(boundMs); }) {}

LiveOutput::~LiveOutput() {
    {
        const system::ScopedLock held(gatheredLock_);
        stopping_ = true;
    }
    if (flusher_.started())
        flusher_.join();
    writeGathered();
}

std::streamsize LiveOutput::Gathering::xsputn(const char *bytes, std::streamsize count) {
    owner_.gather(bytes, static_cast<std::size_t>(count));
    return count;
}

LiveOutput::Gathering::int_type LiveOutput::Gathering::overflow(int_type byte) {
    if (traits_type::eq_int_type(byte, traits_type::eof()))
        return traits_type::not_eof(byte);
    const char character = traits_type::to_char_type(byte);
    owner_.gather(&character, 1);
    return byte;
}

void LiveOutput::gather(const char *bytes, std::size_t count) {
    bool full = false;
    {
        const system::ScopedLock held(gatheredLock_);
        gathered_.append(bytes, count);
        // Without a flusher (no thread could start) every write goes out at once.
        full = gathered_.size() >= mostGathered || !flusher_.started();
    }
    if (full)
        writeGathered();
}

// Takes what was gathered and writes it, outside the gathering lock so that
// printing goes on while a slow reader drains the pipe.
void LiveOutput::writeGathered() {
    const system::ScopedLock writing(writingLock_);
    {
        const system::ScopedLock held(gatheredLock_);
        if (gathered_.empty())
            return;
        std::swap(gathered_, writing_);
    }
    target_.write(writing_.data(), static_cast<std::streamsize>(writing_.size()));
    target_.flush();
    writing_.clear();
}

void LiveOutput::flushEvery(std::uint32_t boundMs) {
    for (;;) {
        system::sleepMilliseconds(boundMs);
        writeGathered();
        const system::ScopedLock held(gatheredLock_);
        if (stopping_)
            return;
    }
}

} // namespace parlino::host
