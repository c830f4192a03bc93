// Small helpers for the statistics tests: row-pointer matrices built from literals and
// released automatically.
#ifndef TNX_STAT_TEST_UTIL_H
#define TNX_STAT_TEST_UTIL_H

#include <initializer_list>
#include <random>

#include "foundation/qwlibDim.h"

// A row-pointer matrix from the library's allocator (zero-filled), released on scope exit.
template <class T>
class Mat {
public:
    Mat(int rows, int cols) : n_(rows), p_(cols) {
        m_ = static_cast<T**>(static_cast<void*>(dim2D(sizeof(T), rows, cols)));
    }
    Mat(std::initializer_list<std::initializer_list<double>> rows)
        : Mat(int(rows.size()), rows.size() ? int(rows.begin()->size()) : 0) {
        int i = 0;
        for (auto& r : rows) {
            int j = 0;
            for (double v : r) m_[i][j++] = T(v);
            i++;
        }
    }
    ~Mat() { free2D(m_, n_); }
    Mat(const Mat&) = delete;
    Mat& operator=(const Mat&) = delete;

    operator T**() { return m_; }
    T* operator[](int i) { return m_[i]; }
    int rows() const { return n_; }
    int cols() const { return p_; }
    void fill(T v) {
        for (int i = 0; i < n_; i++)
            for (int j = 0; j < p_; j++) m_[i][j] = v;
    }

private:
    T** m_;
    int n_, p_;
};

// Uniform values in [lo, hi) from a fixed seed.
template <class T>
void FillRandom(Mat<T>& m, unsigned seed, double lo = -5.0, double hi = 5.0) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(lo, hi);
    for (int i = 0; i < m.rows(); i++)
        for (int j = 0; j < m.cols(); j++) m[i][j] = T(u(gen));
}

#endif
