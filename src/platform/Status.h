#pragma once
// The core's error value: a failed operation carries the message the window would show.

#include <optional>
#include <string>
#include <utility>

namespace quill {

class Status {
public:
    static Status ok() { return Status(); }
    static Status error(std::string message) { return Status(std::move(message)); }

    bool isOk() const { return !m_message.has_value(); }
    explicit operator bool() const { return isOk(); }
    // The GBK message text; empty for a success.
    const std::string& message() const
    {
        static const std::string none;
        return m_message ? *m_message : none;
    }

private:
    Status() = default;
    explicit Status(std::string message) : m_message(std::move(message)) {}
    std::optional<std::string> m_message;
};

template <typename T>
class Result {
public:
    Result(T value) : m_value(std::move(value)), m_status(Status::ok()) {}
    Result(Status failure) : m_status(std::move(failure)) {}

    bool isOk() const { return m_status.isOk(); }
    explicit operator bool() const { return isOk(); }
    const Status& status() const { return m_status; }
    const T& value() const { return *m_value; }
    T& value() { return *m_value; }

private:
    std::optional<T> m_value;
    Status m_status;
};

} // namespace quill
