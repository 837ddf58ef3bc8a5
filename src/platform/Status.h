#pragma once
// The core's error value: a failed operation carries the message the window would show. Both
// types are [[nodiscard]], so an outcome is never dropped unread by accident.

#include <optional>
#include <string>
#include <utility>

namespace quill {

class [[nodiscard]] Status {
public:
    Status() = default; // success
    static Status failure(std::string message) { return Status(std::move(message)); }

    bool ok() const { return !m_message.has_value(); }
    explicit operator bool() const { return ok(); }
    // The GBK message text; empty for a success.
    const std::string& message() const
    {
        static const std::string none;
        return m_message ? *m_message : none;
    }

private:
    explicit Status(std::string message) : m_message(std::move(message)) {}
    std::optional<std::string> m_message;
};

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Status failure) : m_status(std::move(failure)) {}

    bool ok() const { return m_status.ok(); }
    explicit operator bool() const { return ok(); }
    const Status& status() const { return m_status; }
    const T& value() const { return *m_value; }
    T& value() { return *m_value; }

private:
    std::optional<T> m_value;
    Status m_status;
};

} // namespace quill
