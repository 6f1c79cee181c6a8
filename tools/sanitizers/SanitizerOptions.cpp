// Default options of the sanitizer runtimes, built into every program and test of a sanitizer
// build, so that a finding stops the run however it was started (ctest, a test run by hand, or
// the tool started by a test). Options given in the environment still take precedence.
#ifndef QUILLMERE_SANITIZER_FOLDER
#error "QUILLMERE_SANITIZER_FOLDER must name the folder of the suppression files"
#endif

extern "C" {

// Allocation stacks are unwound the slow way: system libraries lack frame pointers, and a leak
// suppression can only name a frame the stack reaches.
const char* __asan_default_options() {
    return "abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:"
           "strict_string_checks=1:fast_unwind_on_malloc=0";
}

const char* __ubsan_default_options() {
    return "halt_on_error=1:print_stacktrace=1";
}

const char* __lsan_default_options() {
    return "suppressions=" QUILLMERE_SANITIZER_FOLDER "/lsan.supp";
}

// Qt and GLib are not built with ThreadSanitizer: what their libraries do inside is left out, since
// their locks are invisible to it (tsan.supp covers Qt's templates compiled into the programs).
const char* __tsan_default_options() {
    return "halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:"
           "suppressions=" QUILLMERE_SANITIZER_FOLDER "/tsan.supp";
}
}
