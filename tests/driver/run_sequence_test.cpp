// The run sequence with its later steps replaced by doubles.
#include <gtest/gtest.h>
