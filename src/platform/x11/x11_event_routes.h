#pragma once

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

union _XEvent;  // Xlib's XEvent

namespace larkspill {

// Where X events meant for the screens' parts go (the shared images' word that the server has
// read them): each part adds its route while it lives.
class XEventRoutes {
 public:
  using Route = std::function<bool(const _XEvent&)>;
  void Add(const void* owner, Route route) { routes_.emplace_back(owner, std::move(route)); }
  void Remove(const void* owner) {
    std::erase_if(routes_, [owner](const auto& route) { return route.first == owner; });
  }
  // Hands the event to the part it is meant for; false when it is for none.
  bool Deliver(const _XEvent& event) const {
    return std::any_of(routes_.begin(), routes_.end(),
                       [&event](const auto& route) { return route.second(event); });
  }

 private:
  std::vector<std::pair<const void*, Route>> routes_;
};

}  // namespace larkspill
