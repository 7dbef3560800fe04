// PENDING: placeholder body until this step is implemented.
#include "dbconn/set_db_usr.h"

namespace qj {

std::string ConvertedIniPath(const std::string&) { return {}; }
int SetDbUsr() { return 99; }

}  // namespace qj
