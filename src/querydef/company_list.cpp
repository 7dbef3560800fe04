// PENDING: placeholder body until this step is implemented.
#include "querydef/company_list.h"

namespace qj {

int ReadCompanyList() { return 96; }
void StoreCompany() {}
void SubstituteCompany() {}

}  // namespace qj
