// The table of names and their verdicts (windows_names.txt), as the tests of the programs that
// apply the name rule read it.
#pragma once

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace winnames::testing {

struct NameRow {
    enum Verdict { kFile, kPrefix, kUnsafe } verdict;
    std::string name;     // the bytes
    std::string written;  // as the table writes it, for messages
};

inline std::vector<NameRow> ReadNameTable() {
    std::ifstream in(WINDOWS_NAMES_TABLE);
    if (!in) throw std::runtime_error("cannot read " WINDOWS_NAMES_TABLE);
    std::vector<NameRow> rows;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string verdict, written;
        if (!(fields >> verdict >> written) || verdict[0] == '#') continue;
        NameRow row{};
        if (verdict == "file") row.verdict = NameRow::kFile;
        else if (verdict == "prefix") row.verdict = NameRow::kPrefix;
        else if (verdict == "unsafe") row.verdict = NameRow::kUnsafe;
        else throw std::runtime_error("unknown verdict in: " + line);
        row.written = written;
        for (size_t i = 0; i < written.size(); ++i) {
            if (written[i] != '%') {
                row.name += written[i];
                continue;
            }
            if (i + 2 >= written.size()) throw std::runtime_error("cut escape in: " + line);
            row.name += static_cast<char>(std::stoi(written.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace winnames::testing
