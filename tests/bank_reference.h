// An independent reading of the bank's pattern rules, for tests and fuzzers:
// split the list on "|" first, then walk each alternative byte by byte.
#ifndef MORVEN_TESTS_BANK_REFERENCE_H
#define MORVEN_TESTS_BANK_REFERENCE_H

#include <string>
#include <vector>

inline std::vector<std::string> referencePaths(const std::string &list, const std::string &name) {
    std::vector<std::string> alternatives;
    size_t start = 0;
    for (;;) {
        size_t bar = list.find('|', start);
        alternatives.push_back(list.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos || bar + 1 == list.size()) break;
        start = bar + 1;
    }
    std::vector<std::string> paths;
    for (const std::string &alt : alternatives) {
        std::string out;
        for (size_t i = 0; i < alt.size(); i++) {
            if (alt[i] != '%') {
                out += alt[i];
                continue;
            }
            size_t j = i + 1;
            while (j < alt.size() && std::string(" \t\r\n\v").find(alt[j]) != std::string::npos) j++;
            if (j == alt.size()) break;
            if (alt[j] == '%')
                out += '%';
            else if (alt[j] == 's')
                out += name;
            else
                out += alt.substr(i, j - i + 1);
            i = j;
        }
        paths.push_back(out);
    }
    return paths;
}

#endif
