#include "state/run_state.h"

RunState run_state;
