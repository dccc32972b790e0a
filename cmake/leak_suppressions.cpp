// Leaks inside system libraries that zelmo cannot free. Built into every program of the
// sanitizer build, so that they hold also where the environment is not ours: CUPS runs the
// filter with an environment of its own, in which no LSAN_OPTIONS reaches it.
extern "C" const char* __lsan_default_suppressions() {
    // D-Bus connections Qt opens on X11; libcups forgets the duplex choice names it copies
    // when it caches a PPD (cupsMarkOptions), and ppdClose does not free them; glibc keeps the
    // list of LOCPATH's folders it splits when a locale is loaded from one (the tests' Polish
    // locale is made into a folder of the build's own).
    return "leak:libdbus-1.so\n"
           "leak:_ppdCacheCreateWithPPD\n"
           "leak:__argz_add_sep\n";
}
