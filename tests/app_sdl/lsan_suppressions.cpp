// SDL keeps its audio subsystem's device records until the subsystem is
// shut down, which the program never does before it exits: those blocks are
// SDL's, not ours, and the leak checker of the sanitizer build is told so.
// Nothing else is hidden.
extern "C" const char* __lsan_default_suppressions() { return "leak:libSDL2\n"; }
