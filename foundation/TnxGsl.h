// The numerical library's blocks and work spaces, allocated with a check: one the system refuses
// raises error code 1 (out of memory), as the program's own allocators do, instead of handing the
// library's null on to code that would write through it. Each comes in an owner that frees it, so
// the blocks made before a refusal are freed on the way out.
#ifndef TNX_GSL_H
#define TNX_GSL_H

#include <gsl/gsl_eigen.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_rng.h>
#include <gsl/gsl_vector.h>

#include <cstddef>
#include <memory>

struct GslFree {
    void operator()(gsl_matrix* m) const { gsl_matrix_free(m); }
    void operator()(gsl_vector* v) const { gsl_vector_free(v); }
    void operator()(gsl_eigen_symmv_workspace* w) const { gsl_eigen_symmv_free(w); }
    void operator()(gsl_rng* g) const { gsl_rng_free(g); }
};

using GslMatrix = std::unique_ptr<gsl_matrix, GslFree>;
using GslVector = std::unique_ptr<gsl_vector, GslFree>;
using GslEigenSymmv = std::unique_ptr<gsl_eigen_symmv_workspace, GslFree>;
using GslRng = std::unique_ptr<gsl_rng, GslFree>;

// gsl_matrix_alloc, gsl_vector_alloc, gsl_eigen_symmv_alloc and gsl_rng_alloc, each raising code 1
// when the library returns no block.
GslMatrix AllocGslMatrix(std::size_t rows, std::size_t cols);
GslVector AllocGslVector(std::size_t n);
GslEigenSymmv AllocGslEigenSymmv(std::size_t n);
GslRng AllocGslRng(const gsl_rng_type* type);

// For the tests of the roads that a refusal takes: the count-th of the allocations above from now
// on (1: the next) is refused as the system would refuse it; 0 refuses none. Shared by all threads.
void RefuseGslAllocation(int count);

#endif
