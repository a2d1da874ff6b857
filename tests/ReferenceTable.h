// Reads the reference tables under tests/data/ that were made once by the
// scripts in tools/ from independent libraries.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace nbr::test {

using TextRow = std::vector<std::string>;

// Rows of data/<name> (a CSV file), header dropped; empty fields kept.
inline std::vector<TextRow> readReferenceTable(const std::string& name) {
    std::ifstream in(std::string(NIMBREL_TEST_DATA) + "/" + name);
    std::vector<TextRow> rows;
    if (!in) {
        ADD_FAILURE() << "missing reference table " << name;
        return rows;
    }
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        TextRow row;
        std::size_t from = 0;
        for (;;) {
            const std::size_t comma = line.find(',', from);
            row.push_back(line.substr(from, comma - from));
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace nbr::test
