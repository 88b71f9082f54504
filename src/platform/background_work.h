#pragma once

#include <functional>
#include <optional>
#include <utility>

namespace kvx {

// Runs the work on a thread of its own and waits for it while the calling thread's event loop
// keeps turning, so that a window stays responsive while a large document is read, checked
// or written. The work must not touch widgets or objects that the event loop may change
// meanwhile. An exception the work throws is thrown again here.
void runInBackground(const std::function<void()>& work);

// The same for work with a result.
template <typename Work> auto computeInBackground(Work&& work) {
    std::optional<decltype(work())> result;
    runInBackground([&result, &work] { result.emplace(work()); });
    return std::move(*result);
}

} // namespace kvx
