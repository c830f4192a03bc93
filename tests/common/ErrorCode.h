// The error code that a call raises through the program's exception (0 for none).
#ifndef TNX_TEST_ERRORCODE_H
#define TNX_TEST_ERRORCODE_H

#include "foundation/TnxError.h"

namespace tnxtest {

template <class F>
int CodeOf(F f) {
    try {
        f();
    } catch (const TnxError& e) {
        return e.code();
    }
    return 0;
}

}  // namespace tnxtest

#endif
