// A library that loads but has no HWRecognize.
extern "C" __attribute__((visibility("default"))) int SomethingElse() { return 7; }
