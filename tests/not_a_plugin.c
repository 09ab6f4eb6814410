/* A shared library that is not an ExtIO plug-in: it has InitHW but nothing else. */
__attribute__((visibility("default"))) int InitHW(void) { return 0; }
