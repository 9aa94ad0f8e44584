#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

// Expected help and completion texts, written from the documented wording of
// each text rather than produced by the generator under test.
namespace quarlino::quil::cli::golden {

inline std::filesystem::path directory() {
    // Not __FILE__: a compiler cache may rewrite it to a path relative to the
    // build directory.
    return std::filesystem::path(QUIL_TEST_SOURCE_DIR) / "cli" / "golden";
}

inline std::string read(const std::filesystem::path& relative) {
    std::ifstream in(directory() / relative, std::ios::binary);
    if (!in) {
        throw std::runtime_error("missing golden file: " + (directory() / relative).string());
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> lines(const std::filesystem::path& relative) {
    std::istringstream text(read(relative));
    std::vector<std::string> result;
    for (std::string line; std::getline(text, line);) {
        result.push_back(line);
    }
    return result;
}

// One synopsis per command, in command-number order.
inline std::vector<std::string> synopses() {
    return lines("synopses.txt");
}

inline std::string globalOptionsBlock() {
    return read("global_options.txt");
}

// The help text of a single command.
inline std::string commandUsage(const std::string& synopsis) {
    return "Usage:\n  " + synopsis + "\n" + globalOptionsBlock();
}

// The listing of a group, "" being the top level; the file name joins the
// group's words with "_".
inline std::string listing(const std::string& fileStem) {
    return read(std::filesystem::path("listings") / (fileStem + ".txt"));
}

inline std::string topLevelUsage() {
    return listing("top");
}

inline std::string completion(const std::string& shell) {
    return read(std::filesystem::path("completion") / (shell + ".txt"));
}

}  // namespace quarlino::quil::cli::golden
