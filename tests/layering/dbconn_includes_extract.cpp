// Must not build: the connection layer reaches no header of the extract layer.
#include "extract/line_list.h"

int QjLayeringProbeRejected() { return 0; }
