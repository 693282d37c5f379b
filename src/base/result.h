#pragma once

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "base/error_text.h"

namespace velsend::base {

// What went wrong, told twice: the text the user is shown (the program's own
// words, often fixed by the panel maker's documentation) and the system's
// reason (strerror, a library's message, which block), shown on a second line
// or in the CLI's output so support can tell a full disk from a missing
// permission.
struct Error {
    std::string userText;
    std::string reason;
    int code = 0;  // errno when the system said it, else 0

    // "userText" alone, or "userText\nreason" when a reason is known.
    std::string Full() const { return reason.empty() ? userText : userText + "\n" + reason; }
};

// An Error carrying errno's reason (see SystemReason).
inline Error SystemError(std::string userText, int errnoValue = errno) {
    return Error{std::move(userText), SystemReason(errnoValue), errnoValue};
}

// The one result shape of the core: a value or an Error. A small stand-in for
// C++23's std::expected, so callers can move to it with few edits.
template <class T = void>
class [[nodiscard]] Result {
  public:
    Result(T value)
        : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit on purpose
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}  // NOLINT

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const Error& error() const { return std::get<1>(state_); }

  private:
    std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Error error) : error_(std::move(error)) {}  // NOLINT: implicit on purpose

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return *error_; }

  private:
    std::optional<Error> error_;
};

inline Result<void> Ok() {
    return {};
}

// An editor's save refused because the very record changed on the disk since
// the dialog showed it: nothing was written, the text shows both versions,
// and confirming again keeps the user's. `subject` names the record ("词组 3 ",
// "节点设置"), `versions` lists both ("\n文件中的：…\n您改的：…").
inline constexpr int kEditClash = -3003;
inline Error EditClash(const std::string& subject, const std::string& versions) {
    return Error{subject + "在显示之后已被另一个程序改动，没有保存。" + versions +
                     "\n再确认一次将以您改的为准。",
                 {},
                 kEditClash};
}

}  // namespace velsend::base
