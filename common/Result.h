#pragma once
// Outcome of an operation inside our C++ code: a value, or an error code with a
// message. Expected outcomes (a missing file, a refused connection) are results,
// never exceptions.

#include <string>
#include <utility>
#include <variant>

namespace quillbox {

struct Error {
    int code = 0;
    std::string message;
};

template <typename T>
class Result {
  public:
    Result(T value) : m_state(std::move(value)) {}      // NOLINT: implicit by design
    Result(Error error) : m_state(std::move(error)) {}  // NOLINT: implicit by design

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<T>(m_state); }
    const T& value() const& { return std::get<T>(m_state); }
    T&& value() && { return std::get<T>(std::move(m_state)); }
    const Error& error() const { return std::get<Error>(m_state); }

  private:
    std::variant<T, Error> m_state;
};

struct Done {};
using Status = Result<Done>;

}  // namespace quillbox
