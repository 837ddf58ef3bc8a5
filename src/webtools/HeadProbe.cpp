#include "webtools/HeadProbe.h"

#include "platform/CodePage.h"
#include "platform/Hosts.h"

#include <algorithm>

#include <climits>

namespace quill {

HeadAddress splitHeadAddress(std::string siteBox)
{
    if (siteBox.find('/') == std::string::npos)
        siteBox += '/';
    std::string lower = siteBox;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (lower.find("http://") == std::string::npos)
        siteBox = "http://" + siteBox;
    std::string rest = siteBox.substr(siteBox.find("//") + 2);
    size_t slash = rest.find('/');
    if (slash == std::string::npos) {
        rest += '/';
        slash = rest.size() - 1;
    }
    HeadAddress address{rest.substr(0, slash), rest.substr(slash), "80"};
    if (const size_t colon = address.host.find(':'); colon != std::string::npos) {
        address.portText = address.host.substr(colon + 1);
        address.host.resize(colon);
    }
    return address;
}

bool isAllDigits(std::string_view text)
{
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

Result<std::optional<int>> headPort(const std::string& portText)
{
    if (!isAllDigits(portText))
        return std::optional<int>();
    long long value = 0;
    for (char c : portText) {
        value = value * 10 + (c - '0');
        if (value > INT_MAX)
            break;
    }
    if (portText.empty() || value > INT_MAX)
        return Status::failure("'" + portText + "' is not a valid integer value");
    return std::optional<int>(static_cast<int>(value));
}

std::string headRequest(const std::string& path, const std::string& host)
{
    return "HEAD " + path + " HTTP/1.1\r\n"
           "Host: " + host + "\r\n"
           "Connection: close \r\n"
           "User-Agent: Mozilla/4.0(" + makerHost() + ")\r\n"
           "Accept-Encoding: gzip\r\n"
           "Accept-Language: zh-cn,zh-tw\r\n"
           "Accept: */*\r\n"
           "\r\n";
}

HeadProbe::HeadProbe(ClientSocket& socket, Handlers handlers, Schedule schedule, WebLimits limits)
    : m_socket(socket), m_handlers(std::move(handlers)), m_schedule(std::move(schedule)), m_limits(limits)
{
    ClientSocket::Events events;
    events.connected = [this] {
        m_connected = true;
        ++m_activity;
        watchIdle();
        m_socket.send(m_request);
    };
    events.readable = [this] { readHandler(); };
    events.disconnected = [this] {
        m_connected = false;
        if (m_givingUp)
            return;
        // A server that closes without a byte has given no answer.
        if (m_received == 0) {
            m_handlers.appendLine(gbk("失败"));
            finish(Status::failure(gbk("没有回应")));
            return;
        }
        finish(Status());
    };
    events.failed = [this](const std::string& message) {
        m_connected = false;
        if (m_handlers.connectFailed)
            m_handlers.connectFailed(message);
        finish(Status::failure(gbk("连接失败")));
    };
    m_socket.setEvents(std::move(events));
}

HeadProbe::~HeadProbe()
{
    *m_alive = false;
    m_socket.setEvents({});
}

Status HeadProbe::click(const std::string& siteBox)
{
    const HeadAddress address = splitHeadAddress(requestSiteText(siteBox));
    const Result<std::optional<int>> port = headPort(address.portText);
    if (!port)
        return port.status();
    // Both checked before anything is shown, so a refused change shows nothing.
    if (port.value()) {
        if (Status changed = m_socket.setPort(*port.value()); !changed)
            return changed;
    }
    if (Status changed = m_socket.setHost(address.host); !changed)
        return changed;
    m_handlers.appendLine(gbk("域名: ") + address.host);
    m_handlers.appendLine("URL: " + address.path);
    m_handlers.appendLine(gbk("端口: ") + address.portText);
    m_request = headRequest(address.path, address.host);
    if (m_socket.active()) {
        if (m_connected)
            m_socket.send(m_request);
        return Status();
    }
    ++m_connection;
    m_received = 0;
    after(m_limits.connect, [this] {
        if (!m_connected)
            giveUp(gbk("连接超时"));
    });
    after(m_limits.total, [this] { giveUp(gbk("连接超时")); });
    m_socket.open();
    return Status();
}

void HeadProbe::after(std::chrono::milliseconds delay, std::function<void()> task)
{
    m_schedule(delay, [alive = std::weak_ptr<bool>(m_alive), this, connection = m_connection,
                       task = std::move(task)] {
        if (alive.lock() && connection == m_connection && m_socket.active())
            task();
    });
}

void HeadProbe::watchIdle()
{
    after(m_limits.idle, [this, activity = m_activity] {
        if (activity == m_activity)
            giveUp(gbk("连接超时"));
    });
}

void HeadProbe::readHandler()
{
    std::string text = m_socket.receiveText();
    ++m_activity;
    watchIdle();
    const bool tooLong = text.size() > m_limits.maxBody - std::min(m_received, m_limits.maxBody);
    if (tooLong)
        text.resize(m_limits.maxBody - m_received);
    m_received += text.size();
    m_handlers.appendLine(text);
    if (tooLong)
        giveUp(gbk("回应过长"));
    else if (text.find("200") != std::string::npos)
        m_socket.close();
    else
        m_handlers.appendLine(gbk("失败"));
}

void HeadProbe::giveUp(const std::string& reason)
{
    m_givingUp = true; // the disconnection this reports is no normal end
    m_socket.close();
    m_givingUp = false;
    m_handlers.appendLine(gbk("失败"));
    finish(Status::failure(reason));
}

void HeadProbe::finish(const Status& outcome)
{
    if (m_handlers.finished)
        m_handlers.finished(outcome);
}

} // namespace quill
