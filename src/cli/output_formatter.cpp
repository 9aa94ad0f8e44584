#include "cli/output_formatter.hpp"

#include <algorithm>
#include <iomanip>

#include <nlohmann/json.hpp>

#include "cli/visible_text.hpp"

namespace quarlino::quil::cli {

namespace {

using Json = nlohmann::json;

const std::vector<std::string> profileHeaders{"ACTIVE", "NAME", "SERVER", "WORKSPACE"};
const std::vector<std::string> updateCheckHeaders{"CURRENT", "LATEST", "UPDATE AVAILABLE", "PLATFORM", "PUBLISHED"};

// Keys come out in sorted byte order because the JSON object is a sorted map.
Json profileJson(const model::Profile& profile, bool active) {
    return Json{{"name", profile.name},
                {"serverUrl", profile.serverUrl},
                {"workspaceId", profile.workspaceId ? Json(*profile.workspaceId) : Json(nullptr)},
                {"active", active}};
}

std::vector<std::string> profileRow(const model::Profile& profile, bool active) {
    return {active ? "*" : "", profile.name, profile.serverUrl, valueOrDash(profile.workspaceId)};
}

Json updateCheckJson(const application::UpdateCheckResult& result) {
    return Json{{"currentVersion", result.currentVersion},
                {"latestVersion", result.latestVersion},
                {"publishedAt", result.publishedAt},
                {"updateAvailable", result.updateAvailable},
                {"artifact",
                 {{"os", result.os},
                  {"arch", result.arch},
                  {"url", result.url},
                  {"sha256", result.sha256},
                  {"signatureUrl", result.signatureUrl},
                  {"sbomUrl", result.sbomUrl}}}};
}

// Compact, UTF-8 unescaped; invalid UTF-8 is the JSON library's type error.
std::string compact(const Json& document) { return document.dump(); }

}  // namespace

OutputFormatter::OutputFormatter(const ParsedCommand& command, std::ostream& out)
    : format_(static_cast<std::uint8_t>(command.outputFormat)), quiet_(command.hasFlag("quiet")), out_(out) {}

OutputFormatter::Mode OutputFormatter::mode() const {
    if (isJson()) {
        return Mode::Json;
    }
    return quiet_ ? Mode::Quiet : Mode::Table;
}

void OutputFormatter::line(std::string_view text) { out_ << text << '\n'; }

void OutputFormatter::write(std::string_view text) { out_ << text; }

void OutputFormatter::description(std::string_view text) {
    write("\n" + visibleText(text, LineBreaks::FreeText) + "\n");
}

void OutputFormatter::message(std::string_view text) {
    if (mode() == Mode::Table) {
        line(visibleText(text, LineBreaks::Keep));
    }
}

void OutputFormatter::rawJson(std::string_view text) {
    out_ << text;
    if (text.empty() || text.back() != '\n') {
        out_ << '\n';
    }
}

void OutputFormatter::flush() {
    out_.flush();
}

void OutputFormatter::logs(const std::vector<model::ExecutionLog>& entries, std::string_view rawBody,
                           std::size_t startIndex) {
    if (isJson()) {
        rawJson(rawBody);
        return;
    }
    for (std::size_t index = startIndex; index < entries.size(); ++index) {
        const model::ExecutionLog& entry = entries[index];
        const std::string& action = entry.actionName.empty() ? entry.actionType : entry.actionName;
        out_ << entry.timestamp << " [" << action << "] " << entry.message << '\n';
    }
}

void OutputFormatter::table(const std::vector<std::string>& headers,
                            const std::vector<std::vector<std::string>>& rows) {
    table(headers, [&](const RowVisitor& visit) {
        for (const auto& row : rows) {
            visit(row);
        }
    });
}

void OutputFormatter::table(const std::vector<std::string>& headers, const RowWalk& walk) {
    // Widths count cells as printed, so each is made visible first.
    std::vector<std::size_t> widths(headers.size(), 0);
    const RowVisitor measure = [&](const std::vector<std::string>& cells) {
        for (std::size_t index = 0; index < std::min(cells.size(), widths.size()); ++index) {
            widths[index] = std::max(widths[index], visibleText(cells[index], LineBreaks::Show).size());
        }
    };
    // Every column, the last one included, is padded to its width plus two.
    const RowVisitor print = [&](const std::vector<std::string>& cells) {
        for (std::size_t index = 0; index < std::min(cells.size(), widths.size()); ++index) {
            out_ << std::left << std::setw(static_cast<int>(widths[index] + 2))
                 << visibleText(cells[index], LineBreaks::Show);
        }
        out_ << '\n';
    };
    measure(headers);
    walk(measure);
    print(headers);
    walk(print);
}

void OutputFormatter::profile(const model::Profile& profile, bool active) {
    switch (mode()) {
        case Mode::Json:
            rawJson(compact(profileJson(profile, active)));
            return;
        case Mode::Quiet:
            line(profile.name);
            return;
        case Mode::Table:
            table(profileHeaders, {profileRow(profile, active)});
            return;
    }
}

void OutputFormatter::profiles(const std::vector<model::Profile>& profiles,
                               const std::optional<std::string>& activeName) {
    const auto isActive = [&activeName](const model::Profile& profile) {
        return activeName.has_value() && *activeName == profile.name;
    };
    if (isJson()) {
        Json list = Json::array();
        for (const model::Profile& profile : profiles) {
            list.push_back(profileJson(profile, isActive(profile)));
        }
        rawJson(compact(list));
        return;
    }
    renderList(
        std::span<const model::Profile>(profiles), {}, profileHeaders,
        [](const model::Profile& profile) { return profile.name; },
        [&isActive](const model::Profile& profile) { return profileRow(profile, isActive(profile)); });
}

void OutputFormatter::updateCheck(const application::UpdateCheckResult& result) {
    if (isJson()) {
        rawJson(compact(updateCheckJson(result)));
        return;
    }
    const bool tableWritten = renderRecord(
        result, {}, updateCheckHeaders, [](const application::UpdateCheckResult& r) { return r.latestVersion; },
        [](const application::UpdateCheckResult& r) {
            return std::vector<std::string>{r.currentVersion, r.latestVersion, yesNo(r.updateAvailable),
                                            r.os + "-" + r.arch, r.publishedAt};
        });
    if (tableWritten && result.updateAvailable) {
        write("\nDownload: " + visibleText(result.url, LineBreaks::Show) +
              "\nSHA-256: " + visibleText(result.sha256, LineBreaks::Show) + "\n");
    }
}

std::string join(const std::vector<std::string>& values) {
    std::string joined;
    for (const std::string& value : values) {
        if (!joined.empty()) {
            joined += ',';
        }
        joined += value;
    }
    return joined;
}

std::string yesNo(bool value) { return value ? "yes" : "no"; }

std::string dashIfEmpty(std::string_view value) { return value.empty() ? std::string("-") : std::string(value); }

std::string valueOrDash(const std::optional<std::string>& value) { return value.value_or("-"); }

std::string typedId(std::string_view type, std::string_view id) {
    return std::string(type).append(":").append(id);
}

}  // namespace quarlino::quil::cli
