#pragma once

#include <filesystem>

#include <nlohmann/json.hpp>

namespace quarlino::quil::infrastructure::config::detail {

// $XDG_CONFIG_HOME/quil, else $HOME/.config/quil; never created here.
std::filesystem::path configurationRoot();

// The parsed file, or a copy of the fallback when the file does not exist.
nlohmann::json readJson(const std::filesystem::path& path, const nlohmann::json& fallback);

// Replaces the file with the document (two-space indent, final newline) through
// a private ".tmp" companion and a rename, so a reader sees either the old or
// the new content and a failed write never damages the old one.
void writeJson(const std::filesystem::path& path, const nlohmann::json& document);

}  // namespace quarlino::quil::infrastructure::config::detail
