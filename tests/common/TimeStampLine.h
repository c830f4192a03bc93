// Checks that a text is one time-stamp line in the C library's ctime layout:
// "Www Mmm dd hh:mm:ss yyyy\n" (the day right-aligned in two columns).
#ifndef TNX_TEST_TIMESTAMPLINE_H
#define TNX_TEST_TIMESTAMPLINE_H

#include <cctype>
#include <cstring>
#include <string>

namespace tnxtest {

inline bool IsTimeStampLine(const std::string& s) {
    static const char* const kDays = "SunMonTueWedThuFriSat";
    static const char* const kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
    if (s.size() != 25 || s[24] != '\n') return false;
    auto inList = [](const std::string& word, const char* list) {
        for (size_t i = 0; list[i] != '\0'; i += 3)
            if (word.compare(0, 3, list + i, 3) == 0) return true;
        return false;
    };
    auto digit = [&s](size_t i) { return std::isdigit(static_cast<unsigned char>(s[i])) != 0; };
    if (!inList(s.substr(0, 3), kDays) || s[3] != ' ') return false;
    if (!inList(s.substr(4, 3), kMonths) || s[7] != ' ') return false;
    if (!(s[8] == ' ' || digit(8)) || !digit(9) || s[10] != ' ') return false;
    if (!digit(11) || !digit(12) || s[13] != ':' || !digit(14) || !digit(15) || s[16] != ':') return false;
    if (!digit(17) || !digit(18) || s[19] != ' ') return false;
    return digit(20) && digit(21) && digit(22) && digit(23);
}

}  // namespace tnxtest

#endif
