// Errors travel as values: a Result<T> is either a T or an Error with a short
// reason ("BMP rows run past the end of the file"). No exceptions cross it.
// An interface whose callers act on more than words names its own error
// type: Result<T, E>.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace trimbrel {

struct Error {
  std::string reason;
};

template <class T, class E = Error>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}      // NOLINT: implicit by design
  Result(E error) : state_(std::move(error)) {}      // NOLINT: implicit by design

  bool ok() const { return std::holds_alternative<T>(state_); }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<T>(state_); }
  const T& value() const& { return std::get<T>(state_); }
  T&& value() && { return std::get<T>(std::move(state_)); }
  const E& error() const { return std::get<E>(state_); }

 private:
  std::variant<T, E> state_;
};

// Result<void>: success or an error.
template <class E>
class [[nodiscard]] Result<void, E> {
 public:
  Result() = default;
  Result(E error) : error_(std::move(error)), failed_(true) {}  // NOLINT

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const E& error() const { return error_; }

 private:
  E error_{};
  bool failed_ = false;
};

inline Error Fail(std::string reason) { return Error{std::move(reason)}; }

}  // namespace trimbrel

// TRY(expr): evaluates a Result<void>-like expression and returns its error.
#define TRIMBREL_TRY(expr)                          \
  do {                                              \
    auto trimbrel_try_result_ = (expr);             \
    if (!trimbrel_try_result_) return trimbrel_try_result_.error(); \
  } while (0)

// TRY_ASSIGN(declaration, expr): evaluates a Result<T>, returns its error, and
// otherwise declares (or assigns) the value:
//   TRIMBREL_TRY_ASSIGN(const JpegInfo info, ReadJpegInfo(bytes));
#define TRIMBREL_TRY_ASSIGN(declaration, expr) \
  TRIMBREL_TRY_ASSIGN_WITH_(TRIMBREL_TRY_NAME_(trimbrel_try_value_, __LINE__), declaration, expr)
#define TRIMBREL_TRY_NAME_(prefix, line) TRIMBREL_TRY_JOIN_(prefix, line)
#define TRIMBREL_TRY_JOIN_(prefix, line) prefix##line
#define TRIMBREL_TRY_ASSIGN_WITH_(result, declaration, expr) \
  auto result = (expr);                                      \
  if (!result) return result.error();                        \
  declaration = std::move(result).value()
