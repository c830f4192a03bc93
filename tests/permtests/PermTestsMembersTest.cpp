// Every member of the Mantel family through one table: too few communities or iterations give
// P = 1 without a draw, each form draws its own kind of list (fresh, continued, weighted), and
// each writes its own texts in order (values from r/mantel_family.R at 6 significant digits).
#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "MantelData.h"
#include "permtests/qwlibPermTests.h"

namespace {

// One form of a member on MantelData: n communities, it iterations, intermediate results to f
// when given, the weighted flag where the form has one; returns its probabilities.
struct Member {
    const char* name;
    ListDraw how;
    bool weighted;
    std::function<std::vector<double>(MantelData&, int n, int it, FILE* f, bool w)> run;
    std::vector<std::string> texts;  // in the order written
};

using V = std::vector<double>;

// The probabilities of a member that reports success.
V Ok(bool ok, const V& p) {
    EXPECT_TRUE(ok);
    return p;
}

std::vector<Member> Members() {
    const ListDraw fresh = ListDraw::kFresh, cont = ListDraw::kContinued;
    return {
        {"Prob_roTE, float W, 13", cont, true,
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             return V{Prob_roTE(it, kOtus, kTraits, n, d.B, d.Wf, d.DE, d.sel, 6, f != nullptr, f, w, true)};
         },
         {"ro(TE)\n", "\nObserved ro(TE)=\t0.0311392\n"}},
        {"Prob_roTE_C", cont, true,
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             return V{Prob_roTE_C(it, kOtus, kTraits, n, d.B, d.W, d.DE, d.DC, d.sel, 6, f != nullptr, f, w)};
         },
         {"ro(TE)\n", "base don", "DC between 6 communities (based on matrix of ecological covariables by communities):\n",
          "\nObserved ro(TE)=\t0.03562", "\tRandom ro(TE) =\t"}},
        {"Prob_roTE_P, 13", fresh, false,
         [](MantelData& d, int n, int it, FILE* f, bool) {
             return V{Prob_roTE_P(it, kOtus, kTraits, n, d.B, d.W, kRPE, d.DE, d.DP, d.sel, 6, f != nullptr, f)};
         },
         {"\nPERMUTATION TEST FOR PARTIAL MATRIX CORRELATION ro(TE.P)\n",
          "DP between 6 communities (based on matrix P of OTUs by communities weighted by phylogeny):\n", "base don",
          "\nMatrix correlation between DP and DE:\t0.218425\n\nObserved ro(TE.P)=\t-0.285176\n", "for ro(TE.P)="}},
        {"Prob_roTE_P, 16", cont, true,
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             return V{Prob_roTE_P(it, kOtus, nullptr, 9, kTraits, n, d.B, d.W, kRPE, d.DE, d.DP, d.sel, 6,
                                  f != nullptr, f, w)};
         },
         {"ro(TE.P)\n"}},
        {"Prob_roTE_PC", cont, false,
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             return V{Prob_roTE_PC(it, kOtus, kTraits, n, d.B, d.W, kRPE_C, d.DE, d.DC, d.DP, d.sel, 6, f != nullptr,
                                   f, w)};
         },
         {"ro(TE.P)\n", "DP between", "base don", "DC between 6 communities (based on matrix of ecological covariable(s) "
          "by communities):\n", "\nPartial matrix correlation between DP and DE controlling DC:\t0.240082\n\nObserved "
          "ro(TE.P)=\t-0.326303\n", "\tRandom ro(TE.P) =\t"}},
        {"Prob_ro_XE_T, float, 14", fresh, false,
         [](MantelData& d, int n, int it, FILE* f, bool) {
             V p(2);
             return Ok(Prob_ro_XE_T(it, kOtus, kTypes, n, d.Uf, d.Wf, 0.5f, d.DT, d.DE, &p[0], &p[1], 6,
                                    f != nullptr, f), p);
         },
         {"ro(XE.T)\n", "\nMatrix correlation between DT and DE:\t0.5\n"}},
        {"Prob_ro_XE_T, float, 15", cont, true,
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             V p(2);
             return Ok(Prob_ro_XE_T(it, kOtus, kTypes, n, d.Uf, d.Wf, 0.5f, d.DT, d.DE, &p[0], &p[1], 6,
                                    f != nullptr, f, w), p);
         },
         {"ro(XE.T)\n"}},
        {"Prob_ro_XE_T, double, 14", fresh, false,
         [](MantelData& d, int n, int it, FILE* f, bool) {
             V p(2);
             return Ok(Prob_ro_XE_T(it, kOtus, kTypes, n, d.U, d.W, kRTE, d.DT, d.DE, &p[0], &p[1], 6, f != nullptr,
                                    f), p);
         },
         {"\nPERMUTATION TEST FOR PARTIAL CORRELATION ro(XE.T)\nINTERMEDIATE RESULTS\n\nObserved belonging matrix (U):\n"
          "1\t0\t\n0.8\t0.2\t\n", "(6 communities by 5 OTUs):\n3\t1\t0\t0\t2\t\n", "DT between 6 communities (based on "
          "matrix T of traits", "base don", "\nMatrix correlation between DT and DE:\t0.0311392\n\nObserved ro(XT)=\t",
          "Observed ro(XE)=\t0.260943\nObserved ro(XE.T)=\t0.379304\n\n\nITERATION\t1\nPermuted belonging matrix "
          "(Urnd):\n", "\n\nMatrix Xrnd (6 communities by 2 PFTs) generated after Urnd (Xrnd = W x Urnd):\n",
          "\nResemblance matrix DX between 6 communities:\n", "\nIteration 1\tRandom ro(XT) =\t",
          "\tCummulative frequency for ro(XE)=", "\tCummulative frequency for ro(XE.T)="}},
        {"Prob_ro_XE_T, double, 15", cont, false,
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             V p(2);
             return Ok(Prob_ro_XE_T(it, kOtus, kTypes, n, d.U, d.W, kRTE, d.DT, d.DE, &p[0], &p[1], 6, f != nullptr,
                                    f, w), p);
         },
         {"ro(XE.T)\n"}},
        {"Prob_ro_XE_T, double U, float W", cont, true,
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             V p(2);
             return Ok(Prob_ro_XE_T(it, kOtus, kTypes, n, d.U, d.Wf, kRTE, d.DT, d.DE, &p[0], &p[1], 6, f != nullptr,
                                    f, w), p);
         },
         {"ro(XE.T)\n", "Observed ro(XE)=\t0.260943\nObserved ro(XE.T)=\t0.379304\n"}},
        {"Prob_ro_PE_X, 15", cont, true,
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             V p(2);
             return Ok(Prob_ro_PE_X(it, kOtus, kTypes, n, d.U, d.W, kRTE, d.DT, d.DE, &p[0], &p[1], 6, f != nullptr,
                                    f, w), p);
         },
         {"Observed ro(XE)=\t0.260943\nObserved ro(XE.T)=\t0.379304\n"}},
        {"Prob_ro_PE_X, Procrustes", cont, false,
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             V p(2);
             return Ok(Prob_ro_PE_X(it, kOtus, kTypes, 2, 2, n, d.U, d.W, kRTE, d.P, d.DT, d.E, d.DE, &p[0], &p[1], 6,
                                    f != nullptr, f, w, 2), p);
         },
         {"ro(XE.T)\n", "OTUs):\n", "\n:Procrustes correlation between T and E:\t0.0311392\n\nObserved"}},
        {"Prob_ro_XE_TC", cont, true,
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             V p(2);
             return Ok(Prob_ro_XE_TC(it, kOtus, kTypes, n, d.U, d.W, kRTE_C, d.DT, d.DE, d.DC, &p[0], &p[1], 6,
                                     f != nullptr, f, w), p);
         },
         {"ro(XE.T)\n", "base don", "covariables", "\nPartial matrix correlation between DT and DE removing DC:\t0.0356254"
          "\n\nObserved ro(XT)=\t", "Observed ro(XE)=\t0.276292\nObserved ro(XE.T)=\t0.398902\n", "\tRandom ro(XT_C) =\t",
          "\tRandom ro(XE_C) =\t", "\tRandom ro(XE.TC) =\t", "for ro(XE_C)=", "for ro(XE.TC)="}},
        {"Prob_ro_XE_P", cont, false,
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             return V{Prob_ro_XE_P(it, kOtus, kTypes, n, d.U, d.W, kRPE, d.DE, d.DP, 6, f != nullptr, f, w)};
         },
         {"\nPERMUTATION TEST FOR PARTIAL CORRELATION ro(XE.TP)\n", "(based on matrix E", "(based on matrix P of taxons "
          "weighted by phylogeny by communities):\n", "\nMatrix correlation between DP and DE:\t0.218425\nObserved ro(XE)=\t"
          "0.260943\nObserved ro(XP)=\t", "Observed ro(XE.P)=\t0.149191\n", "\tRandom ro(XP) =\t", "\tCummulative frequency="}},
        {"Prob_ro_XE_TP, 15", fresh, false,
         [](MantelData& d, int n, int it, FILE* f, bool) {
             return V{Prob_ro_XE_TP(it, kOtus, kTypes, n, d.U, d.W, kRPE, kRPT, kRTE_P, d.DT, d.DE, d.DP, 6,
                                    f != nullptr, f)};
         },
         {"ro(XE.TP)\n", "(based on matrix T", "(based on matrix E", "taxons weighted", "\nMatrix correlation between DP "
          "and DT:\t0.837928\n\nMatrix correlation between DT and DE, removing DP:\t-0.285176\n\nObserved ro(XT)=\t",
          "Observed ro(XT.P)=\t", "Observed ro(XE.TP)=\t0.202552\n", "\tRandom ro(XE.TP) =\t"}},
        {"Prob_ro_XE_TP, 16", cont, true,
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             return V{Prob_ro_XE_TP(it, kOtus, kTypes, n, d.U, d.W, kRPE, kRPT, kRTE_P, d.DT, d.DE, d.DP, 6,
                                    f != nullptr, f, w)};
         },
         {"ro(XE.TP)\n"}},
        {"Prob_ro_XE_TPC", cont, false,
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             return V{Prob_ro_XE_TPC(it, kOtus, kTypes, n, d.U, d.W, kRPE_C, kRPT, kRTE_PC, d.DT, d.DE, d.DC, d.DP, 6,
                                     f != nullptr, f, w)};
         },
         {"ro(XE.TP)\n", "(based on matrix E", "covariables", "(based on matrix P of taxons, weighted by phylogeny, by "
          "communities):\n", "\nPartial matrix correlation between DP and DE, removing DC:\t0.240082\n\nMatrix correlation "
          "between DP and DT:\t0.837928\n\nPartial matrix correlation between DT and DE, removing DP and DC:\t-0.326303\n"
          "\nObserved ro(XT_C)=\t", "Observed ro(XP_C)=\t", "Observed ro(XE.TPC)=\t0.197103\n", "\tRandom ro(XE.PC) =\t",
          "\tRandom ro(XE.TPC) =\t"}},
        {"Prob_ro_Traits", cont, true,
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             V p(5);
             return Ok(Prob_ro_Traits(it, kTraits, d.sel, kOtus, kTypes, n, d.B, d.S, d.U, d.W, d.DE, &p[0], &p[1],
                                      &p[2], &p[3], &p[4], 6, f != nullptr, f, w), p);
         },
         {"\nPERMUTATION TEST FOR MATRIX CORRELATIONS ro(XE), ro(TE) AND ro(RE), AND PARTIAL MATRIX CORRELATIONS "
          "ro(XE.T), ro(XE.TR)\n", "\n\nMatrix T (comunity weighted means traits in 6 communities by 3 traits) computed "
          "after B (T = W x B):\n", "base don", "DE:\t0.0311392\n\nObserved belonging matrix (U):\n", "Observed ro(XE.T)="
          "\t0.379304\n\nObserved similarity matrix (S) between OTUs, based on the traits:\n:1\t", "\n\nRao entropy vector"
          " R (6 communities) computed after S and expressed as equivalent number of OTUs (Brell 2007):\n1.57213\t",
          "\nResemblance matrix DR comparing communities based on their Rao entropy: \n", "Random ro(TE) =\t",
          "Random ro(XE.T) =\t", "\n\nITERATION\t1\nPermuted similarity matrix (Srnd):\n", "Rrnd (6 communities) generated "
          "after Srnd and expressed", "\nResemblance matrix DR between 6 communities:\n", "\tRandom ro(XE.TR) =\t",
          "for ro(XE.TR)="}},
        {"Prob_ro_Traits, 23, Procrustes", cont, false,
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             V p(5);
             return Ok(Prob_ro_Traits(it, kTraits, d.sel, kOtus, kTypes, 2, n, d.B, d.S, d.U, d.W, d.Ef, d.DE, &p[0],
                                      &p[1], &p[2], &p[3], &p[4], 6, f != nullptr, f, w, 2), p);
         },
         // E in place of the resemblances, R as a column.
         {"\nPERMUTATION TEST FOR CORRELATIONS ro(XE), ro(TE) AND ro(RE), AND PARTIAL CORRELATIONS ro(XE.T), "
          "ro(XE.TR)\n", "\nMatrix E of communities by ecological variables):\n1\t5\t\n", "\nProcrustes correlation "
          "between T and E:\t0.619404\n", "(Brell 2007):\n1.57213\t\n", "\n\n\nITERATION\t1\n"}},
        {"Prob_ro_XE_T_2", fresh, false,
         [](MantelData& d, int n, int it, FILE* f, bool) {
             int labels[kOtus] = {1, 2, 1, 3, 2};
             return V{Prob_ro_XE_T_2(it, kOtus, 1, n, labels, d.S, d.Wf, float(kRTE), d.DT, d.DE, 6, false, true,
                                     f != nullptr, f)};
         },
         {"\nObserved vector with crisp belonging of OTUs to groups:\n1\t2\t1\t3\t2\t\n\nObserved belonging matrix (U):\n",
          "DE:\t0.0311392\n\nObserved ro(XT)=\t", "\n\nITERATION\t1\n\nPermuted vector with crisp belonging of OTUs to "
          "groups:\n", "Permuted belonging matrix (Urnd):\n", "(6 communities by 3 PFTs)", "\tCummulative frequency="}},
        {"Prob_ro_PX_T", cont, true,
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             V p(3);
             Prob_ro_PX_T(it, kOtus, kTypes, n, d.U, d.Q, d.W, d.DT, &p[0], &p[1], &p[2], 6, f != nullptr, f, w);
             return p;
         },
         {"\nPERMUTATION TEST FOR PARTIAL CORRELATION ro(XP.T) (correlation of PSAP to TDAP)\n", "\nObserved belonging "
          "matrix based on traits(U):\n", "\nObserved belonging matrix based on phylogeny(Q):\n", "DX between 6 "
          "communities:\n", "Observed ro(XP)=\t0.887452\n\nObserved ro(XT)=\t", "Observed ro(PT)=\t0.837928\nObserved "
          "ro(XP.T)=\t0.683295\n", "Permuted belonging matrix based on plylogenetic similarities (Qrnd):\n", "(Xrnd = W x "
          "Qrnd):\n", "DP between 6 communities:\n", "\nIteration 1\nRandom ro(PX) =\t", "\nRandom ro(PT) =\t",
          "\n ro(XT) =\t", "\nRandom ro(PX.T) =\t"}},
    };
}

TEST(PermTestsMembers, OneCommunityGivesProbabilityOneAndDrawsNothing) {
    const unsigned long untouched = DrawAfter(21, [] {});
    for (const Member& m : Members()) {
        MantelData d;
        Scratch s;
        V p;
        EXPECT_EQ(DrawAfter(21, [&] { p = m.run(d, 1, 50, s.f, m.weighted); }), untouched) << m.name;
        for (double v : p) EXPECT_EQ(v, 1.0) << m.name;
        EXPECT_EQ(s.Text(), "") << m.name;
    }
}

TEST(PermTestsMembers, OneIterationOrFewerGiveProbabilityOneAndDrawNothing) {
    const unsigned long untouched = DrawAfter(4, [] {});
    for (const Member& m : Members())
        for (int it : {1, 0, -3}) {
            MantelData d;
            V p;
            EXPECT_EQ(DrawAfter(4, [&] { p = m.run(d, kComm, it, nullptr, m.weighted); }), untouched) << m.name;
            for (double v : p) EXPECT_EQ(v, 1.0) << m.name << " " << it;
        }
}

// The OTU orders of the iteration blocks, as written.
std::vector<std::string> Orders(const std::string& out) {
    std::vector<std::string> orders;
    for (size_t at = out.find("Order of original OTUs"); at != std::string::npos;
         at = out.find("Order of original OTUs", at + 1)) {
        const size_t from = out.find(":\t", at) + 2;
        orders.push_back(out.substr(from, out.find('\n', from) - from));
    }
    return orders;
}

TEST(PermTestsMembers, EachWritesItsTextsAndDrawsItsKindOfList) {
    for (const Member& m : Members()) {
        MantelData d;
        Scratch s;
        InitRndNumberGenerator(31);
        m.run(d, kComm, 4, s.f, m.weighted);
        const std::string out = s.Text();
        size_t at = 0;
        for (const std::string& t : m.texts) {
            const size_t next = out.find(t, at);
            EXPECT_NE(next, std::string::npos) << m.name << ": " << t;
            if (next != std::string::npos) at = next + t.size();
        }
        // Procrustes compares the tables themselves: no resemblance is computed or written.
        if (std::string(m.name).find("Procrustes") != std::string::npos) {
            EXPECT_EQ(out.find("Resemblance matrix"), std::string::npos) << m.name;
        }
        // The orders replayed: every block of one randomisation shows the same list.
        InitRndNumberGenerator(31);
        OtuList ref(kOtus, kComm, d.W, m.weighted);
        const std::vector<std::string> orders = Orders(out);
        const size_t perIteration = orders.size() / 3;
        if (m.name != std::string("Prob_ro_XE_T_2")) {
            ASSERT_GT(perIteration, 0u) << m.name;
        }
        for (size_t i = 0; i < orders.size(); i++) {
            if (i % perIteration == 0) ref.Draw(m.how);
            std::string want;
            for (int k = 0; k < kOtus; k++) want += std::to_string(ref.Entries()[k]) + "\t";
            EXPECT_EQ(orders[i], want) << m.name << " " << i;
        }
    }
}

TEST(PermTestsMembers, IterationLineHoldsTheShownValuesThenTheCounts) {
    MantelData d;
    Scratch s;
    double p[2];
    InitRndNumberGenerator(8);
    Prob_ro_XE_TC(2, kOtus, kTypes, kComm, d.U, d.W, kRTE_C, d.DT, d.DE, d.DC, &p[0], &p[1], 6, true, s.f, false);
    const std::string v = "[-0-9.e]+";
    EXPECT_TRUE(std::regex_search(s.Text(), std::regex("\nIteration 1\tRandom ro\\(XT_C\\) =\t" + v +
                                                        "\tRandom ro\\(XE_C\\) =\t" + v + "\tRandom ro\\(XE.TC\\) =\t" + v +
                                                        "\tCummulative frequency for ro\\(XE_C\\)=[12]\tCummulative "
                                                        "frequency for ro\\(XE.TC\\)=[12]\n")));
}

}  // namespace
