// The 25 lines of a preferences file that holds the defaults (the time-stamp line follows them).
#ifndef TNX_TEST_PREFSDEFAULTS_H
#define TNX_TEST_PREFSDEFAULTS_H

#include <string>

namespace tnxtest {

inline const std::string kDefaultPrefs =
    "18Nov2016\n0\n0.000000\n0.000000\n0\n0.000000\n0.000000\n1\nn\n0\n0.000000\n0.000000\n"
    "6\n2147483647\n6\nn\nn\nn\n1\n1\n0\n1\n2\n1\n0\n";

}  // namespace tnxtest

#endif
