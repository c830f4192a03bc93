// Allocation and release of zero-filled 1- to N-dimensional arrays of row pointers.
#include "foundation/qwlibDim.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

#include "foundation/TnxError.h"

namespace {

const int kMaxDims = 20;

// One zero-filled block of n elements; a negative count or a failed allocation raises
// code 1. An empty block is still a valid, distinct allocation.
void* Block(size_t elsize, int n) {
    if (n < 0) RaiseError(TNX_OUT_OF_MEMORY);
    size_t count = static_cast<size_t>(n);
    if (elsize != 0 && count > SIZE_MAX / elsize) RaiseError(TNX_OUT_OF_MEMORY);
    size_t bytes = count * elsize;
    void* p = calloc(bytes == 0 ? 1 : bytes, 1);
    if (p == nullptr) RaiseError(TNX_OUT_OF_MEMORY);
    return p;
}

// Releases a tree built by Build: nd levels, sizes[0] slots at the top. Null slots are
// skipped, so a partly built tree can be released.
void Release(void* p, int nd, const int* sizes) {
    if (p == nullptr) return;
    if (nd > 1) {
        void** table = static_cast<void**>(p);
        for (int i = 0; i < sizes[0]; i++) Release(table[i], nd - 1, sizes + 1);
    }
    free(p);
}

// Builds the tree of nd levels with the sizes sizes[0 .. nd-1]: a table of sizes[0]
// slots, each holding a tree of the next lower rank, filled in index order. When an
// allocation fails, everything built so far is released before the error goes on.
void* Build(int nd, size_t elsize, const int* sizes) {
    if (nd <= 1) return Block(elsize, sizes[0]);
    void** table = static_cast<void**>(Block(sizeof(void*), sizes[0]));
    try {
        for (int i = 0; i < sizes[0]; i++) table[i] = Build(nd - 1, elsize, sizes + 1);
    } catch (...) {
        Release(table, nd, sizes);
        throw;
    }
    return table;
}

// Triangular bottom: a table of n rows, row i with i + 1 elements.
void* BuildTriangle(size_t elsize, int n) {
    void** table = static_cast<void**>(Block(sizeof(void*), n));
    try {
        for (int i = 0; i < n; i++) table[i] = Block(elsize, i + 1);
    } catch (...) {
        for (int i = 0; i < n; i++) free(table[i]);
        free(table);
        throw;
    }
    return table;
}

void ReleaseTriangular(void* p, int nd, const int* sizes);

// Triangular tree: nd - 2 levels of tables above triangular matrices of order
// sizes[nd - 2]; sizes holds nd - 1 entries.
void* BuildTriangular(int nd, size_t elsize, const int* sizes) {
    if (nd <= 2) return BuildTriangle(elsize, sizes[0]);
    void** table = static_cast<void**>(Block(sizeof(void*), sizes[0]));
    try {
        for (int i = 0; i < sizes[0]; i++) table[i] = BuildTriangular(nd - 1, elsize, sizes + 1);
    } catch (...) {
        ReleaseTriangular(table, nd, sizes);
        throw;
    }
    return table;
}

void ReleaseTriangular(void* p, int nd, const int* sizes) {
    if (p == nullptr) return;
    void** table = static_cast<void**>(p);
    for (int i = 0; i < sizes[0]; i++) {
        if (nd <= 2) free(table[i]);
        else ReleaseTriangular(table[i], nd - 1, sizes + 1);
    }
    free(p);
}

}  // namespace

void* dim1D(size_t elsize, int n) { return Block(elsize, n); }
void* dim1D_Clear(int n, size_t elsize) { return Block(elsize, n); }

void** dim2D(size_t elsize, int rows, int cols) {
    int s[2] = {rows, cols};
    return static_cast<void**>(Build(2, elsize, s));
}

void*** dim3D(size_t elsize, int d1, int d2, int d3) {
    int s[3] = {d1, d2, d3};
    return static_cast<void***>(Build(3, elsize, s));
}

void**** dim4D(size_t elsize, int d1, int d2, int d3, int d4) {
    int s[4] = {d1, d2, d3, d4};
    return static_cast<void****>(Build(4, elsize, s));
}

void***** dim5D(size_t elsize, int d1, int d2, int d3, int d4, int d5) {
    int s[5] = {d1, d2, d3, d4, d5};
    return static_cast<void*****>(Build(5, elsize, s));
}

void** dim2DT(size_t elsize, int n) { return static_cast<void**>(BuildTriangle(elsize, n)); }

void*** dim3DT(size_t elsize, int d1, int n) {
    int s[2] = {d1, n};
    return static_cast<void***>(BuildTriangular(3, elsize, s));
}

void* dim_(int ndims, size_t elsize, int n, int* sizes) {
    int all[kMaxDims];
    if (ndims < 1) ndims = 1;
    if (ndims > kMaxDims) ndims = kMaxDims;
    all[0] = n;
    for (int i = 1; i < ndims; i++) all[i] = sizes[i - 1];
    return Build(ndims, elsize, all);
}

void* dimT_(int ndims, size_t elsize, int n, int* sizes) {
    int all[kMaxDims];
    if (ndims < 2) ndims = 2;
    if (ndims > kMaxDims) ndims = kMaxDims;
    all[0] = n;
    for (int i = 1; i < ndims - 1; i++) all[i] = sizes[i - 1];
    return BuildTriangular(ndims, elsize, all);
}

void* dim(int ndims, size_t elsize, int firstSize, ...) {
    if (ndims > kMaxDims) {
        printf("Error!!! No more than %d dimensions is allowed in an array", kMaxDims);
        fflush(stdout);
        exit(0);
    }
    if (ndims < 2) return Block(elsize, firstSize);
    int sizes[kMaxDims];
    va_list ap;
    va_start(ap, firstSize);
    for (int i = 0; i < ndims - 1; i++) sizes[i] = va_arg(ap, int);
    va_end(ap);
    return dim_(ndims, elsize, firstSize, sizes);
}

void* dimT(int ndims, size_t elsize, int firstSize, ...) {
    if (ndims < 2 || ndims > kMaxDims) {
        printf("Error in array allocation !!!");
        fflush(stdout);
        exit(0);
    }
    int sizes[kMaxDims];
    va_list ap;
    va_start(ap, firstSize);
    for (int i = 0; i < ndims - 2; i++) sizes[i] = va_arg(ap, int);
    va_end(ap);
    return dimT_(ndims, elsize, firstSize, sizes);
}

char* dim1Dchar(int n) { return static_cast<char*>(dim1D(sizeof(char), n)); }
char** dim2Dchar(int rows, int cols) { return reinterpret_cast<char**>(dim2D(sizeof(char), rows, cols)); }
char*** dim3Dchar(int d1, int d2, int d3) { return reinterpret_cast<char***>(dim3D(sizeof(char), d1, d2, d3)); }
short* dim1Dshort(int n) { return static_cast<short*>(dim1D(sizeof(short), n)); }
short** dim2Dshort(int rows, int cols) { return reinterpret_cast<short**>(dim2D(sizeof(short), rows, cols)); }
short*** dim3Dshort(int d1, int d2, int d3) { return reinterpret_cast<short***>(dim3D(sizeof(short), d1, d2, d3)); }
int* dim1Dint(int n) { return static_cast<int*>(dim1D(sizeof(int), n)); }
int** dim2Dint(int rows, int cols) { return reinterpret_cast<int**>(dim2D(sizeof(int), rows, cols)); }
int*** dim3Dint(int d1, int d2, int d3) { return reinterpret_cast<int***>(dim3D(sizeof(int), d1, d2, d3)); }
long* dim1Dlong(int n) { return static_cast<long*>(dim1D(sizeof(long), n)); }
long** dim2Dlong(int rows, int cols) { return reinterpret_cast<long**>(dim2D(sizeof(long), rows, cols)); }
long*** dim3Dlong(int d1, int d2, int d3) { return reinterpret_cast<long***>(dim3D(sizeof(long), d1, d2, d3)); }
long**** dim4Dlong(int d1, int d2, int d3, int d4) {
    return reinterpret_cast<long****>(dim4D(sizeof(long), d1, d2, d3, d4));
}
float* dim1Dfloat(int n) { return static_cast<float*>(dim1D(sizeof(float), n)); }
float** dim2Dfloat(int rows, int cols) { return reinterpret_cast<float**>(dim2D(sizeof(float), rows, cols)); }
float*** dim3Dfloat(int d1, int d2, int d3) { return reinterpret_cast<float***>(dim3D(sizeof(float), d1, d2, d3)); }
float**** dim4Dfloat(int d1, int d2, int d3, int d4) {
    return reinterpret_cast<float****>(dim4D(sizeof(float), d1, d2, d3, d4));
}
double* dim1Double(int n) { return static_cast<double*>(dim1D(sizeof(double), n)); }
double** dim2Double(int rows, int cols) { return reinterpret_cast<double**>(dim2D(sizeof(double), rows, cols)); }
double*** dim3Double(int d1, int d2, int d3) {
    return reinterpret_cast<double***>(dim3D(sizeof(double), d1, d2, d3));
}
double**** dim4Double(int d1, int d2, int d3, int d4) {
    return reinterpret_cast<double****>(dim4D(sizeof(double), d1, d2, d3, d4));
}

void** dim1Dptr(int n) { return static_cast<void**>(dim1D(sizeof(void*), n)); }
void*** dim2Dptr(int d1, int d2) { return reinterpret_cast<void***>(dim2D(sizeof(void*), d1, d2)); }
void**** dim3Dptr(int d1, int d2, int d3) { return reinterpret_cast<void****>(dim3D(sizeof(void*), d1, d2, d3)); }

void EnsureAllocatable(long long rows, long long cols, size_t elsize) {
    if (rows < 0 || cols < 0) RaiseError(TNX_OUT_OF_MEMORY);
    // Set once, on the first call of any thread (the searches allocate from worker threads).
    static const double limit = [] {
        const long pages = sysconf(_SC_PHYS_PAGES);
        const long pageSize = sysconf(_SC_PAGESIZE);
        return (pages > 0 && pageSize > 0) ? static_cast<double>(pages) * static_cast<double>(pageSize) : 1e18;
    }();
    // Each row is its own block, with the allocator's bookkeeping, behind its pointer slot.
    double need = static_cast<double>(rows) * (static_cast<double>(cols) * static_cast<double>(elsize) + 32.0 +
                                               static_cast<double>(sizeof(void*)));
    if (need > limit) RaiseError(TNX_OUT_OF_MEMORY);
}

void free1D(void* p) { free(p); }

void free2D(void** p, int rows) {
    if (p == nullptr) return;
    for (int i = 0; i < rows; i++)
        if (p[i] != nullptr) free(p[i]);
    free(p);
}

void free3D(void*** p, int d1, int d2) {
    if (p == nullptr) return;
    for (int i = 0; i < d1; i++) free2D(p[i], d2);
    free(p);
}

void free4D(void**** p, int d1, int d2, int d3) {
    if (p == nullptr) return;
    for (int i = 0; i < d1; i++) free3D(p[i], d2, d3);
    free(p);
}

void free5D(void***** p, int d1, int d2, int d3, int d4) {
    if (p == nullptr) return;
    for (int i = 0; i < d1; i++) free4D(p[i], d2, d3, d4);
    free(p);
}
