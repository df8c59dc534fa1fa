// Blocks that are not ours, for the leak checker of the sanitizer build:
// SDL keeps its audio subsystem's device records until the subsystem is shut
// down, which the program never does before it exits, and the desktop
// library SDL's video loads on an X display (D-Bus) keeps a block to the
// end. Nothing else is hidden.
extern "C" const char* __lsan_default_suppressions() { return "leak:libSDL2\nleak:libdbus-1\n"; }
