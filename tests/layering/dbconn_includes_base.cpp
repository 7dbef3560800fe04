// Must build: the connection layer reaches the headers of the layers below it.
#include "dbconn/converted_ini.h"
#include "driver/run_context.h"
#include "platform/text_util.h"

int QjLayeringProbeAccepted() { return qj::kFieldSlots; }
