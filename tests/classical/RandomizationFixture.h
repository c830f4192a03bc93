// Support of the randomisation tests: the session tests' data set with the settings every test of
// the engines starts from (the stored nominal resemblances named "s1NRe.txt", no probabilities
// stored, option 6, function 1 on quantitative variables, no groups, 12 digits) and no wait for
// the return key.
#ifndef TARNEX_TESTS_CLASSICAL_RANDOMIZATIONFIXTURE_H
#define TARNEX_TESTS_CLASSICAL_RANDOMIZATIONFIXTURE_H

#include <cstring>

#include "OrdinationFixture.h"

namespace tnxtest {

class RandomizationFixture : public SeriesTest {
protected:
    void SetUp() override {
        SeriesTest::SetUp();
        std::strcpy(whichNRese, "s1NRe.txt");
        std::strcpy(whichProbN, "NULL");
        std::strcpy(whichProbRo, "NULL");
        hasProbN = hasProbRo = 0;
        saveRndData = 'n';
        rese_opt = 6, cohe = 1, groupDissMeth = 1, optEnvVarType = 1, temEnvQual = 0;
        nGroups = 0;
        sDigits = 12;
        runMacro = 1;
    }
    void TearDown() override {
        runMacro = 0;
        SeriesTest::TearDown();
    }
};

}  // namespace tnxtest

#endif
