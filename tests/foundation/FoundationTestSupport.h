// Helpers of the foundation tests: console capture, text streams, error codes, matrices.
#ifndef TNX_FOUNDATION_TEST_SUPPORT_H
#define TNX_FOUNDATION_TEST_SUPPORT_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "common/ErrorCode.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"

// A temporary stream holding text, read from its start; Text() gives all it holds (position: end).
class TextStream {
public:
    explicit TextStream(const std::string& text = "") : f(tmpfile()) {
        fwrite(text.data(), 1, text.size(), f);
        rewind(f);
    }
    ~TextStream() { fclose(f); }
    std::string Path() const { return "/proc/self/fd/" + std::to_string(fileno(f)); }   // opens it anew
    std::string Text() {
        std::string s;
        rewind(f);
        for (int c; (c = fgetc(f)) != EOF;) s += static_cast<char>(c);
        fseek(f, 0, SEEK_END);
        return s;
    }
    FILE* f;
};

// Captures standard output and standard error (file descriptors) until Out() or Err() is called.
class ConsoleCapture {
public:
    ConsoleCapture() {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
    }
    ~ConsoleCapture() { Stopped(); }
    const std::string& Out() { return Stopped().out_; }
    const std::string& Err() { return Stopped().err_; }

private:
    ConsoleCapture& Stopped() {
        if (!stopped_) {
            stopped_ = true;
            out_ = testing::internal::GetCapturedStdout();
            err_ = testing::internal::GetCapturedStderr();
        }
        return *this;
    }
    bool stopped_ = false;
    std::string out_, err_;
};

// Standard input replaced by text for the lifetime of the object.
class StdinFrom {
public:
    explicit StdinFrom(const std::string& text) : stream_(text), saved_(stdin) { stdin = stream_.f; }
    ~StdinFrom() { stdin = saved_; }

private:
    TextStream stream_;
    FILE* saved_;
};

using tnxtest::CodeOf;

using Values = std::vector<double>;
using Dense = std::vector<Values>;

inline Dense RandomMatrix(int m, int n, unsigned seed, bool symmetric = false) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-3, 3);
    Dense a(m, Values(n));
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < n; ++j) a[i][j] = symmetric && j < i ? a[j][i] : u(gen);
    return a;
}

inline Dense Identity(size_t n) {
    Dense id(n, Values(n));
    for (size_t i = 0; i < n; ++i) id[i][i] = 1;
    return id;
}

inline Dense Transpose(const Dense& x) {
    Dense t(x[0].size(), Values(x.size()));
    for (size_t i = 0; i < x.size(); ++i)
        for (size_t j = 0; j < x[0].size(); ++j) t[j][i] = x[i][j];
    return t;
}

// x diag(w) y^T (w null: the identity).
inline Dense TimesTransposed(const Dense& x, const Dense& y, const Values* w = nullptr) {
    Dense p(x.size(), Values(y.size()));
    for (size_t i = 0; i < x.size(); ++i)
        for (size_t j = 0; j < y.size(); ++j)
            for (size_t l = 0; l < x[0].size(); ++l) p[i][j] += x[i][l] * (w ? (*w)[l] : 1.0) * y[j][l];
    return p;
}

inline void ExpectNear(const Dense& x, const Dense& y, double tol, const char* what) {
    ASSERT_EQ(x.size(), y.size()) << what;
    for (size_t i = 0; i < x.size(); ++i) {
        ASSERT_EQ(x[i].size(), y[i].size()) << what;
        for (size_t j = 0; j < x[i].size(); ++j)
            EXPECT_NEAR(x[i][j], y[i][j], tol) << what << " " << i << "," << j;
    }
}

// A dim2D table of T, released on destruction; it converts to T** for the routines.
template <class T>
class Table {
public:
    // rows x cols, filled row by row from values (the rest 0).
    Table(int rows, int cols, std::initializer_list<T> values = {})
        : rows_(rows), m_(reinterpret_cast<T**>(dim2D(sizeof(T), rows, cols))) {
        auto it = values.begin();
        for (int i = 0; i < rows; i++)
            for (int j = 0; j < cols && it != values.end(); j++) m_[i][j] = *it++;
    }
    // A copy of a from index base (0 or 1; a 1-based copy leaves index 0 unused).
    Table(const Dense& a, int base)
        : Table(static_cast<int>(a.size()) + base, static_cast<int>(a[0].size()) + base) {
        for (size_t i = 0; i < a.size(); ++i)
            for (size_t j = 0; j < a[0].size(); ++j) m_[i + base][j + base] = static_cast<T>(a[i][j]);
    }
    ~Table() { free2D(m_, rows_); }
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;
    operator T**() const { return m_; }
    // The m x n values from index base.
    Dense ToDense(int m, int n, int base) const {
        Dense a(m, Values(n));
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < n; ++j) a[i][j] = static_cast<double>(m_[i + base][j + base]);
        return a;
    }

private:
    int rows_;
    T** m_;
};

#endif
