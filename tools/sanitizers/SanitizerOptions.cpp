// Default options of the sanitizer runtimes, built into every program and test of a sanitizer
// build, so that a finding stops the run however it was started (ctest, a test run by hand, or
// the tool started by a test). Options given in the environment still take precedence.
#ifndef QUILLMERE_SANITIZER_FOLDER
#error "QUILLMERE_SANITIZER_FOLDER must name the folder of the suppression files"
#endif

extern "C" {

const char* __asan_default_options() {
    return "abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:"
           "strict_string_checks=1";
}

const char* __ubsan_default_options() {
    return "halt_on_error=1:print_stacktrace=1";
}

const char* __lsan_default_options() {
    return "suppressions=" QUILLMERE_SANITIZER_FOLDER "/lsan.supp";
}

const char* __tsan_default_options() {
    return "halt_on_error=1:second_deadlock_stack=1:suppressions=" QUILLMERE_SANITIZER_FOLDER
           "/tsan.supp";
}
}
