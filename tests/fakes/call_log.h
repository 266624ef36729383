#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace larkspill::testing {

// Calls recorded as text ("SetSpriteX 6 801"), also into a journal fakes may share for one order.
class CallLog {
 public:
  size_t Count(const std::string& call) const { return std::ranges::count(calls, call); }
  // The recorded calls that begin with `prefix`, in order.
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
  void Record(std::string call, const Args&... args) {
    ((call += " " + Text(args)), ...);
    if (journal) journal->push_back(call);
    calls.push_back(std::move(call));
  }

 private:
  static std::string Text(const std::string& s) { return s; }
  static std::string Text(int64_t v) { return std::to_string(v); }
};

}  // namespace larkspill::testing
