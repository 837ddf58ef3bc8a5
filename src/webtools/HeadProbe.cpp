#include "webtools/HeadProbe.h"

#include "platform/CodePage.h"
#include "platform/Hosts.h"

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

HeadProbe::HeadProbe(ClientSocket& socket, AppendLine appendLine, KeepDispatchingUntil wait)
    : m_socket(socket), m_appendLine(std::move(appendLine)), m_wait(std::move(wait))
{
    ClientSocket::Events events;
    events.connected = [this] { m_connected = true; };
    events.readable = [this] { readHandler(); };
    events.disconnected = [this] { m_connected = false; };
    events.failed = [this](const std::string& message) {
        m_connected = false;
        m_failure = message;
    };
    m_socket.setEvents(std::move(events));
}

HeadProbe::~HeadProbe() { m_socket.setEvents({}); }

Status HeadProbe::click(const std::string& siteBox)
{
    const HeadAddress address = splitHeadAddress(siteBox);
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
    m_appendLine(gbk("域名: ") + address.host);
    m_appendLine("URL: " + address.path);
    m_appendLine(gbk("端口: ") + address.portText);
    const std::string request = headRequest(address.path, address.host);

    m_failure.reset();
    m_socket.open();
    m_wait([this] { return m_connected || m_failure || !m_socket.active(); });
    if (m_failure)
        return Status::failure(*m_failure);
    if (m_connected)
        m_socket.send(request);
    return Status();
}

void HeadProbe::readHandler()
{
    const std::string text = m_socket.receiveText();
    m_appendLine(text);
    if (text.find("200") != std::string::npos)
        m_socket.close();
    else
        m_appendLine(gbk("失败"));
}

} // namespace quill
