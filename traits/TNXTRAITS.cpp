#include "traits/TNXTRAITS.h"

bool HasQualitTrait(int n, int* types) {
    for (int j = 0; j < n; j++)
        if (types[j] == 2) return true;
    return false;
}
