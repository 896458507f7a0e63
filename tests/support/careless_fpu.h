// The FPU of a careless host on x86 Linux: exceptions for invalid operation,
// zero divide and overflow unmasked, the x87 unit at 53-bit precision (as
// many hosts run it). An exception the module raised there ends the process
// with SIGFPE; the module must also leave the control words and the flags
// as it found them.
#pragma once

#include <cfenv>
#include <fpu_control.h>
#include <xmmintrin.h>

namespace parlino::testing {

struct FpuState {
    fpu_control_t control;
    unsigned int mxcsr;
    int raised;
    bool operator==(const FpuState &) const = default;
};

inline FpuState fpuState() {
    fpu_control_t control;
    _FPU_GETCW(control);
    return {control, _mm_getcsr(), std::fetestexcept(FE_ALL_EXCEPT)};
}

// Runs `call` in the careless host's FPU state, then puts back the state it
// found. The result: the state before the call and the state it left.
struct CarelessRun {
    FpuState before;
    FpuState after;
};

template <typename Call> CarelessRun runAsCarelessHost(Call call) {
    fpu_control_t found;
    _FPU_GETCW(found);
    std::feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    fpu_control_t careless = (found & ~_FPU_EXTENDED) | _FPU_DOUBLE;
    _FPU_SETCW(careless);
    CarelessRun run{fpuState(), {}};
    call();
    run.after = fpuState();
    fedisableexcept(FE_ALL_EXCEPT);
    std::feclearexcept(FE_ALL_EXCEPT);
    _FPU_SETCW(found);
    return run;
}

} // namespace parlino::testing
