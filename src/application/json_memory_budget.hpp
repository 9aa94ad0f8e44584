#pragma once

#include <cstddef>
#include <string>

namespace quarlino::quil::application {

// What quil may keep in memory of one JSON text: its tree while it is
// parsed, and for an answer also the records mapped from it, each charged
// what it really holds. With a body at its size limit beside it, quil stays
// under 2 GiB; an ordinary list up to that limit maps within it.
inline constexpr std::size_t kMaxJsonBytes = std::size_t{1} << 30;

// The memory kept of one text or answer.
class JsonMemoryBudget {
public:
    // This thread's answer budget, or nullptr outside any answer.
    static JsonMemoryBudget* current();

    // Charges the bytes and tells whether the total is still within the budget.
    bool tryCharge(std::size_t bytes);
    void release(std::size_t bytes);
    std::size_t used() const { return used_; }

private:
    std::size_t used_ = 0;
};

// The budget of one answer, its parse and its mapping. While it exists it is
// its thread's, so that the record readers deep in a mapping charge it
// without being handed it; the one it replaced comes back when it ends.
class AnswerMemoryBudget : public JsonMemoryBudget {
public:
    AnswerMemoryBudget();
    ~AnswerMemoryBudget();
    AnswerMemoryBudget(const AnswerMemoryBudget&) = delete;
    AnswerMemoryBudget& operator=(const AnswerMemoryBudget&) = delete;

private:
    JsonMemoryBudget* previous_;
};

// The reason a text or answer past the budget is refused.
std::string jsonMemoryRefusal();

// Charges this thread's budget, if any, for memory a record keeps; past the
// budget it throws the nlohmann::json::parse_error that a text past it gives.
void chargeKeptBytes(std::size_t bytes);
void releaseKeptBytes(std::size_t bytes);

// The allocator's block behind a string of that capacity: none while the
// text fits in the string itself.
inline std::size_t stringHeapBytes(std::size_t capacity) {
    return capacity < 16 ? 0 : (capacity + 1 + 8 + 15) / 16 * 16;
}
void chargeKeptText(const std::string& text);

}  // namespace quarlino::quil::application
