// Helpers of the statistics and matrix tests: row-pointer matrices from literals, whole-matrix checks.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/qwlibDim.h"

// Makes a fresh temporary directory the working directory for its lifetime, so that files a
// routine writes under a fixed name (the contingency-table listings) land there; on scope exit
// the old working directory comes back and the directory is removed with all it holds.
class InTempDir {
public:
    InTempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tnxtestXXXXXX").string();
        if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        dir_ = tmpl;
        std::filesystem::current_path(dir_);
    }
    ~InTempDir() {
        std::error_code ec;
        std::filesystem::current_path(old_, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    InTempDir(const InTempDir&) = delete;
    InTempDir& operator=(const InTempDir&) = delete;
    const std::filesystem::path& Path() const { return dir_; }

private:
    std::filesystem::path old_ = std::filesystem::current_path(), dir_;
};

using Rows = std::initializer_list<std::initializer_list<double>>;
const double kTol = 1e-12;

// A row-pointer matrix from the library's allocator (zero-filled), released on scope exit.
template <class T>
class Mat {
public:
    Mat(int rows, int cols)
        : m_(static_cast<T**>(static_cast<void*>(dim2D(sizeof(T), rows, cols)))), n_(rows), p_(cols) {}
    Mat(Rows rows) : Mat(int(rows.size()), rows.size() ? int(rows.begin()->size()) : 0) {
        for (int i = 0; i < n_; i++)
            for (size_t j = 0; j < rows.begin()[i].size(); j++) m_[i][j] = T(rows.begin()[i].begin()[j]);
    }
    ~Mat() { free2D(m_, n_); }
    Mat(const Mat&) = delete;
    Mat& operator=(const Mat&) = delete;

    operator T**() { return m_; }
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

// b = a cell by cell (t: b = the transpose of a), in b's element type.
template <class A, class B>
void Copy(Mat<A>& a, Mat<B>& b, bool t = false) {
    for (int i = 0; i < a.rows(); i++)
        for (int j = 0; j < a.cols(); j++) (t ? b[j][i] : b[i][j]) = B(a[i][j]);
}

// D = the Euclidean distances (squared: their squares) among the rows of X, every cell.
template <class T>
void RowDistances(Mat<T>& X, Mat<T>& D, bool squared = false) {
    for (int i = 0; i < X.rows(); i++)
        for (int j = 0; j < X.rows(); j++) {
            double s = 0;
            for (int k = 0; k < X.cols(); k++) s += (double(X[i][k]) - X[j][k]) * (double(X[i][k]) - X[j][k]);
            D[i][j] = T(squared ? s : std::sqrt(s));
        }
}

// Pearson correlation of x[0 .. n - 1] and y[0 .. n - 1] from its definition.
inline double Pearson(const double* x, const double* y, int n) {
    double mx = 0, my = 0, sxy = 0, sxx = 0, syy = 0;
    for (int k = 0; k < n; k++) mx += x[k] / n, my += y[k] / n;
    for (int k = 0; k < n; k++) {
        sxy += (x[k] - mx) * (y[k] - my);
        sxx += (x[k] - mx) * (x[k] - mx);
        syy += (y[k] - my) * (y[k] - my);
    }
    return sxy / std::sqrt(sxx * syy);
}

// h less its parts along the constant vector and along each column `cols` of X (rows 0 ..
// h.size() - 1): Gram-Schmidt, each basis vector and then h swept twice, so that what remains is
// orthogonal to them to rounding. A residual built by hand, free of the program's regression.
template <class M>
std::vector<double> OrthogonalPart(M& X, const std::vector<int>& cols, std::vector<double> h) {
    const size_t n = h.size();
    std::vector<std::vector<double>> basis;
    auto sweep = [&](std::vector<double>& v) {
        for (int pass = 0; pass < 2; pass++)
            for (const auto& b : basis) {
                double d = 0;
                for (size_t i = 0; i < n; i++) d += b[i] * v[i];
                for (size_t i = 0; i < n; i++) v[i] -= d * b[i];
            }
    };
    auto add = [&](std::vector<double> v) {
        sweep(v);
        double len = 0;
        for (double x : v) len += x * x;
        for (double& x : v) x /= std::sqrt(len);
        basis.push_back(v);
    };
    add(std::vector<double>(n, 1.0));
    for (int k : cols) {
        std::vector<double> v(n);
        for (size_t i = 0; i < n; i++) v[i] = double(X[i][k]);
        add(v);
    }
    sweep(h);
    return h;
}

// Uniform values in [lo, hi) from a fixed seed.
template <class T>
void FillRandom(Mat<T>& m, unsigned seed, double lo = -5.0, double hi = 5.0) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(lo, hi);
    for (int i = 0; i < m.rows(); i++)
        for (int j = 0; j < m.cols(); j++) m[i][j] = T(u(gen));
}

// v[0 .. want.size() - 1] within tol of want.
template <class T>
void ExpectVec(const T* v, std::initializer_list<double> want, double tol = 1e-12) {
    for (size_t k = 0; k < want.size(); k++) EXPECT_NEAR(v[k], want.begin()[k], tol) << "at " << k;
}

// Column j of m (rows 0 .. want.size() - 1) within tol of want.
template <class M>
void ExpectColumn(M& m, int j, const std::vector<double>& want, double tol) {
    for (size_t i = 0; i < want.size(); i++) EXPECT_NEAR(m[i][j], want[i], tol) << "row " << i << ", column " << j;
}

// The whole content of a scratch file, from its start.
inline std::string ReadBack(FILE* f) {
    std::rewind(f);
    std::string s;
    for (int c; (c = std::fgetc(f)) != EOF;) s += char(c);
    return s;
}

// Every row given of m within tol of want.
template <class M>
void ExpectCells(M& m, Rows want, double tol = 1e-12) {
    for (int i = 0; i < int(want.size()); i++) {
        SCOPED_TRACE(testing::Message() << "row " << i);
        ExpectVec(m[i], want.begin()[i], tol);
    }
}

// Every cell (upper: the upper triangle, diagonal included) of a and b agrees within tol.
template <class A, class B>
void ExpectSame(Mat<A>& a, Mat<B>& b, double tol, bool upper = false) {
    for (int i = 0; i < a.rows(); i++)
        for (int j = upper ? i : 0; j < a.cols(); j++) EXPECT_NEAR(a[i][j], b[i][j], tol) << i << "," << j;
}

template <class T>
using Kernel = void (*)(int, int, T**, T**);

// rows(n, p, in, out) on in, and cols(p, n, ...) on the transpose of in with the result transposed
// back, both checked against want: a column routine that works along rows fails. outFirst: the
// routines take their output first.
template <class T>
void ExpectBothWays(Kernel<T> rows, Kernel<T> cols, Mat<T>& in, Rows want, double tol,
                    bool outFirst = false) {
    const int n = in.rows(), p = in.cols();
    Mat<T> out(n, p), t(p, n), to(p, n), back(n, p);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++) t[j][i] = in[i][j];
    outFirst ? rows(n, p, out, in) : rows(n, p, in, out);
    outFirst ? cols(p, n, to, t) : cols(p, n, t, to);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++) back[i][j] = to[j][i];
    SCOPED_TRACE("rows, then columns");
    ExpectCells(out, want, tol);
    ExpectCells(back, want, tol);
}

// Runs check(zero, tol) for the float and the double overloads.
template <class F>
void BothPrecisions(F check, double floatTol = 1e-5) {
    check(0.0f, floatTol);
    check(0.0, kTol);
}
