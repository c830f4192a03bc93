// Huffman-code complexity of a composition: the heap-ordered construction of the code and the
// mean code length of the composition's frequencies out of one million.
#include "classical/qwComplexity.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "matrix/core/qwlibUtil.h"

namespace {

// Frequencies are out of this many parts.
constexpr double kParts = 1e6;

// The frequency of one entry; a negative, missing (-999) or non-finite entry counts 0.
unsigned long Frequency(float v, double total) {
    if (!(v > 0.0f) || !std::isfinite(v)) return 0;
    // The product is formed in single precision, the division in double.
    const float scaled = v * 1e6f;
    return static_cast<unsigned long>(static_cast<double>(scaled) / total);
}

unsigned long Frequency(double v, double total) {
    if (!(v > 0.0) || !std::isfinite(v)) return 0;
    return static_cast<unsigned long>(v * kParts / total);
}

template <class T>
double ComplexityT(int n, T* v, unsigned long* lengths) {
    if (lengths)
        for (int i = 0; i < n; i++) lengths[i] = 0;
    if (n < 1) return 0.0;
    double total = 0.0;
    for (int i = 0; i < n; i++)
        if (v[i] > T(0) && std::isfinite(v[i])) total += static_cast<double>(v[i]);
    if (total == 0.0) total = 1.0;
    std::vector<unsigned long> freq(static_cast<size_t>(n) + 1, 0);
    int positive = 0;
    for (int i = 0; i < n; i++) {
        freq[i + 1] = Frequency(v[i], total);
        positive += freq[i + 1] > 0;
    }
    // One symbol alone needs no code: nothing to measure.
    if (positive < 2) return 0.0;
    huffcode code;
    unsigned long longest = 0, longestLength = 0;
    hufmak(freq.data(), static_cast<unsigned long>(n), &longest, &longestLength, &code);
    double mean = 0.0;
    for (int i = 1; i <= n; i++) {
        mean += static_cast<double>(freq[i]) / kParts * static_cast<double>(code.ncod[i]);
        if (lengths) lengths[i - 1] = code.ncod[i];
    }
    return mean;
}

}  // namespace

void hufapp(unsigned long* heap, unsigned long* freq, unsigned long size, unsigned long i) {
    const unsigned long moving = heap[i];
    while (i <= size / 2) {
        unsigned long child = 2 * i;
        if (child < size && freq[heap[child]] > freq[heap[child + 1]]) child++;
        if (freq[moving] <= freq[heap[child]]) break;
        heap[i] = heap[child];
        i = child;
    }
    heap[i] = moving;
}

void hufmak(unsigned long* freq, unsigned long n, unsigned long* longestIndex, unsigned long* longestLength,
            huffcode* code) {
    const size_t nodes = 2 * static_cast<size_t>(n);  // entries 1 .. 2n - 1
    code->icod.assign(nodes, 0);
    code->ncod.assign(nodes, 0);
    code->left.assign(nodes, 0);
    code->right.assign(nodes, 0);
    code->nch = n;
    code->nodemax = 0;
    *longestIndex = 0;
    *longestLength = 0;
    if (n < 1) return;

    std::vector<unsigned long> heap(nodes, 0), nodeFreq(nodes, 0);
    // Parent links; a negative link marks a right child.
    std::vector<long> parent(nodes, 0);
    unsigned long used = 0;
    for (unsigned long j = 1; j <= n; j++) {
        nodeFreq[j] = freq[j];
        if (freq[j] > 0) heap[++used] = j;
    }
    for (unsigned long j = used; j >= 1; j--) hufapp(heap.data(), nodeFreq.data(), used, j);

    unsigned long k = n;
    while (used > 1) {
        const unsigned long smallest = heap[1];
        heap[1] = heap[used--];
        hufapp(heap.data(), nodeFreq.data(), used, 1);
        const unsigned long next = heap[1];
        nodeFreq[++k] = nodeFreq[smallest] + nodeFreq[next];
        code->left[k] = smallest;
        code->right[k] = next;
        parent[smallest] = static_cast<long>(k);
        parent[next] = -static_cast<long>(k);
        heap[1] = k;
        hufapp(heap.data(), nodeFreq.data(), used, 1);
    }
    // A single coded symbol is its own root.
    code->nodemax = used == 1 ? heap[1] : 0;
    if (code->nodemax > 0) parent[code->nodemax] = 0;

    // The length counts every step to the root; bits are kept while the word has room.
    const unsigned long bits = std::numeric_limits<unsigned long>::digits;
    for (unsigned long j = 1; j <= n; j++) {
        if (nodeFreq[j] == 0) continue;
        unsigned long length = 0;
        for (long node = static_cast<long>(j); parent[node] != 0; node = std::labs(parent[node]), length++)
            if (parent[node] < 0 && length < bits) code->icod[j] |= 1UL << length;
        code->ncod[j] = length;
        if (length > *longestLength) {
            *longestLength = length;
            *longestIndex = j - 1;
        }
    }
}

double ComplexityVectorHuffCode(int n, float* v, unsigned long* lengths) { return ComplexityT(n, v, lengths); }
double ComplexityVectorHuffCode(int n, double* v, unsigned long* lengths) { return ComplexityT(n, v, lengths); }
double ComplexityVector(int n, float* v) { return ComplexityT(n, v, static_cast<unsigned long*>(nullptr)); }

double ComplexityRows(int nRows, int nCols, float** m) {
    if (nRows < 1) return 0.0;
    std::vector<float> totals(static_cast<size_t>(nRows), 0.0f);
    RowTotals(nRows, nCols, m, totals.data());
    return ComplexityVector(nRows, totals.data());
}
