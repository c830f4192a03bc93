// The numerical library's blocks and work spaces, allocated with a check.
#include "foundation/TnxGsl.h"

#include <atomic>

#include "foundation/TnxError.h"

namespace {

std::atomic<int> refusalCountdown{0};

// True when the allocation about to be made is the one RefuseGslAllocation named.
bool RefusedNow() {
    int left = refusalCountdown.load(std::memory_order_relaxed);
    while (left > 0)
        if (refusalCountdown.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) return left == 1;
    return false;
}

// The one road of every allocation here: a block refused, by the system or by a test, raises
// code 1 with nothing allocated.
template <class Owner, class Alloc>
Owner Checked(Alloc&& alloc) {
    if (RefusedNow()) RaiseError(TNX_OUT_OF_MEMORY);
    Owner owner(alloc());
    if (!owner) RaiseError(TNX_OUT_OF_MEMORY);
    return owner;
}

}  // namespace

GslMatrix AllocGslMatrix(std::size_t rows, std::size_t cols) {
    return Checked<GslMatrix>([&] { return gsl_matrix_alloc(rows, cols); });
}

GslVector AllocGslVector(std::size_t n) {
    return Checked<GslVector>([&] { return gsl_vector_alloc(n); });
}

GslEigenSymmv AllocGslEigenSymmv(std::size_t n) {
    return Checked<GslEigenSymmv>([&] { return gsl_eigen_symmv_alloc(n); });
}

GslRng AllocGslRng(const gsl_rng_type* type) {
    return Checked<GslRng>([&] { return gsl_rng_alloc(type); });
}

void RefuseGslAllocation(int count) { refusalCountdown.store(count < 0 ? 0 : count, std::memory_order_relaxed); }
