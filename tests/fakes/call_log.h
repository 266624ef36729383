#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace larkspill::testing {

inline std::string CallArg(const std::string& s) { return s; }
inline std::string CallArg(int64_t v) { return std::to_string(v); }
// A call as the fakes record it: Call("Open", 800, 600) is "Open 800 600".
template <typename... Args>
std::string Call(std::string call, const Args&... args) {
  ((call += " " + CallArg(args)), ...);
  return call;
}

// Calls recorded as text, also into a journal fakes may share for one order.
class CallLog {
 public:
  size_t Count(const std::string& call) const { return std::ranges::count(calls, call); }
  std::vector<std::string> Starting(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : calls)
      if (c.starts_with(prefix)) out.push_back(c);
    return out;
  }
  std::vector<std::string> calls;
  std::vector<std::string>* journal = nullptr;

 protected:
  template <typename... Args>
  void Record(const Args&... args) {
    if (journal) journal->push_back(Call(args...));
    calls.push_back(Call(args...));
  }
};

}  // namespace larkspill::testing
