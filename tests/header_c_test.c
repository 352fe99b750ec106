/* Compiles the public header as a C caller would see it. */
#include "fpmodule.h"

FPM_RESULT (FPM_CALL *const query)(int32_t *, int32_t *) = QuerySize;
