#ifndef VIMBREL_DRIVER_TRACER_CONSTANTS_H_
#define VIMBREL_DRIVER_TRACER_CONSTANTS_H_

/// The tracer's own strings, declared in every rewritten constant pool;
/// closed by a null pointer.
extern const char* const tracer_constants[];

#endif  // VIMBREL_DRIVER_TRACER_CONSTANTS_H_
