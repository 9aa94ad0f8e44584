#pragma once

#include <filesystem>
#include <functional>

#include <nlohmann/json.hpp>

namespace quarlino::quil::infrastructure::config::detail {

// $XDG_CONFIG_HOME/quil, else $HOME/.config/quil; never created here.
std::filesystem::path configurationRoot();

// The parsed file, or a copy of the fallback when the file does not exist.
nlohmann::json readJson(const std::filesystem::path& path, const nlohmann::json& fallback);

// Replaces the file with the document (two-space indent, final newline) through
// a private ".tmp" companion and a rename, so a reader sees either the old or
// the new content and a failed write never damages the old one.
// Writers of one directory take turns, so none of them replaces a temporary
// file that another one is still writing.
void writeJson(const std::filesystem::path& path, const nlohmann::json& document);

// Reads the file (or the fallback), applies `change` and writes the result,
// all under the directory's write lock, so the changes of processes that
// update the same file at once are applied one after the other and none is
// lost. When `change` throws, nothing is written. `change` must not call
// back into these routines for the same directory.
void updateJson(const std::filesystem::path& path, const nlohmann::json& fallback,
                const std::function<void(nlohmann::json&)>& change);

}  // namespace quarlino::quil::infrastructure::config::detail
