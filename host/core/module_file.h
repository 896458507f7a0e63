// Whether a module file holds all that its own headers say it holds. The
// system's loader maps a shared library into memory: on Linux, touching a
// part of it that a file cut short (a copy or download that did not finish)
// lacks kills the process with SIGBUS instead of failing the load. So the
// host measures the file against its headers first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace parlino::host {

// The bytes of the file's start that are read for the judgement: enough
// for the headers of any module built here.
inline constexpr std::size_t moduleHeadBytes = 64 * 1024;

// Empty when `head` (the first bytes of a file of `fileSize` bytes) is an
// ELF or PE file whose headers place nothing beyond its end, or a file of
// another kind (the loader judges those); else why not, in a person's words.
std::string moduleFileProblem(std::string_view head, std::uint64_t fileSize);

// The same for the file at `path`; empty too when it cannot be read, which
// the loader then reports.
std::string moduleFileProblem(const std::string &path);

} // namespace parlino::host
