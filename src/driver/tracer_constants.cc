#include "driver/tracer_constants.h"

const char* const tracer_constants[] = {
    "_global",
    "this",
    "Array",
    "FSCommand:save",
    "length",
    "func",
    "_traces_",
    "_dumpTraces_",
    "_startTrace_",
    "_endTrace_",
    " Enter ",
    " Exit ",
    nullptr,
};
