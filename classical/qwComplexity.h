// Complexity of a community as the mean length, in bits, of an optimal prefix (Huffman) code
// for its composition: the abundances become whole frequencies out of one million, a Huffman
// code is built for them, and the frequency-weighted mean code length is the complexity.
#ifndef QWCOMPLEXITY_H
#define QWCOMPLEXITY_H

#include <vector>

// A Huffman code of n symbols; every vector is 1-based (entry 0 unused): symbols are nodes
// 1..n, the merged nodes n + 1 .. nodemax.
struct huffcode {
    std::vector<unsigned long> icod;   // code bits of each symbol (bit k: step k leaves a right child)
    std::vector<unsigned long> ncod;   // code length of each symbol (0: no code)
    std::vector<unsigned long> left;   // left child of each merged node
    std::vector<unsigned long> right;  // right child of each merged node
    unsigned long nch = 0;             // number of symbols
    unsigned long nodemax = 0;         // the root (0 when no symbol has a frequency)
};

// Restores the min-heap heap[1..size] of node numbers, ordered by freq, below position i
// (1-based): the entry moves down to the smaller child, the left one on equal frequencies,
// and stops above a child whose frequency is not smaller than its own.
void hufapp(unsigned long* heap, unsigned long* freq, unsigned long size, unsigned long i);

// Builds the Huffman code of the frequencies freq[1..n]; a symbol of frequency 0 gets no code.
// longestIndex receives the 0-based symbol with the longest code (the first on ties) and
// longestLength its length.
void hufmak(unsigned long* freq, unsigned long n, unsigned long* longestIndex, unsigned long* longestLength,
            huffcode* code);

// Mean code length of the composition v[0..n-1]: frequencies trunc(v_i 1e6 / S) with S the
// sum of the positive entries (a negative, missing or non-finite entry counts 0), then
// sum_i (freq_i / 1e6) length_i. Fewer than 2 positive frequencies give 0. lengths, when not
// null, receives each entry's code length (0 for an entry without a code). The float form
// forms v_i 1e6 in single precision.
double ComplexityVectorHuffCode(int n, float* v, unsigned long* lengths);
double ComplexityVectorHuffCode(int n, double* v, unsigned long* lengths);
double ComplexityVector(int n, float* v);
// ComplexityVector of the nRows row totals of m.
double ComplexityRows(int nRows, int nCols, float** m);

#endif
