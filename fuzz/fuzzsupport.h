// Shared by the fuzz targets: one application object, a temporary HOME and settings folder of
// their own (a target never touches the real home), quiet diagnostics, and the check that turns
// a broken invariant into a finding libFuzzer keeps.
#pragma once

#include <QString>

namespace FuzzSupport {
// Runs once, from LLVMFuzzerInitialize.
void initialize(int* argc, char*** argv);
// A folder below the temporary root that the caller may fill and empty freely.
QString scratch(const QString& name);
// Reports the broken invariant and aborts, which libFuzzer records as a crash with its input.
[[noreturn]] void violated(const char* invariant, const QString& detail = QString());
}

#define FUZZ_CHECK(condition, detail)                                   \
    do {                                                                \
        if (!(condition))                                               \
            FuzzSupport::violated(#condition, detail);                  \
    } while (false)
