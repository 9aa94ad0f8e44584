#include "support/quil/fake_platform_scenario.hpp"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport::quil {
namespace {

using nlohmann::json;

[[noreturn]] void refuse(std::size_t index, const std::string& what) {
    throw std::invalid_argument("scenario request " + std::to_string(index) + ": " + what);
}

std::string requiredText(const json& entry, std::size_t index, const char* key) {
    const auto member = entry.find(key);
    if (member == entry.end() || !member->is_string() || member->get<std::string>().empty()) {
        refuse(index, std::string("\"") + key + "\" must be a non-empty string");
    }
    return member->get<std::string>();
}

std::size_t count(const json& entry, std::size_t index, const char* key, std::size_t fallback) {
    const auto member = entry.find(key);
    if (member == entry.end()) {
        return fallback;
    }
    if (!member->is_number_unsigned()) {
        refuse(index, std::string("\"") + key + "\" must be a non-negative integer");
    }
    return member->get<std::size_t>();
}

std::string replyBody(const json& entry, std::size_t index) {
    const auto text = entry.find("body");
    const auto document = entry.find("json");
    if (text != entry.end() && document != entry.end()) {
        refuse(index, "give either \"body\" or \"json\", not both");
    }
    if (document != entry.end()) {
        return document->dump();
    }
    if (text == entry.end()) {
        return {};
    }
    if (!text->is_string()) {
        refuse(index, "\"body\" must be a string");
    }
    return text->get<std::string>();
}

void applyRepetition(Stub& stub, const json& entry, std::size_t index) {
    const auto times = entry.find("times");
    if (times == entry.end()) {
        return;
    }
    if (times->is_string() && times->get<std::string>() == "any") {
        stub.anyTimes();
        return;
    }
    const std::size_t value = count(entry, index, "times", 1);
    if (value == 0) {
        refuse(index, "\"times\" must be at least 1 or \"any\"");
    }
    stub.times(value);
}

void addStub(FakePlatform& platform, const json& entry, std::size_t index) {
    if (!entry.is_object()) {
        refuse(index, "must be a JSON object");
    }
    Stub stub = platform.expect(requiredText(entry, index, "method"), requiredText(entry, index, "target"));
    const std::size_t status = count(entry, index, "status", 200);
    if (status < 100 || status > 599) {
        refuse(index, "\"status\" must lie between 100 and 599");
    }
    stub.respond(static_cast<int>(status), replyBody(entry, index));
    if (const auto headers = entry.find("headers"); headers != entry.end()) {
        if (!headers->is_object()) {
            refuse(index, "\"headers\" must be an object of strings");
        }
        for (const auto& [name, value] : headers->items()) {
            if (!value.is_string()) {
                refuse(index, "header \"" + name + "\" must be a string");
            }
            stub.header(name, value.get<std::string>());
        }
    }
    applyRepetition(stub, entry, index);
    stub.delay(std::chrono::milliseconds(count(entry, index, "delayMs", 0)));
    if (const std::size_t chunkSize = count(entry, index, "chunked", 0); chunkSize > 0) {
        stub.chunked(chunkSize);
    }
    if (entry.value("gzip", false)) {
        stub.gzip();
    }
}

}  // namespace

void loadScenario(FakePlatform& platform, const json& scenario) {
    const auto requests = scenario.is_object() ? scenario.find("requests") : scenario.end();
    if (!scenario.is_object() || requests == scenario.end() || !requests->is_array()) {
        throw std::invalid_argument("scenario must be an object with a \"requests\" array");
    }
    for (std::size_t index = 0; index < requests->size(); ++index) {
        addStub(platform, (*requests)[index], index);
    }
}

void loadScenarioFile(FakePlatform& platform, const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::invalid_argument("cannot read scenario: " + path);
    }
    std::ostringstream text;
    text << file.rdbuf();
    json scenario;
    try {
        scenario = json::parse(text.str());
    } catch (const json::parse_error& error) {
        throw std::invalid_argument("cannot parse scenario " + path + ": " + error.what());
    }
    loadScenario(platform, scenario);
}

}  // namespace testsupport::quil
