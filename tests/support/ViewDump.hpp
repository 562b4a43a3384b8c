// Reading what the host apps print: text one line at a time, and the frames of `views` dumps.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

// "<UINavigationBar: frame = (0 20; 320 44)" gives 0, 20, 320, 44; a line without a frame nothing.
inline std::vector<double> frameOf(const std::string& line) {
    std::vector<double> numbers;
    const auto start = line.find("frame = (");
    if (start == std::string::npos) {
        return numbers;
    }
    std::string inside = line.substr(start + 9, line.find(')', start) - start - 9);
    for (char& c : inside) {
        c = c == ';' ? ' ' : c;
    }
    std::istringstream in(inside);
    for (double v; in >> v;) {
        numbers.push_back(v);
    }
    return numbers;
}

// "<UILabel: frame = (12 9.5; 53 25); text = 'Cancel'; font = ..." gives Cancel; a line without a
// text gives nothing.
inline std::string textOf(const std::string& line) {
    const auto start = line.find("text = '");
    if (start == std::string::npos) {
        return {};
    }
    const auto end = line.find("'; font = ", start);
    return line.substr(start + 8, end == std::string::npos ? std::string::npos : end - start - 8);
}

} // namespace testing_support
