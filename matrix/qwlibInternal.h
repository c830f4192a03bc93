// Private helpers shared by the sources of the matrix library (not for other folders).
#ifndef TNX_QWLIB_INTERNAL_H
#define TNX_QWLIB_INTERNAL_H

#include "foundation/qwlibDim.h"

namespace qwmat {

// A zero-filled rows x cols matrix of T from the foundation allocator (released by free2D).
template <class T>
T** NewMatrix(int rows, int cols)
{
    return static_cast<T**>(static_cast<void*>(dim2D(sizeof(T), rows, cols)));
}

// A zero-filled vector of n T (released by free).
template <class T>
T* NewVector(int n)
{
    return static_cast<T*>(dim1D(sizeof(T), n));
}

}  // namespace qwmat

#endif
