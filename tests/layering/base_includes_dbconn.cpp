// Must not build: the run context's layer reaches no header of the connection layer.
#include "dbconn/converted_ini.h"

int QjLayeringProbeBaseRejected() { return 0; }
