#include "application/json_memory_budget.hpp"

#include <nlohmann/json.hpp>

namespace quarlino::quil::application {
namespace {

thread_local JsonMemoryBudget* currentBudget = nullptr;

}  // namespace

AnswerMemoryBudget::AnswerMemoryBudget() : previous_(currentBudget) { currentBudget = this; }

AnswerMemoryBudget::~AnswerMemoryBudget() { currentBudget = previous_; }

JsonMemoryBudget* JsonMemoryBudget::current() { return currentBudget; }

bool JsonMemoryBudget::tryCharge(std::size_t bytes) {
    used_ += bytes;
    return used_ <= kMaxJsonBytes;
}

void JsonMemoryBudget::release(std::size_t bytes) { used_ -= bytes < used_ ? bytes : used_; }

std::string jsonMemoryRefusal() {
    return "JSON taking more than " + std::to_string(kMaxJsonBytes) + " bytes of memory";
}

void chargeKeptBytes(std::size_t bytes) {
    if (currentBudget != nullptr && !currentBudget->tryCharge(bytes)) {
        throw nlohmann::json::parse_error::create(101, 0, jsonMemoryRefusal(), nullptr);
    }
}

void releaseKeptBytes(std::size_t bytes) {
    if (currentBudget != nullptr) {
        currentBudget->release(bytes);
    }
}

void chargeKeptText(const std::string& text) { chargeKeptBytes(stringHeapBytes(text.capacity())); }

}  // namespace quarlino::quil::application
